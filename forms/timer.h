#pragma once

#include <QString>

class QTimer;

// A timer: no window. Interval in milliseconds; 0 stops it, above 0 starts it
// afresh. Each tick reaches the handler <name>_Timer.
class Timer
{
public:
    Timer(const QString &name, QTimer *timer) : m_name(name), m_timer(timer) {}

    const QString &name() const { return m_name; }

    int interval() const;
    void setInterval(int milliseconds) const;
    bool isRunning() const;

    // What every form does with a timer: the run time sets design values
    // through this too, so the rule lives in one place.
    static void apply(QTimer *timer, int milliseconds);

private:
    QString m_name;
    QTimer *m_timer;
};
