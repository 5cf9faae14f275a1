#pragma once

#include "address.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace Icmp {

// ICMPv4 message types this program sends or understands (RFC 792).
namespace V4 {
enum Type : std::uint8_t {
    EchoReply = 0,
    DestinationUnreachable = 3,
    SourceQuench = 4,
    Redirect = 5,
    EchoRequest = 8,
    TimeExceeded = 11,
    ParameterProblem = 12,
};
// The code of a destination unreachable that carries the next-hop MTU (RFC 1191).
constexpr std::uint8_t FragmentationNeeded = 4;
} // namespace V4

// ICMPv6 message types (RFC 4443). Errors are below 128, informational messages above.
namespace V6 {
enum Type : std::uint8_t {
    DestinationUnreachable = 1,
    PacketTooBig = 2,
    TimeExceeded = 3,
    ParameterProblem = 4,
    EchoRequest = 128,
    EchoReply = 129,
};
} // namespace V6

std::uint8_t echoRequestType(Family family);
std::uint8_t echoReplyType(Family family);

// The errors that quote the offending packet and concern a request we sent:
// unreachable, source quench (IPv4), packet too big (IPv6), time exceeded,
// parameter problem. Redirects quote it too, but say nothing about the fate
// of the request.
bool isErrorAboutRequest(Family family, std::uint8_t type);

// The ICMP types a raw socket lets through: echo replies and the errors that
// quote a request. A raw socket sees every ICMP message that reaches the
// host, loopback echo requests included; these alone concern our requests:
// no echo requests looping back, no neighbour discovery chatter.
std::span<const std::uint8_t> passedTypes(Family family);

// The value of a raw socket's ICMP_FILTER (IPv4, level SOL_RAW) or
// ICMP6_FILTER (IPv6, level IPPROTO_ICMPV6) that passes passedTypes(): both
// are bitmaps of 32-bit words in host order, a set bit blocking its type;
// IPv4's is one word (types 0 to 31), ICMPv6's eight.
struct TypeFilter
{
    std::uint32_t blocked[8];
    std::size_t size; // in bytes: what setsockopt takes

    static TypeFilter of(Family family);
};

} // namespace Icmp
