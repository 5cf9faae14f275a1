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
    return request;
}

} // namespace

std::optional<QuotedRequest> QuotedRequest::parse(IpFamily family, QByteArrayView body)
{
    if (family == IpFamily::IPv4) {
        const auto ip = Ipv4Header::parse(body);
        if (!ip || ip->protocol != Ipv4Header::ProtocolIcmp)
            return std::nullopt;
        return fromQuotedIcmp(ip->destination, body.sliced(ip->headerLength), Icmp4::EchoRequest);
    }
    if (family == IpFamily::IPv6) {
        const auto ip = Ipv6Header::parse(body);
        // Requests carry no extension headers, so the quote goes straight on to ICMPv6.
        if (!ip || ip->nextHeader != Ipv6Header::NextHeaderIcmpv6)
            return std::nullopt;
        return fromQuotedIcmp(ip->destination, body.sliced(Ipv6Header::Size), Icmp6::EchoRequest);
    }
    return std::nullopt;
}
