#include "icmpfamily.h"

#include "icmpmessage.h"
#include "replyparser.h"

#include <linux/icmp.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

static_assert(sizeof(icmp_filter) == 1 * sizeof(quint32));
static_assert(sizeof(icmp6_filter) == 8 * sizeof(quint32));

// A raw socket sees every ICMP message that reaches the host, loopback echo
// requests included. Only echo replies and the errors that quote a request
// get through: no echo requests looping back, no neighbour discovery chatter.
const IcmpFamily Ipv4{
    .family = IpFamily::IPv4,
    .domain = AF_INET,
    .protocol = IPPROTO_ICMP,
    .protocolName = "ICMP",
    .hopLimit = {IPPROTO_IP, IP_TTL, "IP_TTL"},
    .multicastHopLimit = {IPPROTO_IP, IP_MULTICAST_TTL, "IP_MULTICAST_TTL"},
    .receiveOptions = {{IPPROTO_IP, IP_RECVERR, "IP_RECVERR"},
                       {IPPROTO_IP, IP_RECVTTL, "IP_RECVTTL", true}},
    .typeFilter = {SOL_RAW, ICMP_FILTER, "ICMP_FILTER"},
    .typeFilterWords = 1,
    .passedTypes = {Icmp4::EchoReply, Icmp4::DestinationUnreachable, Icmp4::SourceQuench, Icmp4::TimeExceeded,
                    Icmp4::ParameterProblem},
    .echoRequestType = Icmp4::EchoRequest,
    .checksumIsOurs = true,
    .rawReadsIpHeader = true,
};

const IcmpFamily Ipv6{
    .family = IpFamily::IPv6,
    .domain = AF_INET6,
    .protocol = IPPROTO_ICMPV6,
    .protocolName = "ICMPv6",
    .hopLimit = {IPPROTO_IPV6, IPV6_UNICAST_HOPS, "IPV6_UNICAST_HOPS"},
    .multicastHopLimit = {IPPROTO_IPV6, IPV6_MULTICAST_HOPS, "IPV6_MULTICAST_HOPS"},
    .receiveOptions = {{IPPROTO_IPV6, IPV6_RECVHOPLIMIT, "IPV6_RECVHOPLIMIT"},
                       {IPPROTO_IPV6, IPV6_RECVERR, "IPV6_RECVERR"}},
    .typeFilter = {IPPROTO_ICMPV6, ICMP6_FILTER, "ICMP6_FILTER"},
    .typeFilterWords = 8,
    .passedTypes = {Icmp6::EchoReply, Icmp6::DestinationUnreachable, Icmp6::PacketTooBig, Icmp6::TimeExceeded,
                    Icmp6::ParameterProblem},
    .echoRequestType = Icmp6::EchoRequest,
    .checksumIsOurs = false,
    .rawReadsIpHeader = false,
};

} // namespace

const IcmpFamily *IcmpFamily::of(IpFamily family)
{
    switch (family) {
    case IpFamily::IPv4:
        return &Ipv4;
    case IpFamily::IPv6:
        return &Ipv6;
    case IpFamily::Unknown:
    case IpFamily::Any:
        break;
    }
    return nullptr;
}

std::optional<ProbeEvent> IcmpFamily::parseRawRead(QByteArrayView bytes, const HostAddress &source, int hopLimit,
                                                   quint16 identifier) const
{
    if (rawReadsIpHeader)
        return ReplyParser::parseIpv4Datagram(bytes, identifier);
    return ReplyParser::parseIcmpMessage(family, bytes, source, hopLimit, identifier);
}
