#include "timer.h"

#include "runtimeerror.h"

#include <QTimer>

int Timer::interval() const
{
    return m_timer->interval();
}

void Timer::setInterval(int milliseconds) const
{
    if (milliseconds < 0)
        throw RunTimeError::invalidValue(m_name, QStringLiteral("Interval"), milliseconds,
                                         QStringLiteral("0 or more milliseconds"));
    apply(m_timer, milliseconds);
}

bool Timer::isRunning() const
{
    return m_timer->isActive();
}

void Timer::apply(QTimer *timer, int milliseconds)
{
    timer->setInterval(milliseconds);
    if (milliseconds > 0)
        timer->start();
    else
        timer->stop();
}
