#include "chartwindow.h"

#include <algorithm>
#include <cmath>
#include <limits>

qint64 ChartWindow::niceSpan(qint64 n)
{
    qint64 decade = 1;
    while (true) {
        for (qint64 factor : {1, 2, 5}) {
            if (decade * factor >= n)
                return decade * factor;
        }
        if (decade > std::numeric_limits<qint64>::max() / 100)
            return n;
        decade *= 10;
    }
}

void ChartWindow::setTotal(qint64 total, qint64 roomyColumns)
{
    m_total = std::max<qint64>(total, 0);
    m_roomyColumns = std::max(roomyColumns, MinimumSpan);
    clampEnd();
    if (m_cursor)
        m_cursor = std::clamp<qint64>(*m_cursor, 0, std::max<qint64>(m_total - 1, 0));
}

qint64 ChartWindow::autoSpan() const
{
    // The next 1-2-5 step above the run: 45 requests show in a window of 50.
    // Past the room for roomy columns, the newest that fit.
    const qint64 wanted = niceSpan(std::max(m_total, ShortestAutoSpan));
    return wanted <= m_roomyColumns ? wanted : std::max(m_roomyColumns, MinimumSpan);
}

qint64 ChartWindow::span() const
{
    if (!m_userSpan)
        return autoSpan();
    // Zoomed out past the run: the whole run, and no wider.
    return std::max(MinimumSpan, std::min(*m_userSpan, std::max(m_total, MinimumSpan)));
}

qint64 ChartWindow::end() const
{
    return m_live ? m_total : m_end;
}

void ChartWindow::clampEnd()
{
    if (m_live)
        return;
    m_end = std::clamp(m_end, std::min(span(), m_total), m_total);
}

void ChartWindow::zoom(int steps, double anchor)
{
    if (steps == 0)
        return;
    const qint64 oldSpan = span();
    qint64 newSpan = oldSpan;
    for (int i = 0; i < std::abs(steps); ++i) {
        if (steps > 0) {
            // The 1-2-5 step below.
            qint64 below = MinimumSpan;
            for (qint64 candidate = MinimumSpan; candidate < newSpan; candidate = niceSpan(candidate + 1))
                below = candidate;
            newSpan = below;
        } else {
            newSpan = niceSpan(newSpan + 1);
        }
    }
    newSpan = std::max(MinimumSpan, std::min(newSpan, std::max(m_total, MinimumSpan)));
    m_userSpan = newSpan;
    anchor = std::clamp(anchor, 0.0, 1.0);
    // The request under the anchor stays under it.
    const double anchorOrdinal = double(end()) - (1.0 - anchor) * double(oldSpan);
    const qint64 newEnd = qint64(std::llround(anchorOrdinal + (1.0 - anchor) * double(newSpan)));
    if (!m_live || newEnd < m_total) {
        m_live = false;
        m_end = newEnd;
        clampEnd();
    }
    if (m_cursor)
        setCursor(*m_cursor);
}

void ChartWindow::scroll(qint64 requests)
{
    if (requests == 0 || m_total == 0)
        return;
    const qint64 from = end();
    m_live = false;
    m_end = from + requests;
    clampEnd();
    // Forward up to the newest: following the run again, unless a cursor holds it.
    if (requests > 0 && m_end >= m_total && !m_cursor)
        m_live = true;
}

void ChartWindow::goLive()
{
    m_live = true;
    m_userSpan.reset();
    m_cursor.reset();
}

void ChartWindow::setCursor(qint64 ordinal, bool hold)
{
    if (m_total == 0) {
        m_cursor.reset();
        return;
    }
    if (hold && m_live) {
        m_end = m_total;
        m_live = false;
    }
    m_cursor = std::clamp<qint64>(ordinal, 0, m_total - 1);
    if (*m_cursor < begin())
        scroll(*m_cursor - begin());
    else if (*m_cursor >= end())
        scroll(*m_cursor - end() + 1);
}

void ChartWindow::moveCursor(qint64 delta)
{
    if (!m_cursor) {
        setCursor(end() - 1);
        return;
    }
    setCursor(*m_cursor + delta);
}
