#include "icmpheader.h"
#include "icmptypes.h"
#include "ipheader.h"
#include "packetparser.h"
#include "packets.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <random>

using namespace IcmpTest;
using Icmp::Reading;
namespace V4 = Icmp::V4;
namespace V6 = Icmp::V6;

namespace {

constexpr auto Family4 = Icmp::Family::Ipv4;
constexpr auto Family6 = Icmp::Family::Ipv6;

constexpr std::uint16_t Ours = 0x5a17;
constexpr std::uint16_t Theirs = 0x5a18;
constexpr std::uint32_t Here = 0x0a000001;   // 10.0.0.1, where our requests come from
constexpr std::uint32_t Target = 0x0a000202; // 10.0.2.2
constexpr std::uint32_t Router = 0x0a000101; // 10.0.1.1

const Icmp::Address Here6 = ipv6("fd00::1");
const Icmp::Address Target6 = ipv6("fd00::2:2");
const Icmp::Address Router6 = ipv6("fd00::1:1");

Bytes echoReply4(std::uint16_t identifier, std::uint16_t sequence, const Bytes &payload)
{
    return echo4(V4::EchoReply, identifier, sequence, payload);
}

Bytes request4(std::uint16_t identifier, std::uint16_t sequence)
{
    return echo4(V4::EchoRequest, identifier, sequence, text("0123456789"));
}

// An ICMPv4 error about our request as a router sends it: the request's IP
// header and the first 8 bytes of its ICMP message (RFC 792's minimum quote).
Bytes error4(std::uint8_t type, std::uint8_t code, std::uint32_t restOfHeader, const Bytes &quotedRequest)
{
    return message(type, code, restOfHeader,
                   ipv4Header(Here, Target, 1, 5, 20 + int(quotedRequest.size())) + left(quotedRequest, 8), true);
}

Bytes error6(std::uint8_t type, std::uint8_t code, std::uint32_t restOfHeader, std::uint16_t identifier,
             std::uint16_t sequence)
{
    return message(type, code, restOfHeader,
                   ipv6Header(Here6, Target6, Icmp::Ipv6Header::NextHeaderIcmpv6)
                       + echo6(V6::EchoRequest, identifier, sequence, text("0123456789")),
                   false);
}

// An ICMP error as it arrives, and the info it must give.
struct ErrorCase
{
    std::uint8_t type;
    std::uint8_t code;
    std::uint32_t restOfHeader;
    std::uint32_t info;
};

} // namespace

TEST(PacketParserIpv4Datagram, EchoReplyWithOurIdentifierGivesTheReply)
{
    const Bytes payload = text(std::string("some payload\0with a zero", 24));
    const Bytes datagram = ipv4Datagram(Target, Here, 57, echoReply4(Ours, 9, payload));
    const auto reading = Icmp::parseIpv4Datagram(datagram, Ours);
    ASSERT_TRUE(reading.has_value());
    EXPECT_EQ(reading->kind, Reading::Kind::EchoReply);
    EXPECT_EQ(reading->source, ipv4(Target));
    EXPECT_EQ(reading->identifier, Ours);
    EXPECT_EQ(reading->sequence, 9);
    EXPECT_EQ(toBytes(reading->payload), payload);
    EXPECT_EQ(reading->hopLimit, 57);
}

TEST(PacketParserIpv4Datagram, IpOptionsMoveTheIcmpMessage)
{
    for (int ihl : {6, 15}) {
        const Bytes datagram = ipv4Datagram(Target, Here, 64, echoReply4(Ours, 3, text("abc")), ihl);
        const auto reading = Icmp::parseIpv4Datagram(datagram, Ours);
        ASSERT_TRUE(reading.has_value()) << "IHL " << ihl;
        EXPECT_EQ(reading->sequence, 3);
        EXPECT_EQ(toBytes(reading->payload), text("abc"));
    }
}

TEST(PacketParserIpv4Datagram, DropsWhatIsNotOurs)
{
    // Another program's reply.
    EXPECT_FALSE(Icmp::parseIpv4Datagram(ipv4Datagram(Target, Here, 64, echoReply4(Theirs, 1, text("x"))), Ours));
    // Our own request looping back, and other ICMP types carrying our identifier.
    for (std::uint8_t type : {std::uint8_t(V4::EchoRequest), std::uint8_t(V4::Redirect), std::uint8_t(13),
                              std::uint8_t(14)}) {
        EXPECT_FALSE(Icmp::parseIpv4Datagram(ipv4Datagram(Target, Here, 64, echo4(type, Ours, 1, text("x"))), Ours))
            << "type " << int(type);
    }
    // Not ICMP at all.
    Bytes udp = ipv4Datagram(Target, Here, 64, echoReply4(Ours, 1, text("x")));
    udp[9] = 17;
    EXPECT_FALSE(Icmp::parseIpv4Datagram(udp, Ours));
    // Not IPv4.
    Bytes v6 = ipv4Datagram(Target, Here, 64, echoReply4(Ours, 1, text("x")));
    v6[0] = 0x65;
    EXPECT_FALSE(Icmp::parseIpv4Datagram(v6, Ours));
}

TEST(PacketParserIpv4Datagram, DropsCorruptedPackets)
{
    const Bytes good = ipv4Datagram(Target, Here, 64, echoReply4(Ours, 1, text("payload!")));
    ASSERT_TRUE(Icmp::parseIpv4Datagram(good, Ours));
    // Any single bit flipped in the ICMP message breaks its checksum.
    for (std::size_t i = 20; i < good.size(); ++i) {
        Bytes bad = good;
        bad[i] = std::uint8_t(bad[i] ^ 0x10);
        EXPECT_FALSE(Icmp::parseIpv4Datagram(bad, Ours)) << "byte " << i;
    }
}

TEST(PacketParserIpv4Datagram, DropsPacketsShorterThanTheirHeadersSay)
{
    // Trailing zero bytes can go without changing the checksum: only the total
    // length tells that the payload was cut.
    const Bytes payload = bytes({'a', 'b', 0, 0});
    Bytes cut = ipv4Datagram(Target, Here, 64, echoReply4(Ours, 1, payload));
    cut.resize(cut.size() - 2);
    EXPECT_FALSE(Icmp::parseIpv4Datagram(cut, Ours));

    // Header length beyond the buffer, and a total length shorter than the header.
    Bytes longIhl = ipv4Datagram(Target, Here, 64, {});
    longIhl[0] = 0x4f;
    EXPECT_FALSE(Icmp::parseIpv4Datagram(longIhl, Ours));
    Bytes shortTotal = ipv4Datagram(Target, Here, 64, echoReply4(Ours, 1, text("x")));
    shortTotal[2] = 0;
    shortTotal[3] = 19;
    EXPECT_FALSE(Icmp::parseIpv4Datagram(shortTotal, Ours));

    // Bytes beyond the total length are not part of the message.
    const Bytes padded = ipv4Datagram(Target, Here, 64, echoReply4(Ours, 1, text("x"))) + Bytes(6, 0);
    const auto reading = Icmp::parseIpv4Datagram(padded, Ours);
    ASSERT_TRUE(reading.has_value());
    EXPECT_EQ(toBytes(reading->payload), text("x"));
}

TEST(PacketParserIpv4Datagram, EveryTruncationIsRejectedWithoutCrashing)
{
    const Bytes packets[] = {
        ipv4Datagram(Target, Here, 64, echoReply4(Ours, 7, Bytes(100, 'p')), 7),
        ipv4Datagram(Router, Here, 250, error4(V4::TimeExceeded, 0, 0, request4(Ours, 7))),
    };
    for (const Bytes &packet : packets) {
        for (std::size_t length = 0; length < packet.size(); ++length)
            EXPECT_FALSE(Icmp::parseIpv4Datagram(left(packet, length), Ours)) << "length " << length;
        const auto reading = Icmp::parseIpv4Datagram(packet, Ours);
        ASSERT_TRUE(reading.has_value());
        EXPECT_EQ(reading->sequence, 7);
    }
}

TEST(PacketParserIpv4Datagram, ErrorsQuotingOurRequestGiveTheSequence)
{
    const ErrorCase cases[] = {
        {V4::DestinationUnreachable, 1, 0, 0},          // host unreachable
        {V4::DestinationUnreachable, 4, 1400, 1400},    // fragmentation needed: next-hop MTU
        {V4::DestinationUnreachable, 3, 0x0000ffff, 0}, // the MTU field means nothing for other codes
        {V4::TimeExceeded, 0, 0, 0},
        {V4::ParameterProblem, 0, 0x0c000000, 12},      // pointer to the offending octet
        {V4::SourceQuench, 0, 0, 0},
    };
    for (const ErrorCase &c : cases) {
        const Bytes packet = ipv4Datagram(Router, Here, 250, error4(c.type, c.code, c.restOfHeader, request4(Ours, 41)));
        const auto reading = Icmp::parseIpv4Datagram(packet, Ours);
        ASSERT_TRUE(reading.has_value()) << "type " << int(c.type) << " code " << int(c.code);
        EXPECT_EQ(reading->kind, Reading::Kind::IcmpError);
        EXPECT_EQ(reading->source, ipv4(Router));
        EXPECT_EQ(reading->identifier, Ours);
        EXPECT_EQ(reading->sequence, 41);
        EXPECT_EQ(reading->type, c.type);
        EXPECT_EQ(reading->code, c.code);
        EXPECT_EQ(reading->info, c.info);
        EXPECT_EQ(reading->hopLimit, 250);
    }
}

TEST(PacketParserIpv4Datagram, ErrorsAboutOtherPacketsAreDropped)
{
    const auto parse = [](const Bytes &icmp) {
        return Icmp::parseIpv4Datagram(ipv4Datagram(Router, Here, 250, icmp), Ours).has_value();
    };
    // Someone else's request.
    EXPECT_FALSE(parse(error4(V4::DestinationUnreachable, 1, 0, request4(Theirs, 41))));
    // A quoted echo reply (we answered someone) is not our request.
    EXPECT_FALSE(parse(error4(V4::DestinationUnreachable, 1, 0, echoReply4(Ours, 41, {}))));
    // A redirect quotes our request but says nothing about its fate.
    EXPECT_FALSE(parse(error4(V4::Redirect, 1, Router, request4(Ours, 41))));
    // A corrupted error.
    Bytes corrupted = error4(V4::TimeExceeded, 0, 0, request4(Ours, 41));
    corrupted.back() = std::uint8_t(corrupted.back() ^ 1);
    EXPECT_FALSE(parse(corrupted));
    // A quote too short to hold the identifier and sequence.
    EXPECT_FALSE(parse(message(V4::TimeExceeded, 0, 0, ipv4Header(Here, Target, 1) + left(request4(Ours, 41), 6), true)));
}

TEST(PacketParserIpv4Datagram, RandomDamageNeverYieldsAForeignReading)
{
    // Fuzz-style: flipped bytes and random lengths must never crash, and
    // whatever survives still concerns our identifier.
    std::mt19937 random(20240611);
    const auto below = [&random](std::size_t end) { return std::uniform_int_distribution<std::size_t>(0, end - 1)(random); };
    const Bytes originals[] = {
        ipv4Datagram(Target, Here, 64, echoReply4(Ours, 1, Bytes(64, 'q'))),
        ipv4Datagram(Router, Here, 64, error4(V4::DestinationUnreachable, 4, 576, request4(Ours, 2))),
    };
    for (int round = 0; round < 20000; ++round) {
        Bytes packet = originals[round % 2];
        const std::size_t flips = 1 + below(3);
        for (std::size_t f = 0; f < flips; ++f)
            packet[below(packet.size())] = std::uint8_t(below(256));
        packet.resize(below(packet.size() + 1));
        if (const auto reading = Icmp::parseIpv4Datagram(packet, Ours)) {
            EXPECT_EQ(reading->identifier, Ours);
        }
    }
}

TEST(PacketParserIcmpMessage, EchoRepliesOfBothFamilies)
{
    const Icmp::Address from = ipv6("fe80::1", 2);
    const Bytes v6 = echo6(V6::EchoReply, Ours, 300, text("six"));
    const auto reading6 = Icmp::parseIcmpMessage(Family6, v6, from, 63, Ours);
    ASSERT_TRUE(reading6.has_value());
    EXPECT_EQ(reading6->kind, Reading::Kind::EchoReply);
    EXPECT_EQ(reading6->source, from);
    EXPECT_EQ(reading6->source->scopeId, 2u);
    EXPECT_EQ(reading6->sequence, 300);
    EXPECT_EQ(toBytes(reading6->payload), text("six"));
    EXPECT_EQ(reading6->hopLimit, 63);

    const Bytes v4 = echoReply4(Ours, 5, text("four"));
    const auto reading4 = Icmp::parseIcmpMessage(Family4, v4, ipv4(Target), -1, std::nullopt);
    ASSERT_TRUE(reading4.has_value());
    EXPECT_EQ(reading4->sequence, 5);
    EXPECT_EQ(toBytes(reading4->payload), text("four"));
    EXPECT_EQ(reading4->hopLimit, -1);

    // A family's numbering only counts in that family: 129 is no ICMPv4 reply, 0 no ICMPv6 one.
    EXPECT_FALSE(Icmp::parseIcmpMessage(Family4, v6, from, 64, Ours));
    EXPECT_FALSE(Icmp::parseIcmpMessage(Family6, echoReply4(Ours, 5, {}), from, 64, Ours));
    // Neither family.
    EXPECT_FALSE(Icmp::parseIcmpMessage(Icmp::Family{}, v6, from, 64, Ours));
}

TEST(PacketParserIcmpMessage, IdentifierIsCheckedOnlyWhenGiven)
{
    const Bytes theirs = echo6(V6::EchoReply, Theirs, 1, {});
    EXPECT_FALSE(Icmp::parseIcmpMessage(Family6, theirs, Target6, 64, Ours));
    // Datagram sockets: the kernel chose the socket by identifier already.
    const auto reading = Icmp::parseIcmpMessage(Family6, theirs, Target6, 64, std::nullopt);
    ASSERT_TRUE(reading.has_value());
    EXPECT_EQ(reading->identifier, Theirs);

    const Bytes error = error6(V6::TimeExceeded, 0, 0, Theirs, 1);
    EXPECT_FALSE(Icmp::parseIcmpMessage(Family6, error, Router6, 64, Ours));
    EXPECT_TRUE(Icmp::parseIcmpMessage(Family6, error, Router6, 64, std::nullopt));
}

TEST(PacketParserIcmpMessage, Icmpv6ErrorsQuotingOurRequest)
{
    const ErrorCase cases[] = {
        {V6::DestinationUnreachable, 3, 0, 0}, // address unreachable
        {V6::PacketTooBig, 0, 1280, 1280},
        {V6::TimeExceeded, 0, 0, 0},
        {V6::ParameterProblem, 1, 40, 40},
    };
    for (const ErrorCase &c : cases) {
        const Bytes error = error6(c.type, c.code, c.restOfHeader, Ours, 77);
        const auto reading = Icmp::parseIcmpMessage(Family6, error, Router6, 61, Ours);
        ASSERT_TRUE(reading.has_value()) << "type " << int(c.type);
        EXPECT_EQ(reading->kind, Reading::Kind::IcmpError);
        EXPECT_EQ(reading->source, Router6);
        EXPECT_EQ(reading->sequence, 77);
        EXPECT_EQ(reading->type, c.type);
        EXPECT_EQ(reading->code, c.code);
        EXPECT_EQ(reading->info, c.info);
    }
    // Informational messages and an IPv4 quote inside an ICMPv6 error are not ours.
    EXPECT_FALSE(Icmp::parseIcmpMessage(Family6, echo6(V6::EchoRequest, Ours, 1, {}), Here6, 64, Ours));
    const Bytes wrongQuote =
        message(V6::DestinationUnreachable, 0, 0, ipv4Header(Here, Target, 1) + left(request4(Ours, 1), 8), false);
    EXPECT_FALSE(Icmp::parseIcmpMessage(Family6, wrongQuote, Router6, 64, Ours));
}

TEST(PacketParserIcmpMessage, EveryTruncationIsSafe)
{
    const Bytes reply = echo6(V6::EchoReply, Ours, 2, Bytes(50, 'r'));
    for (std::size_t length = 0; length <= reply.size(); ++length) {
        const Bytes cut = left(reply, length);
        const auto reading = Icmp::parseIcmpMessage(Family6, cut, Target6, 64, Ours);
        // Without an IP header nothing tells the full length: what has an ICMP
        // header is a reply with what payload is there.
        ASSERT_EQ(reading.has_value(), length >= Icmp::Header::Size) << "length " << length;
        if (reading) {
            EXPECT_EQ(toBytes(reading->payload), Bytes(cut.begin() + Icmp::Header::Size, cut.end()));
        }
    }
    // An error needs its ICMP header, the quoted IPv6 header and 8 bytes of the request.
    const Bytes error = error6(V6::TimeExceeded, 0, 0, Ours, 2);
    const std::size_t needed = Icmp::Header::Size + Icmp::Ipv6Header::Size + Icmp::Header::Size;
    for (std::size_t length = 0; length <= error.size(); ++length) {
        EXPECT_EQ(Icmp::parseIcmpMessage(Family6, left(error, length), Router6, 64, Ours).has_value(), length >= needed)
            << "length " << length;
    }
    const Bytes error4Message = error4(V4::TimeExceeded, 0, 0, request4(Ours, 2));
    for (std::size_t length = 0; length <= error4Message.size(); ++length) {
        EXPECT_EQ(Icmp::parseIcmpMessage(Family4, left(error4Message, length), ipv4(Router), 64, Ours).has_value(),
                  length == error4Message.size())
            << "length " << length;
    }
}

TEST(PacketParserErrorQueue, IcmpOriginGivesTheOffenderAndTheSequence)
{
    Icmp::ErrorQueueEntry entry;
    entry.errnoValue = EMSGSIZE;
    entry.origin = Icmp::ErrorQueueEntry::OriginIcmp;
    entry.type = V4::DestinationUnreachable;
    entry.code = 4;
    entry.info = 1400;
    entry.offender = ipv4(Router);
    const auto reading = Icmp::parseErrorQueueEntry(Family4, entry, request4(Ours, 12), ipv4(Target), std::nullopt);
    ASSERT_TRUE(reading.has_value());
    EXPECT_EQ(reading->kind, Reading::Kind::IcmpError);
    EXPECT_EQ(reading->source, ipv4(Router));
    EXPECT_EQ(reading->identifier, Ours);
    EXPECT_EQ(reading->sequence, 12);
    EXPECT_EQ(reading->type, V4::DestinationUnreachable);
    EXPECT_EQ(reading->code, 4);
    EXPECT_EQ(reading->info, 1400u);

    Icmp::ErrorQueueEntry entry6;
    entry6.errnoValue = EMSGSIZE;
    entry6.origin = Icmp::ErrorQueueEntry::OriginIcmp6;
    entry6.type = V6::PacketTooBig;
    entry6.info = 1280;
    entry6.offender = Router6;
    const Bytes request6 = echo6(V6::EchoRequest, Ours, 13, text("x"));
    const auto reading6 = Icmp::parseErrorQueueEntry(Family6, entry6, request6, Target6, Ours);
    ASSERT_TRUE(reading6.has_value());
    EXPECT_EQ(reading6->kind, Reading::Kind::IcmpError);
    EXPECT_EQ(reading6->source, Router6);
    EXPECT_EQ(reading6->sequence, 13);
    EXPECT_EQ(reading6->type, V6::PacketTooBig);
    EXPECT_EQ(reading6->info, 1280u);

    // The origin must match the family.
    EXPECT_FALSE(Icmp::parseErrorQueueEntry(Family4, entry6, request4(Ours, 13), ipv4(Target), std::nullopt));
    EXPECT_FALSE(Icmp::parseErrorQueueEntry(Family6, entry, request6, Target6, std::nullopt));
}

TEST(PacketParserErrorQueue, LocalOriginGivesTheErrno)
{
    Icmp::ErrorQueueEntry entry;
    entry.errnoValue = EHOSTUNREACH;
    entry.origin = Icmp::ErrorQueueEntry::OriginLocal;
    const auto reading = Icmp::parseErrorQueueEntry(Family4, entry, request4(Ours, 99), ipv4(Target), Ours);
    ASSERT_TRUE(reading.has_value());
    EXPECT_EQ(reading->kind, Reading::Kind::LocalError);
    EXPECT_EQ(reading->localErrno, EHOSTUNREACH);
    EXPECT_EQ(reading->sequence, 99);
    EXPECT_FALSE(reading->source.has_value());

    // What Linux queues for a local EMSGSIZE: no request, so no sequence to
    // report (sendto has returned the same errno already).
    entry.errnoValue = EMSGSIZE;
    entry.info = 1300;
    EXPECT_FALSE(Icmp::parseErrorQueueEntry(Family4, entry, {}, ipv4(Target), Ours));
}

TEST(PacketParserErrorQueue, EntriesThatNameNoRequestOfOursAreDropped)
{
    Icmp::ErrorQueueEntry entry;
    entry.errnoValue = EHOSTUNREACH;
    entry.origin = Icmp::ErrorQueueEntry::OriginIcmp;
    entry.type = V4::DestinationUnreachable;
    entry.code = 1;
    entry.offender = ipv4(Router);
    ASSERT_TRUE(Icmp::parseErrorQueueEntry(Family4, entry, request4(Ours, 1), ipv4(Target), Ours));

    EXPECT_FALSE(Icmp::parseErrorQueueEntry(Family4, entry, request4(Theirs, 1), ipv4(Target), Ours));
    EXPECT_FALSE(Icmp::parseErrorQueueEntry(Family4, entry, echoReply4(Ours, 1, {}), ipv4(Target), Ours));
    EXPECT_FALSE(Icmp::parseErrorQueueEntry(Family4, entry, {}, ipv4(Target), Ours));
    // Every cut of the request short of its 8-byte header.
    const Bytes request = request4(Ours, 1);
    for (std::size_t length = 0; length <= request.size(); ++length) {
        EXPECT_EQ(Icmp::parseErrorQueueEntry(Family4, entry, left(request, length), ipv4(Target), Ours).has_value(),
                  length >= Icmp::Header::Size);
    }
    // Origins other than ICMP and local (none, transmit timestamps: 4) and non-error types.
    for (std::uint8_t origin : {std::uint8_t(Icmp::ErrorQueueEntry::OriginNone), std::uint8_t(4)}) {
        Icmp::ErrorQueueEntry other = entry;
        other.origin = origin;
        EXPECT_FALSE(Icmp::parseErrorQueueEntry(Family4, other, request, ipv4(Target), Ours)) << "origin " << int(origin);
    }
    Icmp::ErrorQueueEntry redirect = entry;
    redirect.type = V4::Redirect;
    EXPECT_FALSE(Icmp::parseErrorQueueEntry(Family4, redirect, request, ipv4(Target), Ours));
}

TEST(PacketParserErrors, CarryTheQuotedDestinationAndPayload)
{
    // A raw IPv4 socket's error: the quoted IP header names the destination.
    const Bytes request = request4(Ours, 41);
    const Bytes error = message(V4::DestinationUnreachable, 1, 0,
                                ipv4Header(Here, Target, 1, 5, 20 + int(request.size())) + request, true);
    const Bytes datagram = ipv4Datagram(Router, Here, 250, error);
    const auto reading4 = Icmp::parseIpv4Datagram(datagram, Ours);
    ASSERT_TRUE(reading4.has_value());
    EXPECT_EQ(reading4->quotedDestination, ipv4(Target));
    EXPECT_EQ(toBytes(reading4->payload), text("0123456789"));

    // ICMPv6 errors, on either kind of socket.
    const Bytes error6Message = error6(V6::TimeExceeded, 0, 0, Ours, 77);
    const auto reading6 = Icmp::parseIcmpMessage(Family6, error6Message, Router6, 61, Ours);
    ASSERT_TRUE(reading6.has_value());
    EXPECT_EQ(reading6->quotedDestination, Target6);
    EXPECT_EQ(toBytes(reading6->payload), text("0123456789"));

    // A datagram socket's error queue: the destination comes with the entry.
    Icmp::ErrorQueueEntry entry;
    entry.origin = Icmp::ErrorQueueEntry::OriginIcmp;
    entry.type = V4::DestinationUnreachable;
    entry.code = 1;
    entry.offender = ipv4(Router);
    const Icmp::Address elsewhere = ipv4(0x0a090909); // 10.9.9.9
    const Bytes queuedRequest = request4(Ours, 3);
    const auto queued = Icmp::parseErrorQueueEntry(Family4, entry, queuedRequest, elsewhere, std::nullopt);
    ASSERT_TRUE(queued.has_value());
    EXPECT_EQ(queued->quotedDestination, elsewhere);
    EXPECT_EQ(toBytes(queued->payload), text("0123456789"));
}

// An error whose quote was cut inside the payload, with RFC 4884 extensions
// after it, carries only what it quotes: the extensions are not the
// request's, and read as payload they would make the error seem to be about
// another request.
TEST(PacketParserErrors, AQuoteEndsWhereItsRfc4884LengthSays)
{
    const Bytes request = echo4(V4::EchoRequest, Ours, 41, Bytes(100, 'p'));
    const Bytes cut = ipv4Header(Here, Target, 1, 5, 20 + int(request.size())) + left(request, 8 + 24);
    const Bytes padded = cut + Bytes(128 - cut.size(), 0);
    const Bytes extension = bytes({0x20, 0, 0x12, 0x34, 0, 8, 1, 1, 0xde, 0xad, 0xbe, 0xef});
    // Length in 32-bit words in byte 5.
    const Bytes datagram = ipv4Datagram(
        Router, Here, 250, message(V4::TimeExceeded, 0, std::uint32_t(padded.size() / 4) << 16, padded + extension, true));
    const auto reading = Icmp::parseIpv4Datagram(datagram, Ours);
    ASSERT_TRUE(reading.has_value());
    EXPECT_EQ(toBytes(reading->payload), Bytes(24, 'p') + Bytes(128 - cut.size(), 0));

    // In 64-bit words in byte 4 of an ICMPv6 time exceeded.
    const Bytes request6 = echo6(V6::EchoRequest, Ours, 42, Bytes(100, 'p'));
    const Bytes quote6 = left(ipv6Header(Here6, Target6, Icmp::Ipv6Header::NextHeaderIcmpv6) + request6, 40 + 8 + 24);
    const Bytes error6Message =
        message(V6::TimeExceeded, 0, std::uint32_t(quote6.size() / 8) << 24, quote6 + extension, false);
    const auto reading6 = Icmp::parseIcmpMessage(Family6, error6Message, Router6, 61, Ours);
    ASSERT_TRUE(reading6.has_value());
    EXPECT_EQ(toBytes(reading6->payload), Bytes(24, 'p'));
    // Without the length the extension reads as payload.
    const Bytes unmarked = message(V6::TimeExceeded, 0, 0, quote6 + extension, false);
    const auto reading6Unmarked = Icmp::parseIcmpMessage(Family6, unmarked, Router6, 61, Ours);
    ASSERT_TRUE(reading6Unmarked.has_value());
    EXPECT_EQ(toBytes(reading6Unmarked->payload), Bytes(24, 'p') + extension);
}
