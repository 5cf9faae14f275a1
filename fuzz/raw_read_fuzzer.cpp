// What an ICMP socket read, through icmp/'s one parser of reads: a raw IPv4
// datagram with its IP header, or an ICMP or ICMPv6 message as IPv4 datagram
// sockets and all IPv6 sockets deliver it; and, for raw reads, what the ICMP
// helper's reply filter, which reads them with the same parser, passes on.
// Beyond not crashing, what the parser makes of the bytes must be what the
// bytes say, and the filter must pass exactly the replies and errors that
// concern a request it remembers and carry (or quote) nothing but its payload.
#include "address.h"
#include "checksum.h"
#include "fuzzcheck.h"
#include "fuzzinput.h"
#include "fuzzreference.h"
#include "icmpheader.h"
#include "packetparser.h"
#include "quotedrequest.h"
#include "replyfilter.h"

#include <arpa/inet.h>

#include <cstddef>
#include <cstdint>
#include <vector>

using namespace FuzzReference;
using Icmp::Reading;

namespace {

constexpr int HopLimit = 51;

Icmp::Address ipv4(std::uint32_t address)
{
    const std::uint8_t bytes[4] = {std::uint8_t(address >> 24), std::uint8_t(address >> 16), std::uint8_t(address >> 8),
                                   std::uint8_t(address)};
    return Icmp::Address::ipv4(bytes);
}

Icmp::Address ipv6(const char *text)
{
    std::uint8_t bytes[16] = {};
    inet_pton(AF_INET6, text, bytes);
    return Icmp::Address::ipv6(bytes);
}

// A mutated packet almost never carries the right ones' complement sum; fill it
// in over the ICMP part, as far as the header lets one find it.
void fillInChecksum(std::vector<std::uint8_t> &datagram)
{
    if (datagram.size() < 20)
        return;
    const std::size_t icmp = std::size_t(datagram[0] & 0x0f) * 4;
    const std::size_t end = std::min<std::size_t>(be16(datagram, 2), datagram.size());
    if (icmp < 20 || end < icmp + 8)
        return;
    datagram[icmp + 2] = datagram[icmp + 3] = 0;
    const std::uint16_t sum = Icmp::internetChecksum(Bytes(datagram).subspan(icmp, end - icmp));
    datagram[icmp + 2] = std::uint8_t(sum >> 8);
    datagram[icmp + 3] = std::uint8_t(sum);
}

struct Remembered
{
    std::uint16_t sequence;
    Icmp::Address destination;
    bool anySource;
    std::vector<std::uint8_t> payload = FuzzInput::helperPayload(sequence);
};

const std::vector<Remembered> &remembered(Family family)
{
    static const std::vector<Remembered> v4{{1, ipv4(FuzzInput::HelperTarget4), false},
                                            {2, ipv4(FuzzInput::HelperTarget4), false},
                                            {3, ipv4(FuzzInput::HelperBroadcast4), true}};
    static const std::vector<Remembered> v6{{1, ipv6(FuzzInput::HelperTarget6), false},
                                            {2, ipv6(FuzzInput::HelperTarget6), false},
                                            {3, ipv6(FuzzInput::HelperMulticast6), true}};
    return family == V4 ? v4 : v6;
}

const Icmp::ReplyFilter &filter()
{
    static const Icmp::ReplyFilter filter = [] {
        Icmp::ReplyFilter made(FuzzInput::Identifier);
        for (Family family : {V4, V6}) {
            for (const Remembered &request : remembered(family))
                made.remember(request.sequence, request.destination, request.anySource,
                              FuzzInput::helperPattern(request.sequence).data(), request.payload.size());
        }
        return made;
    }();
    return filter;
}

// Whether a reply with this sequence and payload from address, or (errors) a
// quote of a request with it to address, answers a remembered request. A
// reply carries the whole payload; a quote the first bytes of it, or fewer,
// and what follows them is not the request's.
bool answersRemembered(Family family, std::uint16_t sequence, Bytes address, bool fromAnyHost, Bytes payload,
                       bool whole)
{
    for (const Remembered &request : remembered(family)) {
        const Bytes sent(request.payload);
        const bool payloadFits = whole ? same(payload, sent)
                                       : same(payload.first(std::min(payload.size(), sent.size())),
                                              sent.first(std::min(payload.size(), sent.size())));
        if (request.sequence == sequence
            && ((fromAnyHost && request.anySource) || same(request.destination.view(), address)) && payloadFits)
            return true;
    }
    return false;
}

// Which reading an ICMP message must give: replies and errors about a request
// with our identifier (any identifier where none is given), nothing else.
std::optional<Reading::Kind> expectedKind(Family family, Bytes icmp, std::optional<std::uint16_t> identifier)
{
    if (icmp.size() < 8)
        return std::nullopt;
    const std::uint8_t type = icmp[0];
    if (type == echoReply(family))
        return !identifier || be16(icmp, 4) == *identifier ? std::optional(Reading::Kind::EchoReply) : std::nullopt;
    if (!isError(family, type))
        return std::nullopt;
    const auto quoted = quotedEcho(family, quoteOf(family, icmp));
    if (!quoted || (identifier && quoted->first != *identifier))
        return std::nullopt;
    return Reading::Kind::IcmpError;
}

// What the parser must have made of an ICMP message.
void checkReading(Family family, const std::optional<Reading> &parsed, Bytes icmp,
                  std::optional<std::uint16_t> identifier)
{
    if (icmp.size() >= 8) {
        // The parser's own reading of the quote agrees with the reference's.
        const Bytes quote = quoteOf(family, icmp);
        const auto quoted = quotedEcho(family, quote);
        const auto request = Icmp::QuotedRequest::parse(family, quote);
        FUZZ_CHECK(request.has_value() == quoted.has_value());
        if (request)
            FUZZ_CHECK(request->identifier == quoted->first && request->sequence == quoted->second);
    }

    const std::optional<Reading::Kind> expected = expectedKind(family, icmp, identifier);
    FUZZ_CHECK(parsed.has_value() == expected.has_value());
    if (!parsed)
        return;
    const Reading &reading = *parsed;
    FUZZ_CHECK(reading.kind == *expected);
    if (identifier)
        FUZZ_CHECK(reading.identifier == *identifier);
    if (reading.kind == Reading::Kind::EchoReply) {
        FUZZ_CHECK(reading.identifier == be16(icmp, 4) && reading.sequence == be16(icmp, 6));
        FUZZ_CHECK(same(reading.payload, icmp.subspan(8)));
        return;
    }
    FUZZ_CHECK(reading.type == icmp[0] && reading.code == icmp[1]);
    FUZZ_CHECK(reading.info == errorInfo(family, icmp[0], icmp[1], be32(icmp, 4)));
    const Bytes quote = quoteOf(family, icmp);
    const auto quoted = quotedEcho(family, quote);
    FUZZ_CHECK(reading.identifier == quoted->first && reading.sequence == quoted->second);
    FUZZ_CHECK(reading.quotedDestination && same(reading.quotedDestination->view(), quotedDestination(family, quote)));
    FUZZ_CHECK(same(reading.payload, quotedPayload(family, quote)));
}

// Header and body decode and encode to the same bytes.
void checkMessageRoundTrip(Bytes icmp)
{
    const std::optional<Icmp::Message> message = Icmp::Message::decode(icmp);
    FUZZ_CHECK(message.has_value() == (icmp.size() >= 8));
    if (message)
        FUZZ_CHECK(same(message->encode(), icmp));
}

// What the helper's filter must have made of an ICMP message from source:
// pass a reply or an error that concerns a remembered request, nothing else.
void checkFilter(Family family, Bytes icmp, Bytes source, bool passed)
{
    if (icmp.size() < 8) {
        FUZZ_CHECK(!passed);
        return;
    }
    const std::uint8_t type = icmp[0];
    if (type == echoReply(family)) {
        const bool ours = be16(icmp, 4) == FuzzInput::Identifier
            && answersRemembered(family, be16(icmp, 6), source, true, icmp.subspan(8), true);
        FUZZ_CHECK(passed == ours);
        return;
    }
    const Bytes quote = quoteOf(family, icmp);
    const auto quoted = isError(family, type) ? quotedEcho(family, quote) : std::nullopt;
    if (!quoted) {
        FUZZ_CHECK(!passed);
        return;
    }
    // Whoever sent the error, the request it quotes went to the destination remembered.
    const bool ours = quoted->first == FuzzInput::Identifier
        && answersRemembered(family, quoted->second, quotedDestination(family, quote), false,
                             quotedPayload(family, quote), false);
    FUZZ_CHECK(passed == ours);
}

void fuzzRawIpv4(std::vector<std::uint8_t> datagram, bool keepChecksum)
{
    if (!keepChecksum)
        fillInChecksum(datagram);
    const auto reading = Icmp::parseRawRead(V4, datagram, std::nullopt, -1, FuzzInput::Identifier);
    const bool passed = filter().passesIpv4(datagram);

    // An IPv4 header carrying ICMP, and no more bytes than it says the
    // datagram holds, the ICMP part with a right checksum: else nothing.
    const Bytes bytes(datagram);
    const bool ipv4 = bytes.size() >= 20 && bytes[0] >> 4 == 4 && bytes[9] == 1;
    const std::size_t start = ipv4 ? std::size_t(bytes[0] & 0x0f) * 4 : 0;
    const std::size_t end = ipv4 ? be16(bytes, 2) : 0;
    if (!ipv4 || start < 20 || end > bytes.size() || end < start + 8) {
        FUZZ_CHECK(!reading && !passed);
        return;
    }
    const Bytes icmp = bytes.subspan(start, end - start);
    if (Icmp::internetChecksum(icmp) != 0) {
        FUZZ_CHECK(!reading && !passed);
        return;
    }
    checkReading(V4, reading, icmp, FuzzInput::Identifier);
    if (reading) {
        FUZZ_CHECK(reading->source && same(reading->source->view(), bytes.subspan(12, 4)));
        FUZZ_CHECK(reading->hopLimit == bytes[8]);
    }
    checkFilter(V4, icmp, bytes.subspan(12, 4), passed);
}

void fuzzRawIpv6(Bytes input)
{
    if (input.size() < 16)
        return;
    const Icmp::Address source = Icmp::Address::ipv6(input.data());
    const Bytes message = input.subspan(16);
    checkMessageRoundTrip(message);
    const auto reading = Icmp::parseRawRead(V6, message, source, HopLimit, FuzzInput::Identifier);
    checkReading(V6, reading, message, FuzzInput::Identifier);
    if (reading)
        FUZZ_CHECK(reading->source == source && reading->hopLimit == HopLimit);
    checkFilter(V6, message, source.view(), filter().passesIpv6(message, source));
}

void fuzzDatagram(Family family, Bytes message)
{
    static const Icmp::Address source4 = ipv4(0xc0000207); // 192.0.2.7
    static const Icmp::Address source6 = ipv6("2001:db8::7");
    const Icmp::Address &source = family == V4 ? source4 : source6;
    checkMessageRoundTrip(message);
    const auto reading = Icmp::parseIcmpMessage(family, message, source, HopLimit, std::nullopt);
    checkReading(family, reading, message, std::nullopt);
    if (reading)
        FUZZ_CHECK(reading->source == source && reading->hopLimit == HopLimit);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const Bytes read(data + 1, size - 1);
    switch (data[0] & FuzzInput::ReadWayMask) {
    case FuzzInput::RawIpv4:
        fuzzRawIpv4(std::vector<std::uint8_t>(read.begin(), read.end()), data[0] & FuzzInput::KeepChecksum);
        break;
    case FuzzInput::DatagramIpv4:
        fuzzDatagram(V4, read);
        break;
    case FuzzInput::RawIpv6:
        fuzzRawIpv6(read);
        break;
    case FuzzInput::DatagramIpv6:
        fuzzDatagram(V6, read);
        break;
    }
    return 0;
}
