#include "icmpmessage.h"
#include "pingtext.h"

#include <gtest/gtest.h>

namespace {

constexpr qint64 ms = 1000000;

RunState::Target target(const QString &name = {})
{
    return {QStringLiteral("typed"), name, HostAddress(QStringLiteral("10.231.0.2"))};
}

} // namespace

TEST(PingText, MillisecondsToTheMicrosecond)
{
    EXPECT_EQ(PingText::milliseconds(20412000), QStringLiteral("20.412"));
    EXPECT_EQ(PingText::milliseconds(20411500), QStringLiteral("20.412"));
    EXPECT_EQ(PingText::milliseconds(20411499), QStringLiteral("20.411"));
    EXPECT_EQ(PingText::milliseconds(45000), QStringLiteral("0.045"));
    EXPECT_EQ(PingText::milliseconds(0), QStringLiteral("0.000"));
    EXPECT_EQ(PingText::milliseconds(1234567890), QStringLiteral("1234.568"));
}

TEST(PingText, LinesOfARun)
{
    EXPECT_EQ(PingText::header(target(), 32), QStringLiteral("PING 10.231.0.2 (10.231.0.2) 32(60) bytes of data.\r\n"));
    const RunState::Target v6{QStringLiteral("::1"), QStringLiteral("localhost"), HostAddress(QStringLiteral("::1"))};
    EXPECT_EQ(PingText::header(v6, 56), QStringLiteral("PING localhost (::1) 56(104) bytes of data.\r\n"));

    ProbeEvent reply;
    reply.source = HostAddress(QStringLiteral("10.231.0.2"));
    reply.sequence = 3;
    reply.payload = QByteArray(32, 'x');
    reply.hopLimit = 64;
    EXPECT_EQ(PingText::reply(target(), reply, 20412000, false),
              QStringLiteral("40 bytes from 10.231.0.2: icmp_seq=3 ttl=64 time=20.412 ms\r\n"));
    EXPECT_EQ(PingText::reply(target(QStringLiteral("host")), reply, -1, true),
              QStringLiteral("40 bytes from host (10.231.0.2): icmp_seq=3 ttl=64 (DUP!)\r\n"));
    EXPECT_EQ(PingText::timedOut(4, 1000), QStringLiteral("No reply for icmp_seq=4 within 1000 ms\r\n"));
}

TEST(PingText, TheTimingNoteSaysWhereRoundTripsStart)
{
    EXPECT_EQ(PingText::timingNote(true),
              QStringLiteral("Round trips from the kernel's send and receive timestamps, where it gives them.\r\n"));
    EXPECT_EQ(PingText::timingNote(false),
              QStringLiteral("Round trips from the kernel's receive timestamps and the clock read before sending.\r\n"));
}

TEST(PingText, StatisticsBlock)
{
    RunStatistics s;
    s.addReply(20 * ms);
    s.addReply(22 * ms);
    s.addLost(false);
    s.addLost(true);
    s.addDuplicate();
    EXPECT_EQ(PingText::statistics(target(QStringLiteral("host")), s),
              QStringLiteral("\r\n--- host ping statistics ---\r\n"
                             "4 packets transmitted, 2 received, +1 duplicates, +1 errors, 2 lost (50% loss)\r\n"
                             "rtt min/avg/max/mdev = 20.000/21.000/22.000/1.000 ms\r\n"));

    RunStatistics lost;
    for (int i = 0; i < 3; ++i)
        lost.addLost(false);
    lost.addReply(ms);
    // No round-trip line without replies; fractions of a percent shown to one place.
    EXPECT_TRUE(PingText::statistics(target(), lost).contains(QStringLiteral("3 lost (75% loss)")));
    RunStatistics none;
    for (int i = 0; i < 3; ++i)
        none.addLost(false);
    EXPECT_FALSE(PingText::statistics(target(), none).contains(QStringLiteral("rtt")));
    RunStatistics third;
    third.addLost(false);
    third.addReply(ms);
    third.addReply(ms);
    EXPECT_TRUE(PingText::statistics(target(), third).contains(QStringLiteral("(33.3% loss)")));
}

TEST(PingText, ErrorsInTheUsualWording)
{
    EXPECT_EQ(PingText::unknownHost(QStringLiteral("nosuch.invalid")),
              QStringLiteral("Ping request could not find host nosuch.invalid. Please check the name and try again.\r\n"));

    // As the run's lines have them (error events translate them).
    constexpr auto line = PingText::Wording::Line;
    ProbeEvent error;
    error.kind = ProbeEvent::Kind::IcmpError;
    error.source = HostAddress(QStringLiteral("10.231.0.2"));
    error.icmpType = Icmp4::DestinationUnreachable;
    error.icmpCode = 1;
    EXPECT_EQ(PingText::probeError(error, IpFamily::IPv4, line),
              QStringLiteral("Reply from 10.231.0.2: Destination host unreachable.\r\n"));
    EXPECT_EQ(PingText::probeErrorCode(error, IpFamily::IPv4), 0x40301);
    error.icmpType = Icmp4::TimeExceeded;
    error.icmpCode = 0;
    EXPECT_EQ(PingText::probeError(error, IpFamily::IPv4, line),
              QStringLiteral("Reply from 10.231.0.2: TTL expired in transit.\r\n"));

    // The same numbers mean other things in ICMPv6.
    error.source = HostAddress(QStringLiteral("fd00::2"));
    error.icmpType = Icmp6::DestinationUnreachable;
    error.icmpCode = 3;
    EXPECT_EQ(PingText::probeError(error, IpFamily::IPv6, line),
              QStringLiteral("Reply from fd00::2: Destination host unreachable.\r\n"));
    error.icmpType = Icmp6::PacketTooBig;
    error.icmpCode = 0;
    error.icmpInfo = 1280;
    EXPECT_EQ(PingText::probeError(error, IpFamily::IPv6, line),
              QStringLiteral("Reply from fd00::2: Packet too big (MTU 1280).\r\n"));
    EXPECT_EQ(PingText::probeErrorCode(error, IpFamily::IPv6), 0x60200);
    error.icmpType = Icmp6::TimeExceeded;
    EXPECT_EQ(PingText::probeError(error, IpFamily::IPv6, line),
              QStringLiteral("Reply from fd00::2: TTL expired in transit.\r\n"));

    ProbeEvent local;
    local.kind = ProbeEvent::Kind::LocalError;
    local.localErrno = EMSGSIZE;
    local.sequence = 7;
    EXPECT_TRUE(PingText::probeError(local, IpFamily::IPv4, line)
                    .startsWith(QStringLiteral("PING: transmit failed for icmp_seq=7. ")));
    EXPECT_TRUE(PingText::probeError(local, IpFamily::IPv4, line).endsWith(QStringLiteral(".\r\n")));
    EXPECT_EQ(PingText::transmitFailed(3, ENETUNREACH, line),
              QStringLiteral("PING: transmit failed for icmp_seq=3. Network is unreachable.\r\n"));
}

TEST(PingText, GivenTextsAreEchoedUpToTheLimitAndAnEllipsis)
{
    const QChar ellipsis(0x2026);
    const QString exact(PingText::MaxEchoedLength, QLatin1Char('a'));
    EXPECT_EQ(PingText::echoed(exact), exact);
    EXPECT_EQ(PingText::echoed(exact + QLatin1Char('b')), exact + ellipsis);
    EXPECT_EQ(PingText::echoed(QString()), QString());
    // A character of two UTF-16 units across the limit is left out whole.
    const QString beforeLimit(PingText::MaxEchoedLength - 1, QLatin1Char('a'));
    const QString grin = QString::fromUtf8("\xf0\x9f\x98\x80");
    ASSERT_EQ(grin.size(), 2);
    EXPECT_EQ(PingText::echoed(beforeLimit + grin + QLatin1Char('z')), beforeLimit + ellipsis);

    // Every text that repeats a name: the header, replies, statistics, the
    // unknown host.
    const QString longName(1000, QLatin1Char('n'));
    const QString shown = PingText::echoed(longName);
    EXPECT_EQ(PingText::header(target(longName), 32),
              QStringLiteral("PING %1 (10.231.0.2) 32(60) bytes of data.\r\n").arg(shown));
    ProbeEvent reply;
    reply.source = HostAddress(QStringLiteral("10.231.0.2"));
    reply.sequence = 1;
    reply.hopLimit = 64;
    EXPECT_EQ(PingText::reply(target(longName), reply, -1, false),
              QStringLiteral("8 bytes from %1 (10.231.0.2): icmp_seq=1 ttl=64\r\n").arg(shown));
    EXPECT_TRUE(PingText::statistics(target(longName), RunStatistics())
                    .startsWith(QStringLiteral("\r\n--- %1 ping statistics ---\r\n").arg(shown)));
    EXPECT_EQ(PingText::unknownHost(longName),
              QStringLiteral("Ping request could not find host %1. Please check the name and try again.\r\n").arg(shown));

    // One line, whatever was pasted: control characters, line separators and
    // the marks that turn text around on screen come as escapes.
    const QString pasted = QStringLiteral("host\nname\r\t\u001b[31m\u007f\u0085\u2028\u202egro.\u00e9x");
    EXPECT_EQ(PingText::unknownHost(pasted),
              QStringLiteral("Ping request could not find host host\\nname\\r\\t\\x1B[31m\\x7F\\x85\\u2028\\u202Egro.\u00e9x. "
                             "Please check the name and try again.\r\n"));
}
