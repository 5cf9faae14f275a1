// What an ICMP socket read, through ReplyParser: a raw IPv4 datagram with its
// IP header, or an ICMP or ICMPv6 message as IPv4 datagram sockets and all
// IPv6 sockets deliver it. Beyond not crashing, what the parser makes of the
// bytes must be what the bytes say.
#include "fuzzcheck.h"
#include "fuzzinput.h"
#include "fuzzreference.h"
#include "icmpmessage.h"
#include "internetchecksum.h"
#include "replyparser.h"

#include <QtEndian>

#include <cstddef>
#include <cstdint>

using namespace FuzzReference;

namespace {

constexpr int HopLimit = 51;

// A mutated packet almost never carries the right ones' complement sum; fill it
// in over the ICMP part, as far as the header lets one find it.
void fillInChecksum(QByteArray &datagram)
{
    if (datagram.size() < 20)
        return;
    const qsizetype icmp = (byteAt(datagram, 0) & 0x0f) * 4;
    const qsizetype end = qMin<qsizetype>(be16(datagram, 2), datagram.size());
    if (icmp < 20 || end < icmp + IcmpMessage::HeaderSize)
        return;
    datagram[icmp + 2] = datagram[icmp + 3] = 0;
    const quint16 sum = internetChecksum(QByteArrayView(datagram).sliced(icmp, end - icmp));
    qToBigEndian(sum, datagram.data() + icmp + 2);
}

// Which event an ICMP message must give: replies and errors about a request
// with our identifier (any identifier where none is given), nothing else.
std::optional<ProbeEvent::Kind> expectedKind(Family family, QByteArrayView icmp, std::optional<quint16> identifier)
{
    if (icmp.size() < IcmpMessage::HeaderSize)
        return std::nullopt;
    const quint8 type = byteAt(icmp, 0);
    if (type == echoReply(family))
        return !identifier || be16(icmp, 4) == *identifier ? std::optional(ProbeEvent::Kind::EchoReply) : std::nullopt;
    if (!isError(family, type))
        return std::nullopt;
    const auto quoted = quotedEcho(family, icmp.sliced(IcmpMessage::HeaderSize));
    if (!quoted || (identifier && quoted->first != *identifier))
        return std::nullopt;
    return ProbeEvent::Kind::IcmpError;
}

// What the parser must have made of an ICMP message.
void checkEvent(Family family, const std::optional<ProbeEvent> &parsed, QByteArrayView icmp,
                std::optional<quint16> identifier)
{
    const std::optional<ProbeEvent::Kind> expected = expectedKind(family, icmp, identifier);
    FUZZ_CHECK(parsed.has_value() == expected.has_value());
    if (!parsed)
        return;
    const ProbeEvent &event = *parsed;
    FUZZ_CHECK(event.kind == *expected);
    if (identifier)
        FUZZ_CHECK(event.identifier == *identifier);
    if (event.kind == ProbeEvent::Kind::EchoReply) {
        FUZZ_CHECK(event.identifier == be16(icmp, 4) && event.sequence == be16(icmp, 6));
        FUZZ_CHECK(event.payload == icmp.sliced(IcmpMessage::HeaderSize));
    } else {
        FUZZ_CHECK(event.icmpType == byteAt(icmp, 0) && event.icmpCode == byteAt(icmp, 1));
        const auto quoted = quotedEcho(family, icmp.sliced(IcmpMessage::HeaderSize));
        FUZZ_CHECK(event.identifier == quoted->first && event.sequence == quoted->second);
    }
}

// Header and body decode and encode to the same bytes.
void checkMessageRoundTrip(QByteArrayView icmp)
{
    const std::optional<IcmpMessage> message = IcmpMessage::decode(icmp);
    FUZZ_CHECK(message.has_value() == (icmp.size() >= IcmpMessage::HeaderSize));
    if (message)
        FUZZ_CHECK(message->encode() == icmp);
}

void fuzzRawIpv4(QByteArray datagram, bool keepChecksum)
{
    if (!keepChecksum)
        fillInChecksum(datagram);
    const auto event = ReplyParser::parseIpv4Datagram(datagram, FuzzInput::Identifier);

    // An IPv4 header carrying ICMP, and no more bytes than it says the
    // datagram holds, the ICMP part with a right checksum: else nothing.
    const bool ipv4 = datagram.size() >= 20 && byteAt(datagram, 0) >> 4 == 4 && byteAt(datagram, 9) == 1;
    const qsizetype start = ipv4 ? (byteAt(datagram, 0) & 0x0f) * 4 : 0;
    const qsizetype end = ipv4 ? be16(datagram, 2) : 0;
    if (!ipv4 || start < 20 || end > datagram.size() || end < start + IcmpMessage::HeaderSize) {
        FUZZ_CHECK(!event);
        return;
    }
    const QByteArrayView icmp = QByteArrayView(datagram).sliced(start, end - start);
    if (internetChecksum(icmp) != 0) {
        FUZZ_CHECK(!event);
        return;
    }
    checkEvent(V4, event, icmp, FuzzInput::Identifier);
    if (event) {
        FUZZ_CHECK(event->source == HostAddress(be32(datagram, 12)));
        FUZZ_CHECK(event->hopLimit == byteAt(datagram, 8));
    }
}

void fuzzMessage(Family family, QByteArrayView message, std::optional<quint16> identifier)
{
    static const HostAddress source4(QStringLiteral("192.0.2.7"));
    static const HostAddress source6(QStringLiteral("2001:db8::7"));
    const HostAddress &source = family == V4 ? source4 : source6;
    checkMessageRoundTrip(message);
    const auto event = ReplyParser::parseIcmpMessage(family, message, source, HopLimit, identifier);
    checkEvent(family, event, message, identifier);
    if (event)
        FUZZ_CHECK(event->source == source && event->hopLimit == HopLimit);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArrayView packet(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    switch (data[0] & FuzzInput::ReplyWayMask) {
    case FuzzInput::RawIpv4:
        fuzzRawIpv4(packet.toByteArray(), data[0] & FuzzInput::KeepChecksum);
        break;
    case FuzzInput::DatagramIpv4:
        fuzzMessage(V4, packet, std::nullopt);
        break;
    case FuzzInput::RawIpv6:
        fuzzMessage(V6, packet, FuzzInput::Identifier);
        break;
    case FuzzInput::DatagramIpv6:
        fuzzMessage(V6, packet, std::nullopt);
        break;
    }
    return 0;
}
