#pragma once

#include <QtGlobal>
#include <tarvix/tarvixpingexport.h>

// The top of a round-trip chart's y-axis. It moves in 1-2-5 steps, grows at
// once when a reply would not fit, and shrinks only when the replies in view
// need at most half of it, so the axis does not jump with every reply.
class TARVIX_PING_EXPORT ChartScale
{
public:
    static constexpr qint64 MinimumTopNs = 100000; // 0.1 ms: loopback still shows

    // The smallest 1-2-5 step of at least ns, and at least MinimumTopNs.
    static qint64 niceCeiling(qint64 ns);

    // The axis top after a repaint, from the previous top (0 for none yet) and
    // the largest round trip in view (0 when none is in view).
    static qint64 next(qint64 currentTopNs, qint64 largestInViewNs);
};
