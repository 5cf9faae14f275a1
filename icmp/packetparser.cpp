#include "packetparser.h"

#include "checksum.h"
#include "icmpheader.h"
#include "icmptypes.h"
#include "ipheader.h"
#include "quotedrequest.h"

namespace Icmp {

namespace {

// The one number some errors carry in their "rest of header": the next-hop MTU
// (RFC 1191, RFC 4443) or the pointer to the offending octet.
std::uint32_t errorInfo(Family family, const Header &header)
{
    if (family == Family::Ipv4) {
        if (header.type == V4::DestinationUnreachable && header.code == V4::FragmentationNeeded)
            return header.restOfHeader & 0xffff;
        if (header.type == V4::ParameterProblem)
            return header.restOfHeader >> 24;
        return 0;
    }
    if (header.type == V6::PacketTooBig || header.type == V6::ParameterProblem)
        return header.restOfHeader;
    return 0;
}

bool identifierMatches(std::uint16_t actual, std::optional<std::uint16_t> expected)
{
    return !expected || *expected == actual;
}

} // namespace

std::optional<Reading> parseIcmpMessage(Family family, std::span<const std::uint8_t> message,
                                        const std::optional<Address> &source, int hopLimit,
                                        std::optional<std::uint16_t> identifier)
{
    const auto decoded = Message::decode(message);
    if (!decoded || !isKnown(family))
        return std::nullopt;
    const Header &header = decoded->header;
    Reading reading;
    reading.source = source;
    reading.hopLimit = hopLimit;

    if (header.type == echoReplyType(family)) {
        if (!identifierMatches(header.identifier(), identifier))
            return std::nullopt;
        reading.kind = Reading::Kind::EchoReply;
        reading.identifier = header.identifier();
        reading.sequence = header.sequence();
        reading.payload = decoded->body;
        return reading;
    }

    if (!isErrorAboutRequest(family, header.type))
        return std::nullopt;
    const auto quoted = QuotedRequest::parse(family, QuotedRequest::quoteIn(family, message));
    if (!quoted || !identifierMatches(quoted->identifier, identifier))
        return std::nullopt;
    reading.kind = Reading::Kind::IcmpError;
    reading.identifier = quoted->identifier;
    reading.sequence = quoted->sequence;
    reading.payload = quoted->payload;
    reading.quotedDestination = quoted->destination;
    reading.type = header.type;
    reading.code = header.code;
    reading.info = errorInfo(family, header);
    return reading;
}

std::optional<Reading> parseIpv4Datagram(std::span<const std::uint8_t> datagram, std::uint16_t identifier)
{
    const auto ip = Ipv4Header::parse(datagram);
    if (!ip || ip->protocol != Ipv4Header::ProtocolIcmp)
        return std::nullopt;
    // The kernel hands over the header as received (total length in network
    // order, fixed up after reassembly): a datagram shorter than it says was cut.
    if (ip->totalLength < ip->headerLength || ip->totalLength > datagram.size())
        return std::nullopt;
    const auto icmp = datagram.subspan(ip->headerLength, ip->totalLength - ip->headerLength);
    if (icmp.size() < Header::Size || internetChecksum(icmp) != 0)
        return std::nullopt;
    return parseIcmpMessage(Family::Ipv4, icmp, ip->source, ip->ttl, identifier);
}

std::optional<Reading> parseRawRead(Family family, std::span<const std::uint8_t> bytes,
                                    const std::optional<Address> &source, int hopLimit, std::uint16_t identifier)
{
    // Raw IPv4 sockets hand over each datagram with its IP header, and check
    // no ICMP checksum; raw ICMPv6 sockets read the ICMPv6 message alone, checked.
    if (family == Family::Ipv4)
        return parseIpv4Datagram(bytes, identifier);
    return parseIcmpMessage(family, bytes, source, hopLimit, identifier);
}

std::optional<Reading> parseErrorQueueEntry(Family family, const ErrorQueueEntry &entry,
                                            std::span<const std::uint8_t> originalRequest,
                                            const std::optional<Address> &requestDestination,
                                            std::optional<std::uint16_t> identifier)
{
    if (!isKnown(family))
        return std::nullopt;
    Reading reading;
    if (entry.origin == ErrorQueueEntry::OriginLocal) {
        reading.kind = Reading::Kind::LocalError;
        reading.localErrno = entry.errnoValue;
    } else {
        const std::uint8_t icmpOrigin =
            family == Family::Ipv4 ? ErrorQueueEntry::OriginIcmp : ErrorQueueEntry::OriginIcmp6;
        if (entry.origin != icmpOrigin || !isErrorAboutRequest(family, entry.type))
            return std::nullopt;
        reading.kind = Reading::Kind::IcmpError;
        reading.source = entry.offender;
        reading.type = entry.type;
        reading.code = entry.code;
        reading.info = entry.info;
    }

    // Without the request there is no telling which sequence the error is about.
    const auto request = Message::decode(originalRequest);
    if (!request || request->header.type != echoRequestType(family)
        || !identifierMatches(request->header.identifier(), identifier))
        return std::nullopt;
    reading.identifier = request->header.identifier();
    reading.sequence = request->header.sequence();
    reading.quotedDestination = requestDestination;
    reading.payload = request->body;
    return reading;
}

} // namespace Icmp
