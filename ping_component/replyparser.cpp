#include "replyparser.h"

#include "icmpmessage.h"
#include "internetchecksum.h"
#include "ipv4header.h"
#include "quotedrequest.h"

namespace {

using Family = IpFamily;

constexpr quint8 Icmp4FragmentationNeeded = 4; // code of destination unreachable

quint8 echoRequestType(Family family)
{
    return family == IpFamily::IPv4 ? quint8(Icmp4::EchoRequest) : quint8(Icmp6::EchoRequest);
}

quint8 echoReplyType(Family family)
{
    return family == IpFamily::IPv4 ? quint8(Icmp4::EchoReply) : quint8(Icmp6::EchoReply);
}

// The errors that quote the offending packet and concern a request we sent.
// Redirects quote it too, but say nothing about the fate of the request.
bool isErrorType(Family family, quint8 type)
{
    if (family == IpFamily::IPv4) {
        return type == Icmp4::DestinationUnreachable || type == Icmp4::SourceQuench
            || type == Icmp4::TimeExceeded || type == Icmp4::ParameterProblem;
    }
    return type == Icmp6::DestinationUnreachable || type == Icmp6::PacketTooBig
        || type == Icmp6::TimeExceeded || type == Icmp6::ParameterProblem;
}

// The one number some errors carry in their "rest of header": the next-hop MTU
// (RFC 1191, RFC 4443) or the pointer to the offending octet.
quint32 errorInfo(Family family, const IcmpMessage &message)
{
    if (family == IpFamily::IPv4) {
        if (message.type == Icmp4::DestinationUnreachable && message.code == Icmp4FragmentationNeeded)
            return message.restOfHeader & 0xffff;
        if (message.type == Icmp4::ParameterProblem)
            return message.restOfHeader >> 24;
        return 0;
    }
    if (message.type == Icmp6::PacketTooBig || message.type == Icmp6::ParameterProblem)
        return message.restOfHeader;
    return 0;
}

bool identifierMatches(quint16 actual, std::optional<quint16> expected)
{
    return !expected || *expected == actual;
}

std::optional<ProbeEvent> fromMessage(Family family, const IcmpMessage &message, const HostAddress &source,
                                      int hopLimit, std::optional<quint16> identifier)
{
    ProbeEvent event;
    event.source = source;
    event.hopLimit = hopLimit;

    if (message.type == echoReplyType(family)) {
        if (!identifierMatches(message.identifier(), identifier))
            return std::nullopt;
        event.kind = ProbeEvent::Kind::EchoReply;
        event.identifier = message.identifier();
        event.sequence = message.sequence();
        event.payload = message.body;
        return event;
    }

    if (!isErrorType(family, message.type))
        return std::nullopt;
    const auto quoted = QuotedRequest::parse(family, message.body);
    if (!quoted || !identifierMatches(quoted->identifier, identifier))
        return std::nullopt;
    event.kind = ProbeEvent::Kind::IcmpError;
    event.identifier = quoted->identifier;
    event.sequence = quoted->sequence;
    event.quotedDestination = quoted->destination;
    event.quotedPayload = quoted->payload;
    event.icmpType = message.type;
    event.icmpCode = message.code;
    event.icmpInfo = errorInfo(family, message);
    return event;
}

bool isSupportedFamily(Family family)
{
    return family == IpFamily::IPv4 || family == IpFamily::IPv6;
}

} // namespace

std::optional<ProbeEvent> ReplyParser::parseIpv4Datagram(QByteArrayView datagram, quint16 identifier)
{
    const auto ip = Ipv4Header::parse(datagram);
    if (!ip || ip->protocol != Ipv4Header::ProtocolIcmp)
        return std::nullopt;
    // The kernel hands over the header as received (total length in network
    // order, fixed up after reassembly): a datagram shorter than it says was cut.
    if (ip->totalLength < ip->headerLength || ip->totalLength > datagram.size())
        return std::nullopt;
    const QByteArrayView icmp = datagram.sliced(ip->headerLength, ip->totalLength - ip->headerLength);
    if (icmp.size() < IcmpMessage::HeaderSize || internetChecksum(icmp) != 0)
        return std::nullopt;
    const auto message = IcmpMessage::decode(icmp);
    if (!message)
        return std::nullopt;
    return fromMessage(IpFamily::IPv4, *message, ip->source, ip->ttl, identifier);
}

std::optional<ProbeEvent> ReplyParser::parseIcmpMessage(Family family, QByteArrayView message,
                                                        const HostAddress &source, int hopLimit,
                                                        std::optional<quint16> identifier)
{
    if (!isSupportedFamily(family))
        return std::nullopt;
    const auto decoded = IcmpMessage::decode(message);
    if (!decoded)
        return std::nullopt;
    return fromMessage(family, *decoded, source, hopLimit, identifier);
}

std::optional<ProbeEvent> ReplyParser::parseErrorQueueEntry(Family family, const ErrorQueueEntry &entry,
                                                            QByteArrayView originalRequest,
                                                            const HostAddress &requestDestination,
                                                            std::optional<quint16> identifier)
{
    if (!isSupportedFamily(family))
        return std::nullopt;

    ProbeEvent event;
    if (entry.origin == ErrorQueueEntry::OriginLocal) {
        event.kind = ProbeEvent::Kind::LocalError;
        event.localErrno = entry.errnoValue;
    } else {
        const quint8 icmpOrigin = family == IpFamily::IPv4 ? ErrorQueueEntry::OriginIcmp
                                                                          : ErrorQueueEntry::OriginIcmp6;
        if (entry.origin != icmpOrigin || !isErrorType(family, entry.type))
            return std::nullopt;
        event.kind = ProbeEvent::Kind::IcmpError;
        event.source = entry.offender;
        event.icmpType = entry.type;
        event.icmpCode = entry.code;
        event.icmpInfo = entry.info;
    }

    // Without the request there is no telling which sequence the error is about.
    const auto request = IcmpMessage::decode(originalRequest);
    if (!request || request->type != echoRequestType(family)
        || !identifierMatches(request->identifier(), identifier))
        return std::nullopt;
    event.identifier = request->identifier();
    event.sequence = request->sequence();
    event.quotedDestination = requestDestination;
    event.quotedPayload = request->body;
    return event;
}
