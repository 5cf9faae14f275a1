#pragma once

#include "alarm.h"
#include "clockreading.h"

#include <functional>
#include <memory>

// Time as the engine sees it: both clocks read together, and alarms. The
// system's own (SystemClock), or a test's, which moves only when told to.
class Clock
{
public:
    virtual ~Clock() = default;

    virtual ClockReading now() const = 0;
    virtual std::unique_ptr<Alarm> createAlarm(std::function<void()> onAlarm) = 0;
};
