#pragma once

#include "controlevent.h"

#include <QList>
#include <QObject>
#include <QTimer>

namespace Tarvix {
class PingEvents;
}

// Holds the control's events and raises them from the event loop, in the
// order they were posted, never from inside a dispatch call: a host's own
// writes after Ping returns come first, and a handler may call back into the
// control. The rules:
// - Inside a dispatch call (between beginCall() and endCall(), nested or not,
//   Ping's wait for the resolver included) nothing is raised; the outermost
//   call's end schedules what is pending.
// - An event posted from inside a handler of an event raised here is raised
//   after that handler returns, in order; never one handler inside another.
// - dropUnraised() drops what was not raised yet, but a run's closing
//   statistics (posted as closing), which a stop must not swallow.
// - A handler may destroy the queue's owner: raising stops there.
class EventQueue : public QObject
{
    Q_OBJECT

public:
    // events: where the events are raised; it must outlive the queue.
    explicit EventQueue(Tarvix::PingEvents *events, QObject *parent = nullptr);

    void post(const ControlEvent &event, bool closing = false);
    void dropUnraised();
    bool isEmpty() const { return m_pending.isEmpty(); }
    qsizetype size() const { return m_pending.size(); }

    void beginCall() { ++m_callDepth; }
    void endCall();

private:
    struct Pending
    {
        ControlEvent event;
        bool closing = false;
    };

    void scheduleDelivery();
    void deliver();
    void raise(const ControlEvent &event);

    Tarvix::PingEvents *m_events;
    QList<Pending> m_pending;
    int m_callDepth = 0;
    // Zero-interval, single-shot: delivery on the next turn of the event loop.
    QTimer m_delivery;
    bool m_delivering = false;
};
