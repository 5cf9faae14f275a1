#include "ipv4prober.h"

#include "icmpmessage.h"
#include "replyparser.h"

#include <QtEndian>

#include <cerrno>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <sys/socket.h>

std::unique_ptr<Ipv4Prober> Ipv4Prober::open(SocketKind kind, int *errnoValue, QString *failedStep)
{
    quint16 identifier = 0;
    IcmpSocket socket = IcmpProber::openSocket(AF_INET, IPPROTO_ICMP, kind, &identifier, errnoValue, failedStep);
    if (!socket.isOpen())
        return nullptr;

    const int on = 1;
    bool ok = setOptions(socket,
                         {
                             {SOL_SOCKET, SO_TIMESTAMPNS, "SO_TIMESTAMPNS", &on, sizeof on},
                             {IPPROTO_IP, IP_RECVERR, "IP_RECVERR", &on, sizeof on},
                         },
                         errnoValue, failedStep);
    if (kind == SocketKind::Datagram) {
        // Raw sockets read the TTL from the IP header instead.
        ok = ok && setOptions(socket, {{IPPROTO_IP, IP_RECVTTL, "IP_RECVTTL", &on, sizeof on}}, errnoValue, failedStep);
    } else {
        // A raw ICMP socket sees every ICMP message that reaches the host,
        // loopback echo requests included. The filter's bits block types.
        icmp_filter filter{};
        filter.data = ~(1u << Icmp4::EchoReply | 1u << Icmp4::DestinationUnreachable | 1u << Icmp4::SourceQuench
                        | 1u << Icmp4::TimeExceeded | 1u << Icmp4::ParameterProblem);
        ok = ok && setOptions(socket, {{SOL_RAW, ICMP_FILTER, "ICMP_FILTER", &filter, sizeof filter}}, errnoValue,
                              failedStep);
    }
    if (!ok)
        return nullptr;
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
    sockaddr_storage to;
    const socklen_t length = target.toSockaddr(to);
    // On a datagram socket the kernel puts in its own identifier and checksum.
    const QByteArray request = IcmpMessage::echo(Icmp4::EchoRequest, identifier(), sequence, payload).encodeWithChecksum();
    return m_socket.sendTo(reinterpret_cast<const sockaddr *>(&to), length, request);
}

std::optional<ProbeEvent> Ipv4Prober::parseData(const IcmpSocket::Datagram &datagram) const
{
    if (socketKind() == SocketKind::Raw)
        return ReplyParser::parseIpv4Datagram(datagram.bytes, identifier());
    return ReplyParser::parseIcmpMessage(IpFamily::IPv4, datagram.bytes, datagram.address,
                                         datagram.hopLimit, std::nullopt);
}
