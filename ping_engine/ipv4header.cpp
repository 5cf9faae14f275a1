#include "ipv4header.h"

#include "icmpmessage.h"

namespace {

// An IPv4 header carries IPv4 addresses; any other is left zero.
Icmp::Address ipv4Of(const HostAddress &address)
{
    return address.protocol() == IpFamily::IPv4 ? *IcmpBridge::toAddress(address) : Icmp::Address{};
}

Ipv4Header fromIcmp(const Icmp::Ipv4Header &icmp)
{
    Ipv4Header header;
    header.headerLength = qsizetype(icmp.headerLength);
    header.totalLength = icmp.totalLength;
    header.fragmentOffset = icmp.fragmentOffset;
    header.ttl = icmp.ttl;
    header.protocol = icmp.protocol;
    header.source = IcmpBridge::toHostAddress(icmp.source);
    header.destination = IcmpBridge::toHostAddress(icmp.destination);
    return header;
}

} // namespace

std::optional<Ipv4Header> Ipv4Header::parse(QByteArrayView bytes)
{
    const auto parsed = Icmp::Ipv4Header::parse(IcmpBridge::bytes(bytes));
    if (!parsed)
        return std::nullopt;
    return fromIcmp(*parsed);
}

Ipv4Header Ipv4Header::forIcmp(const HostAddress &source, const HostAddress &destination, quint8 ttl,
                               qsizetype icmpSize, qsizetype headerLength)
{
    Ipv4Header header = fromIcmp(Icmp::Ipv4Header::forIcmp(ipv4Of(source), ipv4Of(destination), ttl,
                                                           std::size_t(icmpSize), std::size_t(headerLength)));
    header.source = source;
    header.destination = destination;
    return header;
}

QByteArray Ipv4Header::encode() const
{
    Icmp::Ipv4Header header;
    header.headerLength = std::size_t(qMax<qsizetype>(headerLength, 0));
    header.totalLength = totalLength;
    header.ttl = ttl;
    header.protocol = protocol;
    header.source = ipv4Of(source);
    header.destination = ipv4Of(destination);
    return IcmpBridge::toByteArray(header.encode());
}
