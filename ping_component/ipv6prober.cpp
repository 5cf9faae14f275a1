#include "ipv6prober.h"

#include "icmpmessage.h"
#include "replyparser.h"

#include <cerrno>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <sys/socket.h>

Ipv6Prober::Opened Ipv6Prober::open(SocketKind kind)
{
    auto opened = IcmpProber::openSocket(IpFamily::IPv6, IPPROTO_ICMPV6, kind);
    if (!opened)
        return Opened::failure(opened.error());
    auto &[socket, identifier] = opened.value();

    const int on = 1;
    std::optional<IcmpSocket::Failure> failure =
        setOptions(socket, {
                               {SOL_SOCKET, SO_TIMESTAMPNS, "SO_TIMESTAMPNS", &on, sizeof on},
                               {IPPROTO_IPV6, IPV6_RECVHOPLIMIT, "IPV6_RECVHOPLIMIT", &on, sizeof on},
                               {IPPROTO_IPV6, IPV6_RECVERR, "IPV6_RECVERR", &on, sizeof on},
                           });
    if (!failure && kind == SocketKind::Raw) {
        // Only echo replies and the errors that quote a request get through:
        // no echo requests looping back, no neighbour discovery chatter. The
        // kernel computes and checks the checksum of ICMPv6 raw sockets itself.
        icmp6_filter filter;
        ICMP6_FILTER_SETBLOCKALL(&filter);
        ICMP6_FILTER_SETPASS(Icmp6::EchoReply, &filter);
        ICMP6_FILTER_SETPASS(Icmp6::DestinationUnreachable, &filter);
        ICMP6_FILTER_SETPASS(Icmp6::PacketTooBig, &filter);
        ICMP6_FILTER_SETPASS(Icmp6::TimeExceeded, &filter);
        ICMP6_FILTER_SETPASS(Icmp6::ParameterProblem, &filter);
        failure = setOptions(socket, {{IPPROTO_ICMPV6, ICMP6_FILTER, "ICMP6_FILTER", &filter, sizeof filter}});
    }
    if (failure)
        return Opened::failure(*failure);
    return std::unique_ptr<Ipv6Prober>(new Ipv6Prober(std::move(socket), kind, identifier));
}

bool Ipv6Prober::setHopLimit(int hops)
{
    return setHopLimitOption(IPPROTO_IPV6, IPV6_UNICAST_HOPS, hops);
}

SendResult Ipv6Prober::send(const HostAddress &target, quint16 sequence, const QByteArray &payload)
{
    SendResult refused;
    if (target.protocol() != IpFamily::IPv6) {
        refused.errnoValue = EAFNOSUPPORT;
        return refused;
    }
    // The checksum stays zero: it covers a pseudo-header that the kernel fills in.
    const QByteArray request = IcmpMessage::echo(Icmp6::EchoRequest, identifier(), sequence, payload).encode();
    return m_socket.sendTo(target, request);
}

std::optional<ProbeEvent> Ipv6Prober::parseData(const IcmpSocket::Datagram &datagram) const
{
    return ReplyParser::parseIcmpMessage(IpFamily::IPv6, datagram.bytes, datagram.address,
                                         datagram.hopLimit, identifierToCheck());
}
