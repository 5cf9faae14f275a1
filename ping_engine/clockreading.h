#pragma once

#include <QtGlobal>

// The wall clock (CLOCK_REALTIME) and the monotonic clock (CLOCK_MONOTONIC)
// read one right after the other. The kernel stamps packets on the wall
// clock, which can step (NTP, a user); whether a reply was late is decided on
// the monotonic clock, which cannot. A reading taken right after a packet was
// read maps the packet's stamp onto the monotonic clock.
struct ClockReading
{
    qint64 realtimeNs = 0;
    qint64 monotonicNs = 0;

    static ClockReading now();

    // An instant on the wall clock no later than this reading, as a monotonic
    // time: this reading's monotonic time less how long before it the instant
    // lay. An instant "after" the reading (the wall clock stepped back since)
    // maps to the reading itself; one that seems older than it can be (stepped
    // forward since) is the caller's to bound, by the time of the send.
    qint64 toMonotonic(qint64 wallClockNs) const;
};
