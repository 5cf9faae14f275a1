// The engine's rules of scheduling, matching and ending runs, on a fake
// clock and a fake network: every instant is exact, nothing waits.
#include "fakeclock.h"
#include "fakenetwork.h"
#include "icmpmessage.h"
#include "pingengine.h"
#include "qtprinters.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cerrno>

namespace {

constexpr qint64 s = FakeClock::Second;
constexpr qint64 ms = FakeClock::Millisecond;
constexpr qint64 us = FakeClock::Microsecond;

const char *familyName(IpFamily family)
{
    return family == IpFamily::IPv4 ? "V4" : "V6";
}

class PingEngineTest : public ::testing::TestWithParam<IpFamily>
{
protected:
    PingEngineTest()
    {
        m_settings.count = 4;
        m_settings.timeout = 1000;
        m_settings.intervalMs = 1000;
        QObject::connect(&engine, &PingEngine::started, [this] { log << QStringLiteral("started"); });
        QObject::connect(&engine, &PingEngine::replied, [this](const ProbeEvent &reply, qint64 rttNs) {
            log << QStringLiteral("reply %1 %2us").arg(reply.sequence).arg(rttNs / us);
        });
        QObject::connect(&engine, &PingEngine::duplicateReplied, [this](const ProbeEvent &reply, qint64 rttNs) {
            log << QStringLiteral("duplicate %1 %2us").arg(reply.sequence).arg(rttNs / us);
        });
        QObject::connect(&engine, &PingEngine::timedOut,
                         [this](quint16 sequence) { log << QStringLiteral("timeout %1").arg(sequence); });
        QObject::connect(&engine, &PingEngine::requestFailed, [this](const ProbeEvent &error) {
            log << QStringLiteral("error %1 type %2").arg(error.sequence).arg(error.icmpType);
        });
        QObject::connect(&engine, &PingEngine::transmitFailed, [this](quint16 sequence, int errnoValue) {
            log << QStringLiteral("unsent %1 errno %2").arg(sequence).arg(errnoValue);
        });
        QObject::connect(&engine, &PingEngine::proberFailed,
                         [this](const QString &why) { log << QStringLiteral("failed: ") + why; });
        QObject::connect(&engine, &PingEngine::finished, [this] { log << QStringLiteral("finished"); });
    }

    IpFamily family() const { return GetParam(); }
    HostAddress target() const
    {
        return family() == IpFamily::IPv4 ? HostAddress(QStringLiteral("192.0.2.7"))
                                          : HostAddress(QStringLiteral("2001:db8::7"));
    }
    qint64 t0() const { return m_t0; }

    void start()
    {
        m_t0 = clock.monotonicNs();
        const auto error = engine.start(m_settings, {target().toString(), {}, target()});
        ASSERT_FALSE(error.has_value()) << qPrintable(*error);
    }
    // Lets the engine read what arrived, as the event loop would.
    static void processEvents() { QCoreApplication::processEvents(); }
    // The reply to the nth request sent (from 0), stamped at that instant.
    void replyAt(int n, qint64 monotonicNs)
    {
        network.arrive(network.replyTo(network.sent().at(n)), monotonicNs);
    }
    const FakeNetwork::Sent &request(int n) const { return network.sent().at(n); }

    FakeClock clock;
    FakeNetwork network{clock, GetParam()};
    PingEngine engine{network.opener(), clock};
    PingSettings m_settings;
    QStringList log;

private:
    qint64 m_t0 = 0;
};

} // namespace

TEST_P(PingEngineTest, RequestsGoOneIntervalApartFromTheirSends)
{
    start();
    ASSERT_EQ(network.sent().size(), 1);
    EXPECT_EQ(request(0).at.monotonicNs, t0());
    EXPECT_EQ(request(0).sequence, 1);
    EXPECT_EQ(request(0).target, target());
    EXPECT_EQ(request(0).payload.size(), 32);
    EXPECT_EQ(request(0).hopLimit, 60);

    // A reply after 20 ms does not bring the next request forward.
    clock.advance(20 * ms);
    replyAt(0, clock.monotonicNs());
    processEvents();
    EXPECT_EQ(network.sent().size(), 1);
    clock.advanceTo(t0() + 1 * s - 1);
    EXPECT_EQ(network.sent().size(), 1);
    clock.advanceTo(t0() + 1 * s);
    ASSERT_EQ(network.sent().size(), 2);
    EXPECT_EQ(request(1).at.monotonicNs, t0() + 1 * s);
    EXPECT_EQ(request(1).sequence, 2);
    EXPECT_NE(request(1).payload, request(0).payload);
    EXPECT_EQ(log, QStringList({"started", "reply 1 20000us"}));
}

TEST_P(PingEngineTest, ARunEndsWithItsCountAndAContinuousOneOnlyWhenStopped)
{
    start();
    for (int n = 0; n < 4; ++n) {
        replyAt(n, request(n).at.monotonicNs + 5 * ms);
        processEvents();
        clock.advance(1 * s);
    }
    EXPECT_EQ(network.sent().size(), 4);
    EXPECT_FALSE(engine.isActive());
    EXPECT_FALSE(network.isOpen());
    EXPECT_EQ(log.last(), QStringLiteral("finished"));
    EXPECT_EQ(log.count(QStringLiteral("finished")), 1);
    EXPECT_EQ(engine.run()->statistics().received(), 4);

    m_settings.continuous = 1;
    m_settings.count = 1;
    start();
    clock.advance(30 * s);
    EXPECT_TRUE(engine.isActive());
    EXPECT_EQ(network.sent().size(), 4 + 31);
    engine.stop();
    EXPECT_FALSE(engine.isActive());
    EXPECT_FALSE(network.isOpen());
    clock.advance(10 * s);
    EXPECT_EQ(network.sent().size(), 4 + 31);
}

TEST_P(PingEngineTest, ARequestTimesOutAtItsDeadlineAndNotBefore)
{
    m_settings.timeout = 2500; // longer than the interval
    start();
    clock.advanceTo(t0() + 2500 * ms - 1);
    EXPECT_EQ(log, QStringList({"started"}));
    EXPECT_EQ(network.sent().size(), 1);
    clock.advanceTo(t0() + 2500 * ms);
    EXPECT_EQ(log, QStringList({"started", "timeout 1"}));
    // The interval passed long ago: the next request goes at once.
    ASSERT_EQ(network.sent().size(), 2);
    EXPECT_EQ(request(1).at.monotonicNs, t0() + 2500 * ms);
}

TEST_P(PingEngineTest, AReplyReceivedInTimeCountsHoweverLateItIsRead)
{
    start();
    // The kernel stamped it at 990 ms; the UI thread was busy until the deadline.
    replyAt(0, t0() + 990 * ms);
    clock.advanceTo(t0() + 1000 * ms);
    EXPECT_EQ(log, QStringList({"started", "reply 1 990000us"}));
    EXPECT_EQ(network.unread(), 0);
}

TEST_P(PingEngineTest, AReplyReceivedAfterItsDeadlineIsLate)
{
    start();
    replyAt(0, t0() + 1000 * ms + 1);
    clock.advanceTo(t0() + 1000 * ms);
    processEvents();
    clock.runDue();
    EXPECT_EQ(log, QStringList({"started", "timeout 1"}));
    // A copy that comes even later changes nothing either.
    replyAt(0, t0() + 1500 * ms);
    processEvents();
    EXPECT_EQ(log, QStringList({"started", "timeout 1"}));
    EXPECT_EQ(engine.run()->statistics().lost(), 1);
    EXPECT_EQ(engine.run()->statistics().received(), 0);
}

TEST_P(PingEngineTest, AnEarlyDeadlineAlarmWaitsForTheRest)
{
    // A timer may fire before its instant (the system rounds to whole
    // milliseconds, or wakes early): the deadline holds all the same.
    start();
    const qint64 deadline = t0() + 1000 * ms;
    ASSERT_EQ(clock.nextAlarm(), deadline);
    ASSERT_TRUE(clock.fireNextAlarmEarly(300 * us));
    EXPECT_EQ(log, QStringList({"started"}));
    EXPECT_EQ(clock.nextAlarm(), deadline);
    // A reply stamped in the last 300 us still counts.
    replyAt(0, deadline - 100 * us);
    clock.advanceTo(deadline);
    EXPECT_EQ(log, QStringList({"started", "reply 1 999900us"}));
}

TEST_P(PingEngineTest, DuplicatesAreCountedOnceAndNeverAsASecondReply)
{
    start();
    replyAt(0, t0() + 10 * ms);
    replyAt(0, t0() + 11 * ms);
    replyAt(0, t0() + 12 * ms);
    clock.advance(12 * ms);
    processEvents();
    EXPECT_EQ(log, QStringList({"started", "reply 1 10000us", "duplicate 1 11000us", "duplicate 1 12000us"}));
    EXPECT_EQ(engine.run()->statistics().received(), 1);
    EXPECT_EQ(engine.run()->statistics().duplicates(), 2);
}

TEST_P(PingEngineTest, ForeignCorruptedAndMisdirectedRepliesAreDropped)
{
    start();
    ProbeEvent foreign = network.replyTo(request(0));
    foreign.identifier = quint16(network.identifier() + 1);
    ProbeEvent corrupted = network.replyTo(request(0));
    corrupted.payload[0] = char(corrupted.payload[0] ^ 1);
    ProbeEvent stranger = network.replyTo(request(0));
    stranger.source = family() == IpFamily::IPv4 ? HostAddress(QStringLiteral("192.0.2.8"))
                                                 : HostAddress(QStringLiteral("2001:db8::8"));
    ProbeEvent unsent = network.replyTo(request(0));
    unsent.sequence = 2;
    for (const ProbeEvent &event : {foreign, corrupted, stranger, unsent})
        network.arrive(event, t0() + 5 * ms);
    clock.advance(5 * ms);
    processEvents();
    EXPECT_EQ(log, QStringList({"started"}));
    replyAt(0, t0() + 6 * ms);
    clock.advance(1 * ms);
    processEvents();
    EXPECT_EQ(log, QStringList({"started", "reply 1 6000us"}));
}

TEST_P(PingEngineTest, AnErrorEndsTheRequestUnlessItQuotesAnotherDestination)
{
    const quint8 unreachable = family() == IpFamily::IPv4 ? quint8(Icmp4::DestinationUnreachable)
                                                          : quint8(Icmp6::DestinationUnreachable);
    start();
    ProbeEvent forged = network.errorAbout(request(0), unreachable, 1);
    forged.quotedDestination = HostAddress(family() == IpFamily::IPv4 ? QStringLiteral("192.0.2.99")
                                                                      : QStringLiteral("2001:db8::99"));
    network.arrive(forged, t0() + 1 * ms);
    processEvents();
    EXPECT_EQ(log, QStringList({"started"}));

    network.arrive(network.errorAbout(request(0), unreachable, 1), t0() + 2 * ms);
    clock.advance(2 * ms);
    processEvents();
    EXPECT_EQ(log, QStringList({"started", QStringLiteral("error 1 type %1").arg(unreachable)}));
    EXPECT_EQ(engine.run()->statistics().errors(), 1);
    // The deadline is off: no time-out for the request that failed.
    clock.advanceTo(t0() + 1 * s);
    EXPECT_EQ(log.count(QStringLiteral("timeout 1")), 0);
    EXPECT_EQ(network.sent().size(), 2);
}

TEST_P(PingEngineTest, AFailedSendIsRetriedOnceAfterReadingTheQueues)
{
    start();
    replyAt(0, t0() + 3 * ms);
    processEvents();
    // The next send fails once, as when an earlier error left its errno
    // pending: the retry goes out and nothing is reported.
    network.failSends(1, EHOSTUNREACH);
    clock.advanceTo(t0() + 1 * s);
    ASSERT_EQ(network.sent().size(), 2);
    EXPECT_EQ(request(1).sequence, 2);
    EXPECT_EQ(log.filter(QStringLiteral("unsent")).size(), 0);

    // A send that fails twice is this request's own failure: reported, counted
    // as lost, and the run goes on one interval later.
    network.failSends(2, ENETUNREACH);
    clock.advanceTo(t0() + 2 * s);
    EXPECT_EQ(log.last(), QStringLiteral("unsent 3 errno %1").arg(ENETUNREACH));
    EXPECT_EQ(network.sent().size(), 2);
    clock.advanceTo(t0() + 3 * s);
    ASSERT_EQ(network.sent().size(), 3);
    EXPECT_EQ(request(2).sequence, 4);
    EXPECT_EQ(engine.run()->statistics().lost(), 2); // 2 timed out, 3 unsent
}

TEST_P(PingEngineTest, AWallClockStepChangesNeitherRoundTripsNorDeadlines)
{
    start();
    clock.advance(10 * ms);
    clock.stepWallClock(2 * s);
    replyAt(0, t0() + 30 * ms);
    clock.advance(20 * ms);
    processEvents();
    EXPECT_EQ(log, QStringList({"started", "reply 1 30000us"}));

    clock.advanceTo(t0() + 1 * s);
    clock.stepWallClock(-5 * s);
    replyAt(1, t0() + 1 * s + 40 * ms);
    clock.advance(40 * ms);
    processEvents();
    EXPECT_EQ(log.last(), QStringLiteral("reply 2 40000us"));
}

TEST_P(PingEngineTest, StopEndsTheRunAtOnceAndDropsTheRequestInFlight)
{
    start();
    clock.advance(300 * ms);
    engine.stop();
    EXPECT_EQ(log, QStringList({"started", "finished"}));
    EXPECT_FALSE(network.isOpen());
    EXPECT_EQ(engine.run()->statistics().sent(), 0);
    // Nothing more: no time-out, no next request, and a late reply is not read.
    replyAt(0, t0() + 400 * ms);
    processEvents();
    clock.advance(5 * s);
    EXPECT_EQ(log, QStringList({"started", "finished"}));
    EXPECT_EQ(network.sent().size(), 1);
    // Stopping again does nothing.
    engine.stop();
    EXPECT_EQ(log.count(QStringLiteral("finished")), 1);
}

TEST_P(PingEngineTest, AListenerMayStopTheRunFromInsideASignal)
{
    QObject::connect(&engine, &PingEngine::replied, [this] { engine.stop(); });
    start();
    replyAt(0, t0() + 1 * ms);
    replyAt(0, t0() + 2 * ms); // still unread when the run stops
    clock.advance(2 * ms);
    processEvents();
    EXPECT_EQ(log, QStringList({"started", "reply 1 1000us", "finished"}));
    EXPECT_FALSE(network.isOpen());
    clock.advance(5 * s);
    processEvents();
    EXPECT_EQ(network.sent().size(), 1);
}

TEST_P(PingEngineTest, AStartDuringARunEndsTheOldOneFirst)
{
    start();
    clock.advance(100 * ms);
    start();
    EXPECT_EQ(log, QStringList({"started", "finished", "started"}));
    EXPECT_EQ(network.opened(), 2);
    EXPECT_TRUE(network.isOpen());
    // The old run's reply is another run's: its payload differs.
    ProbeEvent old = network.replyTo(request(0));
    old.sequence = request(1).sequence;
    network.arrive(old, clock.monotonicNs());
    processEvents();
    EXPECT_EQ(log.size(), 3);
}

TEST_P(PingEngineTest, NoSocketOrNoHopLimitMeansNoRun)
{
    network.refuse(QStringLiteral("no ICMP socket for you"));
    const auto refused = engine.start(m_settings, {target().toString(), {}, target()});
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(*refused, QStringLiteral("no ICMP socket for you"));
    EXPECT_FALSE(engine.isActive());
    EXPECT_TRUE(log.isEmpty());

    FakeNetwork strict(clock, family());
    strict.refuseHopLimit();
    PingEngine other(strict.opener(), clock);
    const auto noTtl = other.start(m_settings, {target().toString(), {}, target()});
    ASSERT_TRUE(noTtl.has_value());
    EXPECT_EQ(*noTtl, QStringLiteral("Could not set the time to live to 60."));
    EXPECT_FALSE(other.isActive());
    EXPECT_FALSE(strict.isOpen());
}

// Transmit timestamps: the kernel handed each request to the device some
// tens of microseconds after the clock was read before the send.
TEST_P(PingEngineTest, ARoundTripStartsAtTheKernelsTransmitStampWhereOneCame)
{
    network.askForSendStamps(true);
    start();
    EXPECT_TRUE(engine.asksForSendStamps());
    network.arrive(network.sendStampOf(request(0), t0() + 40 * us), t0() + 40 * us);
    replyAt(0, t0() + 20 * ms);
    clock.advance(20 * ms);
    processEvents();
    EXPECT_EQ(log, QStringList({"started", "reply 1 19960us"}));

    // Read after the reply, the stamp still gives the start: the reply waits for it.
    clock.advanceTo(t0() + 1 * s);
    replyAt(1, t0() + 1 * s + 5 * ms);
    clock.advance(5 * ms);
    processEvents();
    EXPECT_EQ(log.size(), 2);
    EXPECT_EQ(network.sent().size(), 2);
    network.arrive(network.sendStampOf(request(1), t0() + 1 * s + 30 * us), t0() + 1 * s + 30 * us);
    processEvents();
    EXPECT_EQ(log.last(), QStringLiteral("reply 2 4970us"));
    EXPECT_EQ(engine.run()->statistics().received(), 2);
    EXPECT_EQ(engine.run()->statistics().minNs(), 4970 * us);
}

// On a near path the kernel has stamped the request, and the reply is in,
// by the time sendto returns.
TEST_P(PingEngineTest, WhatCameInWithASendIsTakenAtOnceExceptInsideStart)
{
    network.askForSendStamps(true);
    // The fake clock stands still during a send: stamp and reply carry its
    // instant, and the round trip is 0.
    network.answerSends([this](const FakeNetwork::Sent &sent) {
        network.arrive(network.sendStampOf(sent, sent.at.monotonicNs), sent.at.monotonicNs);
        network.arrive(network.replyTo(sent), sent.at.monotonicNs);
    });
    m_settings.count = 3;
    start();
    // The run does not move on inside the call that starts it.
    EXPECT_EQ(log, QStringList{"started"});
    EXPECT_EQ(network.unread(), 2);
    processEvents();
    EXPECT_EQ(log, QStringList({"started", "reply 1 0us"}));

    // A send that falls due takes its stamp and reply with it, before the
    // event loop turns.
    clock.advanceTo(t0() + 1 * s);
    EXPECT_EQ(network.unread(), 0);
    EXPECT_EQ(log, QStringList({"started", "reply 1 0us", "reply 2 0us"}));
    clock.advanceTo(t0() + 2 * s);
    EXPECT_EQ(log, QStringList({"started", "reply 1 0us", "reply 2 0us", "reply 3 0us", "finished"}));
    EXPECT_FALSE(network.isOpen());
}

TEST_P(PingEngineTest, WithoutAStampInTimeTheSendTimeIsTheClockReadBeforeIt)
{
    network.askForSendStamps(true);
    start();
    replyAt(0, t0() + 20 * ms);
    clock.advance(20 * ms);
    processEvents();
    EXPECT_EQ(log, QStringList({"started"}));
    clock.advance(PingEngine::SendStampWaitNs - 1);
    EXPECT_EQ(log, QStringList({"started"}));
    clock.advance(1);
    EXPECT_EQ(log, QStringList({"started", "reply 1 20000us"}));
    // A stamp that turns up after all changes nothing.
    network.arrive(network.sendStampOf(request(0), t0() + 50 * us), clock.monotonicNs());
    processEvents();
    EXPECT_EQ(log.size(), 2);
    EXPECT_EQ(engine.run()->statistics().maxNs(), 20 * ms);

    // The run has stopped waiting: the next reply is reported as it is read,
    // though a stamp read before it is still taken.
    clock.advanceTo(t0() + 1 * s);
    replyAt(1, t0() + 1 * s + 7 * ms);
    clock.advance(7 * ms);
    processEvents();
    EXPECT_EQ(log.last(), QStringLiteral("reply 2 7000us"));
    clock.advanceTo(t0() + 2 * s);
    network.arrive(network.sendStampOf(request(2), t0() + 2 * s + 60 * us), t0() + 2 * s + 60 * us);
    replyAt(2, t0() + 2 * s + 3 * ms);
    clock.advance(3 * ms);
    processEvents();
    EXPECT_EQ(log.last(), QStringLiteral("reply 3 2940us"));
}

TEST_P(PingEngineTest, OnlyAStampOfTheRequestInFlightAndAfterItsSendCounts)
{
    network.askForSendStamps(true);
    start();
    ProbeEvent another = network.sendStampOf(request(0), t0() + 10 * us);
    another.sequence = 2;
    ProbeEvent foreign = network.sendStampOf(request(0), t0() + 10 * us);
    foreign.identifier = quint16(network.identifier() + 1);
    // Before the clock read of its send: the wall clock stepped, or the stamp is of another send.
    const ProbeEvent early = network.sendStampOf(request(0), t0() - 1);
    for (const ProbeEvent &stamp : {another, foreign, early})
        network.arrive(stamp, t0() + 10 * us);
    replyAt(0, t0() + 8 * ms);
    clock.advance(8 * ms);
    processEvents();
    clock.advance(PingEngine::SendStampWaitNs);
    EXPECT_EQ(log, QStringList({"started", "reply 1 8000us"}));
}

TEST_P(PingEngineTest, ADuplicateOrAStopEndsTheWaitForAStampWithTheReplyFirst)
{
    network.askForSendStamps(true);
    m_settings.continuous = 1;
    start();
    replyAt(0, t0() + 10 * ms);
    replyAt(0, t0() + 11 * ms);
    clock.advance(11 * ms);
    processEvents();
    EXPECT_EQ(log, QStringList({"started", "reply 1 10000us", "duplicate 1 11000us"}));
    EXPECT_EQ(engine.run()->statistics().received(), 1);

    // The first reply without a stamp stopped the waiting: let a new run wait again.
    start();
    const qint64 t1 = t0();
    replyAt(1, t1 + 4 * ms);
    clock.advance(4 * ms);
    processEvents();
    EXPECT_EQ(log.last(), QStringLiteral("started"));
    engine.stop();
    EXPECT_EQ(log.mid(log.size() - 2), QStringList({"reply 1 4000us", "finished"}));
    EXPECT_EQ(engine.run()->statistics().received(), 1);
}

// A prober that starts another process first, as the ICMP helper's does.
TEST_P(PingEngineTest, ARunWaitsForItsProberToBeReadyAndEndsQuietlyWhenItNeverIs)
{
    network.startLater(true);
    start();
    EXPECT_TRUE(engine.isActive());
    EXPECT_TRUE(engine.isStarting());
    EXPECT_EQ(engine.run(), nullptr);
    clock.advance(100 * ms);
    EXPECT_TRUE(network.sent().isEmpty());
    network.becomeReady();
    processEvents();
    EXPECT_FALSE(engine.isStarting());
    ASSERT_EQ(network.sent().size(), 1);
    EXPECT_EQ(request(0).at.monotonicNs, t0() + 100 * ms);
    EXPECT_EQ(log, QStringList({"started"}));
    engine.stop();

    // One that refuses: its word, and no run (the last one stays the last).
    log.clear();
    const RunState *last = engine.run();
    start();
    network.failProber(QStringLiteral("no capability"));
    processEvents();
    EXPECT_FALSE(engine.isActive());
    EXPECT_EQ(engine.run(), last);
    EXPECT_FALSE(network.isOpen());
    EXPECT_EQ(log, QStringList({"failed: no capability"}));

    // One that says nothing at all is given up, and closed.
    log.clear();
    start();
    clock.advance(PingEngine::ProberStartLimitNs - 1);
    EXPECT_TRUE(engine.isActive());
    clock.advance(1);
    EXPECT_FALSE(engine.isActive());
    EXPECT_FALSE(network.isOpen());
    EXPECT_EQ(log, QStringList({"failed: silent while starting"}));
}

TEST_P(PingEngineTest, AHandedOnSendTimesOutFromWhenItWentOutAndASilentProberEndsTheRun)
{
    network.confirmLater(true);
    m_settings.continuous = 1;
    start();
    // It went out 300 ms after it was handed on: its time-out runs from then.
    clock.advance(1 * s);
    EXPECT_EQ(log, QStringList({"started"}));
    network.confirm(request(0), t0() + 300 * ms);
    processEvents();
    clock.advanceTo(t0() + 1300 * ms - 1);
    EXPECT_EQ(log, QStringList({"started"}));
    clock.advanceTo(t0() + 1300 * ms);
    EXPECT_EQ(log, QStringList({"started", "timeout 1"}));

    // Refused by the prober: as a send that failed.
    ASSERT_EQ(network.sent().size(), 2);
    network.refuseSend(request(1), EAGAIN);
    processEvents();
    EXPECT_EQ(log.last(), QStringLiteral("unsent 2 errno %1").arg(EAGAIN));

    // Nothing said of a send for the limit: one failure, and the run ends.
    clock.advanceTo(request(1).at.monotonicNs + 1 * s);
    ASSERT_EQ(network.sent().size(), 3);
    clock.advanceTo(request(2).at.monotonicNs + PingEngine::ProberAnswerLimitNs - 1);
    EXPECT_TRUE(engine.isActive());
    clock.advance(1);
    EXPECT_FALSE(engine.isActive());
    EXPECT_FALSE(network.isOpen());
    EXPECT_EQ(log.mid(3), QStringList({"failed: silent about a send", "finished"}));
    EXPECT_EQ(engine.run()->statistics().sent(), 2);

    // A prober that fails mid-run: the same, at once.
    log.clear();
    start();
    network.confirm(request(3), clock.monotonicNs());
    network.failProber(QStringLiteral("it went"));
    processEvents();
    EXPECT_FALSE(engine.isActive());
    EXPECT_EQ(log, QStringList({"started", "failed: it went", "finished"}));
}

TEST_P(PingEngineTest, AGroupAddressIsAnsweredByEveryHostTheFirstAnswerCounting)
{
    network.setTargetKind(TargetKind::Multicast);
    start();
    ProbeEvent first = network.replyTo(request(0));
    first.source = family() == IpFamily::IPv4 ? HostAddress(QStringLiteral("192.0.2.8"))
                                              : HostAddress(QStringLiteral("2001:db8::8"));
    ProbeEvent second = first;
    second.source = target();
    network.arrive(first, t0() + 2 * ms);
    network.arrive(second, t0() + 3 * ms);
    clock.advance(3 * ms);
    processEvents();
    EXPECT_EQ(log, QStringList({"started", "reply 1 2000us", "duplicate 1 3000us"}));
    EXPECT_EQ(engine.run()->target().kind, TargetKind::Multicast);
}

TEST_P(PingEngineTest, ABroadcastAddressIsPingedOnlyWhenAllowedAndNoFasterThanTheProberServes)
{
    network.setTargetKind(TargetKind::Broadcast);
    const auto refused = engine.start(m_settings, {target().toString(), {}, target()});
    ASSERT_TRUE(refused.has_value());
    EXPECT_TRUE(refused->contains(QStringLiteral("is a broadcast address"))) << qPrintable(*refused);
    EXPECT_FALSE(engine.isActive());
    EXPECT_FALSE(network.isOpen());

    m_settings.allowBroadcast = true;
    m_settings.intervalMs = 10;
    m_settings.timeout = 5;
    network.setMinimumIntervalNs(1 * s);
    start();
    EXPECT_TRUE(network.broadcastAllowed());
    clock.advance(999 * ms);
    EXPECT_EQ(network.sent().size(), 1);
    clock.advance(1 * ms);
    EXPECT_EQ(network.sent().size(), 2);
}

INSTANTIATE_TEST_SUITE_P(Fake, PingEngineTest, ::testing::Values(IpFamily::IPv4, IpFamily::IPv6),
                         [](const auto &info) { return std::string(familyName(info.param)); });
