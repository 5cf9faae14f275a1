#include "quotedrequest.h"

#include "icmpmessage.h"
#include "ipv4header.h"
#include "ipv6header.h"

namespace {

std::optional<QuotedRequest> fromQuotedIcmp(const HostAddress &destination, QByteArrayView icmp, quint8 echoRequestType)
{
    const auto message = IcmpMessage::decode(icmp);
    if (!message || message->type != echoRequestType)
        return std::nullopt;
    QuotedRequest request;
    request.destination = destination;
    request.identifier = message->identifier();
    request.sequence = message->sequence();
    request.payload = message->body;
    return request;
}

} // namespace

std::optional<QuotedRequest> QuotedRequest::parse(IpFamily family, QByteArrayView body)
{
    if (family == IpFamily::IPv4) {
        const auto ip = Ipv4Header::parse(body);
        // Errors about a later fragment of a large request quote payload
        // bytes where the ICMP header would be.
        if (!ip || ip->protocol != Ipv4Header::ProtocolIcmp || ip->fragmentOffset != 0)
            return std::nullopt;
        return fromQuotedIcmp(ip->destination, body.sliced(ip->headerLength), Icmp4::EchoRequest);
    }
    if (family == IpFamily::IPv6) {
        const auto ip = Ipv6Header::parse(body);
        // A request larger than the path MTU went out in fragments: the quote
        // of the first one has a fragment header before the ICMPv6 header.
        const auto upper = Ipv6Header::findUpperLayer(body);
        if (!ip || !upper || upper->protocol != Ipv6Header::NextHeaderIcmpv6)
            return std::nullopt;
        return fromQuotedIcmp(ip->destination, body.sliced(upper->offset), Icmp6::EchoRequest);
    }
    return std::nullopt;
}
