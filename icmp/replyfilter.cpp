#include "replyfilter.h"

#include "helperprotocol.h"

#include <cstring>

namespace {

using namespace IcmpHelperProtocol;

// ICMP and ICMPv6 numbers (RFC 792, RFC 4443).
constexpr std::uint8_t ProtocolIcmp = 1;
constexpr std::uint8_t NextHeaderIcmpv6 = 58;
constexpr std::uint8_t Icmp4EchoReply = 0;
constexpr std::uint8_t Icmp4EchoRequest = 8;
constexpr std::uint8_t Icmp6EchoRequest = 128;
constexpr std::uint8_t Icmp6EchoReply = 129;
constexpr std::size_t EchoHeaderSize = 8;
constexpr std::size_t Ipv6HeaderSize = 40;

// The errors that quote the request they are about.
bool isIcmp4Error(std::uint8_t type)
{
    return type == 3 || type == 4 || type == 11 || type == 12; // unreachable, source quench, time exceeded, parameter problem
}

bool isIcmp6Error(std::uint8_t type)
{
    return type >= 1 && type <= 4; // unreachable, packet too big, time exceeded, parameter problem
}

// The IPv4 header at the start of bytes, if it is one carrying ICMP: its
// length, or 0.
std::size_t icmpInIpv4(const unsigned char *bytes, std::size_t size)
{
    if (size < 20 || bytes[0] >> 4 != 4 || bytes[9] != ProtocolIcmp)
        return 0;
    const std::size_t headerLength = std::size_t(bytes[0] & 0x0f) * 4;
    return headerLength >= 20 && headerLength <= size ? headerLength : 0;
}

// Where the ICMPv6 message of a quoted IPv6 packet starts, past the extension
// headers a request may have gained on its way (RFC 8200: hop-by-hop,
// routing, destination options, authentication, and a Fragment header when it
// was split), or 0. Only a first fragment holds the ICMPv6 header. Every
// header moves the offset on by at least 8 bytes, so the walk ends within the
// packet however many headers the bytes claim.
std::size_t icmpInIpv6(const unsigned char *packet, std::size_t size)
{
    if (size < Ipv6HeaderSize || packet[0] >> 4 != 6)
        return 0;
    std::uint8_t next = packet[6];
    std::size_t offset = Ipv6HeaderSize;
    while (next != NextHeaderIcmpv6) {
        if (offset + 8 > size)
            return 0;
        std::size_t length = 8;
        if (next == 44) { // Fragment
            if ((get16(packet + offset + 2) & 0xfff8) != 0)
                return 0;
        } else if (next == 51) { // authentication: in 4-byte units, less 2
            length = (std::size_t(packet[offset + 1]) + 2) * 4;
        } else if (next == 0 || next == 43 || next == 60) { // hop-by-hop, routing, destination options
            length = (std::size_t(packet[offset + 1]) + 1) * 8;
        } else {
            return 0;
        }
        if (offset + length > size)
            return 0;
        next = packet[offset];
        offset += length;
    }
    return offset;
}

// How many bytes of an error's body quote the request: all of them, unless
// RFC 4884 extensions follow the quote, when the error's header gives the
// quote's length: in 32-bit words in byte 5 of an ICMP destination
// unreachable, time exceeded or parameter problem, in 64-bit words in byte 4
// of an ICMPv6 destination unreachable or time exceeded; 0 there means none.
std::size_t quoteLength(const unsigned char *icmp, std::size_t icmpSize, bool ipv4)
{
    const std::size_t body = icmpSize - EchoHeaderSize;
    std::size_t length = 0;
    if (ipv4 && (icmp[0] == 3 || icmp[0] == 11 || icmp[0] == 12))
        length = std::size_t(icmp[5]) * 4;
    else if (!ipv4 && (icmp[0] == 1 || icmp[0] == 3))
        length = std::size_t(icmp[4]) * 8;
    return length != 0 && length < body ? length : body;
}

} // namespace

void ReplyFilter::remember(std::uint8_t family, std::uint16_t sequence, const unsigned char *destination,
                           bool anySource, const unsigned char *pattern, std::size_t payloadSize)
{
    Request &request = m_requests[m_next];
    m_next = (m_next + 1) % Remembered;
    request.used = true;
    request.family = family;
    request.sequence = sequence;
    std::memset(request.destination, 0, sizeof request.destination);
    std::memcpy(request.destination, destination, family == FamilyIpv4 ? 4 : 16);
    request.anySource = anySource;
    std::memcpy(request.pattern, pattern, EchoPattern::Size);
    request.payloadSize = payloadSize;
}

bool ReplyFilter::matches(std::uint8_t family, std::uint16_t sequence, const unsigned char *address,
                          bool orAnySource, const Payload &payload) const
{
    const std::size_t length = family == FamilyIpv4 ? 4 : 16;
    for (const Request &request : m_requests) {
        if (!request.used || request.family != family || request.sequence != sequence
            || !((orAnySource && request.anySource) || std::memcmp(request.destination, address, length) == 0))
            continue;
        // A reply holds the whole payload; a quote whatever it kept of it, and
        // any bytes past it are padding or extensions, not the request's.
        if (payload.whole && payload.size != request.payloadSize)
            continue;
        const std::size_t compared = payload.size < request.payloadSize ? payload.size : request.payloadSize;
        if (EchoPattern::matches(request.pattern, payload.bytes, compared))
            return true;
    }
    return false;
}

bool ReplyFilter::answers(std::uint8_t family, std::uint16_t identifier, std::uint16_t sequence,
                          const unsigned char *source, const Payload &payload) const
{
    // From the destination, or from any host for a group request.
    return identifier == m_identifier && matches(family, sequence, source, true, payload);
}

bool ReplyFilter::isQuoted(std::uint8_t family, std::uint16_t identifier, std::uint16_t sequence,
                           const unsigned char *destination, const Payload &payload) const
{
    // Whoever sent the error, the request it quotes went to the destination remembered.
    return identifier == m_identifier && matches(family, sequence, destination, false, payload);
}

bool ReplyFilter::passesIpv4(const unsigned char *datagram, std::size_t size) const
{
    const std::size_t start = icmpInIpv4(datagram, size);
    if (start == 0 || size - start < EchoHeaderSize)
        return false;
    const unsigned char *icmp = datagram + start;
    const std::size_t icmpSize = size - start;
    if (icmp[0] == Icmp4EchoReply) {
        return answers(FamilyIpv4, get16(icmp + 4), get16(icmp + 6), datagram + 12,
                       Payload{icmp + EchoHeaderSize, icmpSize - EchoHeaderSize, true});
    }
    if (!isIcmp4Error(icmp[0]))
        return false;

    const unsigned char *quote = icmp + EchoHeaderSize;
    const std::size_t quoteSize = quoteLength(icmp, icmpSize, true);
    const std::size_t quotedStart = icmpInIpv4(quote, quoteSize);
    // A later fragment of a request holds no echo header.
    if (quotedStart == 0 || (get16(quote + 6) & 0x1fff) != 0 || quotedStart + EchoHeaderSize > quoteSize)
        return false;
    const unsigned char *request = quote + quotedStart;
    const Payload quoted{request + EchoHeaderSize, quoteSize - quotedStart - EchoHeaderSize, false};
    return request[0] == Icmp4EchoRequest
        && isQuoted(FamilyIpv4, get16(request + 4), get16(request + 6), quote + 16, quoted);
}

bool ReplyFilter::passesIpv6(const unsigned char *message, std::size_t size, const unsigned char *source) const
{
    if (size < EchoHeaderSize)
        return false;
    if (message[0] == Icmp6EchoReply) {
        return answers(FamilyIpv6, get16(message + 4), get16(message + 6), source,
                       Payload{message + EchoHeaderSize, size - EchoHeaderSize, true});
    }
    if (!isIcmp6Error(message[0]))
        return false;

    const unsigned char *quote = message + EchoHeaderSize;
    const std::size_t quoteSize = quoteLength(message, size, false);
    const std::size_t quotedStart = icmpInIpv6(quote, quoteSize);
    if (quotedStart == 0 || quotedStart + EchoHeaderSize > quoteSize)
        return false;
    const unsigned char *request = quote + quotedStart;
    const Payload quoted{request + EchoHeaderSize, quoteSize - quotedStart - EchoHeaderSize, false};
    return request[0] == Icmp6EchoRequest
        && isQuoted(FamilyIpv6, get16(request + 4), get16(request + 6), quote + 24, quoted);
}
