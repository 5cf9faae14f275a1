// What the helper lets out of its raw sockets: echo replies to its own recent
// requests from their destination, carrying their payload, and errors that
// quote one of them; never other programs' traffic, which a raw socket sees
// too, nor another helper's that drew the same identifier. Packets are built
// with the component's own wire classes, as they arrive.
#include "helperprotocol.h"
#include "icmpmessage.h"
#include "replyfilter.h"
#include "testpackets.h"

#include <gtest/gtest.h>

using namespace TestPackets;
using IcmpHelperProtocol::FamilyIpv4;
using IcmpHelperProtocol::FamilyIpv6;

namespace {

constexpr quint16 Ours = 0x5a17;
constexpr quint32 Here = 0xc0000201;      // 192.0.2.1
constexpr quint32 Target = 0xc0000264;    // 192.0.2.100
constexpr quint32 Router = 0xc00002fe;    // 192.0.2.254
constexpr quint32 Broadcast = 0xc00002ff; // 192.0.2.255
const HostAddress Here6(QStringLiteral("2001:db8::1"));
const HostAddress Target6(QStringLiteral("2001:db8::64"));
const HostAddress Router6(QStringLiteral("2001:db8::fe"));

const QByteArray Pattern("ponmlkjihgfedcba");
const QByteArray OtherPattern("0123456789abcdef");

// The pattern repeated to size bytes, the last copy cut short.
QByteArray repeated(const QByteArray &pattern, qsizetype size)
{
    return pattern.repeated(size / pattern.size() + 1).left(size);
}

// The payload of every request remembered here: 40 bytes, two and a half copies.
const QByteArray Payload = repeated(Pattern, 40);

const unsigned char *raw(const QByteArray &bytes)
{
    return reinterpret_cast<const unsigned char *>(bytes.constData());
}

QByteArray address4(quint32 address)
{
    return bytes({int(address >> 24), int(address >> 16 & 0xff), int(address >> 8 & 0xff), int(address & 0xff)});
}

QByteArray address6(const HostAddress &address)
{
    const Ipv6Bytes b = address.toIPv6Address();
    return QByteArray(reinterpret_cast<const char *>(b.c), 16);
}

QByteArray echo4(quint8 type, quint16 identifier, quint16 sequence, const QByteArray &payload = Payload)
{
    return IcmpMessage::echo(type, identifier, sequence, payload).encodeWithChecksum();
}

QByteArray reply4(quint32 from, quint16 identifier, quint16 sequence, const QByteArray &payload = Payload)
{
    return ipv4Datagram(from, Here, 64, echo4(Icmp4::EchoReply, identifier, sequence, payload));
}

// restOfHeader: the 4 bytes after the checksum, where RFC 4884 puts the
// length of a quote that extensions follow.
QByteArray error4(quint8 type, const QByteArray &quote, quint32 restOfHeader = 0)
{
    IcmpMessage message;
    message.type = type;
    message.restOfHeader = restOfHeader;
    message.body = quote;
    return ipv4Datagram(Router, Here, 64, message.encodeWithChecksum());
}

// An IPv4 request as an error quotes it: its header and its first bytes.
QByteArray quote4(quint32 destination, quint16 identifier, quint16 sequence, int icmpBytes = 1000,
                  const QByteArray &payload = Payload)
{
    const QByteArray request = echo4(Icmp4::EchoRequest, identifier, sequence, payload);
    return ipv4Header(Here, destination, 1, 5, 20 + int(request.size())) + request.left(icmpBytes);
}

QByteArray echo6(quint8 type, quint16 identifier, quint16 sequence, const QByteArray &payload = Payload)
{
    return IcmpMessage::echo(type, identifier, sequence, payload).encode();
}

QByteArray error6(quint8 type, const QByteArray &quote, quint32 restOfHeader = 0)
{
    IcmpMessage message;
    message.type = type;
    message.restOfHeader = restOfHeader;
    message.body = quote;
    return message.encode();
}

QByteArray quote6(const HostAddress &destination, quint16 identifier, quint16 sequence,
                  const QByteArray &payload = Payload)
{
    return ipv6Header(Here6, destination, 58) + echo6(Icmp6::EchoRequest, identifier, sequence, payload);
}

class ReplyFilterTest : public ::testing::Test
{
protected:
    ReplyFilterTest() : m_filter(Ours)
    {
        remember(FamilyIpv4, 5, address4(Target), false);
        remember(FamilyIpv6, 5, address6(Target6), false);
    }

    void remember(std::uint8_t family, quint16 sequence, const QByteArray &destination, bool anySource,
                  const QByteArray &pattern = Pattern, qsizetype payloadSize = Payload.size())
    {
        m_filter.remember(family, sequence, raw(destination), anySource, raw(pattern), size_t(payloadSize));
    }

    bool passes4(const QByteArray &datagram) const
    {
        return m_filter.passesIpv4(raw(datagram), size_t(datagram.size()));
    }
    bool passes6(const QByteArray &message, const HostAddress &source) const
    {
        return m_filter.passesIpv6(raw(message), size_t(message.size()), raw(address6(source)));
    }

    ReplyFilter m_filter;
};

} // namespace

TEST_F(ReplyFilterTest, Ipv4RepliesToOurRequestsFromTheirTarget)
{
    EXPECT_TRUE(passes4(reply4(Target, Ours, 5)));
    EXPECT_FALSE(passes4(reply4(Target, Ours + 1, 5))) << "another program's identifier";
    EXPECT_FALSE(passes4(reply4(Target, Ours, 6))) << "a sequence never sent";
    EXPECT_FALSE(passes4(reply4(Router, Ours, 5))) << "from a host the request did not go to";
    // Our own request, looping back, and messages that are no answer at all.
    EXPECT_FALSE(passes4(ipv4Datagram(Here, Target, 64, echo4(Icmp4::EchoRequest, Ours, 5))));
    for (int type : {5, 9, 10, 13, 14, 17, 18}) {
        QByteArray other = echo4(quint8(type), Ours, 5);
        EXPECT_FALSE(passes4(ipv4Datagram(Target, Here, 64, other))) << type;
    }
    // IP options move the ICMP header.
    EXPECT_TRUE(passes4(ipv4Datagram(Target, Here, 64, echo4(Icmp4::EchoReply, Ours, 5), 7)));
}

TEST_F(ReplyFilterTest, Ipv4ErrorsThatQuoteOurRequests)
{
    for (int type : {3, 4, 11, 12}) {
        EXPECT_TRUE(passes4(error4(quint8(type), quote4(Target, Ours, 5)))) << type;
        // RFC 792 routers quote only the first 8 bytes of the request.
        EXPECT_TRUE(passes4(error4(quint8(type), quote4(Target, Ours, 5, 8)))) << type;
    }
    EXPECT_FALSE(passes4(error4(5, quote4(Target, Ours, 5)))) << "a redirect is no error about the request";
    EXPECT_FALSE(passes4(error4(11, quote4(Target, Ours + 1, 5))));
    EXPECT_FALSE(passes4(error4(11, quote4(Target, Ours, 6))));
    EXPECT_FALSE(passes4(error4(11, quote4(Router, Ours, 5)))) << "the request went elsewhere";
    EXPECT_FALSE(passes4(error4(11, quote4(Target, Ours, 5, 7)))) << "too short a quote to name the request";

    // Another program's UDP datagram to the same host, same bytes where an
    // echo header would be: its port unreachable stays inside.
    QByteArray udp = quote4(Target, Ours, 5);
    udp[9] = 17;
    EXPECT_FALSE(passes4(error4(3, udp)));
    // The quote of a request's later fragment holds no echo header.
    QByteArray fragment = quote4(Target, Ours, 5);
    fragment[7] = 1;
    EXPECT_FALSE(passes4(error4(3, fragment)));
    QByteArray echoReplyQuoted = quote4(Target, Ours, 5);
    echoReplyQuoted[20] = Icmp4::EchoReply;
    EXPECT_FALSE(passes4(error4(3, echoReplyQuoted)));
}

TEST_F(ReplyFilterTest, MalformedIpv4DatagramsPassNothingAtAnyLength)
{
    const QByteArray good = reply4(Target, Ours, 5);
    for (qsizetype size = 0; size < 28; ++size)
        EXPECT_FALSE(passes4(good.left(size))) << size;
    QByteArray version6 = good;
    version6[0] = char(0x65);
    EXPECT_FALSE(passes4(version6));
    QByteArray udp = good;
    udp[9] = 17;
    EXPECT_FALSE(passes4(udp));
    for (int ihl : {0, 4, 15}) {
        QByteArray bad = good;
        bad[0] = char(0x40 | ihl);
        EXPECT_FALSE(passes4(bad)) << ihl;
    }
    const QByteArray error = error4(11, quote4(Target, Ours, 5));
    for (qsizetype size = 28; size < 56; ++size)
        EXPECT_FALSE(passes4(error.left(size))) << size;
}

TEST_F(ReplyFilterTest, Ipv6RepliesAndErrors)
{
    EXPECT_TRUE(passes6(echo6(Icmp6::EchoReply, Ours, 5), Target6));
    EXPECT_FALSE(passes6(echo6(Icmp6::EchoReply, Ours + 1, 5), Target6));
    EXPECT_FALSE(passes6(echo6(Icmp6::EchoReply, Ours, 6), Target6));
    EXPECT_FALSE(passes6(echo6(Icmp6::EchoReply, Ours, 5), Router6));
    EXPECT_FALSE(passes6(echo6(Icmp6::EchoRequest, Ours, 5), Here6));
    for (int type : {133, 134, 135, 136, 137, 143})
        EXPECT_FALSE(passes6(echo6(quint8(type), Ours, 5), Target6)) << type;

    for (int type : {1, 2, 3, 4})
        EXPECT_TRUE(passes6(error6(quint8(type), quote6(Target6, Ours, 5)), Router6)) << type;
    EXPECT_FALSE(passes6(error6(3, quote6(Target6, Ours + 1, 5)), Router6));
    EXPECT_FALSE(passes6(error6(3, quote6(Target6, Ours, 6)), Router6));
    EXPECT_FALSE(passes6(error6(3, quote6(Router6, Ours, 5)), Router6));
    EXPECT_FALSE(passes6(error6(137, quote6(Target6, Ours, 5)), Router6)) << "a redirect";
    const QByteArray error = error6(3, quote6(Target6, Ours, 5));
    for (qsizetype size = 0; size < 8 + 40 + 8; ++size)
        EXPECT_FALSE(passes6(error.left(size), Router6)) << size;
    QByteArray udp = quote6(Target6, Ours, 5);
    udp[6] = 17;
    EXPECT_FALSE(passes6(error6(1, udp), Router6));
}

TEST_F(ReplyFilterTest, Ipv6QuotesMayCarryExtensionHeaders)
{
    const QByteArray request = echo6(Icmp6::EchoRequest, Ours, 5);
    // A request too big for the path: the quote holds a Fragment header.
    const QByteArray firstFragment = bytes({58, 0, 0, 1, 0, 0, 0, 7}); // offset 0, more fragments
    const QByteArray laterFragment = bytes({58, 0, 0x05, 0x09, 0, 0, 0, 7});
    const QByteArray options = bytes({44, 0, 1, 4, 0, 0, 0, 0});       // destination options, then Fragment
    const QByteArray ipv6 = ipv6Header(Here6, Target6, 44);
    EXPECT_TRUE(passes6(error6(2, ipv6 + firstFragment + request), Router6));
    EXPECT_FALSE(passes6(error6(2, ipv6 + laterFragment + request), Router6));
    EXPECT_TRUE(passes6(error6(2, ipv6Header(Here6, Target6, 60) + options + firstFragment + request), Router6));
    // The component reads any number of extension headers and the
    // authentication header ((length + 2) * 4 bytes); so does the helper, or
    // it would hold back errors the component accepts.
    QByteArray hopByHops;
    for (int i = 0; i < 11; ++i)
        hopByHops += bytes({quint8(i < 10 ? 0 : 58), 0, 0, 0, 0, 0, 0, 0});
    EXPECT_TRUE(passes6(error6(2, ipv6Header(Here6, Target6, 0) + hopByHops + request), Router6));
    const QByteArray authentication = bytes({58, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2}); // 12 bytes
    EXPECT_TRUE(passes6(error6(2, ipv6Header(Here6, Target6, 51) + authentication + request), Router6));
    // A chain that runs past the quote.
    EXPECT_FALSE(passes6(error6(2, ipv6Header(Here6, Target6, 60) + bytes({58, 200, 0, 0, 0, 0, 0, 0}) + request),
                         Router6));
}

TEST_F(ReplyFilterTest, GroupRequestsAreAnsweredByAnyHost)
{
    remember(FamilyIpv4, 9, address4(Broadcast), true);
    EXPECT_TRUE(passes4(reply4(Target, Ours, 9)));
    EXPECT_TRUE(passes4(reply4(Router, Ours, 9)));
    EXPECT_FALSE(passes4(reply4(Router, Ours, 5))) << "sequence 5 went to one host only";
    // An error still quotes the address the request went to.
    EXPECT_TRUE(passes4(error4(11, quote4(Broadcast, Ours, 9))));
    EXPECT_FALSE(passes4(error4(11, quote4(Target, Ours, 9))));
}

TEST_F(ReplyFilterTest, FamiliesAreApartAndOldRequestsAreForgotten)
{
    // Sequence 5 went to 192.0.2.100 over IPv4 only: an IPv6 reply from an
    // address starting with the same bytes is no answer.
    const HostAddress lookalike(QStringLiteral("c000:264::"));
    EXPECT_FALSE(passes6(echo6(Icmp6::EchoReply, Ours, 5), lookalike));

    for (int sequence = 100; sequence < 100 + int(ReplyFilter::Remembered) - 2; ++sequence)
        remember(FamilyIpv4, quint16(sequence), address4(Target), false);
    EXPECT_TRUE(passes4(reply4(Target, Ours, 5)));
    EXPECT_TRUE(passes6(echo6(Icmp6::EchoReply, Ours, 5), Target6));
    remember(FamilyIpv4, 1000, address4(Target), false);
    EXPECT_FALSE(passes4(reply4(Target, Ours, 5))) << "the oldest request is forgotten";
    EXPECT_TRUE(passes6(echo6(Icmp6::EchoReply, Ours, 5), Target6));
    EXPECT_TRUE(passes4(reply4(Target, Ours, 1000)));
}

// Another helper, another user's perhaps, may have drawn our identifier and
// sent the same sequence to the same host: its replies differ from ours only
// in their payload, and must stay inside.
TEST_F(ReplyFilterTest, ARepliesPayloadMustBeTheRequestsPatternToItsSize)
{
    const QByteArray corruptedTail = Payload.left(Payload.size() - 1) + 'x'; // in the copy cut short
    const QByteArray others[] = {repeated(OtherPattern, Payload.size()), Payload.left(Payload.size() - 1),
                                 repeated(Pattern, Payload.size() + 16), corruptedTail, QByteArray()};
    for (const QByteArray &payload : others) {
        EXPECT_FALSE(passes4(reply4(Target, Ours, 5, payload))) << payload.toHex().constData();
        EXPECT_FALSE(passes6(echo6(Icmp6::EchoReply, Ours, 5, payload), Target6)) << payload.toHex().constData();
    }
    // The same sequence to the same host twice, with two patterns: each reply
    // is known by its own.
    remember(FamilyIpv4, 5, address4(Target), false, OtherPattern, 3);
    EXPECT_TRUE(passes4(reply4(Target, Ours, 5, OtherPattern.left(3))));
    EXPECT_TRUE(passes4(reply4(Target, Ours, 5)));
    EXPECT_FALSE(passes4(reply4(Target, Ours, 5, OtherPattern.left(4))));
    // An empty payload is a pattern repeated to size 0.
    remember(FamilyIpv6, 6, address6(Target6), false, Pattern, 0);
    EXPECT_TRUE(passes6(echo6(Icmp6::EchoReply, Ours, 6, QByteArray()), Target6));
    EXPECT_FALSE(passes6(echo6(Icmp6::EchoReply, Ours, 6, Pattern.left(1)), Target6));
}

TEST_F(ReplyFilterTest, AnErrorMustQuoteNoPayloadByteThatDiffers)
{
    const QByteArray other = repeated(OtherPattern, Payload.size());
    // Another request's payload, whole or its first bytes; a quote of the
    // bare echo header holds none and passes.
    EXPECT_FALSE(passes4(error4(11, quote4(Target, Ours, 5, 1000, other))));
    EXPECT_FALSE(passes4(error4(11, quote4(Target, Ours, 5, 8 + 1, other))));
    EXPECT_TRUE(passes4(error4(11, quote4(Target, Ours, 5, 8 + 1))));
    EXPECT_TRUE(passes4(error4(11, quote4(Target, Ours, 5, 8, other))));
    EXPECT_FALSE(passes6(error6(3, quote6(Target6, Ours, 5, other)), Router6));
    EXPECT_TRUE(passes6(error6(3, quote6(Target6, Ours, 5, Payload.left(20))), Router6));

    // Bytes past the payload are padding or RFC 4884 extensions, not ours to check.
    const QByteArray extension = bytes({0x20, 0, 0x12, 0x34, 0, 8, 1, 1, 0xde, 0xad, 0xbe, 0xef});
    EXPECT_TRUE(passes4(error4(11, quote4(Target, Ours, 5) + QByteArray(60, '\0') + extension)));
    EXPECT_TRUE(passes6(error6(3, quote6(Target6, Ours, 5) + extension), Router6));
    // A quote cut inside the payload with extensions after it: the error's
    // length field (32-bit words for IPv4, 64-bit ones for IPv6) says where
    // the quote ends. Without it the extension reads as payload.
    const QByteArray cut4 = quote4(Target, Ours, 5, 8 + 24);
    ASSERT_EQ(cut4.size() % 4, 0);
    EXPECT_TRUE(passes4(error4(11, cut4 + extension, quint32(cut4.size() / 4) << 16)));
    EXPECT_FALSE(passes4(error4(11, cut4 + extension)));
    EXPECT_FALSE(passes4(error4(11, quote4(Target, Ours, 5, 8 + 24, other) + extension, quint32(cut4.size() / 4) << 16)));
    const QByteArray cut6 = quote6(Target6, Ours, 5).left(40 + 8 + 24);
    ASSERT_EQ(cut6.size() % 8, 0);
    EXPECT_TRUE(passes6(error6(3, cut6 + extension, quint32(cut6.size() / 8) << 24), Router6));
    EXPECT_FALSE(passes6(error6(3, cut6 + extension), Router6));
}
