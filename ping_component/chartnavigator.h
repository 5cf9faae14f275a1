#pragma once

#include "chartwindow.h"

#include <QObject>
#include <QPoint>

#include <functional>

class QKeyEvent;
class QMenu;
class QWidget;
class RunState;
class RunView;

// What the user does with the chart on a control's surface: the wheel zooms,
// dragging goes back and forth through the run, a double click (or Escape,
// or End) returns to the live view; hovering a column, or Left and Right
// while the surface has the focus, picks a request for the readout; Home
// picks the first, Page Up and Page Down move by half a window, + and -
// zoom. Ctrl+C, and Copy in the context menu, put the run on the clipboard
// as text; Copy as CSV puts one row per request.
//
// It watches the surface's events and keeps the ChartWindow; the owner
// redraws on changed().
class ChartNavigator : public QObject
{
    Q_OBJECT

public:
    using RunSource = std::function<const RunState *()>;
    using ChartShown = std::function<bool()>;

    // surface, view and what run() returns must outlive the navigator.
    ChartNavigator(QWidget *surface, const RunView &view, RunSource run, ChartShown chartShown);

    const ChartWindow &window() const { return m_window; }
    // Keeps the window in step with the run's length and the chart's room.
    void setTotal(qint64 total, qint64 roomyColumns) { m_window.setTotal(total, roomyColumns); }
    // Back to following the run, as a new run does.
    void goLive();

    void copyText() const;
    void copyCsv() const;
    // The surface's context menu, owned by the caller.
    QMenu *createContextMenu(QWidget *parent);

signals:
    void changed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool keyPressed(QKeyEvent *event);
    double pixelsPerRequest() const;
    void changeWindow(const std::function<void(ChartWindow &)> &change);

    QWidget *m_surface;
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
