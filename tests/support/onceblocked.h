#pragma once

#include "gatedlookup.h"

#include <QTimer>

#include <functional>

// Runs an action once from the event loop, as soon as a gated lookup has
// blocked: what a handler run during a resolving Ping's wait would do.
class OnceBlocked
{
public:
    OnceBlocked(const GatedLookup &gate, std::function<void()> action)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this, &gate, action = std::move(action)] {
            if (m_done || gate.entered() == 0)
                return;
            m_done = true;
            m_timer.stop();
            action();
        });
        m_timer.start(5);
    }
    OnceBlocked(const OnceBlocked &) = delete;
    OnceBlocked &operator=(const OnceBlocked &) = delete;

    bool done() const { return m_done; }

private:
    QTimer m_timer;
    bool m_done = false;
};
