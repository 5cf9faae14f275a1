// The helper's request parser: whatever a parent sends, only a well-formed
// echo request with a TTL and payload size in range, to an address it may
// use, is accepted, and what it says of the request (its pattern, its rate
// class, who may answer it) is what the bytes say.
#include "helperprotocol.h"
#include "requestparser.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <initializer_list>
#include <vector>

namespace {

using namespace Icmp;
using namespace Icmp::HelperProtocol;
using Error = HelperRequest::Error;
using Bytes = std::vector<unsigned char>;

// A request of the family whose address starts with these bytes; an IPv6
// address may also set its last byte.
EchoRequestFields request(std::uint8_t family, std::initializer_list<int> leadingBytes, int lastByte = 0)
{
    EchoRequestFields fields;
    fields.family = family;
    fields.sequence = 0x1234;
    int i = 0;
    for (int byte : leadingBytes)
        fields.address[i++] = static_cast<unsigned char>(byte);
    if (family == FamilyIpv6)
        fields.address[15] = static_cast<unsigned char>(lastByte);
    return fields;
}

EchoRequestFields ipv4(std::initializer_list<int> address)
{
    return request(FamilyIpv4, address);
}

EchoRequestFields ipv6(std::initializer_list<int> leadingBytes, int lastByte)
{
    return request(FamilyIpv6, leadingBytes, lastByte);
}

Bytes encode(EchoRequestFields fields, std::size_t payloadSize = 3)
{
    fields.payloadSize = static_cast<std::uint16_t>(payloadSize);
    for (std::size_t i = 0; i < EchoPattern::Size; ++i)
        fields.pattern[i] = static_cast<unsigned char>(0xa0 + i);
    Bytes message(EchoRequestSize);
    encodeEchoRequest(fields, message.data());
    return message;
}

HelperRequest parse(const Bytes &message)
{
    return HelperRequest::parse(message.data(), message.size());
}

} // namespace

TEST(HelperRequestParser, AcceptsEchoRequestsToUnicastAddresses)
{
    EchoRequestFields fields = ipv4({192, 0, 2, 7});
    fields.hopLimit = 17;
    const Bytes message = encode(fields);
    const HelperRequest request = parse(message);
    ASSERT_TRUE(request.ok());
    EXPECT_EQ(request.family, FamilyIpv4);
    EXPECT_EQ(request.sequence, 0x1234);
    EXPECT_EQ(request.hopLimit, 17);
    EXPECT_EQ(request.scopeId, 0u);
    EXPECT_EQ(Bytes(request.address, request.address + 4), (Bytes{192, 0, 2, 7}));
    EXPECT_FALSE(request.broadcast);
    EXPECT_FALSE(request.group);
    EXPECT_FALSE(request.anySource);
    EXPECT_EQ(request.payloadSize, 3u);
    EXPECT_EQ(Bytes(request.pattern, request.pattern + EchoPattern::Size), Bytes(message.begin() + 32, message.end()));
    EXPECT_EQ(request.refusalErrno(), 0);

    EchoRequestFields linkLocal = ipv6({0xfe, 0x80}, 1);
    linkLocal.scopeId = 3;
    const HelperRequest six = parse(encode(linkLocal, 0));
    ASSERT_TRUE(six.ok());
    EXPECT_EQ(six.family, FamilyIpv6);
    EXPECT_EQ(six.scopeId, 3u);
    EXPECT_EQ(six.address[0], 0xfe);
    EXPECT_EQ(six.address[15], 1);
    EXPECT_EQ(six.payloadSize, 0u);
}

TEST(HelperRequestParser, TtlAndPayloadAtTheirLimits)
{
    for (int hops : {1, 255}) {
        EchoRequestFields fields = ipv4({127, 0, 0, 1});
        fields.hopLimit = static_cast<std::uint8_t>(hops);
        EXPECT_TRUE(parse(encode(fields)).ok()) << hops;
    }
    EchoRequestFields zero = ipv4({127, 0, 0, 1});
    zero.hopLimit = 0;
    EXPECT_EQ(parse(encode(zero)).error, Error::HopLimitOutOfRange);
    EXPECT_EQ(parse(encode(zero)).refusalErrno(), EINVAL);

    for (const EchoRequestFields &fields : {ipv4({127, 0, 0, 1}), ipv6({}, 1)}) {
        const HelperRequest largest = parse(encode(fields, MaxPayload));
        ASSERT_TRUE(largest.ok());
        EXPECT_EQ(largest.payloadSize, MaxPayload);
        for (std::size_t size : {MaxPayload + 1, std::size_t(0xffff)}) {
            const HelperRequest over = parse(encode(fields, size));
            EXPECT_EQ(over.error, Error::TooLong) << size;
            EXPECT_EQ(over.refusalErrno(), EMSGSIZE);
        }
    }
}

TEST(HelperRequestParser, RefusesWhatIsNotAnEchoRequestOfThisVersion)
{
    const Bytes good = encode(ipv4({127, 0, 0, 1}));
    // Every other length, the empty message included: a request is its
    // fields and nothing more.
    Bytes longer = good;
    longer.resize(EchoRequestSize + 32);
    for (std::size_t size = 0; size <= longer.size(); ++size) {
        if (size == EchoRequestSize)
            continue;
        const HelperRequest request = HelperRequest::parse(longer.data(), size);
        EXPECT_EQ(request.error, Error::Malformed) << size;
        EXPECT_EQ(request.refusalErrno(), EBADMSG);
    }
    // The other kinds of message, and unknown ones: nothing but an echo
    // request can be asked for.
    for (int kind : {0, int(Hello), int(SendReport), int(Packet), int(SendStamp), 8, 0xff}) {
        Bytes message = good;
        message[0] = static_cast<unsigned char>(kind);
        EXPECT_EQ(parse(message).error, Error::Malformed) << kind;
    }
    for (int version : {0, Version - 1, Version + 1, 0xff}) {
        Bytes message = good;
        message[1] = static_cast<unsigned char>(version);
        EXPECT_EQ(parse(message).error, Error::Malformed) << version;
    }
    for (int flags : {0x02, 0x80, 0xff}) {
        Bytes message = good;
        message[3] = static_cast<unsigned char>(flags);
        EXPECT_EQ(parse(message).error, Error::Malformed) << flags;
    }
    for (std::size_t reservedByte : {7, 30, 31}) {
        Bytes reserved = good;
        reserved[reservedByte] = 1;
        EXPECT_EQ(parse(reserved).error, Error::Malformed) << reservedByte;
    }
}

TEST(HelperRequestParser, RefusesUnknownFamiliesAndStrayAddressBytes)
{
    for (int family : {0, 2, 5, 10, 41}) {
        Bytes message = encode(ipv4({127, 0, 0, 1}));
        message[2] = static_cast<unsigned char>(family);
        const HelperRequest request = parse(message);
        EXPECT_EQ(request.error, Error::UnknownFamily) << family;
        EXPECT_EQ(request.refusalErrno(), EAFNOSUPPORT);
    }
    // IPv4 fills four address bytes and has no scope.
    EchoRequestFields scoped = ipv4({127, 0, 0, 1});
    scoped.scopeId = 1;
    EXPECT_EQ(parse(encode(scoped)).error, Error::Malformed);
    for (std::size_t stray = 4; stray < 16; ++stray) {
        Bytes message = encode(ipv4({127, 0, 0, 1}));
        message[12 + stray] = 1;
        EXPECT_EQ(parse(message).error, Error::Malformed) << stray;
    }
}

TEST(HelperRequestParser, TheUnspecifiedAddressReachesThisHostAndMappedOnesAreRefused)
{
    // The kernel sends to 0.0.0.0 and :: over loopback, and the reply comes
    // from the loopback address: any source may answer.
    for (const EchoRequestFields &fields : {ipv4({0, 0, 0, 0}), ipv6({}, 0)}) {
        const HelperRequest request = parse(encode(fields));
        ASSERT_TRUE(request.ok()) << int(fields.family);
        EXPECT_TRUE(request.anySource);
        EXPECT_FALSE(request.group);
        EXPECT_FALSE(request.broadcast);
    }
    // ::ffff:127.0.0.1 would leave as IPv4.
    const HelperRequest mapped = parse(encode(ipv6({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 127}, 1)));
    EXPECT_EQ(mapped.error, Error::UnusableAddress);
    EXPECT_EQ(mapped.refusalErrno(), EINVAL);
}

TEST(HelperRequestParser, MulticastAsIsLimitedBroadcastOnlyWhenAskedAndTheFlagMakesAGroupRequest)
{
    // Multicast needs no flag, and is sent without SO_BROADCAST.
    for (const EchoRequestFields &fields : {ipv4({224, 0, 0, 1}), ipv4({239, 255, 255, 250}), ipv6({0xff, 0x02}, 1),
                                            ipv6({0xff, 0x0e}, 0x99)}) {
        const HelperRequest request = parse(encode(fields));
        ASSERT_TRUE(request.ok()) << int(fields.address[0]);
        EXPECT_TRUE(request.group);
        EXPECT_TRUE(request.anySource);
        EXPECT_FALSE(request.broadcast);
    }
    // 255.255.255.255 only with the flag, as the kernel says it without SO_BROADCAST.
    EchoRequestFields limited = ipv4({255, 255, 255, 255});
    const HelperRequest refused = parse(encode(limited));
    EXPECT_EQ(refused.error, Error::BroadcastNotAsked);
    EXPECT_EQ(refused.refusalErrno(), EACCES);
    // With the flag, any destination is a group request (a subnet's broadcast
    // address is known only to the routing table) and SO_BROADCAST is on.
    for (EchoRequestFields fields : {limited, ipv4({192, 0, 2, 255}), ipv4({224, 0, 0, 1}), ipv6({0xff, 0x02}, 1)}) {
        fields.flags = RequestBroadcast;
        const HelperRequest asked = parse(encode(fields));
        ASSERT_TRUE(asked.ok()) << int(fields.address[0]);
        EXPECT_TRUE(asked.broadcast);
        EXPECT_TRUE(asked.group);
        EXPECT_TRUE(asked.anySource);
    }
    // Neighbours of the group ranges are ordinary addresses.
    for (const EchoRequestFields &fields : {ipv4({223, 255, 255, 255}), ipv4({240, 0, 0, 1}),
                                            ipv4({255, 255, 255, 254}), ipv6({0xfe, 0xff}, 1)}) {
        const HelperRequest request = parse(encode(fields));
        ASSERT_TRUE(request.ok()) << int(fields.address[0]);
        EXPECT_FALSE(request.group);
        EXPECT_FALSE(request.anySource);
    }
}

TEST(HelperRequestParser, ReadsTheSequenceOfRefusedRequestsForTheirReport)
{
    EchoRequestFields fields = ipv4({255, 255, 255, 255});
    fields.sequence = 0xbeef;
    EXPECT_EQ(parse(encode(fields)).sequence, 0xbeef);
    const Bytes message = encode(fields);
    EXPECT_EQ(HelperRequest::parse(message.data(), 6).sequence, 0xbeef);
    EXPECT_EQ(HelperRequest::parse(message.data(), 5).sequence, 0);
}
