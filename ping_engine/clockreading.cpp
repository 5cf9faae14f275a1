#include "clockreading.h"

#include <ctime>

namespace {

qint64 read(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

} // namespace

ClockReading ClockReading::now()
{
    ClockReading reading;
    reading.realtimeNs = read(CLOCK_REALTIME);
    reading.monotonicNs = read(CLOCK_MONOTONIC);
    return reading;
}

qint64 ClockReading::toMonotonic(qint64 wallClockNs) const
{
    const qint64 agoNs = realtimeNs - wallClockNs;
    return agoNs > 0 ? monotonicNs - agoNs : monotonicNs;
}
