// The control on real sockets against loopback, in this process's own network
// namespace: whichever ICMP socket this system allows.
#include "eventrecorder.h"
#include "prober.h"
#include "tarvixctl.h"

#include <QDir>

#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using Tarvix::DispId;
using Tarvix::DispKind;
using Tarvix::DispResult;
using Tarvix::DispValue;
using Tarvix::PingEvents;

namespace {

using Id = PingEvents::Id;

int countEntries(const char *path)
{
    return int(QDir(QString::fromLatin1(path)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}

class LoopbackTest : public ::testing::TestWithParam<const char *>
{
protected:
    void SetUp() override
    {
        const HostAddress address(QString::fromLatin1(GetParam()));
        if (const Prober::Opened opened = Prober::open(address.protocol(), Prober::Preference::Auto); !opened)
            GTEST_SKIP() << "no ICMP socket may be opened here: " << qPrintable(opened.error());
        m_control = std::make_unique<TarvixCtl>();
        m_recorder = std::make_unique<EventRecorder>(m_control->events());
        m_control->setIntervalMs(50);
    }

    QString host() const { return QString::fromLatin1(GetParam()); }
    DispResult put(DispId id, const DispValue &v) { return m_control->invoke(qint32(id), DispKind::PropertyPut, {v}); }
    DispValue get(DispId id) { return m_control->invoke(qint32(id), DispKind::PropertyGet).value(); }
    DispResult ping() { return m_control->invoke(qint32(DispId::Ping), DispKind::Method, {host()}); }
    bool waitUntilIdle(int ms = 5000)
    {
        // The run may end in the same turn of the event loop as its last
        // reply: what it queued is raised once it reads idle.
        const bool idle = QTest::qWaitFor([this] { return get(DispId::Active) == DispValue(0); }, ms);
        EventRecorder::deliverQueued();
        return idle;
    }
    bool waitForReplies(int n)
    {
        return QTest::qWaitFor([&] { return m_recorder->of(Id::OnPing).size() >= n; }, 5000);
    }

    std::unique_ptr<TarvixCtl> m_control;
    std::unique_ptr<EventRecorder> m_recorder;
};

} // namespace

TEST_P(LoopbackTest, CountedRunGivesHeaderOneOnPingPerRequestAndStatistics)
{
    put(DispId::Count, 3);
    ASSERT_TRUE(ping().ok());
    // Known as soon as Ping returns; nothing raised from inside the call.
    EXPECT_EQ(get(DispId::IpAddress), DispValue(host()));
    EXPECT_EQ(get(DispId::HostName), DispValue(QString()));
    EXPECT_NE(get(DispId::Active), DispValue(0));
    EXPECT_TRUE(m_recorder->events().isEmpty());

    ASSERT_TRUE(waitUntilIdle());
    QTest::qWait(100);
    const auto &events = m_recorder->events();
    ASSERT_EQ(events.size(), 1 + 3 * 2 + 1);
    EXPECT_EQ(events[0].id, Id::OnPingStr);
    EXPECT_TRUE(events[0].text.startsWith(QStringLiteral("PING %1 (%1) 32(").arg(host())));
    for (int i = 0; i < 3; ++i) {
        const auto &onPing = events[1 + 2 * i];
        const auto &line = events[2 + 2 * i];
        ASSERT_EQ(onPing.id, Id::OnPing);
        EXPECT_EQ(onPing.text, host());
        EXPECT_EQ(onPing.bytes, 32);
        EXPECT_GE(onPing.time, 0);
        EXPECT_LT(onPing.time, 10); // loopback
        EXPECT_GT(onPing.ttl, 0);
        ASSERT_EQ(line.id, Id::OnPingStr);
        EXPECT_TRUE(line.text.contains(QStringLiteral("icmp_seq=%1 ").arg(i + 1))) << line.text.toStdString();
        EXPECT_TRUE(line.text.endsWith(QStringLiteral(" ms\r\n")));
    }
    EXPECT_TRUE(events.last().text.contains(QStringLiteral("3 packets transmitted, 3 received, 0 lost (0% loss)")));
    EXPECT_TRUE(events.last().text.contains(QStringLiteral("rtt min/avg/max/mdev = ")));
}

TEST_P(LoopbackTest, PayloadSizeAndTtlReachTheWire)
{
    put(DispId::Count, 1);
    put(DispId::PacketSize, 65500);
    ASSERT_TRUE(ping().ok());
    ASSERT_TRUE(waitUntilIdle());
    const auto replies = m_recorder->of(Id::OnPing);
    ASSERT_EQ(replies.size(), 1);
    EXPECT_EQ(replies.first().bytes, 65500);

    put(DispId::PacketSize, 0);
    ASSERT_TRUE(ping().ok());
    ASSERT_TRUE(waitUntilIdle());
    ASSERT_EQ(m_recorder->of(Id::OnPing).size(), 2);
    EXPECT_EQ(m_recorder->of(Id::OnPing).last().bytes, 0);
}

TEST_P(LoopbackTest, StopEndsTheRunAtOnceAndOnlyStatisticsFollow)
{
    const int descriptors = countEntries("/proc/self/fd");
    put(DispId::Continuous, 1);
    put(DispId::Count, 0); // ignored when continuous
    ASSERT_TRUE(ping().ok());
    ASSERT_TRUE(waitForReplies(3));
    ASSERT_TRUE(put(DispId::Active, 0).ok());
    EXPECT_EQ(get(DispId::Active), DispValue(0));
    EXPECT_EQ(countEntries("/proc/self/fd"), descriptors);
    const qsizetype before = m_recorder->events().size();
    QTest::qWait(300);
    const auto &events = m_recorder->events();
    ASSERT_EQ(events.size(), before + 1);
    EXPECT_EQ(events.last().id, Id::OnPingStr);
    EXPECT_TRUE(events.last().text.contains(QStringLiteral("ping statistics")));
}

TEST_P(LoopbackTest, HandlersMayCallBackIntoTheControl)
{
    put(DispId::Continuous, 1);
    // Stop from inside the first OnPing, and read properties there.
    QObject::connect(m_control->events(), &PingEvents::OnPing, m_control.get(), [this] {
        EXPECT_NE(get(DispId::Active), DispValue(0));
        put(DispId::Active, 0);
        EXPECT_EQ(get(DispId::Active), DispValue(0));
    });
    ASSERT_TRUE(ping().ok());
    ASSERT_TRUE(waitUntilIdle());
    QTest::qWait(200);
    EXPECT_EQ(m_recorder->of(Id::OnPing).size(), 1);
    EXPECT_TRUE(m_recorder->events().last().text.contains(QStringLiteral("ping statistics")));
}

TEST_P(LoopbackTest, PingDuringARunStartsOverAndAnnouncesIt)
{
    put(DispId::Continuous, 1);
    ASSERT_TRUE(ping().ok());
    ASSERT_TRUE(waitForReplies(1));
    put(DispId::Continuous, 0);
    put(DispId::Count, 1);
    ASSERT_TRUE(ping().ok());
    ASSERT_TRUE(waitUntilIdle());
    QTest::qWait(100);
    // The first run's closing statistics, then the second run from its header.
    const QString all = m_recorder->allText();
    const qsizetype firstStats = all.indexOf(QStringLiteral("ping statistics"));
    const qsizetype secondHeader = all.indexOf(QStringLiteral("PING "), 1);
    ASSERT_GT(firstStats, 0);
    EXPECT_GT(secondHeader, firstStats);
    EXPECT_TRUE(all.trimmed().endsWith(QStringLiteral("ms")));
    EXPECT_EQ(all.count(QStringLiteral("ping statistics")), 2);
}

TEST_P(LoopbackTest, DestroyingTheControlMidRunLeavesNothingBehind)
{
    const int descriptors = countEntries("/proc/self/fd");
    const int threads = countEntries("/proc/self/task");
    put(DispId::Continuous, 1);
    ASSERT_TRUE(ping().ok());
    ASSERT_TRUE(waitForReplies(2));
    m_recorder.reset();
    m_control.reset();
    QTest::qWait(100);
    EXPECT_EQ(countEntries("/proc/self/fd"), descriptors);
    EXPECT_EQ(countEntries("/proc/self/task"), threads);
}

// Only 127.0.0.1 is sure to have a name in /etc/hosts.
class ReverseNameTest : public LoopbackTest
{
};

TEST_P(ReverseNameTest, HostNameIsTheReverseNameWhenAsked)
{
    put(DispId::Count, 1);
    put(DispId::ResolveAddresses, 1);
    ASSERT_TRUE(ping().ok());
    EXPECT_FALSE(get(DispId::HostName).toText().isEmpty());
    EXPECT_EQ(get(DispId::IpAddress), DispValue(host()));
    ASSERT_TRUE(waitUntilIdle());
}

INSTANTIATE_TEST_SUITE_P(Loopback, LoopbackTest, ::testing::Values("127.0.0.1", "::1"),
                         [](const auto &info) { return std::string(info.index == 0 ? "V4" : "V6"); });
INSTANTIATE_TEST_SUITE_P(Loopback, ReverseNameTest, ::testing::Values("127.0.0.1"),
                         [](const auto &) { return std::string("V4"); });
