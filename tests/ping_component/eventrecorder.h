#pragma once

#include <tarvix/pingevents.h>

#include <QCoreApplication>
#include <QList>
#include <QString>


// Records a control's events in the order they are raised.
class EventRecorder
{
public:
    struct Event
    {
        Tarvix::PingEvents::Id id;
        QString text; // strIpAddress, strPing or strError
        qint32 bytes = 0;
        qint32 time = 0;
        qint32 ttl = 0;
        qint32 error = 0;
    };

    explicit EventRecorder(Tarvix::PingEvents *events)
    {
        QObject::connect(events, &Tarvix::PingEvents::OnPing, events,
                         [this](const QString &ip, qint32 bytes, qint32 time, qint32 ttl) {
                             m_events.append({Tarvix::PingEvents::Id::OnPing, ip, bytes, time, ttl, 0});
                         });
        QObject::connect(events, &Tarvix::PingEvents::OnPingStr, events, [this](const QString &line) {
            m_events.append({Tarvix::PingEvents::Id::OnPingStr, line});
        });
        QObject::connect(events, &Tarvix::PingEvents::OnPingError, events, [this](const QString &text, qint32 code) {
            m_events.append({Tarvix::PingEvents::Id::OnPingError, text, 0, 0, 0, code});
        });
    }

    const QList<Event> &events() const { return m_events; }
    QList<Event> of(Tarvix::PingEvents::Id id) const
    {
        QList<Event> selected;
        for (const Event &e : m_events)
            if (e.id == id)
                selected.append(e);
        return selected;
    }
    QString allText() const
    {
        QString text;
        for (const Event &e : m_events)
            if (e.id != Tarvix::PingEvents::Id::OnPing)
                text += e.text;
        return text;
    }

    // Raises whatever the control has queued: its events go out through the
    // event loop, never from inside a call, and nothing else needs to wait.
    static void deliverQueued()
    {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

private:
    QList<Event> m_events;
};
