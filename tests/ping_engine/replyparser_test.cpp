// ReplyParser hands icmp/'s reading of what a socket read to the engine as a
// ProbeEvent. What the bytes mean is icmp/'s, tested in tests/icmp; here,
// that the event says the same in the engine's types, and keeps what only
// recvmsg gave: the sender as it named it, zone and all, and the error
// queue's destination of the request.
#include "icmpmessage.h"
#include "ipv6header.h"
#include "replyparser.h"
#include "testpackets.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace TestPackets;

namespace {

constexpr quint16 Ours = 0x5a17;
const QByteArray Payload("0123456789");

} // namespace

TEST(ReplyParser, GivesEachReadingAsAnEventInTheEnginesTypes)
{
    // A raw IPv4 read names its sender and TTL in its own header.
    const QByteArray reply4 = IcmpMessage::echo(Icmp4::EchoReply, Ours, 3, Payload).encodeWithChecksum();
    const auto event4 = ReplyParser::parseRawRead(IpFamily::IPv4, ipv4Datagram(0x0a000202, 0x0a000001, 57, reply4),
                                                  HostAddress(QStringLiteral("10.9.9.9")), -1, Ours);
    ASSERT_TRUE(event4.has_value());
    EXPECT_EQ(event4->kind, ProbeEvent::Kind::EchoReply);
    EXPECT_EQ(event4->source, HostAddress(QStringLiteral("10.0.2.2")));
    EXPECT_EQ(event4->hopLimit, 57);
    EXPECT_EQ(event4->sequence, 3);
    EXPECT_EQ(event4->payload, Payload);
    EXPECT_TRUE(event4->quotedPayload.isEmpty());

    // An ICMPv6 read comes with its sender from recvmsg, whose zone stays as
    // it was named, an interface or not.
    const HostAddress router(QStringLiteral("fe80::1%77"));
    const HostAddress target(QStringLiteral("fd00::2"));
    IcmpMessage error;
    error.type = Icmp6::PacketTooBig;
    error.restOfHeader = 1280;
    error.body = ipv6Header(HostAddress(QStringLiteral("fd00::1")), target, Ipv6Header::NextHeaderIcmpv6)
        + IcmpMessage::echo(Icmp6::EchoRequest, Ours, 4, Payload).encode();
    const auto event6 = ReplyParser::parseRawRead(IpFamily::IPv6, error.encode(), router, 61, Ours);
    ASSERT_TRUE(event6.has_value());
    EXPECT_EQ(event6->kind, ProbeEvent::Kind::IcmpError);
    EXPECT_EQ(event6->source, router);
    EXPECT_EQ(event6->source.scopeId(), QStringLiteral("77"));
    EXPECT_EQ(event6->hopLimit, 61);
    EXPECT_EQ(event6->sequence, 4);
    EXPECT_EQ(event6->icmpType, Icmp6::PacketTooBig);
    EXPECT_EQ(event6->icmpInfo, 1280u);
    EXPECT_EQ(event6->quotedDestination, target);
    EXPECT_EQ(event6->quotedPayload, Payload);
    EXPECT_TRUE(event6->payload.isEmpty());

    // The error queue: the request's destination as recvmsg named it, the
    // offender as the kernel gave it, and the local stack's errno.
    const QByteArray request = IcmpMessage::echo(Icmp6::EchoRequest, Ours, 5, Payload).encode();
    const HostAddress destination(QStringLiteral("fe80::2%78"));
    Icmp::ErrorQueueEntry entry;
    entry.origin = Icmp::ErrorQueueEntry::OriginIcmp6;
    entry.type = Icmp6::DestinationUnreachable;
    entry.code = 3;
    entry.offender = IcmpBridge::toAddress(HostAddress(QStringLiteral("fd00::fe")));
    const auto queued = ReplyParser::parseErrorQueueEntry(IpFamily::IPv6, entry, request, destination, std::nullopt);
    ASSERT_TRUE(queued.has_value());
    EXPECT_EQ(queued->kind, ProbeEvent::Kind::IcmpError);
    EXPECT_EQ(queued->source, HostAddress(QStringLiteral("fd00::fe")));
    EXPECT_EQ(queued->quotedDestination, destination);
    EXPECT_EQ(queued->quotedPayload, Payload);
    entry.origin = Icmp::ErrorQueueEntry::OriginLocal;
    entry.errnoValue = EHOSTUNREACH;
    entry.offender.reset();
    const auto local = ReplyParser::parseErrorQueueEntry(IpFamily::IPv6, entry, request, destination, Ours);
    ASSERT_TRUE(local.has_value());
    EXPECT_EQ(local->kind, ProbeEvent::Kind::LocalError);
    EXPECT_EQ(local->localErrno, EHOSTUNREACH);
    EXPECT_TRUE(local->source.isNull());
    EXPECT_EQ(local->sequence, 5);

    // A family without ICMP echo gives nothing.
    EXPECT_FALSE(ReplyParser::parseIcmpMessage(IpFamily::Any, request, router, 64, std::nullopt));
    EXPECT_FALSE(ReplyParser::parseErrorQueueEntry(IpFamily::Unknown, entry, request, destination, std::nullopt));
}
