#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QWidget;

// Paints a window at most once per display frame.
//
// Qt repaints a window each time the event loop turns after a change, so a
// log that takes a line every millisecond is painted a thousand times a
// second for a screen that shows sixty, and painting becomes most of what the
// program does. The pacer watches the window's update requests: one that
// comes a frame or more after the last paint goes through at once; one that
// comes sooner is held until that frame is due, and the changes made in
// between are painted together. Nothing is dropped: a held paint is at most
// one frame late, and what the window shows is what it would have shown.
//
// Only the pacing of update requests changes. Exposure (a window shown,
// uncovered or resized) is painted by Qt at once, and a grab() draws the
// widgets anew as always; a repaint() asked for within a frame of the last
// paint goes out with that frame.
class FramePacer : public QObject
{
public:
    // Paces window, which must be a top-level widget; the pacer is its child.
    explicit FramePacer(QWidget *window);

    // One frame of the window's screen, at 60 Hz where the screen does not
    // say, kept between 4 and 50 ms.
    int frameIntervalMs() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void paintHeld();

    QWidget *m_window;
    QElapsedTimer m_sinceLastPaint;
    QTimer m_held;
    bool m_passing = false;
};
