// The Pinger's promises to its users, on a fake clock and network: one result
// per request in sequence order, finished() last with the figures final, and
// nothing from inside start().
#include "fakeclock.h"
#include "fakenetwork.h"
#include "gatedlookup.h"
#include "icmptypes.h"
#include "pinger_p.h"
#include "qtprinters.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>

using Tarvix::Pinger;
using Tarvix::PingResult;

namespace {

constexpr qint64 ms = FakeClock::Millisecond;

class PingerTest : public ::testing::Test
{
protected:
    PingerTest()
    {
        pinger->setCount(3);
        QObject::connect(pinger.get(), &Pinger::activeChanged,
                         [this](bool active) { log << QStringLiteral("active %1").arg(active); });
        QObject::connect(pinger.get(), &Pinger::resultReady, [this](const PingResult &result) {
            log << QStringLiteral("result %1 %2").arg(result.sequence()).arg(outcomeName(result.outcome()));
        });
        QObject::connect(pinger.get(), &Pinger::errorOccurred,
                         [this](Pinger::Error error) { log << QStringLiteral("error %1").arg(int(error)); });
        QObject::connect(pinger.get(), &Pinger::finished, [this] {
            log << QStringLiteral("finished");
            atFinish = pinger->statistics();
        });
    }

    static const char *outcomeName(PingResult::Outcome outcome)
    {
        switch (outcome) {
        case PingResult::Reply: return "reply";
        case PingResult::Timeout: return "timeout";
        case PingResult::Error: return "error";
        }
        return "?";
    }
    // Lets the lookup and the event loop's queue run until the first request is out.
    void startAndWaitForTheFirstSend(const QString &host)
    {
        pinger->start(host);
        for (int turn = 0; turn < 200 && network.sent().isEmpty() && pinger->isActive(); ++turn)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }

    FakeClock clock;
    FakeNetwork network{clock, IpFamily::IPv4};
    std::unique_ptr<Pinger> pinger{Tarvix::PingerPrivate::create(network.opener(), clock)};
    QStringList log;
    Tarvix::PingStatistics atFinish;
};

} // namespace

TEST_F(PingerTest, ResultsComeOnePerRequestInOrderAndFinishedLastWithTheFinalFigures)
{
    startAndWaitForTheFirstSend(QStringLiteral("192.0.2.7"));
    ASSERT_EQ(network.sent().size(), 1) << qPrintable(log.join(u'\n'));
    EXPECT_EQ(pinger->ipAddress(), QStringLiteral("192.0.2.7"));

    QList<PingResult> results;
    QObject::connect(pinger.get(), &Pinger::resultReady, [&](const PingResult &result) { results << result; });
    // 1: a reply after 1.234567 ms; 2: nothing; 3: a router says the host is unreachable.
    const qint64 sentAt = network.sent().at(0).at.realtimeNs;
    clock.advance(2 * ms);
    network.arrive(network.replyTo(network.sent().at(0)), network.sent().at(0).at.monotonicNs + 1234567);
    QCoreApplication::processEvents();
    clock.advance(998 * ms);
    clock.advance(1000 * ms);
    ASSERT_EQ(network.sent().size(), 3);
    network.arrive(network.errorAbout(network.sent().at(2), Icmp::V4::DestinationUnreachable, 1),
                   network.sent().at(2).at.monotonicNs + 3 * ms);
    QCoreApplication::processEvents();
    clock.advance(1000 * ms);

    EXPECT_EQ(log, QStringList({"active 1", "result 1 reply", "result 2 timeout", "result 3 error", "active 0",
                                "finished"}));
    ASSERT_EQ(results.size(), 3);
    EXPECT_EQ(results[0].roundTrip(), std::chrono::nanoseconds(1234567));
    EXPECT_DOUBLE_EQ(results[0].roundTripMs(), 1.234567);
    EXPECT_EQ(results[0].address(), QStringLiteral("192.0.2.7"));
    EXPECT_EQ(results[0].bytes(), 32);
    EXPECT_EQ(results[0].sentAt().toMSecsSinceEpoch(), sentAt / 1000000);
    EXPECT_EQ(results[0].sentAt().timeSpec(), Qt::UTC);
    EXPECT_TRUE(results[0].errorText().isEmpty());
    EXPECT_EQ(results[1].roundTrip(), std::chrono::nanoseconds(0));
    EXPECT_FALSE(results[2].errorText().isEmpty());
    EXPECT_EQ(results[2].line(), results[2].errorText());
    EXPECT_FALSE(results[2].line().endsWith(u'\n'));

    EXPECT_EQ(atFinish.sent(), 3);
    EXPECT_EQ(atFinish.received(), 1);
    EXPECT_EQ(atFinish.errors(), 1);
    EXPECT_DOUBLE_EQ(atFinish.loss(), 2.0 / 3.0);
    EXPECT_EQ(atFinish.minimum(), std::chrono::nanoseconds(1234567));
    EXPECT_EQ(pinger->error(), Pinger::NoError);
    EXPECT_FALSE(pinger->isActive());
}

TEST_F(PingerTest, AStopFromAResultEndsTheRunWithThatResultCounted)
{
    QObject::connect(pinger.get(), &Pinger::resultReady, pinger.get(), &Pinger::stop);
    startAndWaitForTheFirstSend(QStringLiteral("192.0.2.7"));
    clock.advance(2 * ms);
    network.arrive(network.replyTo(network.sent().at(0)), network.sent().at(0).at.monotonicNs + 2 * ms);
    QCoreApplication::processEvents();
    clock.advance(5000 * ms);
    EXPECT_EQ(log, QStringList({"active 1", "result 1 reply", "active 0", "finished"}));
    EXPECT_EQ(atFinish.received(), 1);
    EXPECT_EQ(network.sent().size(), 1);
}

TEST_F(PingerTest, RefusalsComeFromTheEventLoopAsAnErrorAndThenFinished)
{
    struct Case
    {
        const char *host;
        int count;
        bool refuseSocket;
        Pinger::Error error;
    };
    for (const Case &c : {Case{"192.0.2.7", 0, false, Pinger::InvalidSetting},
                          Case{"", 3, false, Pinger::HostNotFound},
                          Case{"127.1", 3, false, Pinger::HostNotFound},
                          Case{"192.0.2.7", 3, true, Pinger::PermissionDenied}}) {
        SCOPED_TRACE(c.host);
        log.clear();
        pinger->setCount(c.count);
        if (c.refuseSocket)
            network.refuse(QStringLiteral("no ICMP socket for you"));
        pinger->start(QString::fromLatin1(c.host));
        // Only the start itself is told from inside start().
        EXPECT_EQ(log, QStringList({"active 1"}));
        EXPECT_TRUE(pinger->isActive());
        for (int turn = 0; turn < 200 && pinger->isActive(); ++turn)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        EXPECT_EQ(log, QStringList({"active 1", QStringLiteral("error %1").arg(int(c.error)), "active 0", "finished"}));
        EXPECT_EQ(pinger->error(), c.error);
        EXPECT_FALSE(pinger->errorString().isEmpty());
        EXPECT_FALSE(pinger->errorString().endsWith(u'\n'));
    }
    EXPECT_TRUE(network.sent().isEmpty());
}

TEST_F(PingerTest, AStopWhileTheHostIsLookedUpEndsTheStartAndItsLateAnswerIsDropped)
{
    GatedLookup slow(GatedLookup::resolvedTo(QStringLiteral("slow.example"), "192.0.2.7"));
    Tarvix::PingerPrivate::get(pinger.get())->session->setHostLookup(slow.lookup());
    pinger->start(QStringLiteral("slow.example"));
    const QDeadlineTimer deadline(5000);
    while (slow.entered() == 0 && !deadline.hasExpired())
        QThread::msleep(1);
    ASSERT_EQ(slow.entered(), 1);
    // The window never waits for the resolver: start() has returned, and so does stop().
    pinger->stop();
    EXPECT_EQ(log, QStringList({"active 1", "active 0", "finished"}));
    EXPECT_FALSE(pinger->isActive());

    slow.open();
    ASSERT_TRUE(slow.waitUntilReturned(std::chrono::seconds(5)));
    for (int turn = 0; turn < 20; ++turn)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(log, QStringList({"active 1", "active 0", "finished"}));
    EXPECT_TRUE(network.sent().isEmpty());
    EXPECT_TRUE(pinger->ipAddress().isEmpty());
}
