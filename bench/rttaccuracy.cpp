// Round-trip accuracy of the ping component against iputils ping, on the same
// path in the same run: a test host in a network namespace answers after a
// fixed delay, and both tools take turns pinging it.
//
// Usage: bench_rtt_accuracy [requests] [delay-ms]
#include "percentile.h"
#include "tarvixctl.h"
#include "testnetwork.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

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

// count requests by the component, one every intervalMs; round trips in ms.
QList<double> componentRun(const QString &host, int count, int intervalMs)
{
    static const QRegularExpression time(QStringLiteral("time=([\\d.]+) ms"));
    QList<double> times;
    TarvixCtl control;
    control.setIntervalMs(intervalMs);
    QObject::connect(control.events(), &PingEvents::OnPingStr, &control, [&](const QString &line) {
        const auto match = time.match(line);
        if (match.hasMatch())
            times.append(match.captured(1).toDouble());
    });
    control.invoke(qint32(DispId::Count), DispKind::PropertyPut, {count});
    control.invoke(qint32(DispId::Ping), DispKind::Method, {host});
    QElapsedTimer limit;
    limit.start();
    while (control.isActive() && limit.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::processEvents();
    return times;
}

void report(const char *name, const QList<double> &times)
{
    std::printf("%-10s n=%-3lld median %.3f ms  p99 %.3f ms  min %.3f  max %.3f\n", name, qlonglong(times.size()),
                percentile(times, 50), percentile(times, 99), percentile(times, 0), percentile(times, 100));
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int requests = argc > 1 ? std::max(10, std::atoi(argv[1])) : 50;
    const int delayMs = argc > 2 ? std::atoi(argv[2]) : 20;

    const QString unavailable = TestNetwork::unavailableReason();
    if (!unavailable.isEmpty()) {
        std::fprintf(stderr, "skipped: %s\n", qPrintable(unavailable));
        return 77;
    }
    TestNetwork network;
    ResponderOptions options;
    options.delayMs = delayMs;
    if (!network.ok() || !network.setPingGroupRange(0, 2147483647) || !network.startResponder(options)) {
        std::fprintf(stderr, "test network: %s\n", qPrintable(network.error()));
        return 1;
    }
    const QString host = TestNetwork::hostAddress(QAbstractSocket::IPv4Protocol).toString();

    // Take turns in blocks of ten, so that both see the same machine.
    QList<double> iputils;
    QList<double> component;
    while (iputils.size() < requests) {
        const int block = int(std::min<qsizetype>(10, requests - iputils.size()));
        for (int i = 0; i < block; ++i) {
            if (const auto ms = iputilsOnce(network, host))
                iputils.append(*ms);
        }
        TestNetwork::ClientScope scope(network);
        component += componentRun(host, block, 100);
        if (iputils.size() + 10 < component.size() || component.size() + 10 < iputils.size())
            break;
    }

    std::printf("Round trips to a test host answering after %d ms, IPv4 datagram socket, %d requests each\n",
                delayMs, requests);
    report("iputils", iputils);
    report("component", component);
    std::printf("difference of medians  %.3f ms\n", percentile(component, 50) - percentile(iputils, 50));
    std::printf("difference of p99      %.3f ms\n", percentile(component, 99) - percentile(iputils, 99));
    QList<double> pairwise;
    for (qsizetype i = 0; i < std::min(iputils.size(), component.size()); ++i)
        pairwise.append(std::abs(component[i] - iputils[i]));
    std::printf("|component - iputils| request by request: median %.3f ms, p99 %.3f ms\n", percentile(pairwise, 50),
                percentile(pairwise, 99));
    return 0;
}
