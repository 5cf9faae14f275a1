// Round-trip accuracy of the ping component against iputils ping, on the same
// path in the same run: a test host in a network namespace answers after a
// fixed delay, and both tools take turns pinging it, ten requests at a time.
// Three conditions: a quiet process; the component's UI thread kept busy
// 300 ms at a time; the whole process stopped (SIGSTOP) 300 ms at a time.
// iputils runs in a process of its own and is never stressed: it is the
// baseline of each condition.
//
// Usage: bench_rtt_accuracy [requests] [delay-ms]
#include "benchnetwork.h"
#include "benchreport.h"
#include "icmpwatcher.h"
#include "stress.h"
#include "tarvixctl.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

using Tarvix::DispId;
using Tarvix::DispKind;
using Tarvix::PingEvents;
using namespace BenchReport;
using namespace BenchStress;

namespace {

constexpr int Turn = 10;         // requests per tool before the other takes over
constexpr int IntervalMs = 100;  // between the component's requests
// The component's time-out: shorter than a stress, so that under stress each
// reply's deadline passes before the component can read it. A reply the
// kernel received in time must still count, with its true round trip.
constexpr int TimeoutMs = 100;
constexpr int StressMs = 300;    // busy or stopped
constexpr int FreeMs = 10;       // between two stresses: shorter than the round trip,
                                 // so a reply mostly arrives while the component cannot read it
constexpr double GoalMedianMs = 0.05;
constexpr double GoalP99Ms = 0.2;

// One request by iputils: with -c 1 the summary line gives the round trip to
// the microsecond, where the reply line rounds it to a tenth above 10 ms.
std::optional<double> iputilsOnce(const TestNetwork &network, const QString &host)
{
    static const QRegularExpression summary(QStringLiteral("= ([\\d.]+)/([\\d.]+)/"));
    const auto result = network.runInClient({QStringLiteral("ping"), QStringLiteral("-c"), QStringLiteral("1"),
                                             QStringLiteral("-W"), QStringLiteral("2"), host});
    const auto match = summary.match(result.output);
    if (!result.finished || !match.hasMatch())
        return std::nullopt;
    return match.captured(2).toDouble();
}

// One echo request seen on both sides: arriving at the test host, and its
// reply arriving back at the client. Both are kernel timestamps; the second
// is the very one the pinging socket gets for the reply.
struct Passage
{
    qint64 requestAtHostNs = 0;
    qint64 replyAtClientNs = 0;
    quint16 sequence = 0;
};

// What the watchers saw since they were last drained, in the order the
// requests arrived.
QList<Passage> passages(IcmpWatcher &requestsAtHost, IcmpWatcher &repliesAtClient)
{
    QHash<quint32, qint64> replies;
    for (const IcmpWatcher::Seen &seen : repliesAtClient.drain())
        replies.insert(quint32(seen.identifier) << 16 | seen.sequence, seen.receivedNs);
    QList<Passage> all;
    for (const IcmpWatcher::Seen &seen : requestsAtHost.drain()) {
        const auto reply = replies.constFind(quint32(seen.identifier) << 16 | seen.sequence);
        if (reply != replies.cend())
            all.append({seen.receivedNs, *reply, seen.sequence});
    }
    return all;
}

// The round trips of one tool in one condition, and how they split: the
// tool's own part (from the send time it took to the request's arrival at
// the test host) and the test host's part (from there to the reply's
// arrival back). Only the first depends on the tool.
struct Measured
{
    QList<double> roundTripsMs;
    QList<double> ownMs;
    QList<double> hostMs;

    // Splits this turn's round trips, which came in the order of the passages.
    void add(const QList<double> &turnMs, const QList<Passage> &seen)
    {
        roundTripsMs += turnMs;
        if (seen.size() != turnMs.size())
            return; // a request without its reply on the wire: cannot pair them up
        for (qsizetype i = 0; i < seen.size(); ++i) {
            const double hostPartMs = double(seen[i].replyAtClientNs - seen[i].requestAtHostNs) / 1e6;
            hostMs.append(hostPartMs);
            ownMs.append(turnMs[i] - hostPartMs);
        }
    }
};

struct Condition
{
    Measured iputils;
    Measured component;
    // From a reply's arrival to its line reaching the host: how long the reply
    // waited for the component, which shows the stress fell between request
    // and reply.
    QList<double> waitsMs;
    int lost = 0;
};

// count requests by the component, one every IntervalMs, under stress.
void componentTurn(const QString &host, int count, Stress stress, IcmpWatcher &requestsAtHost,
                   IcmpWatcher &repliesAtClient, Condition &c)
{
    static const QRegularExpression replyLine(QStringLiteral("icmp_seq=(\\d+) .*time=([\\d.]+) ms"));
    static const QRegularExpression timedOutLine(QStringLiteral("^No reply"));
    QList<double> roundTripsMs;
    QHash<quint16, qint64> shownNs;
    TarvixCtl control;
    control.setIntervalMs(IntervalMs);
    QObject::connect(control.events(), &PingEvents::OnPingStr, &control, [&](const QString &line) {
        const qint64 nowNs = realtimeNs();
        if (const auto match = replyLine.match(line); match.hasMatch()) {
            roundTripsMs.append(match.captured(2).toDouble());
            shownNs.insert(quint16(match.captured(1).toUInt()), nowNs);
        } else if (timedOutLine.match(line).hasMatch()) {
            ++c.lost;
        }
    });
    QObject::connect(control.events(), &PingEvents::OnPingError, &control, [&](const QString &, qint32) {
        ++c.lost;
    });
    control.invoke(qint32(DispId::Count), DispKind::PropertyPut, {count});
    control.invoke(qint32(DispId::Timeout), DispKind::PropertyPut, {TimeoutMs});
    passages(requestsAtHost, repliesAtClient);

    StressScope stressed(stress, StressMs, FreeMs);

    control.invoke(qint32(DispId::Ping), DispKind::Method, {host});
    QElapsedTimer limit;
    limit.start();
    while (control.isActive() && limit.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::processEvents();
    stressed.end();

    const QList<Passage> seen = passages(requestsAtHost, repliesAtClient);
    c.component.add(roundTripsMs, seen);
    for (const Passage &passage : seen) {
        if (const auto shown = shownNs.constFind(passage.sequence); shown != shownNs.cend())
            c.waitsMs.append(double(*shown - passage.replyAtClientNs) / 1e6);
    }
}

Condition measure(const TestNetwork &network, IcmpWatcher &requestsAtHost, IcmpWatcher &repliesAtClient,
                  const QString &host, int requests, Stress stress)
{
    // Take turns, so that both see the same machine.
    Condition c;
    while (c.iputils.roundTripsMs.size() < requests) {
        const int turn = int(std::min<qsizetype>(Turn, requests - c.iputils.roundTripsMs.size()));
        passages(requestsAtHost, repliesAtClient);
        QList<double> iputils;
        for (int i = 0; i < turn; ++i) {
            if (const auto ms = iputilsOnce(network, host))
                iputils.append(*ms);
        }
        c.iputils.add(iputils, passages(requestsAtHost, repliesAtClient));
        componentTurn(host, turn, stress, requestsAtHost, repliesAtClient, c);
        const qsizetype a = c.iputils.roundTripsMs.size();
        const qsizetype b = c.component.roundTripsMs.size();
        if (a + Turn < b || b + Turn < a)
            break; // one of them keeps failing: report what there is
    }
    return c;
}

// A watcher opened in another network namespace; this thread comes back to
// its own. Sockets stay in the namespace they were made in.
std::unique_ptr<IcmpWatcher> watcherIn(const QString &netns, quint8 type)
{
    const int own = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    const int other = ::open(qPrintable(QStringLiteral("/var/run/netns/") + netns), O_RDONLY | O_CLOEXEC);
    std::unique_ptr<IcmpWatcher> watcher;
    if (own >= 0 && other >= 0 && setns(other, CLONE_NEWNET) == 0) {
        watcher = std::make_unique<IcmpWatcher>(type);
        if (setns(own, CLONE_NEWNET) != 0)
            std::abort(); // measuring from the wrong namespace would be silently wrong
    }
    for (const int fd : {own, other}) {
        if (fd >= 0)
            ::close(fd);
    }
    return watcher;
}

// Prints one condition; gives whether both goals were met.
bool report(Stress stress, const Condition &c)
{
    const QString ms = QStringLiteral("ms");
    printLine(QStringLiteral("-- %1 --").arg(title(stress, StressMs, FreeMs)));
    const QList<double> &iputils = c.iputils.roundTripsMs;
    const QList<double> &component = c.component.roundTripsMs;
    printLine(QStringLiteral("  iputils    %1").arg(describe(summarize(iputils), ms)));
    printLine(QStringLiteral("  component  %1").arg(describe(summarize(component), ms)));
    if (c.lost > 0)
        printLine(QStringLiteral("  component lost %1 requests (time-outs or errors)").arg(c.lost));
    if (stress != Stress::None) {
        const Summary waits = summarize(c.waitsMs);
        printLine(QStringLiteral("  replies waited for the component: median %1 ms, max %2 ms (%3 replies)")
                      .arg(waits.median, 0, 'f', 1)
                      .arg(waits.max, 0, 'f', 1)
                      .arg(waits.count));
    }
    for (const auto &[name, part] : {std::pair{"own part (send time to arrival at the test host)", &Measured::ownMs},
                                     std::pair{"test host's part (to the reply's arrival back)", &Measured::hostMs}}) {
        const QList<double> &mine = c.component.*part;
        const QList<double> &theirs = c.iputils.*part;
        printLine(QStringLiteral("  %1: component median %2 p99 %3, iputils median %4 p99 %5 ms (%6 and %7 split)")
                      .arg(QLatin1String(name))
                      .arg(percentile(mine, 50), 0, 'f', 3)
                      .arg(percentile(mine, 99), 0, 'f', 3)
                      .arg(percentile(theirs, 50), 0, 'f', 3)
                      .arg(percentile(theirs, 99), 0, 'f', 3)
                      .arg(mine.size())
                      .arg(theirs.size()));
    }
    QList<double> pairwise;
    for (qsizetype i = 0; i < std::min(iputils.size(), component.size()); ++i)
        pairwise.append(std::abs(component[i] - iputils[i]));
    const double median = percentile(pairwise, 50);
    const double p99 = percentile(pairwise, 99);
    printLine(QStringLiteral("  |component - iputils| request by request: median %1 ms (goal %2: %3), "
                             "p99 %4 ms (goal %5: %6)")
                  .arg(median, 0, 'f', 3)
                  .arg(GoalMedianMs, 0, 'f', 3)
                  .arg(verdict(median, GoalMedianMs, ms))
                  .arg(p99, 0, 'f', 3)
                  .arg(GoalP99Ms, 0, 'f', 3)
                  .arg(verdict(p99, GoalP99Ms, ms)));
    printLine(QStringLiteral("  component - iputils: difference of medians %1 ms, of p99s %2 ms")
                  .arg(percentile(component, 50) - percentile(iputils, 50), 0, 'f', 3)
                  .arg(percentile(component, 99) - percentile(iputils, 99), 0, 'f', 3));
    return median <= GoalMedianMs && p99 <= GoalP99Ms;
}

} // namespace

int main(int argc, char **argv)
{
    workInChild();
    if (const std::optional<int> skipped = BenchNetwork::prepareProcess())
        return *skipped;
    QApplication app(argc, argv);
    const int requests = intArgument(argc, argv, 1, 50, Turn);
    const int delayMs = intArgument(argc, argv, 2, 20, 0);

    BenchNetwork bench;
    TestNetwork &network = bench.network();
    ResponderOptions options;
    options.delayMs = delayMs;
    if (!network.startResponder(options))
        return bench.fail();
    const QString host = TestNetwork::hostAddress(IpFamily::IPv4).toString();
    const std::unique_ptr<IcmpWatcher> requestsAtHost = watcherIn(network.hostNamespace(), 8); // echo request
    if (!bench.enterClient())
        return bench.fail();
    IcmpWatcher repliesAtClient(0); // echo reply
    if (!requestsAtHost || !requestsAtHost->ok() || !repliesAtClient.ok()) {
        std::fprintf(stderr, "watching the test network: %s\n",
                     qPrintable(!requestsAtHost        ? QStringLiteral("cannot enter the host namespace")
                                : !requestsAtHost->ok() ? requestsAtHost->error()
                                                       : repliesAtClient.error()));
        return 1;
    }

    printHeader(QStringLiteral("1. Round-trip accuracy against iputils ping"),
                {QStringLiteral("bench_rtt_accuracy"), QString::number(requests), QString::number(delayMs)});
    printLine(QStringLiteral("test host answering after %1 ms, IPv4 datagram socket, %2 requests each, "
                             "in turns of %3; component requests %4 ms apart, time-out %5 ms")
                  .arg(delayMs)
                  .arg(requests)
                  .arg(Turn)
                  .arg(IntervalMs)
                  .arg(TimeoutMs));
    bool allMet = true;
    for (const Stress stress : {Stress::None, Stress::BusyUiThread, Stress::StoppedProcess})
        allMet = report(stress, measure(network, *requestsAtHost, repliesAtClient, host, requests, stress)) && allMet;
    printLine(QStringLiteral("goals (median %1 ms, p99 %2 ms, in all three): %3")
                  .arg(GoalMedianMs, 0, 'f', 3)
                  .arg(GoalP99Ms, 0, 'f', 3)
                  .arg(allMet ? QStringLiteral("met") : QStringLiteral("not all met")));
    return 0;
}
