#include "fakeclock.h"

#include <limits>

class FakeAlarm final : public Alarm
{
public:
    FakeAlarm(FakeClock &clock, std::function<void()> onAlarm) : m_clock(clock), m_onAlarm(std::move(onAlarm))
    {
        m_clock.m_alarms.append(this);
    }
    ~FakeAlarm() override { m_clock.m_alarms.removeOne(this); }

    void setAt(qint64 monotonicNs) override
    {
        m_due = monotonicNs;
        m_order = ++s_settings;
    }
    void cancel() override { m_due.reset(); }

    std::optional<qint64> due() const { return m_due; }
    quint64 order() const { return m_order; }
    void fire()
    {
        m_due.reset();
        m_onAlarm();
    }

private:
    static inline quint64 s_settings = 0;
    FakeClock &m_clock;
    std::function<void()> m_onAlarm;
    std::optional<qint64> m_due;
    quint64 m_order = 0; // alarms due at the same instant fire in the order they were set
};

FakeClock::FakeClock()
{
    // Some day in 2026 on the wall clock, an hour of uptime on the monotonic one.
    m_now.realtimeNs = 1'790'000'000 * Second;
    m_now.monotonicNs = 3600 * Second;
}

FakeClock::~FakeClock() = default;

std::unique_ptr<Alarm> FakeClock::createAlarm(std::function<void()> onAlarm)
{
    return std::make_unique<FakeAlarm>(*this, std::move(onAlarm));
}

FakeAlarm *FakeClock::earliestDue(qint64 limitNs) const
{
    FakeAlarm *earliest = nullptr;
    for (FakeAlarm *alarm : m_alarms) {
        if (!alarm->due() || *alarm->due() > limitNs)
            continue;
        if (!earliest || *alarm->due() < *earliest->due()
            || (*alarm->due() == *earliest->due() && alarm->order() < earliest->order()))
            earliest = alarm;
    }
    return earliest;
}

void FakeClock::advance(qint64 ns)
{
    advanceTo(m_now.monotonicNs + ns);
}

void FakeClock::advanceTo(qint64 monotonicNs)
{
    // An alarm that keeps setting itself for the past would spin forever: a fault worth stopping at.
    int fired = 0;
    while (FakeAlarm *alarm = earliestDue(monotonicNs)) {
        if (++fired > 1'000'000)
            qFatal("FakeClock: alarms keep falling due at %lld ns", static_cast<long long>(m_now.monotonicNs));
        const qint64 at = qMax(*alarm->due(), m_now.monotonicNs);
        m_now.realtimeNs += at - m_now.monotonicNs;
        m_now.monotonicNs = at;
        alarm->fire();
    }
    if (monotonicNs > m_now.monotonicNs) {
        m_now.realtimeNs += monotonicNs - m_now.monotonicNs;
        m_now.monotonicNs = monotonicNs;
    }
}

std::optional<qint64> FakeClock::nextAlarm() const
{
    std::optional<qint64> next;
    for (const FakeAlarm *alarm : m_alarms) {
        if (alarm->due() && (!next || *alarm->due() < *next))
            next = alarm->due();
    }
    return next;
}

bool FakeClock::fireNextAlarmEarly(qint64 byNs)
{
    FakeAlarm *alarm = earliestDue(std::numeric_limits<qint64>::max());
    if (!alarm)
        return false;
    const qint64 at = qMax(*alarm->due() - byNs, m_now.monotonicNs);
    m_now.realtimeNs += at - m_now.monotonicNs;
    m_now.monotonicNs = at;
    alarm->fire();
    return true;
}
