#pragma once

#include "runpresenter.h"

#include <QObject>
#include <QString>

class QMenu;
class QWidget;

// A run as a widget shows it: the presenter's chart or lamp on the widget,
// its navigation from the widget's input, a focus frame, the context menu
// (Copy, Copy as CSV, Back to live view), and what a screen reader hears
// through the widget's accessible interface. The contract's control and the
// public widget both draw this way; the widget forwards its paint, resize
// and change events.
class RunDisplay : public QObject, private ChartSurface
{
    Q_OBJECT

public:
    // surface is the widget drawn on and the parent; session must outlive
    // the display or be replaced first (setSession). chartWanted: whether
    // the widget asks for the chart rather than the lamp.
    RunDisplay(QWidget *surface, const PingSession *session, bool chartWanted);
    ~RunDisplay() override;

    // The display a widget has, if it has one (for its accessible interface).
    static RunDisplay *of(QObject *surface);

    RunPresenter *presenter() const { return m_presenter; }
    void setSession(const PingSession *session) { m_presenter->setSession(session); }
    void followPinger(Tarvix::Pinger *pinger) { m_presenter->followPinger(pinger); }
    void setChartWanted(bool wanted) { m_presenter->setChartWanted(wanted); }
    bool showsChart() const { return m_presenter->showsChart(); }
    RunView::Snapshot snapshot() const { return m_presenter->snapshot(); }
    QString description() const { return m_presenter->description(); }
    const RunView &view() const { return m_presenter->view(); }
    ChartNavigator *navigator() const { return m_presenter->navigator(); }
    void showLine(const QString &line) { m_presenter->showLine(line); }
    void clearLine() { m_presenter->clearLine(); }
    bool hasLine() const { return m_presenter->hasLine(); }
    void rescale() { m_presenter->rescale(); }
    void refresh() { m_presenter->refresh(); }
    void forgetLamp() { m_presenter->forgetLamp(); }

    // The surface's context menu, owned by the caller.
    QMenu *createContextMenu(QWidget *parent);

    // For the widget's paintEvent, resizeEvent and changeEvent.
    void paint();
    void resized() { rescale(); }
    void changed(int eventType);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QRect surfaceRect() const override;
    int lineHeight() const override;
    void repaintSurface() override;
    void describeSurface(const QString &description) override;

    QWidget *m_surface;
    RunPresenter *m_presenter = nullptr;
};
