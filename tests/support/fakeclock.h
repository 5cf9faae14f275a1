#pragma once

#include "clock.h"

#include <QList>

#include <optional>

class FakeAlarm;

// A clock that moves only when a test says so. Alarms fire from advance(),
// each at its own instant and in the order of their instants, with the clock
// showing that instant; an alarm set for a time already past fires at the
// next advance, as a timer set to 0 fires at the next turn of the event loop.
// The wall clock runs along with the monotonic one until a test steps it.
class FakeClock final : public Clock
{
public:
    static constexpr qint64 Second = 1'000'000'000;
    static constexpr qint64 Millisecond = 1'000'000;
    static constexpr qint64 Microsecond = 1'000;

    FakeClock();
    ~FakeClock() override;

    ClockReading now() const override { return m_now; }
    std::unique_ptr<Alarm> createAlarm(std::function<void()> onAlarm) override;

    // Moves both clocks on by ns, firing what falls due on the way.
    void advance(qint64 ns);
    // The same, up to a monotonic instant.
    void advanceTo(qint64 monotonicNs);
    // Fires what is due now.
    void runDue() { advance(0); }
    // Fires the next alarm byNs before its instant, as a coarse timer may,
    // with the clock showing that earlier instant. False when none is set.
    bool fireNextAlarmEarly(qint64 byNs);
    // Steps the wall clock alone, as NTP or a user does.
    void stepWallClock(qint64 ns) { m_now.realtimeNs += ns; }

    qint64 monotonicNs() const { return m_now.monotonicNs; }
    // The wall clock's reading at a monotonic instant, as things stand now.
    qint64 wallClockAt(qint64 monotonicNs) const { return monotonicNs + (m_now.realtimeNs - m_now.monotonicNs); }
    // When the next alarm is due; nothing when none is set.
    std::optional<qint64> nextAlarm() const;

private:
    friend class FakeAlarm;
    FakeAlarm *earliestDue(qint64 limitNs) const;

    ClockReading m_now;
    QList<FakeAlarm *> m_alarms;
};
