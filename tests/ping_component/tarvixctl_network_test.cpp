// The control on real sockets against a test host of our own: a client and a
// host network namespace joined by veth, and a responder on the host that
// answers late, twice, wrongly or with errors as each test asks.
#include "eventrecorder.h"
#include "helperprober.h"
#include "pingengine.h"
#include "savedstate.h"
#include "tarvixctl.h"
#include "clientnetwork.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTimer>
#include <QRegularExpression>

#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <unistd.h>

using Tarvix::DispId;
using Tarvix::DispKind;
using Tarvix::DispResult;
using Tarvix::DispValue;
using Tarvix::PingEvents;

namespace {

using Id = PingEvents::Id;
using Family = IpFamily;

struct Path
{
    Family family;
    Prober::SocketKind kind;
};

std::string pathName(const Path &path)
{
    const char *kind = path.kind == Prober::SocketKind::Datagram ? "Datagram"
        : path.kind == Prober::SocketKind::Raw                   ? "Raw"
                                                                 : "Helper";
    return std::string(path.family == IpFamily::IPv4 ? "V4" : "V6") + kind;
}

Prober::Preference preferenceFor(Prober::SocketKind kind)
{
    switch (kind) {
    case Prober::SocketKind::Datagram:
        return Prober::Preference::DatagramOnly;
    case Prober::SocketKind::Raw:
        return Prober::Preference::RawOnly;
    case Prober::SocketKind::Helper:
        return Prober::Preference::HelperOnly;
    }
    return Prober::Preference::Auto;
}

// Round trips in ms from the component's own reply lines ("time=20.412 ms").
QList<double> lineTimes(const EventRecorder &recorder)
{
    static const QRegularExpression time(QStringLiteral("time=(\\d+\\.\\d{3}) ms"));
    QList<double> times;
    for (const auto &e : recorder.of(Id::OnPingStr)) {
        const auto match = time.match(e.text);
        if (match.hasMatch() && !e.text.contains(QStringLiteral("DUP!")))
            times.append(match.captured(1).toDouble());
    }
    return times;
}

class NetworkRunTest : public ::testing::TestWithParam<Path>
{
protected:
    void SetUp() override
    {
        // The datagram path needs the group range; the raw and helper paths
        // are pinned by forbidding it, so that Auto could not pick the
        // datagram socket.
        const bool datagram = GetParam().kind == Prober::SocketKind::Datagram;
        m_client.setUp(datagram ? 0 : 1, datagram ? 2147483647 : 0);
        if (IsSkipped() || HasFailure())
            return;
        m_network = &m_client.network();
        m_control = std::make_unique<TarvixCtl>();
        m_control->setSocketPreference(preferenceFor(GetParam().kind));
        m_control->setIntervalMs(100);
        m_recorder = std::make_unique<EventRecorder>(m_control->events());
    }

    void TearDown() override
    {
        m_recorder.reset();
        m_control.reset();
        m_client.tearDown();
    }

    Family family() const { return GetParam().family; }
    QString host() const { return TestNetwork::hostAddress(family()).toString(); }
    DispResult put(DispId id, qint32 v) { return m_control->invoke(qint32(id), DispKind::PropertyPut, {v}); }
    DispValue get(DispId id) { return m_control->invoke(qint32(id), DispKind::PropertyGet).value(); }
    void ping(const QString &target)
    {
        ASSERT_TRUE(m_control->invoke(qint32(DispId::Ping), DispKind::Method, {target}).ok());
    }
    bool waitUntilIdle(int ms = 10000)
    {
        // The run may end in the same turn of the event loop as its last
        // reply: what it queued is raised once it reads idle.
        const bool idle = QTest::qWaitFor([this] { return get(DispId::Active) == DispValue(0); }, ms);
        EventRecorder::deliverQueued();
        return idle;
    }
    void settle(int ms = 150) { QTest::qWait(ms); }
    QString statistics() const
    {
        const auto lines = m_recorder->of(Id::OnPingStr);
        return lines.isEmpty() ? QString() : lines.last().text;
    }

    ClientNetwork m_client;
    TestNetwork *m_network = nullptr;
    std::unique_ptr<TarvixCtl> m_control;
    std::unique_ptr<EventRecorder> m_recorder;
};

} // namespace

TEST_P(NetworkRunTest, RoundTripsMatchTheRespondersFixedDelay)
{
    ResponderOptions options;
    options.delayMs = 20;
    ASSERT_TRUE(m_network->startResponder(options)) << qPrintable(m_network->error());
    put(DispId::Count, 5);
    ping(host());
    EXPECT_EQ(m_control->engine()->socketKind(), GetParam().kind);
    ASSERT_TRUE(waitUntilIdle());
    settle();

    const auto replies = m_recorder->of(Id::OnPing);
    ASSERT_EQ(replies.size(), 5);
    for (const auto &reply : replies) {
        EXPECT_EQ(reply.text, host());
        EXPECT_EQ(reply.bytes, 32);
        // The responder answers no earlier than its delay, and on a busy
        // machine it may wake a little late; never 10 ms late.
        EXPECT_GE(reply.time, 20);
        EXPECT_LE(reply.time, 22);
        EXPECT_GT(reply.ttl, 0);
    }
    const QList<double> times = lineTimes(*m_recorder);
    ASSERT_EQ(times.size(), 5);
    for (double ms : times) {
        EXPECT_GE(ms, 20.0);
        EXPECT_LT(ms, 22.5);
    }
    EXPECT_TRUE(statistics().contains(QStringLiteral("5 packets transmitted, 5 received, 0 lost (0% loss)")))
        << qPrintable(statistics());
    // Every path asks the kernel for transmit timestamps, and the header says so.
    EXPECT_TRUE(m_control->engine()->asksForSendStamps());
    const auto lines = m_recorder->of(Id::OnPingStr);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines.first().text.endsWith(
        QStringLiteral("\r\nRound trips from the kernel's send and receive timestamps, where it gives them.\r\n")))
        << qPrintable(lines.first().text);
}

TEST_P(NetworkRunTest, TheChartsAxisFollowsTheRepliesAsTheyComeNotThePainting)
{
    ResponderOptions options;
    options.delayMs = 20;
    ASSERT_TRUE(m_network->startResponder(options)) << qPrintable(m_network->error());
    SavedState state;
    state.settings.display = 1;
    state.settings.count = 3;
    ASSERT_TRUE(m_control->loadState(state.encode()));
    m_control->setIntervalMs(100);
    // Never shown, so nothing paints it during the run.
    m_control->resize(352, 112);
    ping(host());
    ASSERT_TRUE(waitUntilIdle());
    ASSERT_EQ(m_recorder->of(Id::OnPing).size(), 3);

    // 20 ms replies with their headroom fit a 50 ms axis; painting keeps it.
    constexpr qint64 ms = 1000000;
    EXPECT_EQ(m_control->view().scaleTopNs(), 50 * ms);
    m_control->grab();
    EXPECT_EQ(m_control->view().scaleTopNs(), 50 * ms);
}

TEST_P(NetworkRunTest, ASilentHostTimesOutAfterTheTimeout)
{
    ASSERT_TRUE(m_network->setHostKernelEcho(false));
    put(DispId::Count, 2);
    put(DispId::Timeout, 300);
    QElapsedTimer clock;
    clock.start();
    qint64 firstLossAfterMs = -1;
    QObject::connect(m_control->events(), &PingEvents::OnPing, m_control.get(),
                     [&] { if (firstLossAfterMs < 0) firstLossAfterMs = clock.elapsed(); });
    ping(host());
    ASSERT_TRUE(waitUntilIdle());
    settle();

    const auto results = m_recorder->of(Id::OnPing);
    ASSERT_EQ(results.size(), 2);
    for (const auto &result : results) {
        EXPECT_EQ(result.bytes, -1);
        EXPECT_EQ(result.text, host());
    }
    EXPECT_GE(firstLossAfterMs, 300);
    EXPECT_LT(firstLossAfterMs, 1300) << "the time-out should fire about 300 ms after the send";
    EXPECT_TRUE(m_recorder->of(Id::OnPingError).isEmpty());
    EXPECT_TRUE(statistics().contains(QStringLiteral("2 packets transmitted, 0 received, 2 lost (100% loss)")))
        << qPrintable(statistics());
}

TEST_P(NetworkRunTest, ForeignDuplicateAndCorruptedRepliesNeverCount)
{
    ResponderOptions options;
    options.delayMs = 5;
    options.foreignId = true;
    options.wrongSequence = true;
    options.badChecksum = family() == IpFamily::IPv4; // ICMPv6 checksums are the kernel's
    options.corruptPayload = true;
    options.duplicate = 2;
    ASSERT_TRUE(m_network->startResponder(options)) << qPrintable(m_network->error());
    put(DispId::Count, 3);
    ping(host());
    ASSERT_TRUE(waitUntilIdle());
    settle(300); // the last duplicates come after the run ended, into a closed socket

    const auto replies = m_recorder->of(Id::OnPing);
    ASSERT_EQ(replies.size(), 3);
    for (const auto &reply : replies)
        EXPECT_EQ(reply.bytes, 32);
    EXPECT_TRUE(statistics().contains(QStringLiteral("3 packets transmitted, 3 received, +")))
        << qPrintable(statistics());
    EXPECT_GE(m_recorder->allText().count(QStringLiteral("(DUP!)")), 2);
}

TEST_P(NetworkRunTest, OnlyNoiseMeansEveryRequestIsLost)
{
    ResponderOptions options;
    options.foreignId = true;
    options.wrongSequence = true;
    options.badChecksum = family() == IpFamily::IPv4;
    options.corruptPayload = true;
    options.noiseOnly = true;
    ASSERT_TRUE(m_network->startResponder(options)) << qPrintable(m_network->error());
    put(DispId::Count, 2);
    put(DispId::Timeout, 300);
    ping(host());
    ASSERT_TRUE(waitUntilIdle());
    settle();
    const auto results = m_recorder->of(Id::OnPing);
    ASSERT_EQ(results.size(), 2);
    for (const auto &result : results)
        EXPECT_EQ(result.bytes, -1);
    EXPECT_TRUE(statistics().contains(QStringLiteral("0 received"))) << qPrintable(statistics());
}

TEST_P(NetworkRunTest, RepliesAfterTheTimeoutAreLate)
{
    ResponderOptions options;
    options.delayMs = 250;
    ASSERT_TRUE(m_network->startResponder(options)) << qPrintable(m_network->error());
    put(DispId::Count, 3);
    put(DispId::Timeout, 150);
    ping(host());
    ASSERT_TRUE(waitUntilIdle());
    settle(300);
    const auto results = m_recorder->of(Id::OnPing);
    ASSERT_EQ(results.size(), 3);
    for (const auto &result : results)
        EXPECT_EQ(result.bytes, -1);
    EXPECT_FALSE(m_recorder->allText().contains(QStringLiteral("DUP!")));
}

TEST_P(NetworkRunTest, AnotherProgramPingingTheSameHostDoesNotCount)
{
    ResponderOptions options;
    options.delayMs = 2;
    ASSERT_TRUE(m_network->startResponder(options)) << qPrintable(m_network->error());
    // iputils ping on the same client, at the same moment, five times as fast.
    QProcess other;
    other.start(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("exec"), m_network->clientNamespace(),
                                       QStringLiteral("ping"), QStringLiteral("-c"), QStringLiteral("20"),
                                       QStringLiteral("-i"), QStringLiteral("0.02"), host()});
    if (!other.waitForStarted())
        GTEST_SKIP() << "iputils ping is not installed";
    put(DispId::Count, 4);
    m_control->setIntervalMs(50);
    ping(host());
    ASSERT_TRUE(waitUntilIdle());
    other.waitForFinished(5000);
    settle();
    EXPECT_EQ(m_recorder->of(Id::OnPing).size(), 4);
    EXPECT_TRUE(statistics().contains(QStringLiteral("4 packets transmitted, 4 received, 0 lost")))
        << qPrintable(statistics());
    EXPECT_FALSE(m_recorder->allText().contains(QStringLiteral("DUP!")));
}

TEST_P(NetworkRunTest, IcmpErrorsAreReportedOncePerRequest)
{
    ResponderOptions options;
    options.error = ResponderOptions::ErrorKind::HostUnreachable;
    options.duplicate = 1; // the error twice: still one report
    ASSERT_TRUE(m_network->startResponder(options)) << qPrintable(m_network->error());
    put(DispId::Count, 2);
    ping(host());
    ASSERT_TRUE(waitUntilIdle());
    settle();
    const auto errors = m_recorder->of(Id::OnPingError);
    ASSERT_EQ(errors.size(), 2);
    for (const auto &error : errors)
        EXPECT_EQ(error.text, QStringLiteral("Reply from %1: Destination host unreachable.\r\n").arg(host()));
    const auto results = m_recorder->of(Id::OnPing);
    ASSERT_EQ(results.size(), 2);
    EXPECT_EQ(results[0].bytes, -1);
    EXPECT_TRUE(statistics().contains(QStringLiteral("+2 errors"))) << qPrintable(statistics());
}

TEST_P(NetworkRunTest, RoutersReportExpiredTtlAndUnreachableHosts)
{
    const QString routed = TestNetwork::routedAddress(family()).toString();
    const QString router = TestNetwork::hostAddress(family()).toString();
    put(DispId::Count, 1);
    put(DispId::TimeToLive, 1);
    ping(routed);
    ASSERT_TRUE(waitUntilIdle());
    settle();
    ASSERT_EQ(m_recorder->of(Id::OnPingError).size(), 1);
    EXPECT_EQ(m_recorder->of(Id::OnPingError).first().text,
              QStringLiteral("Reply from %1: TTL expired in transit.\r\n").arg(router));

    put(DispId::TimeToLive, 64);
    ping(routed);
    ASSERT_TRUE(waitUntilIdle());
    settle();
    ASSERT_EQ(m_recorder->of(Id::OnPingError).size(), 2);
    EXPECT_EQ(m_recorder->of(Id::OnPingError).last().text,
              QStringLiteral("Reply from %1: Destination host unreachable.\r\n").arg(router));
}

TEST_P(NetworkRunTest, ErrorsQuotingAnotherDestinationDoNotEndARequest)
{
    // Every request gets a host-unreachable that quotes it as sent elsewhere,
    // then its true reply 20 ms later.
    ResponderOptions options;
    options.forgedError = true;
    options.delayMs = 20;
    ASSERT_TRUE(m_network->startResponder(options)) << qPrintable(m_network->error());
    put(DispId::Count, 3);
    ping(host());
    ASSERT_TRUE(waitUntilIdle());
    settle();
    EXPECT_TRUE(m_recorder->of(Id::OnPingError).isEmpty()) << qPrintable(m_recorder->allText());
    const auto results = m_recorder->of(Id::OnPing);
    ASSERT_EQ(results.size(), 3);
    for (const auto &result : results) {
        EXPECT_EQ(result.bytes, 32);
        EXPECT_GE(result.time, 20); // the responder's delay, give or take its waking late
        EXPECT_LE(result.time, 22);
    }
    EXPECT_TRUE(statistics().contains(QStringLiteral("3 packets transmitted, 3 received")))
        << qPrintable(statistics());
    EXPECT_EQ(m_network->responderLog().count(QStringLiteral("noise=forged-error")), 3);
}

TEST_P(NetworkRunTest, ErrorsAboutFragmentedRequestsAreReported)
{
    // 3000 bytes over the veth's MTU of 1500 go out in fragments; with a TTL
    // of 1 the host's kernel answers each fragment with "time exceeded",
    // quoting the fragment it got. Only the first fragment's quote holds the
    // request; the others must not count, nor be read as some request.
    const QString routed = TestNetwork::routedAddress(family()).toString();
    const QString router = TestNetwork::hostAddress(family()).toString();
    put(DispId::Count, 2);
    put(DispId::PacketSize, 3000);
    put(DispId::TimeToLive, 1);
    ping(routed);
    ASSERT_TRUE(waitUntilIdle());
    settle();
    const auto errors = m_recorder->of(Id::OnPingError);
    ASSERT_EQ(errors.size(), 2) << qPrintable(m_recorder->allText());
    for (const auto &error : errors)
        EXPECT_EQ(error.text, QStringLiteral("Reply from %1: TTL expired in transit.\r\n").arg(router));
    EXPECT_TRUE(statistics().contains(QStringLiteral("2 packets transmitted, 0 received, +2 errors")))
        << qPrintable(statistics());
}

TEST_P(NetworkRunTest, AnUnsendableRequestIsNamedInItsError)
{
    // The client has no route beyond the test networks: the kernel refuses
    // the send itself, and nothing leaves the namespace.
    const QString nowhere = family() == IpFamily::IPv4 ? QStringLiteral("10.232.0.1") : QStringLiteral("fd00:7b::1");
    put(DispId::Count, 2);
    ping(nowhere);
    ASSERT_TRUE(waitUntilIdle());
    settle();
    const auto errors = m_recorder->of(Id::OnPingError);
    ASSERT_EQ(errors.size(), 2) << qPrintable(m_recorder->allText());
    EXPECT_EQ(errors[0].text, QStringLiteral("PING: transmit failed for icmp_seq=1. Network is unreachable.\r\n"));
    EXPECT_EQ(errors[1].text, QStringLiteral("PING: transmit failed for icmp_seq=2. Network is unreachable.\r\n"));
    ASSERT_EQ(m_recorder->of(Id::OnPing).size(), 2);
    EXPECT_EQ(m_recorder->of(Id::OnPing).first().bytes, -1);
}

TEST_P(NetworkRunTest, UnknownHostsEndTheRunWithOneError)
{
    // No resolver is reachable from the client namespace, so nothing leaves it.
    ping(QStringLiteral("nosuchhost.invalid"));
    EXPECT_EQ(get(DispId::Active), DispValue(0));
    EXPECT_EQ(get(DispId::HostName), DispValue(QString()));
    EXPECT_EQ(get(DispId::IpAddress), DispValue(QString()));
    settle();
    ASSERT_EQ(m_recorder->events().size(), 1);
    EXPECT_EQ(m_recorder->events().first().text,
              QStringLiteral("Ping request could not find host nosuchhost.invalid. Please check the name and try again.\r\n"));
}

TEST_P(NetworkRunTest, StopInTheMiddleOfATimeout)
{
    ASSERT_TRUE(m_network->setHostKernelEcho(false));
    put(DispId::Count, 3);
    put(DispId::Timeout, 5000);
    ping(host());
    // The header says the run started; a helper takes its time to start
    // (seconds, under a sanitizer), so no fixed wait will do.
    ASSERT_TRUE(QTest::qWaitFor([this] { return !m_recorder->events().isEmpty(); }, 10000));
    settle(100);
    ASSERT_NE(get(DispId::Active), DispValue(0));
    ASSERT_TRUE(put(DispId::Active, 0).ok());
    EXPECT_EQ(get(DispId::Active), DispValue(0));
    settle(300);
    // The header, then the statistics: the request that was waiting is neither
    // reported nor counted.
    ASSERT_EQ(m_recorder->events().size(), 2);
    EXPECT_TRUE(m_recorder->of(Id::OnPing).isEmpty());
    EXPECT_TRUE(statistics().contains(QStringLiteral("0 packets transmitted"))) << qPrintable(statistics());
}

TEST_P(NetworkRunTest, AGroupAddressIsAnsweredByEveryHostOnTheLinkWithTheTtlSet)
{
    ASSERT_TRUE(m_network->answerGroupPings()) << qPrintable(m_network->error());
    ASSERT_TRUE(m_network->startResponder()) << qPrintable(m_network->error());
    const QString group = family() == IpFamily::IPv4 ? QStringLiteral("224.0.0.1") : QStringLiteral("ff02::1%veth0");
    put(DispId::Count, 3);
    put(DispId::TimeToLive, 9);
    ping(group);
    ASSERT_TRUE(waitUntilIdle());
    settle();
    // The host's responder and the client itself answer each request: the
    // first answer is its reply, the other a duplicate (the last one's may
    // come after the run ended).
    const auto replies = m_recorder->of(Id::OnPing);
    ASSERT_EQ(replies.size(), 3) << qPrintable(m_recorder->allText());
    for (const auto &reply : replies)
        EXPECT_EQ(reply.bytes, 32);
    EXPECT_GE(m_recorder->allText().count(QStringLiteral("(DUP!)")), 2) << qPrintable(m_recorder->allText());
    EXPECT_TRUE(statistics().contains(QStringLiteral("3 packets transmitted, 3 received"))) << qPrintable(statistics());
    // The TTL applies to multicast too, which leaves with 1 unless set.
    const QStringList requests = m_network->responderLog().split(QLatin1Char('\n')).filter(QStringLiteral("request v"));
    ASSERT_EQ(requests.size(), 3) << qPrintable(m_network->responderLog());
    for (const QString &request : requests)
        EXPECT_TRUE(request.contains(QStringLiteral(" hops=9"))) << qPrintable(request);
}

TEST_P(NetworkRunTest, TheUnspecifiedAddressIsAnsweredByThisHost)
{
    put(DispId::Count, 2);
    ping(family() == IpFamily::IPv4 ? QStringLiteral("0.0.0.0") : QStringLiteral("::"));
    ASSERT_TRUE(waitUntilIdle());
    settle();
    const auto replies = m_recorder->of(Id::OnPing);
    ASSERT_EQ(replies.size(), 2) << qPrintable(m_recorder->allText());
    for (const auto &reply : replies) {
        EXPECT_EQ(reply.text, family() == IpFamily::IPv4 ? QStringLiteral("127.0.0.1") : QStringLiteral("::1"));
        EXPECT_EQ(reply.bytes, 32);
    }
}

// IPv4 alone has broadcast addresses.
class Ipv4RunTest : public NetworkRunTest
{
};

// A broadcast address is pinged only when asked, as `ping -b` does: the
// contract has no such setting, so the programs never ping one.
TEST_P(Ipv4RunTest, ABroadcastAddressIsPingedOnlyWhenAsked)
{
    ASSERT_TRUE(m_network->answerGroupPings()) << qPrintable(m_network->error());
    for (const QString &broadcast : {QStringLiteral("10.231.0.255"), QStringLiteral("255.255.255.255")}) {
        const qsizetype before = m_recorder->events().size();
        ping(broadcast);
        EXPECT_EQ(get(DispId::Active), DispValue(0));
        settle();
        ASSERT_EQ(m_recorder->events().size(), before + 1) << qPrintable(m_recorder->allText());
        EXPECT_EQ(m_recorder->events().last().text,
                  QStringLiteral("%1 is a broadcast address, which every host on its network answers; this program "
                                 "does not ping broadcast addresses.\r\n")
                      .arg(broadcast));
    }

    m_control->setAllowsBroadcast(true);
    put(DispId::Count, 3);
    ping(QStringLiteral("10.231.0.255"));
    ASSERT_TRUE(waitUntilIdle());
    settle();
    const auto replies = m_recorder->of(Id::OnPing);
    ASSERT_EQ(replies.size(), 3) << qPrintable(m_recorder->allText());
    for (const auto &reply : replies)
        EXPECT_EQ(reply.bytes, 32);
    EXPECT_GE(m_recorder->allText().count(QStringLiteral("(DUP!)")), 2) << qPrintable(m_recorder->allText());
}

// A helper that stops answering, or dies, mid-run.
class HelperRunTest : public NetworkRunTest
{
protected:
    // The helper this process started: its child named tarvix-icmp-helper.
    static pid_t helperProcess()
    {
        const QStringList children =
            QString::fromLatin1(readFile(QStringLiteral("/proc/%1/task/%1/children").arg(getpid()))).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (const QString &child : children) {
            if (readFile(QStringLiteral("/proc/%1/comm").arg(child)).trimmed() == "tarvix-icmp-hel")
                return pid_t(child.toInt());
        }
        return -1;
    }
    static QByteArray readFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Runs continuously until two replies came, then does something to the
    // helper; the longest the event loop was kept from a 10 ms timer until
    // the run ended.
    qint64 runThenDoToTheHelper(int signal)
    {
        put(DispId::Continuous, 1);
        ping(host());
        if (!QTest::qWaitFor([this] { return m_recorder->of(Id::OnPing).size() >= 2; }, 5000))
            return -1;
        const pid_t helper = helperProcess();
        if (helper <= 0 || ::kill(helper, signal) != 0)
            return -1;
        QElapsedTimer sinceTick;
        qint64 longestGapMs = 0;
        QTimer ticks;
        QObject::connect(&ticks, &QTimer::timeout, [&] {
            longestGapMs = qMax(longestGapMs, sinceTick.restart());
        });
        sinceTick.start();
        ticks.start(10);
        const bool ended = waitUntilIdle(10000);
        longestGapMs = qMax(longestGapMs, sinceTick.elapsed());
        settle();
        return ended ? longestGapMs : -1;
    }
};

TEST_P(HelperRunTest, AStoppedHelperEndsTheRunWithOneErrorAndTheWindowNeverWaitsForIt)
{
    ASSERT_TRUE(m_network->startResponder()) << qPrintable(m_network->error());
    const qint64 longestGapMs = runThenDoToTheHelper(SIGSTOP);
    ASSERT_GE(longestGapMs, 0) << qPrintable(m_recorder->allText());
    // Its silence is noticed within the limit, and nothing waited for it meanwhile.
    EXPECT_LT(longestGapMs, 500);
    const auto errors = m_recorder->of(Id::OnPingError);
    ASSERT_EQ(errors.size(), 1) << qPrintable(m_recorder->allText());
    EXPECT_EQ(errors.first().text, QStringLiteral("Pinging stopped: the ICMP helper %1 stopped answering.\r\n")
                                       .arg(HelperProber::helperPath()));
    EXPECT_TRUE(statistics().contains(QStringLiteral("packets transmitted"))) << qPrintable(statistics());
    // Closed, it was killed, stopped as it was: no process is left.
    EXPECT_EQ(helperProcess(), -1);
}

TEST_P(HelperRunTest, AHelperThatDiesEndsTheRunWithOneError)
{
    ASSERT_TRUE(m_network->startResponder()) << qPrintable(m_network->error());
    ASSERT_GE(runThenDoToTheHelper(SIGKILL), 0) << qPrintable(m_recorder->allText());
    const auto errors = m_recorder->of(Id::OnPingError);
    ASSERT_EQ(errors.size(), 1) << qPrintable(m_recorder->allText());
    EXPECT_EQ(errors.first().text,
              QStringLiteral("Pinging stopped: the ICMP helper %1 ended unexpectedly (killed by signal 9 (Killed)).\r\n")
                  .arg(HelperProber::helperPath()));
    EXPECT_TRUE(statistics().contains(QStringLiteral("packets transmitted"))) << qPrintable(statistics());
    EXPECT_EQ(helperProcess(), -1);
}

// Only the datagram path can be forbidden here: as root the raw socket opens.
class DatagramOnlyTest : public NetworkRunTest
{
};

TEST_P(DatagramOnlyTest, WhenNoSocketMayOpenThereIsOneErrorAndNoRun)
{
    if (const QString why = TestNetwork::forbidAgainUnavailable(); !why.isEmpty())
        GTEST_SKIP() << qPrintable(why);
    ASSERT_TRUE(m_network->setPingGroupRange(1, 0));
    ping(host());
    EXPECT_EQ(get(DispId::Active), DispValue(0));
    settle();
    ASSERT_EQ(m_recorder->events().size(), 1);
    EXPECT_EQ(m_recorder->events().first().id, Id::OnPingError);
    EXPECT_TRUE(m_recorder->events().first().text.contains(QStringLiteral("ping_group_range")));
}

INSTANTIATE_TEST_SUITE_P(TestNetwork, NetworkRunTest,
                         ::testing::Values(Path{IpFamily::IPv4, Prober::SocketKind::Datagram},
                                           Path{IpFamily::IPv4, Prober::SocketKind::Raw},
                                           Path{IpFamily::IPv6, Prober::SocketKind::Datagram},
                                           Path{IpFamily::IPv6, Prober::SocketKind::Raw},
                                           Path{IpFamily::IPv4, Prober::SocketKind::Helper},
                                           Path{IpFamily::IPv6, Prober::SocketKind::Helper}),
                         [](const auto &info) { return pathName(info.param); });

INSTANTIATE_TEST_SUITE_P(TestNetwork, Ipv4RunTest,
                         ::testing::Values(Path{IpFamily::IPv4, Prober::SocketKind::Datagram},
                                           Path{IpFamily::IPv4, Prober::SocketKind::Raw},
                                           Path{IpFamily::IPv4, Prober::SocketKind::Helper}),
                         [](const auto &info) { return pathName(info.param); });

INSTANTIATE_TEST_SUITE_P(TestNetwork, HelperRunTest,
                         ::testing::Values(Path{IpFamily::IPv4, Prober::SocketKind::Helper},
                                           Path{IpFamily::IPv6, Prober::SocketKind::Helper}),
                         [](const auto &info) { return pathName(info.param); });

INSTANTIATE_TEST_SUITE_P(TestNetwork, DatagramOnlyTest,
                         ::testing::Values(Path{IpFamily::IPv4, Prober::SocketKind::Datagram},
                                           Path{IpFamily::IPv6, Prober::SocketKind::Datagram}),
                         [](const auto &info) { return pathName(info.param); });
