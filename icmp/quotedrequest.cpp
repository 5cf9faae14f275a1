#include "quotedrequest.h"

#include "icmpheader.h"
#include "icmptypes.h"
#include "ipheader.h"

namespace Icmp {

namespace {

std::optional<QuotedRequest> fromQuotedIcmp(const Address &destination, std::span<const std::uint8_t> icmp,
                                            std::uint8_t echoRequestType)
{
    const auto message = Message::decode(icmp);
    if (!message || message->header.type != echoRequestType)
        return std::nullopt;
    QuotedRequest request;
    request.destination = destination;
    request.identifier = message->header.identifier();
    request.sequence = message->header.sequence();
    request.payload = message->body;
    return request;
}

} // namespace

std::optional<QuotedRequest> QuotedRequest::parse(Family family, std::span<const std::uint8_t> quote)
{
    if (family == Family::Ipv4) {
        const auto ip = Ipv4Header::parse(quote);
        // Errors about a later fragment of a large request quote payload
        // bytes where the ICMP header would be.
        if (!ip || ip->protocol != Ipv4Header::ProtocolIcmp || ip->fragmentOffset != 0)
            return std::nullopt;
        return fromQuotedIcmp(ip->destination, quote.subspan(ip->headerLength), V4::EchoRequest);
    }
    if (family != Family::Ipv6)
        return std::nullopt;
    const auto ip = Ipv6Header::parse(quote);
    // A request larger than the path MTU went out in fragments: the quote
    // of the first one has a fragment header before the ICMPv6 header.
    const auto upper = Ipv6Header::findUpperLayer(quote);
    if (!ip || !upper || upper->protocol != Ipv6Header::NextHeaderIcmpv6)
        return std::nullopt;
    return fromQuotedIcmp(ip->destination, quote.subspan(upper->offset), V6::EchoRequest);
}

std::span<const std::uint8_t> QuotedRequest::quoteIn(Family family, std::span<const std::uint8_t> message)
{
    if (message.size() < Header::Size)
        return {};
    const std::span<const std::uint8_t> body = message.subspan(Header::Size);
    const std::uint8_t type = message[0];
    std::size_t length = 0;
    if (family == Family::Ipv4
        && (type == V4::DestinationUnreachable || type == V4::TimeExceeded || type == V4::ParameterProblem))
        length = std::size_t(message[5]) * 4;
    else if (family == Family::Ipv6 && (type == V6::DestinationUnreachable || type == V6::TimeExceeded))
        length = std::size_t(message[4]) * 8;
    return length != 0 && length < body.size() ? body.first(length) : body;
}

} // namespace Icmp
