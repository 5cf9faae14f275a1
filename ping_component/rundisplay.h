#pragma once

#include "runview.h"

#include <QObject>
#include <QString>

#include <optional>

class ChartNavigator;
class PingSession;
class QPainter;
class QWidget;

// A run as a widget shows it: the chart (or, on a small surface or when the
// widget asks for it, the lamp), the chart's navigation, the last line, and
// what a screen reader hears. It follows the run of a session's engine; the
// widget forwards its paint, resize and font changes, and the lines it wants
// shown. The contract's control and the public widget both draw this way.
class RunDisplay : public QObject
{
    Q_OBJECT

public:
    // surface is the widget drawn on and the parent; session must outlive
    // the display or be replaced first (setSession). chartWanted: whether
    // the widget asks for the chart rather than the lamp.
    RunDisplay(QWidget *surface, const PingSession *session, bool chartWanted);
    ~RunDisplay() override;

    // Follows another session's runs from now on.
    void setSession(const PingSession *session);

    // The display a widget has, if it has one (for its accessible interface).
    static RunDisplay *of(QObject *surface);

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

    // For the widget's paintEvent, resizeEvent and changeEvent.
    void paint();
    void resized() { rescale(); }
    void changed(int eventType);

private:
    void follow();
    // Tells a screen reader, if one listens, that description() changed.
    void describe();

    QWidget *m_surface;
    const PingSession *m_session;
    bool m_chartWanted;
    RunView m_view;
    ChartNavigator *m_navigator;
    QString m_lastLine;
    // What the lamp showed at the last refresh; none while the chart shows.
    std::optional<RunView::LampLook> m_lampLook;
    QList<QMetaObject::Connection> m_followed;
};
