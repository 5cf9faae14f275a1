#pragma once

#include "runstate.h"

#include <QRect>
#include <QString>
#include <QStringList>

class QPainter;
class QPalette;

// Draws a run on the control's surface: the full display (the host and its
// address, a chart of the recent round trips with losses and errors marked,
// the running statistics and the last reply line), or on a small surface a
// lamp. Painting looks only at the recent requests that fit the chart, so it
// costs the same after ten requests or a hundred thousand.
class RunView
{
public:
    enum class Phase { Idle, Resolving, Running, Finished };

    struct Snapshot
    {
        Phase phase = Phase::Idle;
        QString title;        // host and address of the run
        QString lastLine;     // the last reply, time-out or error line
        const RunState *run = nullptr; // the current or last run, or none yet
    };

    // Where the parts of the full display go: from the top, a header line,
    // the chart taking what height is left, two lines of statistics, and the
    // last reply line.
    struct Layout
    {
        QRect header;
        QRect chart;
        QRect statistics;
        QRect footer;
    };

    // Whether the full display fits; smaller surfaces get the lamp.
    static bool fitsFullDisplay(const QSize &size);
    static Layout layout(const QRect &area, int lineHeight);

    // One bar per request, newest at the right, this many pixels apart.
    static constexpr int BarPitch = 4;

    // The two statistics lines of a run, worded for a glance.
    static QStringList statisticsLines(const RunStatistics &statistics);

    // Moves the chart's y-axis to fit the replies the chart shows of run, laid
    // out on area with lines lineHeight pixels high. The control calls it when
    // a request ends, a run starts or its surface changes; painting only reads
    // the axis, so the same samples always look the same.
    void updateScale(const RunState *run, const QRect &area, int lineHeight);

    void paint(QPainter &painter, const QRect &area, const QPalette &palette, const Snapshot &snapshot,
               bool full) const;

    // The y-axis top of the chart, in ns; 0 before any update.
    qint64 scaleTopNs() const { return m_scaleTopNs; }

private:
    void paintLamp(QPainter &painter, const QRect &area, const Snapshot &snapshot) const;
    void paintChart(QPainter &painter, const QRect &area, const Snapshot &snapshot) const;

    qint64 m_scaleTopNs = 0;
};
