#pragma once

#include "icmpsocket.h"
#include "prober.h"
#include "result.h"
#include "sendstampkeys.h"

#include <memory>

struct IcmpFamily;

// ICMP echo on a socket of this process, for either family and either kind:
// an unprivileged datagram socket or a raw one. How IPv4 and ICMPv6 differ is
// data (IcmpFamily); how the two kinds differ is here.
class SocketProber final : public Prober
{
public:
    using Opened = Result<std::unique_ptr<SocketProber>, IcmpSocket::Failure>;

    // Opens and sets up a socket of the family and kind (Datagram or Raw), or
    // gives the errno and the step that failed. Datagram sockets are bound to
    // the wildcard address with port 0, so that the kernel picks the echo
    // identifier now. Raw sockets get a random non-zero identifier and a
    // kernel filter by it. Every socket asks for the kernel's software
    // timestamps of what it sends and receives (SO_TIMESTAMPING); one that
    // will not have them takes receive timestamps alone (SO_TIMESTAMPNS).
    static Opened open(IpFamily family, SocketKind kind);

    IpFamily family() const override;
    SocketKind socketKind() const override { return m_kind; }
    int descriptor() const override { return m_socket.descriptor(); }
    quint16 identifier() const override { return m_identifier; }
    bool asksForSendStamps() const override { return m_sendStamps; }
    bool setHopLimit(int hops) override;
    bool setBroadcast(bool on) override;
    // A link-local IPv6 target needs its zone (interface name or number).
    SendResult send(const HostAddress &target, quint16 sequence, const QByteArray &payload) override;
    std::optional<ProbeEvent> receive() override;

private:
    SocketProber(const IcmpFamily &family, IcmpSocket socket, SocketKind kind, quint16 identifier,
                 bool sendStamps);

    // The identifier that received messages must carry: on datagram sockets
    // the kernel only hands over this socket's own, and checks nothing itself.
    std::optional<quint16> identifierToCheck() const;
    // One datagram of either queue.
    std::optional<ProbeEvent> parse(const IcmpSocket::Datagram &datagram, IcmpSocket::Queue queue);
    // A transmit timestamp's entry: the stamp of the send it numbers.
    std::optional<ProbeEvent> sendStamp(const IcmpSocket::Datagram &datagram);

    const IcmpFamily &m_family;
    IcmpSocket m_socket;
    SocketKind m_kind;
    quint16 m_identifier;
    bool m_sendStamps;
    Icmp::SendStampKeys m_stampKeys;
};
