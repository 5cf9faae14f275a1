#include "checksum.h"
#include "icmpheader.h"
#include "icmptypes.h"
#include "ipheader.h"
#include "packets.h"
#include "quotedrequest.h"

#include <gtest/gtest.h>

#include <utility>

using namespace IcmpTest;
using Icmp::Family;
using Icmp::Ipv4Header;
using Icmp::Ipv6Header;
using Icmp::QuotedRequest;
namespace V4 = Icmp::V4;
namespace V6 = Icmp::V6;

TEST(InternetChecksum, MatchesKnownVectors)
{
    // The worked example of RFC 1071.
    EXPECT_EQ(Icmp::internetChecksum(bytes({0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7})), 0x220d);
    // Odd length: the last byte is padded with zero on the right.
    EXPECT_EQ(Icmp::internetChecksum(bytes({0x01})), std::uint16_t(~0x0100));
    EXPECT_EQ(Icmp::internetChecksum({}), 0xffff);
}

TEST(InternetChecksum, MessageWithItsChecksumSumsToZero)
{
    const Bytes wire = echo4(V4::EchoRequest, 0x1234, 1, text("abcde"));
    EXPECT_EQ(wire[2] << 8 | wire[3], 0xbc03);
    EXPECT_EQ(Icmp::internetChecksum(wire), 0);

    Bytes corrupted = wire;
    corrupted[9] = std::uint8_t(corrupted[9] ^ 0x01);
    EXPECT_NE(Icmp::internetChecksum(corrupted), 0);
}

TEST(IcmpMessage, EchoRoundTripsThroughTheWire)
{
    const Bytes payload(1000, 'x');
    const Icmp::Message sent{Icmp::Header::echo(V6::EchoRequest, 0xbeef, 0xfffe), payload};
    const Bytes wire = sent.encode();
    ASSERT_EQ(wire.size(), Icmp::Header::Size + 1000);
    // Identifier and sequence travel in network byte order.
    EXPECT_EQ(Bytes(wire.begin() + 4, wire.begin() + 8), bytes({0xbe, 0xef, 0xff, 0xfe}));

    const auto received = Icmp::Message::decode(wire);
    ASSERT_TRUE(received.has_value());
    EXPECT_EQ(received->header, sent.header);
    EXPECT_EQ(toBytes(received->body), payload);
    EXPECT_EQ(received->header.identifier(), 0xbeef);
    EXPECT_EQ(received->header.sequence(), 0xfffe);
}

TEST(IcmpMessage, ShortBuffersAreRejectedNotRead)
{
    EXPECT_FALSE(Icmp::Message::decode({}).has_value());
    EXPECT_FALSE(Icmp::Message::decode(bytes({0, 0, 0, 0, 0, 0, 0})).has_value());
    const Bytes eight = bytes({0, 0, 0, 0, 0, 1, 0, 2});
    const auto headerOnly = Icmp::Message::decode(eight);
    ASSERT_TRUE(headerOnly.has_value());
    EXPECT_TRUE(headerOnly->body.empty());
    EXPECT_EQ(headerOnly->header.sequence(), 2);
}

TEST(Ipv4Header, ParsesFieldsAndHonoursOptions)
{
    Bytes packet = ipv4Header(0x0a000102, 0x0a000101, 57, 6);
    packet = packet + echo4(V4::EchoReply, 1, 2, text("x"));
    const auto header = Ipv4Header::parse(packet);
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->headerLength, 24u);
    EXPECT_EQ(header->ttl, 57);
    EXPECT_EQ(header->protocol, Ipv4Header::ProtocolIcmp);
    EXPECT_EQ(header->source, ipv4(0x0a000102));
    EXPECT_EQ(header->destination, ipv4(0x0a000101));
}

TEST(Ipv4Header, RejectsMalformedHeaders)
{
    EXPECT_FALSE(Ipv4Header::parse(Bytes(19, 0)).has_value());
    Bytes wrongVersion = ipv4Header(1, 2, 64);
    wrongVersion[0] = 0x65;
    EXPECT_FALSE(Ipv4Header::parse(wrongVersion).has_value());
    Bytes shortIhl = ipv4Header(1, 2, 64);
    shortIhl[0] = 0x44;
    EXPECT_FALSE(Ipv4Header::parse(shortIhl).has_value());
    // IHL claims options that the buffer does not hold.
    Bytes truncated = ipv4Header(1, 2, 64);
    truncated[0] = 0x4f;
    EXPECT_FALSE(Ipv4Header::parse(truncated).has_value());
}

TEST(Ipv4Header, EncodesInNetworkOrderWhatItParses)
{
    const Icmp::Address source = ipv4(0x0a000102);      // 10.0.1.2
    const Icmp::Address destination = ipv4(0xc0000201); // 192.0.2.1
    const Ipv4Header header = Ipv4Header::forIcmp(source, destination, 57, 9, 24);
    const Bytes wire = header.encode();
    // Version 4, IHL 6, total length 33; TTL 57, ICMP; the addresses; a zero option word.
    EXPECT_EQ(toHex(wire), "46000021"
                           "00000000"
                           "39010000"
                           "0a000102"
                           "c0000201"
                           "00000000");
    const auto back = Ipv4Header::parse(wire);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->headerLength, 24u);
    EXPECT_EQ(back->totalLength, 33);
    EXPECT_EQ(back->ttl, 57);
    EXPECT_EQ(back->protocol, Ipv4Header::ProtocolIcmp);
    EXPECT_EQ(back->source, source);
    EXPECT_EQ(back->destination, destination);

    // IHL counts whole words from 5 to 15.
    const std::pair<int, int> lengths[] = {{0, 20}, {22, 20}, {60, 60}, {64, 60}};
    for (const auto &[length, written] : lengths) {
        const Bytes encoded = Ipv4Header::forIcmp(source, destination, 1, 0, std::size_t(length)).encode();
        EXPECT_EQ(int(encoded.size()), written) << length;
        EXPECT_EQ(encoded[0], 0x40 | written / 4) << length;
    }
}

TEST(Ipv6Header, EncodesInNetworkOrderWhatItParses)
{
    const Ipv6Header header =
        Ipv6Header::forPacket(ipv6("2001:db8::1"), ipv6("fe80::a:b"), Ipv6Header::NextHeaderIcmpv6, 7, 0x0102);
    const Bytes wire = header.encode();
    // Version 6, traffic class and flow label zero; payload length, next header, hop limit; the addresses.
    EXPECT_EQ(toHex(wire), "60000000"
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
    const Bytes request = echo4(V4::EchoRequest, 0x4242, 7, text("payload"));
    const Bytes body = ipv4Header(0x0a000001, 0x0a000202, 1) + left(request, 8);
    const auto quoted = QuotedRequest::parse(Family::Ipv4, body);
    ASSERT_TRUE(quoted.has_value());
    EXPECT_EQ(quoted->identifier, 0x4242);
    EXPECT_EQ(quoted->sequence, 7);
    EXPECT_EQ(quoted->destination, ipv4(0x0a000202));
}

TEST(QuotedRequest, FindsTheRequestInsideAnIpv6Error)
{
    const Icmp::Address source = ipv6("fd00::1");
    const Icmp::Address destination = ipv6("fd00::2");
    const Bytes body = ipv6Header(source, destination, Ipv6Header::NextHeaderIcmpv6)
        + echo6(V6::EchoRequest, 9, 300, text("abc"));
    const auto quoted = QuotedRequest::parse(Family::Ipv6, body);
    ASSERT_TRUE(quoted.has_value());
    EXPECT_EQ(quoted->identifier, 9);
    EXPECT_EQ(quoted->sequence, 300);
    EXPECT_EQ(quoted->destination, destination);
}

TEST(QuotedRequest, IgnoresQuotesOfAnythingButAnEchoRequest)
{
    const Bytes reply = echo4(V4::EchoReply, 1, 1, {});
    EXPECT_FALSE(QuotedRequest::parse(Family::Ipv4, ipv4Header(1, 2, 64) + reply).has_value());

    Bytes udp = ipv4Header(1, 2, 64) + Bytes(8, 0);
    udp[9] = 17;
    EXPECT_FALSE(QuotedRequest::parse(Family::Ipv4, udp).has_value());

    // The quote must hold the full 8-byte ICMP header.
    const Bytes request = echo4(V4::EchoRequest, 1, 1, {});
    EXPECT_FALSE(QuotedRequest::parse(Family::Ipv4, ipv4Header(1, 2, 64) + left(request, 7)).has_value());

    const Icmp::Address a = ipv6("fd00::1");
    const Bytes v6udp = ipv6Header(a, a, 17) + Bytes(8, 0);
    EXPECT_FALSE(QuotedRequest::parse(Family::Ipv6, v6udp).has_value());
    EXPECT_FALSE(QuotedRequest::parse(Family::Ipv6, Bytes(39, 0)).has_value());
    // Neither family.
    EXPECT_FALSE(QuotedRequest::parse(Family{}, request).has_value());
}

TEST(QuotedRequest, CarriesWhatTheQuoteHoldsOfThePayload)
{
    const Bytes request = echo4(V4::EchoRequest, 0x4242, 7, text("payload"));
    const Bytes fullQuote = ipv4Header(0x0a000001, 0x0a000202, 1) + request;
    const auto full = QuotedRequest::parse(Family::Ipv4, fullQuote);
    ASSERT_TRUE(full.has_value());
    EXPECT_EQ(toBytes(full->payload), text("payload"));
    // RFC 792's minimum quote holds no payload at all.
    const Bytes minimalQuote = ipv4Header(0x0a000001, 0x0a000202, 1) + left(request, 8);
    const auto minimal = QuotedRequest::parse(Family::Ipv4, minimalQuote);
    ASSERT_TRUE(minimal.has_value());
    EXPECT_TRUE(minimal->payload.empty());
}

TEST(QuotedRequest, LaterFragmentsOfALargeRequestQuoteNoRequest)
{
    // An error about the second fragment quotes payload bytes where the
    // ICMP header would be; here they even look like an echo request.
    const Bytes lookalike = echo4(V4::EchoRequest, 0x4242, 7, {});
    Bytes header = ipv4Header(0x0a000001, 0x0a000202, 1);
    header[6] = 0x00;
    header[7] = 0xb9; // fragment offset 185 (1480 bytes)
    EXPECT_FALSE(QuotedRequest::parse(Family::Ipv4, header + lookalike).has_value());
    // The first fragment (more fragments set, offset 0) holds the request.
    header[6] = 0x20;
    header[7] = 0x00;
    EXPECT_TRUE(QuotedRequest::parse(Family::Ipv4, header + lookalike).has_value());
}

namespace {

enum : std::uint8_t { HopByHop = 0, Routing = 43, Fragment = 44, Authentication = 51, DestinationOptions = 60 };

// An extension header of eight bytes: next header, length 0, six bytes of padding.
Bytes extension(std::uint8_t next)
{
    return bytes({next, 0, 0, 0, 0, 0, 0, 0});
}

Bytes fragmentHeader(std::uint8_t next, std::uint16_t offsetUnits, bool more)
{
    const std::uint16_t field = std::uint16_t(offsetUnits << 3 | (more ? 1 : 0));
    return bytes({next, 0, field >> 8, field & 0xff, 0x12, 0x34, 0x56, 0x78});
}

} // namespace

TEST(QuotedRequest, WalksTheIpv6ExtensionHeadersOfAQuote)
{
    const Icmp::Address source = ipv6("fd00::1");
    const Icmp::Address destination = ipv6("fd00:7a:99::1");
    const Bytes request = echo6(V6::EchoRequest, 9, 300, Bytes(64, 'p'));

    // The first fragment of a request larger than the path MTU.
    const Bytes fragmented = ipv6Header(source, destination, Fragment)
        + fragmentHeader(Ipv6Header::NextHeaderIcmpv6, 0, true) + request;
    const auto quoted = QuotedRequest::parse(Family::Ipv6, fragmented);
    ASSERT_TRUE(quoted.has_value());
    EXPECT_EQ(quoted->identifier, 9);
    EXPECT_EQ(quoted->sequence, 300);
    EXPECT_EQ(quoted->destination, destination);
    EXPECT_EQ(toBytes(quoted->payload), Bytes(64, 'p'));

    // A chain of several, one of them longer than eight bytes.
    Bytes longOptions = extension(Fragment) + Bytes(8, 0);
    longOptions[1] = 1; // (1 + 1) * 8 bytes
    const Bytes chain = ipv6Header(source, destination, HopByHop) + extension(DestinationOptions) + longOptions
        + fragmentHeader(Authentication, 0, true)
        + bytes({Ipv6Header::NextHeaderIcmpv6, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}) // (1 + 2) * 4 bytes
        + request;
    const auto walked = QuotedRequest::parse(Family::Ipv6, chain);
    ASSERT_TRUE(walked.has_value());
    EXPECT_EQ(walked->sequence, 300);

    // A later fragment holds no ICMPv6 header.
    EXPECT_FALSE(QuotedRequest::parse(Family::Ipv6, ipv6Header(source, destination, Fragment)
                                                        + fragmentHeader(Ipv6Header::NextHeaderIcmpv6, 181, false)
                                                        + request)
                     .has_value());
    // A quote cut off inside the chain, at every length, never reads past its end.
    for (std::size_t length = 0; length < chain.size(); ++length) {
        const Bytes cutChain = left(chain, length);
        const auto cut = QuotedRequest::parse(Family::Ipv6, cutChain);
        EXPECT_EQ(cut.has_value(), length >= chain.size() - request.size() + Icmp::Header::Size) << length;
    }
    // ESP hides what follows; an unknown upper layer is no request.
    EXPECT_FALSE(QuotedRequest::parse(Family::Ipv6, ipv6Header(source, destination, 50) + request).has_value());
    EXPECT_FALSE(
        QuotedRequest::parse(Family::Ipv6, ipv6Header(source, destination, Routing) + extension(17) + Bytes(8, 0))
            .has_value());
}
