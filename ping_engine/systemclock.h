#pragma once

#include "clock.h"
#include <tarvix/tarvixpingexport.h>

// The system's clocks, and alarms on the event loop's precise timers.
class TARVIX_PING_EXPORT SystemClock final : public Clock
{
public:
    // It has no state: one serves every engine.
    static SystemClock &instance();

    ClockReading now() const override { return ClockReading::now(); }
    std::unique_ptr<Alarm> createAlarm(std::function<void()> onAlarm) override;
};
