#pragma once

#include <tarvix/pingcontrol.h>
#include <tarvix/tarvixcontractexport.h>

namespace Tarvix {

// Typed calls over PingControl::invoke. Each returns the component's result
// unchanged, so a caller sees every error the late-bound call would give.
class TARVIX_CONTRACT_EXPORT PingControlProxy
{
public:
    explicit PingControlProxy(PingControl *control = nullptr) : m_control(control) {}

    PingControl *control() const { return m_control; }

    DispResult get(DispId id) const;
    DispResult put(DispId id, const DispValue &value) const;
    DispResult call(DispId id, const QList<DispValue> &args) const;

    DispResult ping(const QString &host) const { return call(DispId::Ping, {host}); }
    DispResult setPacketSize(qint32 bytes) const { return put(DispId::PacketSize, bytes); }
    DispResult setTimeToLive(qint32 ttl) const { return put(DispId::TimeToLive, ttl); }
    DispResult setTimeout(qint32 ms) const { return put(DispId::Timeout, ms); }
    DispResult setContinuous(qint32 state) const { return put(DispId::Continuous, state); }
    DispResult setCount(qint32 count) const { return put(DispId::Count, count); }
    DispResult setResolveAddresses(qint32 state) const { return put(DispId::ResolveAddresses, state); }
    DispResult setActive(qint32 active) const { return put(DispId::Active, active); }
    DispResult active() const { return get(DispId::Active); }
    DispResult hostName() const { return get(DispId::HostName); }
    DispResult ipAddress() const { return get(DispId::IpAddress); }

private:
    PingControl *m_control;
};

} // namespace Tarvix
