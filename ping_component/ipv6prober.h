#pragma once

#include "icmpprober.h"

#include <memory>

// ICMPv6 echo, on an unprivileged datagram socket or on a raw socket.
class Ipv6Prober final : public IcmpProber
{
public:
    // Opens and sets up a socket of the kind; nothing when the kernel refuses,
    // with errnoValue and failedStep as IcmpProber::openSocket gives them.
    static std::unique_ptr<Ipv6Prober> open(SocketKind kind, int *errnoValue, QString *failedStep);

    IpFamily family() const override { return IpFamily::IPv6; }
    bool setHopLimit(int hops) override;
    // A link-local target needs its scope id (interface name or number).
    SendResult send(const HostAddress &target, quint16 sequence, const QByteArray &payload) override;

protected:
    std::optional<ProbeEvent> parseData(const IcmpSocket::Datagram &datagram) const override;

private:
    using IcmpProber::IcmpProber;
};
