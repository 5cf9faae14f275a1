#pragma once

#include "icmpsocket.h"
#include "prober.h"
#include "result.h"

#include <QString>

#include <initializer_list>

// What the IPv4 and IPv6 probers share: one ICMP socket of either kind, its
// echo identifier, and the reading of both queues.
class IcmpProber : public Prober
{
public:
    SocketKind socketKind() const override { return m_kind; }
    int descriptor() const override { return m_socket.descriptor(); }
    quint16 identifier() const override { return m_identifier; }
    std::optional<ProbeEvent> receive() override;

protected:
    IcmpProber(IcmpSocket socket, SocketKind kind, quint16 identifier);

    // One datagram of the data queue, in the family's own format.
    virtual std::optional<ProbeEvent> parseData(const IcmpSocket::Datagram &datagram) const = 0;

    // The identifier that received messages must carry: on datagram sockets
    // the kernel only hands over this socket's own, and checks nothing itself.
    std::optional<quint16> identifierToCheck() const;

    // Sets the outgoing TTL or hop limit option, refusing values outside 1 to 255.
    bool setHopLimitOption(int level, int name, int hops);

    // A socket with the echo identifier of its requests.
    struct IdentifiedSocket
    {
        IcmpSocket socket;
        quint16 identifier;
    };
    // Opens socket(domain, SOCK_DGRAM or SOCK_RAW, protocol). Datagram sockets
    // are bound to the wildcard address with port 0, so that the kernel picks
    // the echo identifier now. Raw sockets get a random non-zero identifier.
    static Result<IdentifiedSocket, IcmpSocket::Failure> openSocket(IpFamily family, int protocol, SocketKind kind);

    // One setsockopt of a prober's set-up; label names it in error texts.
    struct SocketOption
    {
        int level;
        int name;
        const char *label;
        const void *value;
        unsigned length;
    };
    // Sets the options in order, stopping at the first failure: its errno and
    // label, or nothing when all were set.
    static std::optional<IcmpSocket::Failure> setOptions(IcmpSocket &socket,
                                                         std::initializer_list<SocketOption> options);

    IcmpSocket m_socket;

private:
    SocketKind m_kind;
    quint16 m_identifier;
};
