#include "systemclock.h"

#include <QTimer>

#include <limits>

namespace {

// A QTimer counts whole milliseconds: rounded up, so that it never fires
// before its instant.
class TimerAlarm final : public Alarm
{
public:
    explicit TimerAlarm(std::function<void()> onAlarm)
    {
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, std::move(onAlarm));
    }

    void setAt(qint64 monotonicNs) override
    {
        const qint64 remainingNs = monotonicNs - ClockReading::now().monotonicNs;
        const qint64 ms = remainingNs <= 0 ? 0 : (remainingNs + 999999) / 1000000;
        m_timer.start(int(qMin<qint64>(ms, std::numeric_limits<int>::max())));
    }

    void cancel() override { m_timer.stop(); }

private:
    QTimer m_timer;
};

} // namespace

SystemClock &SystemClock::instance()
{
    static SystemClock clock;
    return clock;
}

std::unique_ptr<Alarm> SystemClock::createAlarm(std::function<void()> onAlarm)
{
    return std::make_unique<TimerAlarm>(std::move(onAlarm));
}
