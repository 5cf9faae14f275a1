#pragma once

#include "address.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>

// What the bytes of an ICMP packet say, read straight from RFC 792, RFC 4443
// and RFC 4884 without the parsers' classes: the fuzz targets' reference.
namespace FuzzReference {

using Bytes = std::span<const std::uint8_t>;
using Family = Icmp::Family;
constexpr Family V4 = Family::Ipv4;
constexpr Family V6 = Family::Ipv6;

inline std::uint16_t be16(Bytes bytes, std::size_t at)
{
    return std::uint16_t(bytes[at] << 8 | bytes[at + 1]);
}

inline std::uint32_t be32(Bytes bytes, std::size_t at)
{
    return std::uint32_t(be16(bytes, at)) << 16 | be16(bytes, at + 2);
}

inline bool same(Bytes a, Bytes b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

inline std::uint8_t echoRequest(Family family)
{
    return family == V4 ? 8 : 128;
}

inline std::uint8_t echoReply(Family family)
{
    return family == V4 ? 0 : 129;
}

// The errors that concern the fate of a request: unreachable, source quench,
// time exceeded, parameter problem; for ICMPv6 also packet too big.
inline bool isError(Family family, std::uint8_t type)
{
    if (family == V4)
        return type == 3 || type == 4 || type == 11 || type == 12;
    return type >= 1 && type <= 4;
}

// Where the ICMPv6 header of a quoted IPv6 packet starts (RFC 8200): past
// hop-by-hop (0), routing (43) and destination options (60), each (length + 1)
// * 8 bytes, the authentication header (51), (length + 2) * 4 bytes, and a
// fragment header (44), 8 bytes, which only the first fragment may carry
// before the ICMPv6 header.
inline std::optional<std::size_t> icmpv6Offset(Bytes packet)
{
    if (packet.size() < 40 || packet[0] >> 4 != 6)
        return std::nullopt;
    std::uint8_t next = packet[6];
    std::size_t at = 40;
    for (;;) {
        if (next == 58)
            return at;
        if (next != 0 && next != 43 && next != 44 && next != 51 && next != 60)
            return std::nullopt;
        if (packet.size() < at + 8)
            return std::nullopt;
        std::size_t length = 8;
        if (next == 44) {
            if ((be16(packet, at + 2) & 0xfff8) != 0)
                return std::nullopt;
        } else if (next == 51) {
            length = (std::size_t(packet[at + 1]) + 2) * 4;
        } else {
            length = (std::size_t(packet[at + 1]) + 1) * 8;
        }
        if (packet.size() < at + length)
            return std::nullopt;
        next = packet[at];
        at += length;
    }
}

// Where the echo request that an error's quote holds starts: past the
// request's IP header. An IPv4 quote of a later fragment (offset not 0) holds
// no ICMP header.
inline std::optional<std::size_t> quotedIcmpOffset(Family family, Bytes quote)
{
    if (family == V6)
        return icmpv6Offset(quote);
    if (quote.size() < 20 || quote[0] >> 4 != 4 || quote[9] != 1 || (be16(quote, 6) & 0x1fff) != 0)
        return std::nullopt;
    const std::size_t icmp = std::size_t(quote[0] & 0x0f) * 4;
    if (icmp < 20 || icmp > quote.size())
        return std::nullopt;
    return icmp;
}

// The identifier and sequence of the echo request that an error's quote
// holds: the request's IP header, then at least 8 bytes of its ICMP message.
inline std::optional<std::pair<std::uint16_t, std::uint16_t>> quotedEcho(Family family, Bytes quote)
{
    const auto icmp = quotedIcmpOffset(family, quote);
    if (!icmp || quote.size() < *icmp + 8 || quote[*icmp] != echoRequest(family))
        return std::nullopt;
    return std::pair{be16(quote, *icmp + 4), be16(quote, *icmp + 6)};
}

// The payload bytes of the echo request a quote holds, past its echo header.
inline Bytes quotedPayload(Family family, Bytes quote)
{
    return quote.subspan(*quotedIcmpOffset(family, quote) + 8);
}

// The destination of the request a quote holds, from its IP header.
inline Bytes quotedDestination(Family family, Bytes quote)
{
    return family == V4 ? quote.subspan(16, 4) : quote.subspan(24, 16);
}

// The part of an error's body that quotes the request: RFC 4884 errors with
// extensions after the quote give its length (ICMP destination unreachable,
// time exceeded and parameter problem in byte 5, in 4-byte units; ICMPv6
// destination unreachable and time exceeded in byte 4, in 8-byte units).
inline Bytes quoteOf(Family family, Bytes icmp)
{
    const Bytes body = icmp.subspan(8);
    const std::uint8_t type = icmp[0];
    std::size_t length = 0;
    if (family == V4 && (type == 3 || type == 11 || type == 12))
        length = std::size_t(icmp[5]) * 4;
    else if (family == V6 && (type == 1 || type == 3))
        length = std::size_t(icmp[4]) * 8;
    return length > 0 && length < body.size() ? body.first(length) : body;
}

// The one number of an error's rest-of-header that a reading carries: the
// next-hop MTU (RFC 1191, RFC 4443) or the parameter problem's pointer.
inline std::uint32_t errorInfo(Family family, std::uint8_t type, std::uint8_t code, std::uint32_t restOfHeader)
{
    if (family == V4) {
        if (type == 3 && code == 4)
            return restOfHeader & 0xffff;
        return type == 12 ? restOfHeader >> 24 : 0;
    }
    return type == 2 || type == 4 ? restOfHeader : 0;
}

} // namespace FuzzReference
