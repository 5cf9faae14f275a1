#include "ipv4prober.h"

#include "icmpmessage.h"
#include "replyparser.h"

#include <QtEndian>

#include <cerrno>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <sys/socket.h>

Ipv4Prober::Opened Ipv4Prober::open(SocketKind kind)
{
    auto opened = IcmpProber::openSocket(IpFamily::IPv4, IPPROTO_ICMP, kind);
    if (!opened)
        return Opened::failure(opened.error());
    auto &[socket, identifier] = opened.value();

    const int on = 1;
    std::optional<IcmpSocket::Failure> failure =
        setOptions(socket, {
                               {SOL_SOCKET, SO_TIMESTAMPNS, "SO_TIMESTAMPNS", &on, sizeof on},
                               {IPPROTO_IP, IP_RECVERR, "IP_RECVERR", &on, sizeof on},
                           });
    if (!failure && kind == SocketKind::Datagram) {
        // Raw sockets read the TTL from the IP header instead.
        failure = setOptions(socket, {{IPPROTO_IP, IP_RECVTTL, "IP_RECVTTL", &on, sizeof on}});
    } else if (!failure) {
        // A raw ICMP socket sees every ICMP message that reaches the host,
        // loopback echo requests included. The filter's bits block types.
        icmp_filter filter{};
        filter.data = ~(1u << Icmp4::EchoReply | 1u << Icmp4::DestinationUnreachable | 1u << Icmp4::SourceQuench
                        | 1u << Icmp4::TimeExceeded | 1u << Icmp4::ParameterProblem);
        failure = setOptions(socket, {{SOL_RAW, ICMP_FILTER, "ICMP_FILTER", &filter, sizeof filter}});
    }
    if (failure)
        return Opened::failure(*failure);
    return std::unique_ptr<Ipv4Prober>(new Ipv4Prober(std::move(socket), kind, identifier));
}

bool Ipv4Prober::setHopLimit(int hops)
{
    return setHopLimitOption(IPPROTO_IP, IP_TTL, hops);
}

SendResult Ipv4Prober::send(const HostAddress &target, quint16 sequence, const QByteArray &payload)
{
    if (target.protocol() != IpFamily::IPv4) {
        SendResult result;
        result.errnoValue = EAFNOSUPPORT;
        return result;
    }
    // On a datagram socket the kernel puts in its own identifier and checksum.
    const QByteArray request = IcmpMessage::echo(Icmp4::EchoRequest, identifier(), sequence, payload).encodeWithChecksum();
    return m_socket.sendTo(target, request);
}

std::optional<ProbeEvent> Ipv4Prober::parseData(const IcmpSocket::Datagram &datagram) const
{
    if (socketKind() == SocketKind::Raw)
        return ReplyParser::parseIpv4Datagram(datagram.bytes, identifier());
    return ReplyParser::parseIcmpMessage(IpFamily::IPv4, datagram.bytes, datagram.address,
                                         datagram.hopLimit, std::nullopt);
}
