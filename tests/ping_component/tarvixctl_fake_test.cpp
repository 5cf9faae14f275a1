// The control's events, texts and stops over a fake network and clock: what
// its hosts see of every outcome, exactly, without a socket.
#include "eventrecorder.h"
#include "fakeclock.h"
#include "fakenetwork.h"
#include "icmpmessage.h"
#include "paintcounter.h"
#include "qtprinters.h"
#include "tarvixctl.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>

using Tarvix::DispId;
using Tarvix::DispKind;
using Tarvix::DispResult;
using Tarvix::DispValue;
using Tarvix::PingEvents;

namespace {

using Id = PingEvents::Id;
constexpr qint64 s = FakeClock::Second;
constexpr qint64 ms = FakeClock::Millisecond;

class FakeRunTest : public ::testing::TestWithParam<IpFamily>
{
protected:
    FakeRunTest()
    {
        m_control = std::make_unique<TarvixCtl>(network.opener(), clock);
        m_recorder = std::make_unique<EventRecorder>(m_control->events());
    }

    bool v4() const { return GetParam() == IpFamily::IPv4; }
    QString host() const { return v4() ? QStringLiteral("192.0.2.7") : QStringLiteral("2001:db8::7"); }
    DispResult put(DispId id, const DispValue &v) { return m_control->invoke(qint32(id), DispKind::PropertyPut, {v}); }
    DispValue get(DispId id) { return m_control->invoke(qint32(id), DispKind::PropertyGet).value(); }
    void ping() { ASSERT_TRUE(m_control->invoke(qint32(DispId::Ping), DispKind::Method, {host()}).ok()); }
    // Lets the event loop read arrivals and raise the queued events.
    static void processEvents()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }
    void replyAfter(int n, qint64 ns)
    {
        const FakeNetwork::Sent &request = network.sent().at(n);
        network.arrive(network.replyTo(request), request.at.monotonicNs + ns);
    }
    // The component's own lines, in order.
    QStringList lines() const
    {
        QStringList texts;
        for (const auto &e : m_recorder->events())
            if (e.id != Id::OnPing)
                texts << e.text;
        return texts;
    }
    QString header() const
    {
        return QStringLiteral("PING %1 (%1) 32(%2) bytes of data.\r\n").arg(host()).arg(v4() ? 60 : 80)
            + QStringLiteral("Round trips from the kernel's receive timestamps and the clock read before sending.\r\n");
    }

    FakeClock clock;
    FakeNetwork network{clock, GetParam()};
    std::unique_ptr<TarvixCtl> m_control;
    std::unique_ptr<EventRecorder> m_recorder;
};

} // namespace

TEST_P(FakeRunTest, ACountedRunGivesHeaderRepliesAndStatistics)
{
    put(DispId::Count, 3);
    ping();
    EXPECT_EQ(get(DispId::IpAddress), DispValue(host()));
    EXPECT_NE(get(DispId::Active), DispValue(0));
    // Nothing is raised from inside the call.
    EXPECT_TRUE(m_recorder->events().isEmpty());
    for (int n = 0; n < 3; ++n) {
        replyAfter(n, 20 * ms + n * 1500000);
        clock.advance(1 * s);
        processEvents();
    }
    EXPECT_EQ(get(DispId::Active), DispValue(0));
    const auto replies = m_recorder->of(Id::OnPing);
    ASSERT_EQ(replies.size(), 3);
    for (int n = 0; n < 3; ++n) {
        EXPECT_EQ(replies[n].text, host());
        EXPECT_EQ(replies[n].bytes, 32);
        EXPECT_EQ(replies[n].time, 20 + n + (n == 2 ? 1 : 0)); // 20, 21.5, 23 ms as whole ms
        EXPECT_EQ(replies[n].ttl, 57);
    }
    EXPECT_EQ(lines(), QStringList({header(),
                                    QStringLiteral("40 bytes from %1: icmp_seq=1 ttl=57 time=20.000 ms\r\n").arg(host()),
                                    QStringLiteral("40 bytes from %1: icmp_seq=2 ttl=57 time=21.500 ms\r\n").arg(host()),
                                    QStringLiteral("40 bytes from %1: icmp_seq=3 ttl=57 time=23.000 ms\r\n").arg(host()),
                                    QStringLiteral("\r\n--- %1 ping statistics ---\r\n"
                                                   "3 packets transmitted, 3 received, 0 lost (0% loss)\r\n"
                                                   "rtt min/avg/max/mdev = 20.000/21.500/23.000/1.225 ms\r\n")
                                        .arg(host())}));
}

TEST_P(FakeRunTest, TimeOutsErrorsAndUnsentRequestsEachGiveOneOnPing)
{
    put(DispId::Count, 3);
    ping();
    // 1: no reply at all.
    clock.advance(1 * s);
    processEvents();
    // 2: a router's error.
    const quint8 exceeded = v4() ? quint8(Icmp4::TimeExceeded) : quint8(Icmp6::TimeExceeded);
    network.arrive(network.errorAbout(network.sent().at(1), exceeded, 0), clock.monotonicNs() + 3 * ms);
    clock.advance(3 * ms);
    processEvents();
    // 3: the kernel refuses the send, twice.
    network.failSends(2, ENETUNREACH);
    clock.advance(1 * s);
    processEvents();
    EXPECT_EQ(get(DispId::Active), DispValue(0));

    const auto results = m_recorder->of(Id::OnPing);
    ASSERT_EQ(results.size(), 3);
    for (const auto &result : results) {
        EXPECT_EQ(result.text, host());
        EXPECT_EQ(result.bytes, -1);
    }
    const auto errors = m_recorder->of(Id::OnPingError);
    ASSERT_EQ(errors.size(), 2);
    const QString router = v4() ? QStringLiteral("192.0.2.254") : QStringLiteral("2001:db8::fe");
    EXPECT_EQ(errors[0].text, QStringLiteral("Reply from %1: TTL expired in transit.\r\n").arg(router));
    EXPECT_EQ(errors[0].error, (v4() ? 0x40000 : 0x60000) + (exceeded << 8));
    EXPECT_EQ(errors[1].text, QStringLiteral("PING: transmit failed for icmp_seq=3. Network is unreachable.\r\n"));
    EXPECT_EQ(errors[1].error, 4);
    EXPECT_TRUE(lines().contains(QStringLiteral("No reply for icmp_seq=1 within 1000 ms\r\n")));
    EXPECT_TRUE(lines().last().contains(QStringLiteral("3 packets transmitted, 0 received, +2 errors, 3 lost (100% loss)")))
        << qPrintable(lines().last());
}

TEST_P(FakeRunTest, DuplicatesAreShownButNotCounted)
{
    // A run that ended hears no more: the duplicate must come while it lasts.
    put(DispId::Count, 2);
    ping();
    replyAfter(0, 5 * ms);
    replyAfter(0, 6 * ms);
    clock.advance(6 * ms);
    processEvents();
    EXPECT_EQ(m_recorder->of(Id::OnPing).size(), 1);
    EXPECT_TRUE(lines().contains(QStringLiteral("40 bytes from %1: icmp_seq=1 ttl=57 time=6.000 ms (DUP!)\r\n").arg(host())))
        << qPrintable(lines().join(QString()));
    put(DispId::Active, 0);
    processEvents();
    EXPECT_TRUE(lines().last().contains(QStringLiteral("1 packets transmitted, 1 received, +1 duplicates")))
        << qPrintable(lines().last());
}

TEST_P(FakeRunTest, AfterAStopOnlyTheClosingStatisticsFollow)
{
    put(DispId::Continuous, 1);
    ping();
    replyAfter(0, 5 * ms);
    clock.advance(1 * s);
    processEvents();
    ASSERT_EQ(m_recorder->of(Id::OnPing).size(), 1);
    // The second request is waiting; its reply is already queued, unread.
    replyAfter(1, 5 * ms);
    ASSERT_TRUE(put(DispId::Active, 0).ok());
    EXPECT_EQ(get(DispId::Active), DispValue(0));
    EXPECT_FALSE(network.isOpen());
    clock.advance(5 * s);
    processEvents();
    EXPECT_EQ(m_recorder->of(Id::OnPing).size(), 1);
    EXPECT_TRUE(lines().last().contains(QStringLiteral("1 packets transmitted, 1 received")));
    EXPECT_EQ(network.sent().size(), 2);
}

TEST_P(FakeRunTest, AHandlerMayStopTheRunFromInsideAnEvent)
{
    put(DispId::Continuous, 1);
    QObject::connect(m_control->events(), &PingEvents::OnPing, m_control.get(), [this] {
        EXPECT_NE(get(DispId::Active), DispValue(0));
        put(DispId::Active, 0);
        EXPECT_EQ(get(DispId::Active), DispValue(0));
    });
    ping();
    replyAfter(0, 5 * ms);
    clock.advance(5 * ms);
    processEvents();
    clock.advance(3 * s);
    processEvents();
    EXPECT_EQ(m_recorder->of(Id::OnPing).size(), 1);
    EXPECT_TRUE(lines().last().contains(QStringLiteral("ping statistics")));
    EXPECT_EQ(network.sent().size(), 1);
}

TEST_P(FakeRunTest, APingDuringARunEndsItWithItsStatisticsFirst)
{
    put(DispId::Continuous, 1);
    ping();
    replyAfter(0, 5 * ms);
    clock.advance(5 * ms);
    processEvents();
    put(DispId::Continuous, 0);
    put(DispId::Count, 1);
    ping();
    replyAfter(1, 7 * ms);
    clock.advance(1 * s);
    processEvents();
    const QStringList all = lines();
    ASSERT_EQ(all.size(), 6) << all.join(QString()).toStdString();
    EXPECT_EQ(all[0], header());
    EXPECT_TRUE(all[2].contains(QStringLiteral("1 packets transmitted, 1 received")));
    EXPECT_EQ(all[3], header());
    EXPECT_TRUE(all[4].contains(QStringLiteral("icmp_seq=1 ttl=57 time=7.000 ms")));
    EXPECT_TRUE(all[5].contains(QStringLiteral("1 packets transmitted, 1 received")));
}

TEST_P(FakeRunTest, DestroyingTheControlMidRunClosesTheSocketAndRaisesNothing)
{
    put(DispId::Continuous, 1);
    ping();
    replyAfter(0, 5 * ms);
    clock.advance(5 * ms);
    m_control.reset();
    EXPECT_FALSE(network.isOpen());
    processEvents();
    clock.advance(3 * s);
    EXPECT_TRUE(m_recorder->events().isEmpty());
}

TEST_P(FakeRunTest, WhenNoSocketOpensThereIsOneErrorAndNoRun)
{
    network.refuse(QStringLiteral("Pinging is not allowed here."));
    ping();
    EXPECT_EQ(get(DispId::Active), DispValue(0));
    processEvents();
    ASSERT_EQ(m_recorder->events().size(), 1);
    EXPECT_EQ(m_recorder->events().first().id, Id::OnPingError);
    EXPECT_EQ(m_recorder->events().first().text, QStringLiteral("Pinging is not allowed here.\r\n"));
    EXPECT_EQ(m_recorder->events().first().error, 3);
}

TEST_P(FakeRunTest, SettingsReachTheRequests)
{
    put(DispId::Count, 2);
    put(DispId::PacketSize, 1000);
    put(DispId::TimeToLive, 7);
    put(DispId::Timeout, 250);
    ping();
    clock.advance(250 * ms);
    processEvents();
    // Timed out at 250 ms; the second goes one interval after the first.
    EXPECT_EQ(m_recorder->of(Id::OnPing).size(), 1);
    EXPECT_TRUE(lines().contains(QStringLiteral("No reply for icmp_seq=1 within 250 ms\r\n")));
    clock.advance(750 * ms);
    ASSERT_EQ(network.sent().size(), 2);
    for (const auto &request : network.sent()) {
        EXPECT_EQ(request.payload.size(), 1000);
        EXPECT_EQ(request.hopLimit, 7);
        EXPECT_EQ(request.target, HostAddress(host()));
    }
    EXPECT_EQ(network.sent()[1].at.monotonicNs - network.sent()[0].at.monotonicNs, 1 * s);
}

INSTANTIATE_TEST_SUITE_P(Fake, FakeRunTest, ::testing::Values(IpFamily::IPv4, IpFamily::IPv6),
                         [](const auto &info) { return std::string(info.param == IpFamily::IPv4 ? "V4" : "V6"); });

// A surface too small for the chart shows a lamp: its repaints follow what
// it shows (answered, lost, running), not every reply; the log of a host
// beside it is busy enough.
TEST_P(FakeRunTest, TheLampRepaintsWhenItChangesOnly)
{
    PaintCounter paints(m_control.get());
    m_control->resize(24, 24);
    m_control->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_control.get()));
    put(DispId::Count, 6);
    ping();
    processEvents();
    int before = paints.count;
    const auto requestEnds = [&](bool replied) {
        if (replied)
            replyAfter(int(network.sent().size()) - 1, 20 * ms);
        clock.advance(1 * s);
        processEvents();
        const int painted = paints.count - before;
        before = paints.count;
        return painted;
    };
    EXPECT_GE(requestEnds(true), 1); // grey to green
    EXPECT_EQ(requestEnds(true), 0);
    EXPECT_EQ(requestEnds(true), 0);
    EXPECT_GE(requestEnds(false), 1); // lost: red
    EXPECT_EQ(requestEnds(false), 0);
    EXPECT_GE(requestEnds(true), 1); // green, and the run's ring goes
    EXPECT_EQ(get(DispId::Active), DispValue(0));
    EXPECT_EQ(m_recorder->of(Id::OnPing).size(), 6);
}
