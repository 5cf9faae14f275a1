#pragma once

#include <QtGlobal>

#include <optional>
#include <tarvix/tarvixpingexport.h>

// Which requests of a run the chart shows: a window of span consecutive
// requests ending at end (exclusive), by ordinal. Live, the window follows
// the newest request and, until the user zooms, sizes itself to the run so
// that a short run fills most of the chart. Zoom goes in 1-2-5 steps from a
// few requests to the whole run; scrolling goes back through all of it. A
// cursor may pick one request, which the window then keeps in view.
class TARVIX_PING_EXPORT ChartWindow
{
public:
    static constexpr qint64 MinimumSpan = 5;
    // Live and unzoomed, a run this short still gets this wide a window.
    static constexpr qint64 ShortestAutoSpan = 20;

    // The run now has total requests; the chart has room for this many
    // columns of one request each (automatic sizing never goes past it).
    void setTotal(qint64 total, qint64 roomyColumns);
    qint64 total() const { return m_total; }

    qint64 span() const;
    qint64 end() const;
    qint64 begin() const { return qMax<qint64>(0, end() - span()); }
    bool isLive() const { return m_live; }
    bool isZoomed() const { return m_userSpan.has_value(); }

    // Positive steps zoom in (fewer requests), negative out. anchor, from 0
    // (left edge) to 1 (right edge), is the spot that stays put.
    void zoom(int steps, double anchor = 1.0);
    // Moves the window by that many requests, negative into the past. Moving
    // up to the newest request makes the window live again.
    void scroll(qint64 requests);
    // Follow the newest request again, at the automatic size, cursor off.
    void goLive();

    const std::optional<qint64> &cursor() const { return m_cursor; }
    // Picks a request (clamped to the run), scrolling it into view. Held, the
    // window stops following the run so that the request stays where it is
    // (the keyboard's cursor); a mouse hovering over a live chart does not hold.
    void setCursor(qint64 ordinal, bool hold = true);
    // Moves the held cursor by delta requests; from none, it starts at the newest.
    void moveCursor(qint64 delta);
    void clearCursor() { m_cursor.reset(); }

    // The 1-2-5 step at or above n.
    static qint64 niceSpan(qint64 n);

private:
    qint64 autoSpan() const;
    void clampEnd();

    qint64 m_total = 0;
    qint64 m_roomyColumns = 100;
    bool m_live = true;
    qint64 m_end = 0; // when not live
    std::optional<qint64> m_userSpan;
    std::optional<qint64> m_cursor;
};
