#include "chartscale.h"

#include <limits>

qint64 ChartScale::niceCeiling(qint64 ns)
{
    qint64 decade = MinimumTopNs;
    while (true) {
        for (qint64 factor : {1, 2, 5}) {
            if (decade * factor >= ns)
                return decade * factor;
        }
        if (decade > std::numeric_limits<qint64>::max() / 100)
            return decade * 10;
        decade *= 10;
    }
}

qint64 ChartScale::next(qint64 currentTopNs, qint64 largestInViewNs)
{
    // Nothing in view, all lost say: keep the axis rather than collapse it.
    if (largestInViewNs <= 0)
        return currentTopNs > 0 ? currentTopNs : MinimumTopNs;
    // A little headroom so that the largest bar does not touch the frame.
    const qint64 wanted = niceCeiling(largestInViewNs + largestInViewNs / 8);
    if (currentTopNs <= 0 || wanted > currentTopNs)
        return wanted;
    if (wanted * 2 <= currentTopNs)
        return wanted;
    return currentTopNs;
}
