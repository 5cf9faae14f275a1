// Ping to wire: from the host's call of Ping on a literal address to the first
// echo request leaving. The component pings 127.0.0.1 in the client namespace;
// a raw socket there sees the request come back in on loopback, and the
// kernel's receive timestamp of it is when it left (loopback hands a packet
// over within the send). The clock starts with CLOCK_REALTIME, the clock of
// those timestamps, just before the invoke. Baseline: the same measure for a
// bare sendto of an echo request on a socket the benchmark opened beforehand.
//
// Usage: bench_ping_to_wire [repetitions]
#include "benchnetwork.h"
#include "benchreport.h"
#include "icmpmessage.h"
#include "icmpwatcher.h"
#include "tarvixctl.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using Tarvix::DispId;
using Tarvix::DispKind;
using namespace BenchReport;

namespace {

constexpr double GoalUs = 2000.0;

// Ping to wire of one run, in microseconds; nothing when no request was seen.
std::optional<double> componentOnce(IcmpWatcher &requests)
{
    TarvixCtl control;
    control.invoke(qint32(DispId::Count), DispKind::PropertyPut, {1});
    requests.drain();
    const qint64 startNs = realtimeNs();
    control.invoke(qint32(DispId::Ping), DispKind::Method, {QStringLiteral("127.0.0.1")});
    const std::optional<IcmpWatcher::Seen> seen = requests.next(1000);
    // Let the run end as a host would see it end.
    QElapsedTimer limit;
    limit.start();
    while (control.isActive() && limit.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    control.invoke(qint32(DispId::Active), DispKind::PropertyPut, {0});
    QCoreApplication::processEvents();
    if (!seen)
        return std::nullopt;
    return double(seen->receivedNs - startNs) / 1e3;
}

std::optional<double> bareOnce(int fd, IcmpWatcher &requests, quint16 sequence)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const QByteArray request
        = IcmpMessage::echo(Icmp4::EchoRequest, 0, sequence, QByteArray(32, 'x')).encodeWithChecksum();
    requests.drain();
    const qint64 startNs = realtimeNs();
    if (::sendto(fd, request.constData(), size_t(request.size()), 0, reinterpret_cast<const sockaddr *>(&to),
                 sizeof to)
        < 0)
        return std::nullopt;
    const std::optional<IcmpWatcher::Seen> seen = requests.next(1000);
    if (!seen)
        return std::nullopt;
    return double(seen->receivedNs - startNs) / 1e3;
}

} // namespace

int main(int argc, char **argv)
{
    if (const std::optional<int> skipped = BenchNetwork::prepareProcess())
        return *skipped;
    QApplication app(argc, argv);
    const int repetitions = intArgument(argc, argv, 1, 200, 2);

    BenchNetwork bench;
    if (!bench.enterClient())
        return bench.fail();
    IcmpWatcher requests(8); // ICMP echo request
    const int bare = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (!requests.ok() || bare < 0) {
        std::fprintf(stderr, "client namespace: %s\n",
                     qPrintable(!requests.ok() ? requests.error() : QStringLiteral("no ICMP datagram socket")));
        return 1;
    }

    printHeader(QStringLiteral("3. Ping to wire"),
                {QStringLiteral("bench_ping_to_wire"), QString::number(repetitions)});
    printLine(QStringLiteral("invoke of Ping(\"127.0.0.1\") until the request's kernel timestamp on loopback, "
                             "client namespace, IPv4 datagram socket; %1 repetitions, taking turns with the baseline")
                  .arg(repetitions));
    QList<double> component, baseline;
    int missed = 0;
    for (int i = 0; i < repetitions; ++i) {
        if (const auto us = componentOnce(requests))
            component.append(*us);
        else
            ++missed;
        if (const auto us = bareOnce(bare, requests, quint16(i + 1)))
            baseline.append(*us);
        else
            ++missed;
    }
    ::close(bare);

    const QString us = QStringLiteral("us");
    printLine(QStringLiteral("  component        %1").arg(describe(summarize(component), us, 1)));
    printLine(QStringLiteral("  baseline sendto  %1").arg(describe(summarize(baseline), us, 1)));
    const double p99 = percentile(component, 99);
    printLine(QStringLiteral("  component - baseline: median %1 us, p99 %2 us; median ratio %3")
                  .arg(percentile(component, 50) - percentile(baseline, 50), 0, 'f', 1)
                  .arg(p99 - percentile(baseline, 99), 0, 'f', 1)
                  .arg(percentile(component, 50) / percentile(baseline, 50), 0, 'f', 1));
    if (missed > 0)
        printLine(QStringLiteral("  %1 requests never seen on loopback").arg(missed));
    printLine(QStringLiteral("goal (p99 under %1 us): %2").arg(GoalUs, 0, 'f', 0).arg(verdict(p99, GoalUs, us, 1)));
    return missed == 0 ? 0 : 1;
}
