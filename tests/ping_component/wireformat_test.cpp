#include "icmpmessage.h"
#include "internetchecksum.h"
#include "ipv4header.h"
#include "ipv6header.h"
#include "quotedrequest.h"
#include "testpackets.h"

#include <gtest/gtest.h>

#include <utility>

using TestPackets::bytes;
using TestPackets::ipv4Header;
using TestPackets::ipv6Header;

TEST(InternetChecksum, MatchesKnownVectors)
{
    // The worked example of RFC 1071.
    EXPECT_EQ(internetChecksum(bytes({0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7})), 0x220d);
    // Odd length: the last byte is padded with zero on the right.
    EXPECT_EQ(internetChecksum(bytes({0x01})), quint16(~0x0100));
    EXPECT_EQ(internetChecksum({}), 0xffff);
}

TEST(InternetChecksum, MessageWithItsChecksumSumsToZero)
{
    const QByteArray wire = IcmpMessage::echo(Icmp4::EchoRequest, 0x1234, 1, "abcde").encodeWithChecksum();
    EXPECT_EQ(quint8(wire[2]) << 8 | quint8(wire[3]), 0xbc03);
    EXPECT_EQ(internetChecksum(wire), 0);

    QByteArray corrupted = wire;
    corrupted[9] = char(corrupted[9] ^ 0x01);
    EXPECT_NE(internetChecksum(corrupted), 0);
}

TEST(IcmpMessage, EchoRoundTripsThroughTheWire)
{
    const IcmpMessage sent = IcmpMessage::echo(Icmp6::EchoRequest, 0xbeef, 0xfffe, QByteArray(1000, 'x'));
    const QByteArray wire = sent.encode();
    ASSERT_EQ(wire.size(), IcmpMessage::HeaderSize + 1000);
    // Identifier and sequence travel in network byte order.
    EXPECT_EQ(wire.mid(4, 4), bytes({0xbe, 0xef, 0xff, 0xfe}));

    const auto received = IcmpMessage::decode(wire);
    ASSERT_TRUE(received.has_value());
    EXPECT_EQ(*received, sent);
    EXPECT_EQ(received->identifier(), 0xbeef);
    EXPECT_EQ(received->sequence(), 0xfffe);
}

TEST(IcmpMessage, ShortBuffersAreRejectedNotRead)
{
    EXPECT_FALSE(IcmpMessage::decode({}).has_value());
    EXPECT_FALSE(IcmpMessage::decode(bytes({0, 0, 0, 0, 0, 0, 0})).has_value());
    const auto headerOnly = IcmpMessage::decode(bytes({0, 0, 0, 0, 0, 1, 0, 2}));
    ASSERT_TRUE(headerOnly.has_value());
    EXPECT_TRUE(headerOnly->body.isEmpty());
    EXPECT_EQ(headerOnly->sequence(), 2);
}

TEST(Ipv4Header, ParsesFieldsAndHonoursOptions)
{
    QByteArray packet = ipv4Header(0x0a000102, 0x0a000101, 57, 6);
    packet += IcmpMessage::echo(Icmp4::EchoReply, 1, 2, "x").encodeWithChecksum();
    const auto header = Ipv4Header::parse(packet);
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->headerLength, 24);
    EXPECT_EQ(header->ttl, 57);
    EXPECT_EQ(header->protocol, Ipv4Header::ProtocolIcmp);
    EXPECT_EQ(header->source, HostAddress(QStringLiteral("10.0.1.2")));
    EXPECT_EQ(header->destination, HostAddress(QStringLiteral("10.0.1.1")));
}

TEST(Ipv4Header, RejectsMalformedHeaders)
{
    EXPECT_FALSE(Ipv4Header::parse(QByteArray(19, '\0')).has_value());
    QByteArray wrongVersion = ipv4Header(1, 2, 64);
    wrongVersion[0] = char(0x65);
    EXPECT_FALSE(Ipv4Header::parse(wrongVersion).has_value());
    QByteArray shortIhl = ipv4Header(1, 2, 64);
    shortIhl[0] = char(0x44);
    EXPECT_FALSE(Ipv4Header::parse(shortIhl).has_value());
    // IHL claims options that the buffer does not hold.
    QByteArray truncated = ipv4Header(1, 2, 64);
    truncated[0] = char(0x4f);
    EXPECT_FALSE(Ipv4Header::parse(truncated).has_value());
}

TEST(Ipv4Header, EncodesInNetworkOrderWhatItParses)
{
    const HostAddress source(QStringLiteral("10.0.1.2"));
    const HostAddress destination(QStringLiteral("192.0.2.1"));
    const Ipv4Header header = Ipv4Header::forIcmp(source, destination, 57, 9, 24);
    const QByteArray wire = header.encode();
    // Version 4, IHL 6, total length 33; TTL 57, ICMP; the addresses; a zero option word.
    EXPECT_EQ(wire.toHex().toStdString(), "46000021"
                                          "00000000"
                                          "39010000"
                                          "0a000102"
                                          "c0000201"
                                          "00000000");
    const auto back = Ipv4Header::parse(wire);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->headerLength, 24);
    EXPECT_EQ(back->totalLength, 33);
    EXPECT_EQ(back->ttl, 57);
    EXPECT_EQ(back->protocol, Ipv4Header::ProtocolIcmp);
    EXPECT_EQ(back->source, source);
    EXPECT_EQ(back->destination, destination);

    // IHL counts whole words from 5 to 15.
    const std::pair<int, int> lengths[] = {{0, 20}, {22, 20}, {60, 60}, {64, 60}};
    for (const auto &[length, written] : lengths) {
        const QByteArray bytes = Ipv4Header::forIcmp(source, destination, 1, 0, length).encode();
        EXPECT_EQ(bytes.size(), written) << length;
        EXPECT_EQ(quint8(bytes[0]), 0x40 | written / 4) << length;
    }
}

TEST(Ipv6Header, EncodesInNetworkOrderWhatItParses)
{
    const Ipv6Header header{.payloadLength = 0x0102,
                            .nextHeader = Ipv6Header::NextHeaderIcmpv6,
                            .hopLimit = 7,
                            .source = HostAddress(QStringLiteral("2001:db8::1")),
                            .destination = HostAddress(QStringLiteral("fe80::a:b"))};
    const QByteArray wire = header.encode();
    // Version 6, traffic class and flow label zero; payload length, next header, hop limit; the addresses.
    EXPECT_EQ(wire.toHex().toStdString(), "60000000"
                                          "01023a07"
                                          "20010db8000000000000000000000001"
                                          "fe8000000000000000000000000a000b");
    // Every field it writes, it reads back.
    const auto back = Ipv6Header::parse(wire);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->encode(), wire);
}

TEST(QuotedRequest, FindsTheRequestInsideAnIpv4Error)
{
    const QByteArray request = IcmpMessage::echo(Icmp4::EchoRequest, 0x4242, 7, "payload").encodeWithChecksum();
    const QByteArray body = ipv4Header(0x0a000001, 0x0a000202, 1) + request.left(8);
    const auto quoted = QuotedRequest::parse(IpFamily::IPv4, body);
    ASSERT_TRUE(quoted.has_value());
    EXPECT_EQ(quoted->identifier, 0x4242);
    EXPECT_EQ(quoted->sequence, 7);
    EXPECT_EQ(quoted->destination, HostAddress(QStringLiteral("10.0.2.2")));
}

TEST(QuotedRequest, FindsTheRequestInsideAnIpv6Error)
{
    const HostAddress source(QStringLiteral("fd00::1"));
    const HostAddress destination(QStringLiteral("fd00::2"));
    const QByteArray body = ipv6Header(source, destination, Ipv6Header::NextHeaderIcmpv6)
        + IcmpMessage::echo(Icmp6::EchoRequest, 9, 300, "abc").encode();
    const auto quoted = QuotedRequest::parse(IpFamily::IPv6, body);
    ASSERT_TRUE(quoted.has_value());
    EXPECT_EQ(quoted->identifier, 9);
    EXPECT_EQ(quoted->sequence, 300);
    EXPECT_EQ(quoted->destination, destination);
}

TEST(QuotedRequest, IgnoresQuotesOfAnythingButAnEchoRequest)
{
    const QByteArray reply = IcmpMessage::echo(Icmp4::EchoReply, 1, 1, {}).encodeWithChecksum();
    EXPECT_FALSE(QuotedRequest::parse(IpFamily::IPv4, ipv4Header(1, 2, 64) + reply).has_value());

    QByteArray udp = ipv4Header(1, 2, 64) + QByteArray(8, '\0');
    udp[9] = char(17);
    EXPECT_FALSE(QuotedRequest::parse(IpFamily::IPv4, udp).has_value());

    // The quote must hold the full 8-byte ICMP header.
    const QByteArray request = IcmpMessage::echo(Icmp4::EchoRequest, 1, 1, {}).encodeWithChecksum();
    EXPECT_FALSE(QuotedRequest::parse(IpFamily::IPv4, ipv4Header(1, 2, 64) + request.left(7)).has_value());

    const HostAddress a(QStringLiteral("fd00::1"));
    const QByteArray v6udp = ipv6Header(a, a, 17) + QByteArray(8, '\0');
    EXPECT_FALSE(QuotedRequest::parse(IpFamily::IPv6, v6udp).has_value());
    EXPECT_FALSE(QuotedRequest::parse(IpFamily::IPv6, QByteArray(39, '\0')).has_value());
    EXPECT_FALSE(QuotedRequest::parse(IpFamily::Unknown, request).has_value());
}

TEST(QuotedRequest, CarriesWhatTheQuoteHoldsOfThePayload)
{
    const QByteArray request = IcmpMessage::echo(Icmp4::EchoRequest, 0x4242, 7, "payload").encodeWithChecksum();
    const auto full = QuotedRequest::parse(IpFamily::IPv4, ipv4Header(0x0a000001, 0x0a000202, 1) + request);
    ASSERT_TRUE(full.has_value());
    EXPECT_EQ(full->payload, QByteArray("payload"));
    // RFC 792's minimum quote holds no payload at all.
    const auto minimal = QuotedRequest::parse(IpFamily::IPv4, ipv4Header(0x0a000001, 0x0a000202, 1) + request.left(8));
    ASSERT_TRUE(minimal.has_value());
    EXPECT_TRUE(minimal->payload.isEmpty());
}

TEST(QuotedRequest, LaterFragmentsOfALargeRequestQuoteNoRequest)
{
    // An error about the second fragment quotes payload bytes where the
    // ICMP header would be; here they even look like an echo request.
    const QByteArray lookalike = IcmpMessage::echo(Icmp4::EchoRequest, 0x4242, 7, {}).encodeWithChecksum();
    QByteArray header = ipv4Header(0x0a000001, 0x0a000202, 1);
    header[6] = char(0x00);
    header[7] = char(0xb9); // fragment offset 185 (1480 bytes)
    EXPECT_FALSE(QuotedRequest::parse(IpFamily::IPv4, header + lookalike).has_value());
    // The first fragment (more fragments set, offset 0) holds the request.
    header[6] = char(0x20);
    header[7] = char(0x00);
    EXPECT_TRUE(QuotedRequest::parse(IpFamily::IPv4, header + lookalike).has_value());
}

namespace {

enum : quint8 { HopByHop = 0, Routing = 43, Fragment = 44, Authentication = 51, DestinationOptions = 60 };

// An extension header of eight bytes: next header, length 0, six bytes of padding.
QByteArray extension(quint8 next)
{
    return bytes({next, 0, 0, 0, 0, 0, 0, 0});
}

QByteArray fragmentHeader(quint8 next, quint16 offsetUnits, bool more)
{
    const quint16 field = quint16(offsetUnits << 3 | (more ? 1 : 0));
    return bytes({next, 0, field >> 8, field & 0xff, 0x12, 0x34, 0x56, 0x78});
}

} // namespace

TEST(QuotedRequest, WalksTheIpv6ExtensionHeadersOfAQuote)
{
    const HostAddress source(QStringLiteral("fd00::1"));
    const HostAddress destination(QStringLiteral("fd00:7a:99::1"));
    const QByteArray request = IcmpMessage::echo(Icmp6::EchoRequest, 9, 300, QByteArray(64, 'p')).encode();

    // The first fragment of a request larger than the path MTU.
    const QByteArray fragmented = ipv6Header(source, destination, Fragment)
        + fragmentHeader(Ipv6Header::NextHeaderIcmpv6, 0, true) + request;
    const auto quoted = QuotedRequest::parse(IpFamily::IPv6, fragmented);
    ASSERT_TRUE(quoted.has_value());
    EXPECT_EQ(quoted->identifier, 9);
    EXPECT_EQ(quoted->sequence, 300);
    EXPECT_EQ(quoted->destination, destination);
    EXPECT_EQ(quoted->payload, QByteArray(64, 'p'));

    // A chain of several, one of them longer than eight bytes.
    QByteArray longOptions = extension(Fragment) + QByteArray(8, '\0');
    longOptions[1] = char(1); // (1 + 1) * 8 bytes
    const QByteArray chain = ipv6Header(source, destination, HopByHop) + extension(DestinationOptions)
        + longOptions + fragmentHeader(Authentication, 0, true)
        + bytes({Ipv6Header::NextHeaderIcmpv6, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}) // (1 + 2) * 4 bytes
        + request;
    const auto walked = QuotedRequest::parse(IpFamily::IPv6, chain);
    ASSERT_TRUE(walked.has_value());
    EXPECT_EQ(walked->sequence, 300);

    // A later fragment holds no ICMPv6 header.
    EXPECT_FALSE(QuotedRequest::parse(IpFamily::IPv6, ipv6Header(source, destination, Fragment)
                                                          + fragmentHeader(Ipv6Header::NextHeaderIcmpv6, 181, false)
                                                          + request)
                     .has_value());
    // A quote cut off inside the chain, at every length, never reads past its end.
    for (qsizetype length = 0; length < chain.size(); ++length) {
        const auto cut = QuotedRequest::parse(IpFamily::IPv6, chain.left(length));
        EXPECT_EQ(cut.has_value(), length >= chain.size() - request.size() + IcmpMessage::HeaderSize) << length;
    }
    // ESP hides what follows; an unknown upper layer is no request.
    EXPECT_FALSE(QuotedRequest::parse(IpFamily::IPv6, ipv6Header(source, destination, 50) + request).has_value());
    EXPECT_FALSE(QuotedRequest::parse(IpFamily::IPv6, ipv6Header(source, destination, Routing) + extension(17)
                                                          + QByteArray(8, '\0'))
                     .has_value());
}
