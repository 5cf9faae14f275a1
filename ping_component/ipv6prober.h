#pragma once

#include "icmpprober.h"

#include <memory>

// ICMPv6 echo, on an unprivileged datagram socket or on a raw socket.
class Ipv6Prober final : public IcmpProber
{
public:
    // Opens and sets up a socket of the kind, or gives the errno and the step
    // that failed.
    using Opened = Result<std::unique_ptr<Ipv6Prober>, IcmpSocket::Failure>;
    static Opened open(SocketKind kind);

    IpFamily family() const override { return IpFamily::IPv6; }
    bool setHopLimit(int hops) override;
    // A link-local target needs its scope id (interface name or number).
    SendResult send(const HostAddress &target, quint16 sequence, const QByteArray &payload) override;

protected:
    std::optional<ProbeEvent> parseData(const IcmpSocket::Datagram &datagram) const override;

private:
    using IcmpProber::IcmpProber;
};
