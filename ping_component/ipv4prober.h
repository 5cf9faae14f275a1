#pragma once

#include "icmpprober.h"

#include <memory>

// ICMP echo over IPv4, on an unprivileged datagram socket or on a raw socket.
class Ipv4Prober final : public IcmpProber
{
public:
    // Opens and sets up a socket of the kind; nothing when the kernel refuses,
    // with errnoValue and failedStep as IcmpProber::openSocket gives them.
    static std::unique_ptr<Ipv4Prober> open(SocketKind kind, int *errnoValue, QString *failedStep);

    IpFamily family() const override { return IpFamily::IPv4; }
    bool setHopLimit(int hops) override;
    SendResult send(const HostAddress &target, quint16 sequence, const QByteArray &payload) override;

protected:
    std::optional<ProbeEvent> parseData(const IcmpSocket::Datagram &datagram) const override;

private:
    using IcmpProber::IcmpProber;
};
