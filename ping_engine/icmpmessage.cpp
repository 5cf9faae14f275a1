#include "icmpmessage.h"

#include "checksum.h"


namespace {

Icmp::Header headerOf(const IcmpMessage &message)
{
    return Icmp::Header{message.type, message.code, message.checksum, message.restOfHeader};
}

} // namespace

IcmpMessage IcmpMessage::echo(quint8 type, quint16 identifier, quint16 sequence, const QByteArray &payload)
{
    const Icmp::Header header = Icmp::Header::echo(type, identifier, sequence);
    IcmpMessage message;
    message.type = header.type;
    message.restOfHeader = header.restOfHeader;
    message.body = payload;
    return message;
}

QByteArray IcmpMessage::encode() const
{
    return IcmpBridge::toByteArray(Icmp::Message{headerOf(*this), IcmpBridge::bytes(body)}.encode());
}

QByteArray IcmpMessage::encodeWithChecksum() const
{
    QByteArray bytes = encode();
    Icmp::fillInChecksum({reinterpret_cast<std::uint8_t *>(bytes.data()), std::size_t(bytes.size())});
    return bytes;
}

std::optional<IcmpMessage> IcmpMessage::decode(QByteArrayView bytes)
{
    const auto decoded = Icmp::Message::decode(IcmpBridge::bytes(bytes));
    if (!decoded)
        return std::nullopt;
    IcmpMessage message;
    message.type = decoded->header.type;
    message.code = decoded->header.code;
    message.checksum = decoded->header.checksum;
    message.restOfHeader = decoded->header.restOfHeader;
    message.body = IcmpBridge::toByteArray(decoded->body);
    return message;
}

namespace IcmpBridge {

std::optional<Icmp::Family> family(IpFamily family)
{
    switch (family) {
    case IpFamily::IPv4:
        return Icmp::Family::Ipv4;
    case IpFamily::IPv6:
        return Icmp::Family::Ipv6;
    case IpFamily::Unknown:
    case IpFamily::Any:
        break;
    }
    return std::nullopt;
}

HostAddress toHostAddress(const Icmp::Address &address)
{
    if (address.family == Icmp::Family::Ipv4) {
        return HostAddress(quint32(address.bytes[0]) << 24 | quint32(address.bytes[1]) << 16
                           | quint32(address.bytes[2]) << 8 | address.bytes[3]);
    }
    return HostAddress(address.bytes.data(), address.scopeId);
}

HostAddress toHostAddress(const std::optional<Icmp::Address> &address)
{
    return address ? toHostAddress(*address) : HostAddress();
}

std::optional<Icmp::Address> toAddress(const HostAddress &address)
{
    if (address.protocol() == IpFamily::IPv4) {
        const quint32 ipv4 = address.toIPv4Address();
        const std::uint8_t bytes[4] = {std::uint8_t(ipv4 >> 24), std::uint8_t(ipv4 >> 16), std::uint8_t(ipv4 >> 8),
                                       std::uint8_t(ipv4)};
        return Icmp::Address::ipv4(bytes);
    }
    if (address.protocol() == IpFamily::IPv6)
        return Icmp::Address::ipv6(address.toIPv6Address().c, address.scopeIndex());
    return std::nullopt;
}

} // namespace IcmpBridge
