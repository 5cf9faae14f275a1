#include "eventqueue.h"

#include <tarvix/pingevents.h>

#include <QPointer>

EventQueue::EventQueue(Tarvix::PingEvents *events, QObject *parent) : QObject(parent), m_events(events)
{
    // A zero timer rather than a posted call: a run's replies come one turn
    // of the event loop at a time, and a posted event wakes the loop through
    // its wake-up descriptor, a write and a read for every reply, where a
    // timer that is due only makes the loop's next wait a zero one.
    m_delivery.setSingleShot(true);
    m_delivery.setInterval(0);
    connect(&m_delivery, &QTimer::timeout, this, &EventQueue::deliver);
}

void EventQueue::post(const ControlEvent &event, bool closing)
{
    m_pending.append(Pending{event, closing});
    scheduleDelivery();
}

void EventQueue::dropUnraised()
{
    m_pending.removeIf([](const Pending &pending) { return !pending.closing; });
}

void EventQueue::endCall()
{
    --m_callDepth;
    if (m_callDepth == 0 && !m_pending.isEmpty())
        scheduleDelivery();
}

void EventQueue::scheduleDelivery()
{
    if (!m_delivery.isActive())
        m_delivery.start();
}

void EventQueue::deliver()
{
    // Inside a dispatch call, or inside a handler of an event raised here,
    // wait: the call's end or the outer loop picks the rest up.
    if (m_callDepth > 0 || m_delivering)
        return;
    QPointer<EventQueue> self(this);
    m_delivering = true;
    while (!m_pending.isEmpty()) {
        raise(m_pending.takeFirst().event);
        if (!self)
            return; // a handler destroyed us
    }
    m_delivering = false;
}

void EventQueue::raise(const ControlEvent &event)
{
    if (const auto *onPing = std::get_if<OnPingEvent>(&event))
        emit m_events->OnPing(onPing->ipAddress, onPing->bytes, onPing->time, onPing->ttl);
    else if (const auto *line = std::get_if<OnPingStrEvent>(&event))
        emit m_events->OnPingStr(line->line);
    else if (const auto *error = std::get_if<OnPingErrorEvent>(&event))
        emit m_events->OnPingError(error->text, error->code);
}
