#include "icmpfamily.h"

#include <linux/icmp.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

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
    .checksumIsOurs = true,
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
    .checksumIsOurs = false,
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
