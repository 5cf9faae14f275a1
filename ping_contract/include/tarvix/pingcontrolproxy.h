#pragma once

#include <tarvix/pingcontrol.h>
#include <tarvix/tarvixcontractexport.h>

namespace Tarvix {

/*!
    \brief Typed calls over PingControl::invoke.

    Each returns the component's result unchanged, so a caller sees every
    error the late-bound call would give. Without a control, every call fails
    with DispResult::Error::Failed.
*/
class TARVIX_CONTRACT_EXPORT PingControlProxy
{
public:
    /*! A proxy for \a control, which it does not own; none by default. */
    explicit PingControlProxy(PingControl *control = nullptr) : m_control(control) {}

    /*! The control the calls go to, or \c nullptr. */
    PingControl *control() const { return m_control; }

    /*! Reads the property \a id. */
    DispResult get(DispId id) const;
    /*! Writes \a value to the property \a id. */
    DispResult put(DispId id, const DispValue &value) const;
    /*! Calls the method \a id with \a args. */
    DispResult call(DispId id, const QList<DispValue> &args) const;

    /*! Calls DispId::Ping with \a host, a name or an address. */
    DispResult ping(const QString &host) const { return call(DispId::Ping, {host}); }
    /*! Writes DispId::PacketSize: payload \a bytes per echo request. */
    DispResult setPacketSize(qint32 bytes) const { return put(DispId::PacketSize, bytes); }
    /*! Writes DispId::TimeToLive: the requests' \a ttl or hop limit. */
    DispResult setTimeToLive(qint32 ttl) const { return put(DispId::TimeToLive, ttl); }
    /*! Writes DispId::Timeout: \a ms to wait for each reply. */
    DispResult setTimeout(qint32 ms) const { return put(DispId::Timeout, ms); }
    /*! Writes DispId::Continuous: check-box \a state, non-zero to ping until stopped. */
    DispResult setContinuous(qint32 state) const { return put(DispId::Continuous, state); }
    /*! Writes DispId::Count: \a count echo requests per run. */
    DispResult setCount(qint32 count) const { return put(DispId::Count, count); }
    /*! Writes DispId::ResolveAddresses: check-box \a state, non-zero to resolve addresses to names. */
    DispResult setResolveAddresses(qint32 state) const { return put(DispId::ResolveAddresses, state); }
    /*! Writes DispId::Active; \a active 0 stops the run. */
    DispResult setActive(qint32 active) const { return put(DispId::Active, active); }
    /*! Reads DispId::Active: non-zero while a run is in progress. */
    DispResult active() const { return get(DispId::Active); }
    /*! Reads DispId::HostName: the host name of the run the last Ping started. */
    DispResult hostName() const { return get(DispId::HostName); }
    /*! Reads DispId::IpAddress: the address of that run. */
    DispResult ipAddress() const { return get(DispId::IpAddress); }

private:
    PingControl *m_control;
};

} // namespace Tarvix
