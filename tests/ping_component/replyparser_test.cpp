#include "icmpmessage.h"
#include "ipv6header.h"
#include "replyparser.h"
#include "testpackets.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <cerrno>

using namespace TestPackets;

namespace {

constexpr auto V4 = IpFamily::IPv4;
constexpr auto V6 = IpFamily::IPv6;

constexpr quint16 Ours = 0x5a17;
constexpr quint16 Theirs = 0x5a18;
constexpr quint32 Here = 0x0a000001;   // 10.0.0.1, where our requests come from
constexpr quint32 Target = 0x0a000202; // 10.0.2.2
constexpr quint32 Router = 0x0a000101; // 10.0.1.1

const HostAddress Here6(QStringLiteral("fd00::1"));
const HostAddress Target6(QStringLiteral("fd00::2:2"));
const HostAddress Router6(QStringLiteral("fd00::1:1"));

QByteArray echoReply4(quint16 identifier, quint16 sequence, const QByteArray &payload)
{
    return IcmpMessage::echo(Icmp4::EchoReply, identifier, sequence, payload).encodeWithChecksum();
}

QByteArray request4(quint16 identifier, quint16 sequence)
{
    return IcmpMessage::echo(Icmp4::EchoRequest, identifier, sequence, "0123456789").encodeWithChecksum();
}

// An ICMPv4 error about our request as a router sends it: the request's IP
// header and the first 8 bytes of its ICMP message (RFC 792's minimum quote).
QByteArray error4(quint8 type, quint8 code, quint32 restOfHeader, const QByteArray &quotedRequest)
{
    IcmpMessage error;
    error.type = type;
    error.code = code;
    error.restOfHeader = restOfHeader;
    error.body = ipv4Header(Here, Target, 1, 5, 20 + int(quotedRequest.size())) + quotedRequest.left(8);
    return error.encodeWithChecksum();
}

QByteArray error6(quint8 type, quint8 code, quint32 restOfHeader, quint16 identifier, quint16 sequence)
{
    IcmpMessage error;
    error.type = type;
    error.code = code;
    error.restOfHeader = restOfHeader;
    error.body = ipv6Header(Here6, Target6, Ipv6Header::NextHeaderIcmpv6)
        + IcmpMessage::echo(Icmp6::EchoRequest, identifier, sequence, "0123456789").encode();
    return error.encode();
}

// An ICMP error as it arrives, and the icmpInfo it must give.
struct ErrorCase
{
    quint8 type;
    quint8 code;
    quint32 restOfHeader;
    quint32 info;
};

} // namespace

TEST(ReplyParserIpv4Datagram, EchoReplyWithOurIdentifierGivesTheReply)
{
    const QByteArray payload("some payload\0with a zero", 24);
    const auto event = ReplyParser::parseIpv4Datagram(ipv4Datagram(Target, Here, 57, echoReply4(Ours, 9, payload)), Ours);
    ASSERT_TRUE(event.has_value());
    EXPECT_EQ(event->kind, ProbeEvent::Kind::EchoReply);
    EXPECT_EQ(event->source, HostAddress(QStringLiteral("10.0.2.2")));
    EXPECT_EQ(event->identifier, Ours);
    EXPECT_EQ(event->sequence, 9);
    EXPECT_EQ(event->payload, payload);
    EXPECT_EQ(event->hopLimit, 57);
}

TEST(ReplyParserIpv4Datagram, IpOptionsMoveTheIcmpMessage)
{
    for (int ihl : {6, 15}) {
        const auto event = ReplyParser::parseIpv4Datagram(ipv4Datagram(Target, Here, 64, echoReply4(Ours, 3, "abc"), ihl), Ours);
        ASSERT_TRUE(event.has_value()) << "IHL " << ihl;
        EXPECT_EQ(event->sequence, 3);
        EXPECT_EQ(event->payload, "abc");
    }
}

TEST(ReplyParserIpv4Datagram, DropsWhatIsNotOurs)
{
    // Another program's reply.
    EXPECT_FALSE(ReplyParser::parseIpv4Datagram(ipv4Datagram(Target, Here, 64, echoReply4(Theirs, 1, "x")), Ours));
    // Our own request looping back, and other ICMP types carrying our identifier.
    for (quint8 type : {quint8(Icmp4::EchoRequest), quint8(Icmp4::Redirect), quint8(13), quint8(14)}) {
        IcmpMessage message = IcmpMessage::echo(type, Ours, 1, "x");
        EXPECT_FALSE(ReplyParser::parseIpv4Datagram(ipv4Datagram(Target, Here, 64, message.encodeWithChecksum()), Ours))
            << "type " << int(type);
    }
    // Not ICMP at all.
    QByteArray udp = ipv4Datagram(Target, Here, 64, echoReply4(Ours, 1, "x"));
    udp[9] = char(17);
    EXPECT_FALSE(ReplyParser::parseIpv4Datagram(udp, Ours));
    // Not IPv4.
    QByteArray v6 = ipv4Datagram(Target, Here, 64, echoReply4(Ours, 1, "x"));
    v6[0] = char(0x65);
    EXPECT_FALSE(ReplyParser::parseIpv4Datagram(v6, Ours));
}

TEST(ReplyParserIpv4Datagram, DropsCorruptedPackets)
{
    const QByteArray good = ipv4Datagram(Target, Here, 64, echoReply4(Ours, 1, "payload!"));
    ASSERT_TRUE(ReplyParser::parseIpv4Datagram(good, Ours));
    // Any single bit flipped in the ICMP message breaks its checksum.
    for (qsizetype i = 20; i < good.size(); ++i) {
        QByteArray bad = good;
        bad[i] = char(bad[i] ^ 0x10);
        EXPECT_FALSE(ReplyParser::parseIpv4Datagram(bad, Ours)) << "byte " << i;
    }
}

TEST(ReplyParserIpv4Datagram, DropsPacketsShorterThanTheirHeadersSay)
{
    // Trailing zero bytes can go without changing the checksum: only the total
    // length tells that the payload was cut.
    const QByteArray payload("ab\0\0", 4);
    QByteArray cut = ipv4Datagram(Target, Here, 64, echoReply4(Ours, 1, payload));
    cut.chop(2);
    EXPECT_FALSE(ReplyParser::parseIpv4Datagram(cut, Ours));

    // Header length beyond the buffer, and a total length shorter than the header.
    QByteArray longIhl = ipv4Datagram(Target, Here, 64, {});
    longIhl[0] = char(0x4f);
    EXPECT_FALSE(ReplyParser::parseIpv4Datagram(longIhl, Ours));
    QByteArray shortTotal = ipv4Datagram(Target, Here, 64, echoReply4(Ours, 1, "x"));
    shortTotal[2] = 0;
    shortTotal[3] = 19;
    EXPECT_FALSE(ReplyParser::parseIpv4Datagram(shortTotal, Ours));

    // Bytes beyond the total length are not part of the message.
    const QByteArray padded = ipv4Datagram(Target, Here, 64, echoReply4(Ours, 1, "x")) + QByteArray(6, '\0');
    const auto event = ReplyParser::parseIpv4Datagram(padded, Ours);
    ASSERT_TRUE(event.has_value());
    EXPECT_EQ(event->payload, "x");
}

TEST(ReplyParserIpv4Datagram, EveryTruncationIsRejectedWithoutCrashing)
{
    const QByteArray packets[] = {
        ipv4Datagram(Target, Here, 64, echoReply4(Ours, 7, QByteArray(100, 'p')), 7),
        ipv4Datagram(Router, Here, 250, error4(Icmp4::TimeExceeded, 0, 0, request4(Ours, 7))),
    };
    for (const QByteArray &packet : packets) {
        for (qsizetype length = 0; length < packet.size(); ++length)
            EXPECT_FALSE(ReplyParser::parseIpv4Datagram(packet.left(length), Ours)) << "length " << length;
        const auto event = ReplyParser::parseIpv4Datagram(packet, Ours);
        ASSERT_TRUE(event.has_value());
        EXPECT_EQ(event->sequence, 7);
    }
}

TEST(ReplyParserIpv4Datagram, ErrorsQuotingOurRequestGiveTheSequence)
{
    const ErrorCase cases[] = {
        {Icmp4::DestinationUnreachable, 1, 0, 0},           // host unreachable
        {Icmp4::DestinationUnreachable, 4, 1400, 1400},     // fragmentation needed: next-hop MTU
        {Icmp4::DestinationUnreachable, 3, 0x0000ffff, 0},  // the MTU field means nothing for other codes
        {Icmp4::TimeExceeded, 0, 0, 0},
        {Icmp4::ParameterProblem, 0, 0x0c000000, 12},       // pointer to the offending octet
        {Icmp4::SourceQuench, 0, 0, 0},
    };
    for (const ErrorCase &c : cases) {
        const QByteArray packet = ipv4Datagram(Router, Here, 250, error4(c.type, c.code, c.restOfHeader, request4(Ours, 41)));
        const auto event = ReplyParser::parseIpv4Datagram(packet, Ours);
        ASSERT_TRUE(event.has_value()) << "type " << int(c.type) << " code " << int(c.code);
        EXPECT_EQ(event->kind, ProbeEvent::Kind::IcmpError);
        EXPECT_EQ(event->source, HostAddress(QStringLiteral("10.0.1.1")));
        EXPECT_EQ(event->identifier, Ours);
        EXPECT_EQ(event->sequence, 41);
        EXPECT_EQ(event->icmpType, c.type);
        EXPECT_EQ(event->icmpCode, c.code);
        EXPECT_EQ(event->icmpInfo, c.info);
        EXPECT_EQ(event->hopLimit, 250);
    }
}

TEST(ReplyParserIpv4Datagram, ErrorsAboutOtherPacketsAreDropped)
{
    const auto parse = [](const QByteArray &icmp) { return ReplyParser::parseIpv4Datagram(ipv4Datagram(Router, Here, 250, icmp), Ours); };
    // Someone else's request.
    EXPECT_FALSE(parse(error4(Icmp4::DestinationUnreachable, 1, 0, request4(Theirs, 41))));
    // A quoted echo reply (we answered someone) is not our request.
    EXPECT_FALSE(parse(error4(Icmp4::DestinationUnreachable, 1, 0, echoReply4(Ours, 41, {}))));
    // A redirect quotes our request but says nothing about its fate.
    EXPECT_FALSE(parse(error4(Icmp4::Redirect, 1, Router, request4(Ours, 41))));
    // A corrupted error.
    QByteArray corrupted = error4(Icmp4::TimeExceeded, 0, 0, request4(Ours, 41));
    corrupted[corrupted.size() - 1] = char(corrupted[corrupted.size() - 1] ^ 1);
    EXPECT_FALSE(parse(corrupted));
    // A quote too short to hold the identifier and sequence.
    IcmpMessage shortQuote;
    shortQuote.type = Icmp4::TimeExceeded;
    shortQuote.body = ipv4Header(Here, Target, 1) + request4(Ours, 41).left(6);
    EXPECT_FALSE(parse(shortQuote.encodeWithChecksum()));
}

TEST(ReplyParserIpv4Datagram, RandomDamageNeverYieldsAForeignEvent)
{
    // Fuzz-style: flipped bytes and random lengths must never crash, and
    // whatever survives still concerns our identifier.
    QRandomGenerator random(20240611);
    const QByteArray originals[] = {
        ipv4Datagram(Target, Here, 64, echoReply4(Ours, 1, QByteArray(64, 'q'))),
        ipv4Datagram(Router, Here, 64, error4(Icmp4::DestinationUnreachable, 4, 576, request4(Ours, 2))),
    };
    for (int round = 0; round < 20000; ++round) {
        QByteArray packet = originals[round % 2];
        const int flips = int(random.bounded(1, 4));
        for (int f = 0; f < flips; ++f) {
            const qsizetype at = random.bounded(packet.size());
            packet[at] = char(random.bounded(256));
        }
        packet.truncate(random.bounded(packet.size() + 1));
        if (const auto event = ReplyParser::parseIpv4Datagram(packet, Ours)) {
            EXPECT_EQ(event->identifier, Ours);
        }
    }
}

TEST(ReplyParserIcmpMessage, EchoRepliesOfBothFamilies)
{
    const HostAddress from(QStringLiteral("fe80::1%2"));
    const QByteArray v6 = IcmpMessage::echo(Icmp6::EchoReply, Ours, 300, "six").encode();
    const auto event6 = ReplyParser::parseIcmpMessage(V6, v6, from, 63, Ours);
    ASSERT_TRUE(event6.has_value());
    EXPECT_EQ(event6->kind, ProbeEvent::Kind::EchoReply);
    EXPECT_EQ(event6->source, from);
    EXPECT_EQ(event6->source.scopeId(), QStringLiteral("2"));
    EXPECT_EQ(event6->sequence, 300);
    EXPECT_EQ(event6->payload, "six");
    EXPECT_EQ(event6->hopLimit, 63);

    const auto event4 = ReplyParser::parseIcmpMessage(V4, echoReply4(Ours, 5, "four"), HostAddress(Target), -1, std::nullopt);
    ASSERT_TRUE(event4.has_value());
    EXPECT_EQ(event4->sequence, 5);
    EXPECT_EQ(event4->payload, "four");
    EXPECT_EQ(event4->hopLimit, -1);

    // A family's numbering only counts in that family: 129 is no ICMPv4 reply, 0 no ICMPv6 one.
    EXPECT_FALSE(ReplyParser::parseIcmpMessage(V4, v6, from, 64, Ours));
    EXPECT_FALSE(ReplyParser::parseIcmpMessage(V6, echoReply4(Ours, 5, {}), from, 64, Ours));
    EXPECT_FALSE(ReplyParser::parseIcmpMessage(IpFamily::Any, v6, from, 64, Ours));
}

TEST(ReplyParserIcmpMessage, IdentifierIsCheckedOnlyWhenGiven)
{
    const QByteArray theirs = IcmpMessage::echo(Icmp6::EchoReply, Theirs, 1, {}).encode();
    EXPECT_FALSE(ReplyParser::parseIcmpMessage(V6, theirs, Target6, 64, Ours));
    // Datagram sockets: the kernel chose the socket by identifier already.
    const auto event = ReplyParser::parseIcmpMessage(V6, theirs, Target6, 64, std::nullopt);
    ASSERT_TRUE(event.has_value());
    EXPECT_EQ(event->identifier, Theirs);

    EXPECT_FALSE(ReplyParser::parseIcmpMessage(V6, error6(Icmp6::TimeExceeded, 0, 0, Theirs, 1), Router6, 64, Ours));
    EXPECT_TRUE(ReplyParser::parseIcmpMessage(V6, error6(Icmp6::TimeExceeded, 0, 0, Theirs, 1), Router6, 64, std::nullopt));
}

TEST(ReplyParserIcmpMessage, Icmpv6ErrorsQuotingOurRequest)
{
    const ErrorCase cases[] = {
        {Icmp6::DestinationUnreachable, 3, 0, 0}, // address unreachable
        {Icmp6::PacketTooBig, 0, 1280, 1280},
        {Icmp6::TimeExceeded, 0, 0, 0},
        {Icmp6::ParameterProblem, 1, 40, 40},
    };
    for (const ErrorCase &c : cases) {
        const auto event = ReplyParser::parseIcmpMessage(V6, error6(c.type, c.code, c.restOfHeader, Ours, 77), Router6, 61, Ours);
        ASSERT_TRUE(event.has_value()) << "type " << int(c.type);
        EXPECT_EQ(event->kind, ProbeEvent::Kind::IcmpError);
        EXPECT_EQ(event->source, Router6);
        EXPECT_EQ(event->sequence, 77);
        EXPECT_EQ(event->icmpType, c.type);
        EXPECT_EQ(event->icmpCode, c.code);
        EXPECT_EQ(event->icmpInfo, c.info);
    }
    // Informational messages and an IPv4 quote inside an ICMPv6 error are not ours.
    EXPECT_FALSE(ReplyParser::parseIcmpMessage(V6, IcmpMessage::echo(Icmp6::EchoRequest, Ours, 1, {}).encode(), Here6, 64, Ours));
    IcmpMessage wrongQuote;
    wrongQuote.type = Icmp6::DestinationUnreachable;
    wrongQuote.body = ipv4Header(Here, Target, 1) + request4(Ours, 1).left(8);
    EXPECT_FALSE(ReplyParser::parseIcmpMessage(V6, wrongQuote.encode(), Router6, 64, Ours));
}

TEST(ReplyParserIcmpMessage, EveryTruncationIsSafe)
{
    const QByteArray reply = IcmpMessage::echo(Icmp6::EchoReply, Ours, 2, QByteArray(50, 'r')).encode();
    for (qsizetype length = 0; length <= reply.size(); ++length) {
        const auto event = ReplyParser::parseIcmpMessage(V6, reply.left(length), Target6, 64, Ours);
        // Without an IP header nothing tells the full length: what has an ICMP
        // header is a reply with what payload is there.
        ASSERT_EQ(event.has_value(), length >= IcmpMessage::HeaderSize) << "length " << length;
        if (event) {
            EXPECT_EQ(event->payload, reply.left(length).mid(IcmpMessage::HeaderSize));
        }
    }
    // An error needs its ICMP header, the quoted IPv6 header and 8 bytes of the request.
    const QByteArray error = error6(Icmp6::TimeExceeded, 0, 0, Ours, 2);
    const qsizetype needed = IcmpMessage::HeaderSize + Ipv6Header::Size + IcmpMessage::HeaderSize;
    for (qsizetype length = 0; length <= error.size(); ++length) {
        EXPECT_EQ(ReplyParser::parseIcmpMessage(V6, error.left(length), Router6, 64, Ours).has_value(), length >= needed)
            << "length " << length;
    }
    const QByteArray error4Message = error4(Icmp4::TimeExceeded, 0, 0, request4(Ours, 2));
    for (qsizetype length = 0; length <= error4Message.size(); ++length) {
        EXPECT_EQ(ReplyParser::parseIcmpMessage(V4, error4Message.left(length), HostAddress(Router), 64, Ours).has_value(),
                  length == error4Message.size())
            << "length " << length;
    }
}

TEST(ReplyParserErrorQueue, IcmpOriginGivesTheOffenderAndTheSequence)
{
    ErrorQueueEntry entry;
    entry.errnoValue = EMSGSIZE;
    entry.origin = ErrorQueueEntry::OriginIcmp;
    entry.type = Icmp4::DestinationUnreachable;
    entry.code = 4;
    entry.info = 1400;
    entry.offender = HostAddress(Router);
    const auto event = ReplyParser::parseErrorQueueEntry(V4, entry, request4(Ours, 12), HostAddress(Target), std::nullopt);
    ASSERT_TRUE(event.has_value());
    EXPECT_EQ(event->kind, ProbeEvent::Kind::IcmpError);
    EXPECT_EQ(event->source, HostAddress(Router));
    EXPECT_EQ(event->identifier, Ours);
    EXPECT_EQ(event->sequence, 12);
    EXPECT_EQ(event->icmpType, Icmp4::DestinationUnreachable);
    EXPECT_EQ(event->icmpCode, 4);
    EXPECT_EQ(event->icmpInfo, 1400u);

    ErrorQueueEntry entry6;
    entry6.errnoValue = EMSGSIZE;
    entry6.origin = ErrorQueueEntry::OriginIcmp6;
    entry6.type = Icmp6::PacketTooBig;
    entry6.info = 1280;
    entry6.offender = Router6;
    const QByteArray request6 = IcmpMessage::echo(Icmp6::EchoRequest, Ours, 13, "x").encode();
    const auto event6 = ReplyParser::parseErrorQueueEntry(V6, entry6, request6, Target6, Ours);
    ASSERT_TRUE(event6.has_value());
    EXPECT_EQ(event6->kind, ProbeEvent::Kind::IcmpError);
    EXPECT_EQ(event6->source, Router6);
    EXPECT_EQ(event6->sequence, 13);
    EXPECT_EQ(event6->icmpType, Icmp6::PacketTooBig);
    EXPECT_EQ(event6->icmpInfo, 1280u);

    // The origin must match the family.
    EXPECT_FALSE(ReplyParser::parseErrorQueueEntry(V4, entry6, request4(Ours, 13), HostAddress(Target), std::nullopt));
    EXPECT_FALSE(ReplyParser::parseErrorQueueEntry(V6, entry, request6, Target6, std::nullopt));
}

TEST(ReplyParserErrorQueue, LocalOriginGivesTheErrno)
{
    ErrorQueueEntry entry;
    entry.errnoValue = EHOSTUNREACH;
    entry.origin = ErrorQueueEntry::OriginLocal;
    const auto event = ReplyParser::parseErrorQueueEntry(V4, entry, request4(Ours, 99), HostAddress(Target), Ours);
    ASSERT_TRUE(event.has_value());
    EXPECT_EQ(event->kind, ProbeEvent::Kind::LocalError);
    EXPECT_EQ(event->localErrno, EHOSTUNREACH);
    EXPECT_EQ(event->sequence, 99);
    EXPECT_TRUE(event->source.isNull());

    // What Linux queues for a local EMSGSIZE: no request, so no sequence to
    // report (sendto has returned the same errno already).
    entry.errnoValue = EMSGSIZE;
    entry.info = 1300;
    EXPECT_FALSE(ReplyParser::parseErrorQueueEntry(V4, entry, {}, HostAddress(Target), Ours));
}

TEST(ReplyParserErrorQueue, EntriesThatNameNoRequestOfOursAreDropped)
{
    ErrorQueueEntry entry;
    entry.errnoValue = EHOSTUNREACH;
    entry.origin = ErrorQueueEntry::OriginIcmp;
    entry.type = Icmp4::DestinationUnreachable;
    entry.code = 1;
    entry.offender = HostAddress(Router);
    ASSERT_TRUE(ReplyParser::parseErrorQueueEntry(V4, entry, request4(Ours, 1), HostAddress(Target), Ours));

    EXPECT_FALSE(ReplyParser::parseErrorQueueEntry(V4, entry, request4(Theirs, 1), HostAddress(Target), Ours));
    EXPECT_FALSE(ReplyParser::parseErrorQueueEntry(V4, entry, echoReply4(Ours, 1, {}), HostAddress(Target), Ours));
    EXPECT_FALSE(ReplyParser::parseErrorQueueEntry(V4, entry, {}, HostAddress(Target), Ours));
    // Every cut of the request short of its 8-byte header.
    const QByteArray request = request4(Ours, 1);
    for (qsizetype length = 0; length <= request.size(); ++length) {
        EXPECT_EQ(ReplyParser::parseErrorQueueEntry(V4, entry, request.left(length), HostAddress(Target), Ours).has_value(),
                  length >= IcmpMessage::HeaderSize);
    }
    // Origins other than ICMP and local (none, transmit timestamps: 4) and non-error types.
    for (quint8 origin : {quint8(ErrorQueueEntry::OriginNone), quint8(4)}) {
        ErrorQueueEntry other = entry;
        other.origin = origin;
        EXPECT_FALSE(ReplyParser::parseErrorQueueEntry(V4, other, request, HostAddress(Target), Ours)) << "origin " << int(origin);
    }
    ErrorQueueEntry redirect = entry;
    redirect.type = Icmp4::Redirect;
    EXPECT_FALSE(ReplyParser::parseErrorQueueEntry(V4, redirect, request, HostAddress(Target), Ours));
}

TEST(ReplyParserErrors, CarryTheQuotedDestinationAndPayload)
{
    // A raw IPv4 socket's error: the quoted IP header names the destination.
    IcmpMessage error;
    error.type = Icmp4::DestinationUnreachable;
    error.code = 1;
    const QByteArray request = request4(Ours, 41);
    error.body = ipv4Header(Here, Target, 1, 5, 20 + int(request.size())) + request;
    const auto event4 = ReplyParser::parseIpv4Datagram(ipv4Datagram(Router, Here, 250, error.encodeWithChecksum()), Ours);
    ASSERT_TRUE(event4.has_value());
    EXPECT_EQ(event4->quotedDestination, HostAddress(Target));
    EXPECT_EQ(event4->quotedPayload, QByteArray("0123456789"));

    // ICMPv6 errors, on either kind of socket.
    const auto event6 = ReplyParser::parseIcmpMessage(V6, error6(Icmp6::TimeExceeded, 0, 0, Ours, 77), Router6, 61, Ours);
    ASSERT_TRUE(event6.has_value());
    EXPECT_EQ(event6->quotedDestination, Target6);
    EXPECT_EQ(event6->quotedPayload, QByteArray("0123456789"));

    // A datagram socket's error queue: the destination comes with the entry.
    ErrorQueueEntry entry;
    entry.origin = ErrorQueueEntry::OriginIcmp;
    entry.type = Icmp4::DestinationUnreachable;
    entry.code = 1;
    entry.offender = HostAddress(Router);
    const HostAddress elsewhere(QStringLiteral("10.9.9.9"));
    const auto queued = ReplyParser::parseErrorQueueEntry(V4, entry, request4(Ours, 3), elsewhere, std::nullopt);
    ASSERT_TRUE(queued.has_value());
    EXPECT_EQ(queued->quotedDestination, elsewhere);
    EXPECT_EQ(queued->quotedPayload, QByteArray("0123456789"));
}
