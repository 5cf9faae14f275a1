#include "ipheader.h"

#include "bigendian.h"

#include <algorithm>

namespace Icmp {

std::optional<Ipv4Header> Ipv4Header::parse(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < MinimumSize || bytes[0] >> 4 != 4)
        return std::nullopt;
    Ipv4Header header;
    header.headerLength = std::size_t(bytes[0] & 0x0f) * 4;
    if (header.headerLength < MinimumSize || header.headerLength > bytes.size())
        return std::nullopt;
    const std::uint8_t *in = bytes.data();
    header.totalLength = get16(in + 2);
    header.fragmentOffset = get16(in + 6) & 0x1fff;
    header.ttl = in[8];
    header.protocol = in[9];
    header.source = Address::ipv4(in + 12);
    header.destination = Address::ipv4(in + 16);
    return header;
}

Ipv4Header Ipv4Header::forIcmp(const Address &source, const Address &destination, std::uint8_t ttl,
                               std::size_t icmpSize, std::size_t headerLength)
{
    Ipv4Header header;
    header.headerLength = headerLength;
    header.totalLength = std::uint16_t(headerLength + icmpSize);
    header.ttl = ttl;
    header.protocol = ProtocolIcmp;
    header.source = source;
    header.destination = destination;
    return header;
}

std::vector<std::uint8_t> Ipv4Header::encode() const
{
    const std::size_t words = std::clamp<std::size_t>(headerLength / 4, MinimumSize / 4, 15);
    std::vector<std::uint8_t> bytes(words * 4, 0);
    std::uint8_t *out = bytes.data();
    out[0] = std::uint8_t(0x40 | words);
    put16(out + 2, totalLength);
    out[8] = ttl;
    out[9] = protocol;
    std::copy_n(source.bytes.begin(), 4, out + 12);
    std::copy_n(destination.bytes.begin(), 4, out + 16);
    return bytes;
}

std::optional<Ipv6Header> Ipv6Header::parse(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < Size || bytes[0] >> 4 != 6)
        return std::nullopt;
    const std::uint8_t *in = bytes.data();
    Ipv6Header header;
    header.payloadLength = get16(in + 4);
    header.nextHeader = in[6];
    header.hopLimit = in[7];
    header.source = Address::ipv6(in + 8);
    header.destination = Address::ipv6(in + 24);
    return header;
}

Ipv6Header Ipv6Header::forPacket(const Address &source, const Address &destination, std::uint8_t nextHeader,
                                 std::uint8_t hopLimit, std::uint16_t payloadLength)
{
    Ipv6Header header;
    header.payloadLength = payloadLength;
    header.nextHeader = nextHeader;
    header.hopLimit = hopLimit;
    header.source = source;
    header.destination = destination;
    return header;
}

std::vector<std::uint8_t> Ipv6Header::encode() const
{
    std::vector<std::uint8_t> bytes(Size, 0);
    std::uint8_t *out = bytes.data();
    out[0] = 0x60;
    put16(out + 4, payloadLength);
    out[6] = nextHeader;
    out[7] = hopLimit;
    std::copy_n(source.bytes.begin(), 16, out + 8);
    std::copy_n(destination.bytes.begin(), 16, out + 24);
    return bytes;
}

std::optional<Ipv6Header::UpperLayer> Ipv6Header::findUpperLayer(std::span<const std::uint8_t> packet)
{
    const auto header = parse(packet);
    if (!header)
        return std::nullopt;
    enum : std::uint8_t {
        HopByHop = 0,
        Routing = 43,
        Fragment = 44,
        Esp = 50,
        Authentication = 51,
        DestinationOptions = 60
    };
    const std::uint8_t *in = packet.data();
    std::uint8_t next = header->nextHeader;
    std::size_t offset = Size;
    // Each header moves the offset on by at least 8 bytes, so the walk ends
    // within the packet whatever the bytes say.
    while (next == HopByHop || next == Routing || next == Fragment || next == DestinationOptions
           || next == Authentication) {
        if (packet.size() - offset < 8)
            return std::nullopt;
        const std::uint8_t following = in[offset];
        std::size_t length = 0;
        if (next == Fragment) {
            // Fragment offset in the upper 13 bits of bytes 2-3.
            if ((get16(in + offset + 2) >> 3) != 0)
                return std::nullopt;
            length = 8;
        } else if (next == Authentication) {
            // In 4-byte units, less 2 (RFC 4302).
            length = (std::size_t(in[offset + 1]) + 2) * 4;
        } else {
            // In 8-byte units, not counting the first 8.
            length = (std::size_t(in[offset + 1]) + 1) * 8;
        }
        if (packet.size() - offset < length)
            return std::nullopt;
        next = following;
        offset += length;
    }
    if (next == Esp)
        return std::nullopt;
    return UpperLayer{next, offset};
}

} // namespace Icmp
