#pragma once

#include "icmpprober.h"

#include <memory>

// ICMP echo over IPv4, on an unprivileged datagram socket or on a raw socket.
class Ipv4Prober final : public IcmpProber
{
public:
    // Opens and sets up a socket of the kind, or gives the errno and the step
    // that failed.
    using Opened = Result<std::unique_ptr<Ipv4Prober>, IcmpSocket::Failure>;
    static Opened open(SocketKind kind);

    IpFamily family() const override { return IpFamily::IPv4; }
    bool setHopLimit(int hops) override;
    SendResult send(const HostAddress &target, quint16 sequence, const QByteArray &payload) override;

protected:
    std::optional<ProbeEvent> parseData(const IcmpSocket::Datagram &datagram) const override;

private:
    using IcmpProber::IcmpProber;
};
