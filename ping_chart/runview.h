#pragma once

#include "chartwindow.h"
#include "runhistory.h"
#include "runstate.h"

#include <QColor>
#include <QCoreApplication>
#include <QRect>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class QPainter;
class QPalette;

// Draws a run on the control's surface: the full display (the host and its
// address, a chart of round trips over a time axis with losses and errors
// marked, the running statistics and the last reply line, or the request the
// cursor picked), or on a small surface a lamp.
//
// update() works out everything the chart shows (its columns, the y-axis, the
// time axis, the readout) from the run and the window onto it; the control
// calls it when a request ends, the window moves or the surface changes.
// Painting only draws what update() left, one column per few pixels, so it
// costs the same after ten requests or a hundred thousand and shows the same
// samples the same way every time.
class RunView
{
    Q_DECLARE_TR_FUNCTIONS(RunView)

public:
    enum class Phase { Idle, Resolving, Starting, Running, Finished }; // Starting: its prober gets ready

    struct Snapshot
    {
        Phase phase = Phase::Idle;
        QString title;        // host and address of the run
        QString lastLine;     // the last reply, time-out or error line
        const RunState *run = nullptr; // the current or last run, or none yet
    };

    // Where the parts of the full display go: from the top, a header line,
    // the chart taking what height is left, the time axis under it, two
    // lines of statistics, and the last reply line (or the readout).
    struct Layout
    {
        QRect header;
        QRect chart;
        QRect timeAxis;
        QRect statistics;
        QRect footer;
    };

    // One column of the chart: the requests from first up to end, summarised.
    struct Column
    {
        qint64 first = 0;
        qint64 end = 0;
        RunHistory::Summary summary;
        int x = 0;     // left edge
        int width = 0; // of the bar; the pitch leaves a gap of a pixel or two
    };

    struct Tick
    {
        int x = 0;
        QString label; // "now", "-30 s", "-2 min"
    };

    // Columns are never narrower than this, gap included.
    static constexpr int MinimumPitch = 3;
    // Unzoomed, a live chart keeps each request at least this wide.
    static constexpr int RoomyPitch = 4;

    // All that the lamp shows of a run: a surface that shows the lamp needs
    // repainting only when this changes.
    struct LampLook
    {
        QRgb fill = 0;
        bool busy = false;
        bool operator==(const LampLook &) const = default;
    };
    static LampLook lampLook(const Snapshot &snapshot);

    // The colours of the surface on a palette. Texts stand at least 4.5:1
    // against what they are drawn on, the chart's marks (replies, losses,
    // errors, the cursor) at least 3:1 against the chart (WCAG 2.1 AA), on a
    // light palette and on a dark one alike.
    struct Colors
    {
        QColor background; // of the full display: the palette's base
        QColor text;
        QColor quietText; // phase, axis labels, the last line
        QColor frame;
        QColor chart; // the chart's own background, a shade off the base
        QColor grid;
        QColor reply;
        QColor replySpread; // the lower part of a column of many requests
        QColor lostFill;
        QColor lostMark;
        QColor errorFill;
        QColor errorMark;
        QColor active; // the phase while a run is in progress, the cursor, the lamp's ring
        QColor lampFrame;
    };
    static Colors colors(const QPalette &palette);
    // WCAG 2.1's contrast ratio of two colours, 1 to 21.
    static double contrast(const QColor &a, const QColor &b);

    // Whether the full display fits; smaller surfaces get the lamp.
    static bool fitsFullDisplay(const QSize &size);
    static Layout layout(const QRect &area, int lineHeight);
    // How many requests the chart of a surface shows one by one, roomily: for
    // the window's automatic size.
    static qint64 roomyColumns(const QRect &area, int lineHeight);

    // The two statistics lines of a run, worded for a glance.
    static QStringList statisticsLines(const RunStatistics &statistics);

    // Works out the chart of run through window on area, with lines
    // lineHeight pixels high.
    void update(const RunState *run, const ChartWindow &window, const QRect &area, int lineHeight);

    void paint(QPainter &painter, const QRect &area, const QPalette &palette, const Snapshot &snapshot,
               bool full) const;

    // The y-axis top of the chart, in ns; 0 before any update.
    qint64 scaleTopNs() const { return m_scaleTopNs; }
    const std::vector<Column> &columns() const { return m_columns; }
    const std::vector<Tick> &ticks() const { return m_ticks; }
    const QRect &chartRect() const { return m_chart; }
    // The request under x in the chart, or none.
    std::optional<qint64> ordinalAt(int x) const;
    // What the cursor picked, in the component's line format; empty without one.
    const QString &readout() const { return m_readout; }

private:
    void paintLamp(QPainter &painter, const QRect &area, const Snapshot &snapshot, const Colors &colors) const;
    void paintChart(QPainter &painter, const QRect &area, const Snapshot &snapshot, const Colors &colors) const;
    void paintTimeAxis(QPainter &painter, const QRect &axis, const Colors &colors) const;
    void updateTicks(const RunHistory &history, qint64 begin, qint64 end, double pixelsPerRequest);

    qint64 m_scaleTopNs = 0;
    QRect m_chart;
    int m_pitch = MinimumPitch;
    std::vector<Column> m_columns; // newest first
    std::vector<Tick> m_ticks;
    std::optional<size_t> m_cursorColumn;
    QString m_readout;
};
