#pragma once

#include "address.h"

#include <cstdint>
#include <optional>
#include <span>

namespace Icmp {

// The echo request that an ICMP error quotes: the original IP header and at
// least the first 8 bytes of the original ICMP message (RFC 792, RFC 4443).
// That quote is what ties an error to one request of one run.
struct QuotedRequest
{
    Address destination;
    std::uint16_t identifier = 0;
    std::uint16_t sequence = 0;
    // What the quote holds of the request's payload, a view into the bytes
    // parsed: often all of it (RFC 1812 routers quote up to 576 bytes, IPv6
    // up to 1280), nothing where only the 8 bytes were quoted. Routers that
    // add RFC 4884 extensions pad the quote first, so bytes past the
    // request's own payload mean nothing.
    std::span<const std::uint8_t> payload;

    // quote: the quoted packet, from its IP header on. Gives nothing unless it
    // is an echo request of the given family. Never reads past the bytes.
    static std::optional<QuotedRequest> parse(Family family, std::span<const std::uint8_t> quote);

    // The part of an ICMP error's body that quotes the offending packet: all
    // of it, unless RFC 4884 extensions follow the quote, when the error's
    // header gives the quote's length: in 32-bit words in byte 5 of an ICMP
    // destination unreachable, time exceeded or parameter problem, in 64-bit
    // words in byte 4 of an ICMPv6 destination unreachable or time exceeded;
    // 0 there means none. message: the whole error, its header included;
    // nothing for one shorter than its header.
    static std::span<const std::uint8_t> quoteIn(Family family, std::span<const std::uint8_t> message);
};

} // namespace Icmp
