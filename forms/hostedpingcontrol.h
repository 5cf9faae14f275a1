#pragma once

#include <tarvix/pingcontrolproxy.h>

#include <QString>

// A hosted ping control as handler code calls it: typed calls over the
// dispatch contract. A call that the component fails raises a RunTimeError
// that names the control, the member and the component's reason.
class HostedPingControl
{
public:
    // control may be nullptr when the form could not create the component;
    // every call then fails with a run-time error.
    HostedPingControl(const QString &name, PingControl *control) : m_name(name), m_proxy(control) {}

    const QString &name() const { return m_name; }
    PingControl *control() const { return m_proxy.control(); }

    void ping(const QString &host) const;
    void setPacketSize(qint32 bytes) const { put(DispId::PacketSize, bytes); }
    void setTimeToLive(qint32 ttl) const { put(DispId::TimeToLive, ttl); }
    void setTimeout(qint32 milliseconds) const { put(DispId::Timeout, milliseconds); }
    void setContinuous(qint32 state) const { put(DispId::Continuous, state); }
    void setCount(qint32 count) const { put(DispId::Count, count); }
    void setResolveAddresses(qint32 state) const { put(DispId::ResolveAddresses, state); }
    void setActive(qint32 active) const { put(DispId::Active, active); }

    // Read as a 32-bit integer; nothing reads as 0.
    qint32 active() const;
    // Read as text; nothing reads as an empty text, a number as its decimal text.
    QString hostName() const { return getText(DispId::HostName); }
    QString ipAddress() const { return getText(DispId::IpAddress); }

private:
    void put(DispId id, qint32 value) const;
    QString getText(DispId id) const;
    DispValue get(DispId id) const;

    QString m_name;
    PingControlProxy m_proxy;
};
