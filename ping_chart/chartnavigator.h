#pragma once

#include "chartwindow.h"

#include <QObject>
#include <QPoint>

#include <functional>

class QKeyEvent;
class RunState;
class RunView;

// What the user does with the chart on a surface, a widget or a Qt Quick
// item: the wheel zooms, dragging goes back and forth through the run, a
// double click (or Escape, or End) returns to the live view; hovering a
// column, or Left and Right while the surface has the focus, picks a request
// for the readout; Home picks the first, Page Up and Page Down move by half a
// window, + and - zoom. Ctrl+C puts the run on the clipboard as text,
// copyCsv() one row per request.
//
// It takes the surface's input events (handle(), or as its event filter)
// and keeps the ChartWindow; the owner redraws on changed(). Mouse moves and
// hover moves alike move the readout, as widgets and Qt Quick send them.
class ChartNavigator : public QObject
{
    Q_OBJECT

public:
    using RunSource = std::function<const RunState *()>;
    using ChartShown = std::function<bool()>;

    // view and what run() returns must outlive the navigator; surface is its
    // parent, whose events it filters when it is installed as its filter.
    ChartNavigator(QObject *surface, const RunView &view, RunSource run, ChartShown chartShown);

    const ChartWindow &window() const { return m_window; }
    // Keeps the window in step with the run's length and the chart's room.
    void setTotal(qint64 total, qint64 roomyColumns) { m_window.setTotal(total, roomyColumns); }
    // Back to following the run, as a new run does.
    void goLive();

    // Whether the view is anywhere but live, unzoomed, without a readout.
    bool canGoLive() const;

    void copyText() const;
    void copyCsv() const;

    // Acts on an input event of the surface; true if it was the chart's.
    bool handle(QEvent *event);

signals:
    void changed();
    // A press on the chart: the surface should take the keys.
    void focusWanted();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool keyPressed(QKeyEvent *event);
    double pixelsPerRequest() const;
    void changeWindow(const std::function<void(ChartWindow &)> &change);

    QObject *m_surface;
    const RunView &m_view;
    RunSource m_run;
    ChartShown m_chartShown;
    ChartWindow m_window;

    bool m_dragging = false;
    QPoint m_pressPoint;
    ChartWindow m_pressWindow;
    bool m_hoverCursor = false; // the cursor follows the mouse, not the keys
    int m_wheelRemainder = 0;
};
