#include "icmptypes.h"

#include <algorithm>
#include <linux/icmp.h>
#include <netinet/icmp6.h>

namespace Icmp {

namespace {

static_assert(sizeof(icmp_filter) == 1 * sizeof(std::uint32_t));
static_assert(sizeof(icmp6_filter) == 8 * sizeof(std::uint32_t));

constexpr std::uint8_t Passed4[] = {V4::EchoReply, V4::DestinationUnreachable, V4::SourceQuench, V4::TimeExceeded,
                                    V4::ParameterProblem};
constexpr std::uint8_t Passed6[] = {V6::EchoReply, V6::DestinationUnreachable, V6::PacketTooBig, V6::TimeExceeded,
                                    V6::ParameterProblem};

} // namespace

std::uint8_t echoRequestType(Family family)
{
    return family == Family::Ipv4 ? std::uint8_t(V4::EchoRequest) : std::uint8_t(V6::EchoRequest);
}

std::uint8_t echoReplyType(Family family)
{
    return family == Family::Ipv4 ? std::uint8_t(V4::EchoReply) : std::uint8_t(V6::EchoReply);
}

bool isErrorAboutRequest(Family family, std::uint8_t type)
{
    // Every passed type but the echo reply.
    return type != echoReplyType(family) && std::ranges::find(passedTypes(family), type) != passedTypes(family).end();
}

std::span<const std::uint8_t> passedTypes(Family family)
{
    if (family == Family::Ipv4)
        return Passed4;
    return Passed6;
}

TypeFilter TypeFilter::of(Family family)
{
    TypeFilter filter{};
    for (std::uint32_t &word : filter.blocked)
        word = ~0u;
    for (std::uint8_t type : passedTypes(family))
        filter.blocked[type >> 5] &= ~(1u << (type & 31));
    filter.size = family == Family::Ipv4 ? sizeof(icmp_filter) : sizeof(icmp6_filter);
    return filter;
}

} // namespace Icmp
