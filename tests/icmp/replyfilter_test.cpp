// What the helper lets out of its raw sockets: echo replies to its own recent
// requests from their destination, carrying their payload, and errors that
// quote one of them; never other programs' traffic, which a raw socket sees
// too, nor another helper's that drew the same identifier. Packets are built
// with icmp/'s own encoders, as they arrive.
#include "icmptypes.h"
#include "packets.h"
#include "replyfilter.h"

#include <gtest/gtest.h>

using namespace IcmpTest;
using Icmp::Address;
using Icmp::ReplyFilter;
namespace V4 = Icmp::V4;
namespace V6 = Icmp::V6;

namespace {

constexpr std::uint16_t Ours = 0x5a17;
constexpr std::uint32_t Here = 0xc0000201;      // 192.0.2.1
constexpr std::uint32_t Target = 0xc0000264;    // 192.0.2.100
constexpr std::uint32_t Router = 0xc00002fe;    // 192.0.2.254
constexpr std::uint32_t Broadcast = 0xc00002ff; // 192.0.2.255
const Address Here6 = ipv6("2001:db8::1");
const Address Target6 = ipv6("2001:db8::64");
const Address Router6 = ipv6("2001:db8::fe");

const Bytes Pattern = text("ponmlkjihgfedcba");
const Bytes OtherPattern = text("0123456789abcdef");

// The pattern repeated to size bytes, the last copy cut short.
Bytes repeatedPattern(const Bytes &pattern, std::size_t size)
{
    Bytes out;
    while (out.size() < size)
        out = out + pattern;
    return left(out, size);
}

// The payload of every request remembered here: 40 bytes, two and a half copies.
const Bytes Payload = repeatedPattern(Pattern, 40);

std::string hex(const Bytes &bytes)
{
    return toHex(bytes);
}

Bytes reply4(std::uint32_t from, std::uint16_t identifier, std::uint16_t sequence, const Bytes &payload = Payload)
{
    return ipv4Datagram(from, Here, 64, echo4(V4::EchoReply, identifier, sequence, payload));
}

// restOfHeader: the 4 bytes after the checksum, where RFC 4884 puts the
// length of a quote that extensions follow.
Bytes error4(std::uint8_t type, const Bytes &quote, std::uint32_t restOfHeader = 0)
{
    return ipv4Datagram(Router, Here, 64, message(type, 0, restOfHeader, quote, true));
}

// An IPv4 request as an error quotes it: its header and its first bytes.
Bytes quote4(std::uint32_t destination, std::uint16_t identifier, std::uint16_t sequence, std::size_t icmpBytes = 1000,
             const Bytes &payload = Payload)
{
    const Bytes request = echo4(V4::EchoRequest, identifier, sequence, payload);
    return ipv4Header(Here, destination, 1, 5, 20 + int(request.size())) + left(request, icmpBytes);
}

Bytes error6(std::uint8_t type, const Bytes &quote, std::uint32_t restOfHeader = 0)
{
    return message(type, 0, restOfHeader, quote, false);
}

Bytes quote6(const Address &destination, std::uint16_t identifier, std::uint16_t sequence,
             const Bytes &payload = Payload)
{
    return ipv6Header(Here6, destination, 58) + echo6(V6::EchoRequest, identifier, sequence, payload);
}

class ReplyFilterTest : public ::testing::Test
{
protected:
    ReplyFilterTest() : m_filter(Ours)
    {
        remember(5, ipv4(Target), false);
        remember(5, Target6, false);
    }

    void remember(std::uint16_t sequence, const Address &destination, bool anySource, const Bytes &pattern = Pattern,
                  std::size_t payloadSize = Payload.size())
    {
        m_filter.remember(sequence, destination, anySource, pattern.data(), payloadSize);
    }

    bool passes4(const Bytes &datagram) const { return m_filter.passesIpv4(datagram); }
    bool passes6(const Bytes &message, const Address &source) const { return m_filter.passesIpv6(message, source); }

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
    EXPECT_FALSE(passes4(ipv4Datagram(Here, Target, 64, echo4(V4::EchoRequest, Ours, 5, Payload))));
    for (int type : {5, 9, 10, 13, 14, 17, 18}) {
        const Bytes other = echo4(std::uint8_t(type), Ours, 5, Payload);
        EXPECT_FALSE(passes4(ipv4Datagram(Target, Here, 64, other))) << type;
    }
    // IP options move the ICMP header.
    EXPECT_TRUE(passes4(ipv4Datagram(Target, Here, 64, echo4(V4::EchoReply, Ours, 5, Payload), 7)));
}

TEST_F(ReplyFilterTest, Ipv4ErrorsThatQuoteOurRequests)
{
    for (int type : {3, 4, 11, 12}) {
        EXPECT_TRUE(passes4(error4(std::uint8_t(type), quote4(Target, Ours, 5)))) << type;
        // RFC 792 routers quote only the first 8 bytes of the request.
        EXPECT_TRUE(passes4(error4(std::uint8_t(type), quote4(Target, Ours, 5, 8)))) << type;
    }
    EXPECT_FALSE(passes4(error4(5, quote4(Target, Ours, 5)))) << "a redirect is no error about the request";
    EXPECT_FALSE(passes4(error4(11, quote4(Target, Ours + 1, 5))));
    EXPECT_FALSE(passes4(error4(11, quote4(Target, Ours, 6))));
    EXPECT_FALSE(passes4(error4(11, quote4(Router, Ours, 5)))) << "the request went elsewhere";
    EXPECT_FALSE(passes4(error4(11, quote4(Target, Ours, 5, 7)))) << "too short a quote to name the request";

    // Another program's UDP datagram to the same host, same bytes where an
    // echo header would be: its port unreachable stays inside.
    Bytes udp = quote4(Target, Ours, 5);
    udp[9] = 17;
    EXPECT_FALSE(passes4(error4(3, udp)));
    // The quote of a request's later fragment holds no echo header.
    Bytes fragment = quote4(Target, Ours, 5);
    fragment[7] = 1;
    EXPECT_FALSE(passes4(error4(3, fragment)));
    Bytes echoReplyQuoted = quote4(Target, Ours, 5);
    echoReplyQuoted[20] = V4::EchoReply;
    EXPECT_FALSE(passes4(error4(3, echoReplyQuoted)));
}

TEST_F(ReplyFilterTest, MalformedIpv4DatagramsPassNothingAtAnyLength)
{
    const Bytes good = reply4(Target, Ours, 5);
    for (std::size_t size = 0; size < 28; ++size)
        EXPECT_FALSE(passes4(left(good, size))) << size;
    Bytes version6 = good;
    version6[0] = 0x65;
    EXPECT_FALSE(passes4(version6));
    Bytes udp = good;
    udp[9] = 17;
    EXPECT_FALSE(passes4(udp));
    for (int ihl : {0, 4, 15}) {
        Bytes bad = good;
        bad[0] = std::uint8_t(0x40 | ihl);
        EXPECT_FALSE(passes4(bad)) << ihl;
    }
    const Bytes error = error4(11, quote4(Target, Ours, 5));
    for (std::size_t size = 28; size < 56; ++size)
        EXPECT_FALSE(passes4(left(error, size))) << size;
}

TEST_F(ReplyFilterTest, Ipv6RepliesAndErrors)
{
    EXPECT_TRUE(passes6(echo6(V6::EchoReply, Ours, 5, Payload), Target6));
    EXPECT_FALSE(passes6(echo6(V6::EchoReply, Ours + 1, 5, Payload), Target6));
    EXPECT_FALSE(passes6(echo6(V6::EchoReply, Ours, 6, Payload), Target6));
    EXPECT_FALSE(passes6(echo6(V6::EchoReply, Ours, 5, Payload), Router6));
    EXPECT_FALSE(passes6(echo6(V6::EchoRequest, Ours, 5, Payload), Here6));
    for (int type : {133, 134, 135, 136, 137, 143})
        EXPECT_FALSE(passes6(echo6(std::uint8_t(type), Ours, 5, Payload), Target6)) << type;

    for (int type : {1, 2, 3, 4})
        EXPECT_TRUE(passes6(error6(std::uint8_t(type), quote6(Target6, Ours, 5)), Router6)) << type;
    EXPECT_FALSE(passes6(error6(3, quote6(Target6, Ours + 1, 5)), Router6));
    EXPECT_FALSE(passes6(error6(3, quote6(Target6, Ours, 6)), Router6));
    EXPECT_FALSE(passes6(error6(3, quote6(Router6, Ours, 5)), Router6));
    EXPECT_FALSE(passes6(error6(137, quote6(Target6, Ours, 5)), Router6)) << "a redirect";
    const Bytes error = error6(3, quote6(Target6, Ours, 5));
    for (std::size_t size = 0; size < 8 + 40 + 8; ++size)
        EXPECT_FALSE(passes6(left(error, size), Router6)) << size;
    Bytes udp = quote6(Target6, Ours, 5);
    udp[6] = 17;
    EXPECT_FALSE(passes6(error6(1, udp), Router6));
}

TEST_F(ReplyFilterTest, Ipv6QuotesMayCarryExtensionHeaders)
{
    const Bytes request = echo6(V6::EchoRequest, Ours, 5, Payload);
    // A request too big for the path: the quote holds a Fragment header.
    const Bytes firstFragment = bytes({58, 0, 0, 1, 0, 0, 0, 7}); // offset 0, more fragments
    const Bytes laterFragment = bytes({58, 0, 0x05, 0x09, 0, 0, 0, 7});
    const Bytes options = bytes({44, 0, 1, 4, 0, 0, 0, 0});       // destination options, then Fragment
    const Bytes ipv6 = ipv6Header(Here6, Target6, 44);
    EXPECT_TRUE(passes6(error6(2, ipv6 + firstFragment + request), Router6));
    EXPECT_FALSE(passes6(error6(2, ipv6 + laterFragment + request), Router6));
    EXPECT_TRUE(passes6(error6(2, ipv6Header(Here6, Target6, 60) + options + firstFragment + request), Router6));
    // The component reads any number of extension headers and the
    // authentication header ((length + 2) * 4 bytes); so does the helper, or
    // it would hold back errors the component accepts.
    Bytes hopByHops;
    for (int i = 0; i < 11; ++i)
        hopByHops = hopByHops + bytes({i < 10 ? 0 : 58, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_TRUE(passes6(error6(2, ipv6Header(Here6, Target6, 0) + hopByHops + request), Router6));
    const Bytes authentication = bytes({58, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2}); // 12 bytes
    EXPECT_TRUE(passes6(error6(2, ipv6Header(Here6, Target6, 51) + authentication + request), Router6));
    // A chain that runs past the quote.
    EXPECT_FALSE(passes6(error6(2, ipv6Header(Here6, Target6, 60) + bytes({58, 200, 0, 0, 0, 0, 0, 0}) + request),
                         Router6));
}

TEST_F(ReplyFilterTest, GroupRequestsAreAnsweredByAnyHost)
{
    remember(9, ipv4(Broadcast), true);
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
    const Address lookalike = ipv6("c000:264::");
    EXPECT_FALSE(passes6(echo6(V6::EchoReply, Ours, 5, Payload), lookalike));

    for (int sequence = 100; sequence < 100 + int(ReplyFilter::Remembered) - 2; ++sequence)
        remember(std::uint16_t(sequence), ipv4(Target), false);
    EXPECT_TRUE(passes4(reply4(Target, Ours, 5)));
    EXPECT_TRUE(passes6(echo6(V6::EchoReply, Ours, 5, Payload), Target6));
    remember(1000, ipv4(Target), false);
    EXPECT_FALSE(passes4(reply4(Target, Ours, 5))) << "the oldest request is forgotten";
    EXPECT_TRUE(passes6(echo6(V6::EchoReply, Ours, 5, Payload), Target6));
    EXPECT_TRUE(passes4(reply4(Target, Ours, 1000)));
}

// Another helper, another user's perhaps, may have drawn our identifier and
// sent the same sequence to the same host: its replies differ from ours only
// in their payload, and must stay inside.
TEST_F(ReplyFilterTest, ARepliesPayloadMustBeTheRequestsPatternToItsSize)
{
    const Bytes corruptedTail = left(Payload, Payload.size() - 1) + text("x"); // in the copy cut short
    const Bytes others[] = {repeatedPattern(OtherPattern, Payload.size()), left(Payload, Payload.size() - 1),
                            repeatedPattern(Pattern, Payload.size() + 16), corruptedTail, Bytes()};
    for (const Bytes &payload : others) {
        EXPECT_FALSE(passes4(reply4(Target, Ours, 5, payload))) << hex(payload);
        EXPECT_FALSE(passes6(echo6(V6::EchoReply, Ours, 5, payload), Target6)) << hex(payload);
    }
    // The same sequence to the same host twice, with two patterns: each reply
    // is known by its own.
    remember(5, ipv4(Target), false, OtherPattern, 3);
    EXPECT_TRUE(passes4(reply4(Target, Ours, 5, left(OtherPattern, 3))));
    EXPECT_TRUE(passes4(reply4(Target, Ours, 5)));
    EXPECT_FALSE(passes4(reply4(Target, Ours, 5, left(OtherPattern, 4))));
    // An empty payload is a pattern repeated to size 0.
    remember(6, Target6, false, Pattern, 0);
    EXPECT_TRUE(passes6(echo6(V6::EchoReply, Ours, 6, Bytes()), Target6));
    EXPECT_FALSE(passes6(echo6(V6::EchoReply, Ours, 6, left(Pattern, 1)), Target6));
}

TEST_F(ReplyFilterTest, AnErrorMustQuoteNoPayloadByteThatDiffers)
{
    const Bytes other = repeatedPattern(OtherPattern, Payload.size());
    // Another request's payload, whole or its first bytes; a quote of the
    // bare echo header holds none and passes.
    EXPECT_FALSE(passes4(error4(11, quote4(Target, Ours, 5, 1000, other))));
    EXPECT_FALSE(passes4(error4(11, quote4(Target, Ours, 5, 8 + 1, other))));
    EXPECT_TRUE(passes4(error4(11, quote4(Target, Ours, 5, 8 + 1))));
    EXPECT_TRUE(passes4(error4(11, quote4(Target, Ours, 5, 8, other))));
    EXPECT_FALSE(passes6(error6(3, quote6(Target6, Ours, 5, other)), Router6));
    EXPECT_TRUE(passes6(error6(3, quote6(Target6, Ours, 5, left(Payload, 20))), Router6));

    // Bytes past the payload are padding or RFC 4884 extensions, not ours to check.
    const Bytes extension = bytes({0x20, 0, 0x12, 0x34, 0, 8, 1, 1, 0xde, 0xad, 0xbe, 0xef});
    EXPECT_TRUE(passes4(error4(11, quote4(Target, Ours, 5) + Bytes(60, 0) + extension)));
    EXPECT_TRUE(passes6(error6(3, quote6(Target6, Ours, 5) + extension), Router6));
    // A quote cut inside the payload with extensions after it: the error's
    // length field (32-bit words for IPv4, 64-bit ones for IPv6) says where
    // the quote ends. Without it the extension reads as payload.
    const Bytes cut4 = quote4(Target, Ours, 5, 8 + 24);
    ASSERT_EQ(cut4.size() % 4, 0u);
    EXPECT_TRUE(passes4(error4(11, cut4 + extension, std::uint32_t(cut4.size() / 4) << 16)));
    EXPECT_FALSE(passes4(error4(11, cut4 + extension)));
    EXPECT_FALSE(
        passes4(error4(11, quote4(Target, Ours, 5, 8 + 24, other) + extension, std::uint32_t(cut4.size() / 4) << 16)));
    const Bytes cut6 = left(quote6(Target6, Ours, 5), 40 + 8 + 24);
    ASSERT_EQ(cut6.size() % 8, 0u);
    EXPECT_TRUE(passes6(error6(3, cut6 + extension, std::uint32_t(cut6.size() / 8) << 24), Router6));
    EXPECT_FALSE(passes6(error6(3, cut6 + extension), Router6));
}
