#include "replyfilter.h"

#include <algorithm>
#include <cstring>

namespace Icmp {

void ReplyFilter::remember(std::uint16_t sequence, const Address &destination, bool anySource,
                           const std::uint8_t *pattern, std::size_t payloadSize)
{
    Request &request = m_requests[m_next];
    m_next = (m_next + 1) % Remembered;
    request.used = true;
    request.sequence = sequence;
    request.destination = destination;
    request.anySource = anySource;
    std::memcpy(request.pattern, pattern, EchoPattern::Size);
    request.payloadSize = payloadSize;
}

bool ReplyFilter::matches(Family family, std::uint16_t sequence, const Address &address, bool orAnySource,
                          const Payload &payload) const
{
    for (const Request &request : m_requests) {
        if (!request.used || request.destination.family != family || request.sequence != sequence
            || !((orAnySource && request.anySource) || request.destination.sameAs(address)))
            continue;
        // A reply holds the whole payload; a quote whatever it kept of it, and
        // any bytes past it are padding or extensions, not the request's.
        if (payload.whole && payload.bytes.size() != request.payloadSize)
            continue;
        const std::size_t compared = std::min(payload.bytes.size(), request.payloadSize);
        if (EchoPattern::matches(request.pattern, payload.bytes.data(), compared))
            return true;
    }
    return false;
}

bool ReplyFilter::concernsRemembered(Family family, const std::optional<Reading> &reading) const
{
    if (!reading)
        return false;
    if (reading->kind == Reading::Kind::EchoReply) {
        // From the destination, or from any host for a group request.
        return reading->source
            && matches(family, reading->sequence, *reading->source, true, Payload{reading->payload, true});
    }
    // Whoever sent the error, the request it quotes went to the destination remembered.
    return reading->kind == Reading::Kind::IcmpError && reading->quotedDestination
        && matches(family, reading->sequence, *reading->quotedDestination, false, Payload{reading->payload, false});
}

bool ReplyFilter::passesIpv4(std::span<const std::uint8_t> datagram) const
{
    return concernsRemembered(Family::Ipv4, parseRawRead(Family::Ipv4, datagram, std::nullopt, -1, m_identifier));
}

bool ReplyFilter::passesIpv6(std::span<const std::uint8_t> message, const Address &source) const
{
    return concernsRemembered(Family::Ipv6, parseRawRead(Family::Ipv6, message, source, -1, m_identifier));
}

} // namespace Icmp
