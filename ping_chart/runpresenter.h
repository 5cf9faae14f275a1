#pragma once

#include "runview.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

class ChartNavigator;
class PingSession;
class QPainter;
class QPalette;

namespace Tarvix {
class Pinger;
}

// What a run is drawn on: a widget or a Qt Quick item. The presenter asks it
// for its size and line height, and tells it when to repaint and what a
// screen reader should hear now.
class ChartSurface
{
public:
    virtual QRect surfaceRect() const = 0;
    // Of the font the surface paints with.
    virtual int lineHeight() const = 0;
    // Schedules a repaint.
    virtual void repaintSurface() = 0;
    // Called only while an assistive technology listens.
    virtual void describeSurface(const QString &description) = 0;

protected:
    ~ChartSurface() = default;
};

// A run as a surface shows it, whatever the surface: the chart (or, on a
// small surface or when asked, the lamp), the chart's navigation, the last
// line, and what a screen reader hears. It follows the run of a session's
// engine, or of a Pinger's; the surface forwards its size and font changes,
// paints through paint(), and passes its input events to navigator().
class RunPresenter : public QObject
{
    Q_OBJECT

public:
    // surface must outlive the presenter; parent is usually the surface's
    // object. session must outlive the presenter or be replaced first.
    RunPresenter(ChartSurface *surface, const PingSession *session, bool chartWanted, QObject *parent);

    // Follows another session's runs from now on.
    void setSession(const PingSession *session);
    // Follows pinger's runs, and shows its results' lines and its errors
    // under the chart.
    void followPinger(Tarvix::Pinger *pinger);

    void setChartWanted(bool wanted);
    bool showsChart() const;
    RunView::Snapshot snapshot() const;
    // What a screen reader hears of the surface: the picked request, or the run.
    QString description() const;
    const RunView &view() const { return m_view; }
    ChartNavigator *navigator() const { return m_navigator; }

    // The line under the chart: the last reply, time-out or error.
    void showLine(const QString &line);
    void clearLine() { m_lastLine.clear(); }
    bool hasLine() const { return !m_lastLine.isEmpty(); }
    // Fits the chart's axis to the samples now in view; never from painting.
    void rescale();
    // After a change of the run: describes it, and repaints what it changed.
    void refresh();
    // The surface may have another size or look now: the lamp is drawn again.
    void forgetLamp() { m_lampLook.reset(); }

    void paint(QPainter &painter, const QPalette &palette) const;

    // Tells a screen reader, if one listens, that description() changed.
    void describe();

private:
    void follow();

    ChartSurface *m_surface;
    const PingSession *m_session;
    bool m_chartWanted;
    RunView m_view;
    ChartNavigator *m_navigator;
    QString m_lastLine;
    // What the lamp showed at the last refresh; none while the chart shows.
    std::optional<RunView::LampLook> m_lampLook;
    QList<QMetaObject::Connection> m_followed;
    QList<QMetaObject::Connection> m_pingerLines;
};
