// ICMP errors about our requests, the two ways they reach us: as an entry of
// the socket's error queue with the original request the kernel returns, and
// as an ICMP error read from the socket that quotes the request (inside a raw
// IPv4 datagram, or as datagram and IPv6 sockets deliver it). Each must give
// exactly the event the bytes call for, or nothing.
#include "errorqueueentry.h"
#include "fuzzcheck.h"
#include "fuzzinput.h"
#include "fuzzreference.h"
#include "icmpmessage.h"
#include "ipv4header.h"
#include "quotedrequest.h"
#include "replyparser.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>

using namespace FuzzReference;

namespace {

struct Input
{
    FuzzInput::ErrorWay way;
    std::optional<quint16> identifier;
    quint8 origin;
    quint8 type;
    quint8 code;
    quint32 info;
    QByteArrayView rest;
};

const HostAddress &offender(Family family)
{
    static const HostAddress router4(QStringLiteral("192.0.2.1"));
    static const HostAddress router6(QStringLiteral("2001:db8::1"));
    return family == V4 ? router4 : router6;
}

void fuzzQueueEntry(Family family, const Input &in)
{
    ErrorQueueEntry entry;
    entry.errnoValue = EHOSTUNREACH;
    entry.origin = in.origin;
    entry.type = in.type;
    entry.code = in.code;
    entry.info = in.info;
    entry.offender = in.origin == ErrorQueueEntry::OriginLocal ? HostAddress() : offender(family);
    static const HostAddress destination4(QStringLiteral("198.51.100.7"));
    static const HostAddress destination6(QStringLiteral("2001:db8::7"));
    const HostAddress &destination = family == V4 ? destination4 : destination6;
    const auto event = ReplyParser::parseErrorQueueEntry(family, entry, in.rest, destination, in.identifier);

    // Local errors, and ICMP errors of the socket's own family, about an echo
    // request with our identifier: nothing else.
    const bool local = in.origin == ErrorQueueEntry::OriginLocal;
    const quint8 icmpOrigin = family == V4 ? ErrorQueueEntry::OriginIcmp : ErrorQueueEntry::OriginIcmp6;
    const bool request = in.rest.size() >= IcmpMessage::HeaderSize && byteAt(in.rest, 0) == echoRequest(family)
        && (!in.identifier || be16(in.rest, 4) == *in.identifier);
    const bool expected = request && (local || (in.origin == icmpOrigin && isError(family, in.type)));
    FUZZ_CHECK(event.has_value() == expected);
    if (!event)
        return;
    FUZZ_CHECK(event->identifier == be16(in.rest, 4) && event->sequence == be16(in.rest, 6));
    FUZZ_CHECK(event->quotedDestination == destination);
    FUZZ_CHECK(event->quotedPayload == in.rest.sliced(IcmpMessage::HeaderSize).toByteArray());
    if (local) {
        FUZZ_CHECK(event->kind == ProbeEvent::Kind::LocalError && event->localErrno == EHOSTUNREACH);
    } else {
        FUZZ_CHECK(event->kind == ProbeEvent::Kind::IcmpError);
        FUZZ_CHECK(event->icmpType == in.type && event->icmpCode == in.code && event->icmpInfo == in.info);
        FUZZ_CHECK(event->source == entry.offender);
    }
}

// The one number of an error's rest-of-header that the event carries: the
// next-hop MTU (RFC 1191, RFC 4443) or the parameter problem's pointer.
quint32 expectedInfo(Family family, const Input &in)
{
    if (family == V4) {
        if (in.type == 3 && in.code == 4)
            return in.info & 0xffff;
        return in.type == 12 ? in.info >> 24 : 0;
    }
    return in.type == 2 || in.type == 4 ? in.info : 0;
}

void fuzzQuotingError(Family family, const Input &in)
{
    // Echo replies are the reply fuzzer's.
    if (in.type == echoReply(family))
        return;
    IcmpMessage error;
    error.type = in.type;
    error.code = in.code;
    error.restOfHeader = in.info;
    error.body = in.rest.toByteArray();

    std::optional<ProbeEvent> event;
    if (in.way == FuzzInput::ErrorInRawIpv4) {
        constexpr quint32 Us = 0xc0000264; // 192.0.2.100
        const QByteArray icmp = error.encodeWithChecksum();
        const QByteArray datagram = Ipv4Header::forIcmp(offender(V4), HostAddress(Us), 250, icmp.size()).encode() + icmp;
        // A raw socket always knows its identifier.
        event = ReplyParser::parseIpv4Datagram(datagram, FuzzInput::Identifier);
    } else {
        event = ReplyParser::parseIcmpMessage(family, error.encode(), offender(family), 250, in.identifier);
    }
    const std::optional<quint16> identifier =
        in.way == FuzzInput::ErrorInRawIpv4 ? FuzzInput::Identifier : in.identifier;

    // The parser's own reading of the quote agrees with the reference's.
    const auto quoted = quotedEcho(family, in.rest);
    const auto request = QuotedRequest::parse(family, in.rest);
    FUZZ_CHECK(request.has_value() == quoted.has_value());
    if (request)
        FUZZ_CHECK(request->identifier == quoted->first && request->sequence == quoted->second);

    const bool expected = isError(family, in.type) && quoted && (!identifier || quoted->first == *identifier);
    FUZZ_CHECK(event.has_value() == expected);
    if (!event)
        return;
    FUZZ_CHECK(event->kind == ProbeEvent::Kind::IcmpError);
    FUZZ_CHECK(event->identifier == quoted->first && event->sequence == quoted->second);
    FUZZ_CHECK(event->icmpType == in.type && event->icmpCode == in.code);
    FUZZ_CHECK(event->icmpInfo == expectedInfo(family, in));
    FUZZ_CHECK(event->source == offender(family));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < size_t(FuzzInput::ErrorPrefixSize))
        return 0;
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    Input in{FuzzInput::ErrorWay((data[0] & 0x7f) % FuzzInput::ErrorWays),
             data[0] & FuzzInput::NoIdentifier ? std::nullopt : std::optional<quint16>(FuzzInput::Identifier),
             data[1],
             data[2],
             data[3],
             be32(bytes, 4),
             bytes.sliced(FuzzInput::ErrorPrefixSize)};
    switch (in.way) {
    case FuzzInput::QueueIpv4: fuzzQueueEntry(V4, in); break;
    case FuzzInput::QueueIpv6: fuzzQueueEntry(V6, in); break;
    case FuzzInput::ErrorInRawIpv4:
    case FuzzInput::ErrorInIpv4: fuzzQuotingError(V4, in); break;
    case FuzzInput::ErrorInIpv6: fuzzQuotingError(V6, in); break;
    }
    return 0;
}
