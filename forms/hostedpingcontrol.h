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
    HostedPingControl(const QString &name, Tarvix::PingControl *control) : m_name(name), m_proxy(control) {}

    const QString &name() const { return m_name; }
    Tarvix::PingControl *control() const { return m_proxy.control(); }

    void ping(const QString &host) const;
    void setPacketSize(qint32 bytes) const { put(Tarvix::DispId::PacketSize, bytes); }
    void setTimeToLive(qint32 ttl) const { put(Tarvix::DispId::TimeToLive, ttl); }
    void setTimeout(qint32 milliseconds) const { put(Tarvix::DispId::Timeout, milliseconds); }
    void setContinuous(qint32 state) const { put(Tarvix::DispId::Continuous, state); }
    void setCount(qint32 count) const { put(Tarvix::DispId::Count, count); }
    void setResolveAddresses(qint32 state) const { put(Tarvix::DispId::ResolveAddresses, state); }
    void setActive(qint32 active) const { put(Tarvix::DispId::Active, active); }

    // Read as a 32-bit integer; nothing reads as 0.
    qint32 active() const;
    // Read as text; nothing reads as an empty text, a number as its decimal text.
    QString hostName() const { return getText(Tarvix::DispId::HostName); }
    QString ipAddress() const { return getText(Tarvix::DispId::IpAddress); }

private:
    void put(Tarvix::DispId id, qint32 value) const;
    QString getText(Tarvix::DispId id) const;
    Tarvix::DispValue get(Tarvix::DispId id) const;

    QString m_name;
    Tarvix::PingControlProxy m_proxy;
};
