#pragma once

#include <QtGlobal>

// A one-shot alarm on the monotonic clock, made by a Clock.
class Alarm
{
public:
    virtual ~Alarm() = default;

    // Fires once, at the monotonic instant or as soon after it as the event
    // loop allows; replaces an earlier setting. An instant already past fires
    // from the event loop, never from inside this call.
    virtual void setAt(qint64 monotonicNs) = 0;
    virtual void cancel() = 0;
};
