#include "ipv6header.h"

#include "icmpmessage.h"

namespace {

// An IPv6 header carries IPv6 addresses; any other is left zero.
Icmp::Address ipv6Of(const HostAddress &address)
{
    return Icmp::Address::ipv6(address.toIPv6Address().c);
}

} // namespace

std::optional<Ipv6Header> Ipv6Header::parse(QByteArrayView bytes)
{
    const auto parsed = Icmp::Ipv6Header::parse(IcmpBridge::bytes(bytes));
    if (!parsed)
        return std::nullopt;
    Ipv6Header header;
    header.payloadLength = parsed->payloadLength;
    header.nextHeader = parsed->nextHeader;
    header.hopLimit = parsed->hopLimit;
    header.source = IcmpBridge::toHostAddress(parsed->source);
    header.destination = IcmpBridge::toHostAddress(parsed->destination);
    return header;
}

QByteArray Ipv6Header::encode() const
{
    Icmp::Ipv6Header header;
    header.payloadLength = payloadLength;
    header.nextHeader = nextHeader;
    header.hopLimit = hopLimit;
    header.source = ipv6Of(source);
    header.destination = ipv6Of(destination);
    return IcmpBridge::toByteArray(header.encode());
}
