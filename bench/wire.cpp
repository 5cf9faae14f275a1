// Round trips against the wire: a packet capture on the client's side of the
// test path (an AF_PACKET socket on the client's veth, with the kernel's
// software timestamps, as tcpdump takes them) times each echo request as it
// goes out to the device and each reply as it comes in. The component and
// iputils ping take turns on the same path in the same run, ten requests at a
// time, and each round trip a tool shows is set against the capture's for the
// same request. Three conditions, as in the accuracy benchmark: quiet; the
// component's UI thread busy 300 ms at a time; its process stopped (SIGSTOP)
// 300 ms at a time. iputils runs in processes of its own, never stressed.
//
// Usage: bench_wire [requests] [delay-ms]
#include "benchnetwork.h"
#include "benchreport.h"
#include "receivedcontrol.h"
#include "stress.h"
#include "tarvixctl.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <arpa/inet.h>
#include <linux/errqueue.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <linux/net_tstamp.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

using Tarvix::DispId;
using Tarvix::DispKind;
using Tarvix::PingEvents;
using namespace BenchReport;
using namespace BenchStress;

namespace {

constexpr int Turn = 10;        // requests per tool before the other takes over
constexpr int IntervalMs = 100; // between the component's requests
constexpr int TimeoutMs = 100;  // shorter than a stress: replies are read after their deadline
constexpr int StressMs = 300;
constexpr int FreeMs = 10;
constexpr double GoalMedianUs = 5;
constexpr double GoalP99Us = 20;

// Echo requests and replies on one interface, IPv4, with the kernel's
// software timestamps: an outgoing request as it is handed to the device's
// queue, a reply as it comes in from the device.
class WireCapture
{
public:
    struct Echo
    {
        qint64 requestNs = 0; // CLOCK_REALTIME
        qint64 replyNs = 0;
        double roundTripUs() const { return double(replyNs - requestNs) / 1e3; }
        bool complete() const { return requestNs != 0 && replyNs != 0; }
    };

    explicit WireCapture(const char *interface)
    {
        const unsigned index = if_nametoindex(interface);
        // ETH_P_ALL: only sockets of every protocol see outgoing packets too.
        m_fd = ::socket(AF_PACKET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, htons(ETH_P_ALL));
        const int flags = SOF_TIMESTAMPING_RX_SOFTWARE | SOF_TIMESTAMPING_SOFTWARE;
        sockaddr_ll at{};
        at.sll_family = AF_PACKET;
        at.sll_protocol = htons(ETH_P_ALL);
        at.sll_ifindex = int(index);
        if (index == 0 || m_fd < 0
            || ::setsockopt(m_fd, SOL_SOCKET, SO_TIMESTAMPING, &flags, sizeof flags) != 0
            || ::bind(m_fd, reinterpret_cast<const sockaddr *>(&at), sizeof at) != 0) {
            m_errno = errno;
            if (m_fd >= 0)
                ::close(m_fd);
            m_fd = -1;
        }
    }
    ~WireCapture()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Q_DISABLE_COPY_MOVE(WireCapture)

    bool ok() const { return m_fd >= 0; }
    QString error() const { return QString::fromLocal8Bit(std::strerror(m_errno)); }

    // Everything captured since the last call, by echo identifier and sequence.
    QHash<quint32, Echo> drain()
    {
        QHash<quint32, Echo> echoes;
        unsigned char packet[2048];
        Icmp::ReceiveMessage received(packet, sizeof packet);
        for (;;) {
            const ssize_t size = received.receive(m_fd, MSG_DONTWAIT);
            if (size < 0)
                return echoes;
            // A packet socket's sender is a link-layer address.
            sockaddr_ll from{};
            std::memcpy(&from, &received.sender(), sizeof from);
            const qint64 stampNs = received.control().stampNs.value_or(0);
            const std::size_t headerSize = size > 0 ? std::size_t(packet[0] & 0x0f) * 4 : 0;
            if (stampNs == 0 || from.sll_protocol != htons(ETH_P_IP) || size < 20 || packet[9] != IPPROTO_ICMP || std::size_t(size) < headerSize + 8)
                continue;
            const unsigned char *icmp = packet + headerSize;
            const quint32 key = quint32(icmp[4] << 8 | icmp[5]) << 16 | quint32(icmp[6] << 8 | icmp[7]);
            if (icmp[0] == 8 && from.sll_pkttype == PACKET_OUTGOING)
                echoes[key].requestNs = stampNs;
            else if (icmp[0] == 0 && from.sll_pkttype == PACKET_HOST)
                echoes[key].replyNs = stampNs;
        }
    }

private:
    int m_fd = -1;
    int m_errno = 0;
};

// |tool - wire| of each request, in microseconds, and what could not be paired.
struct Measured
{
    QList<double> offUs;
    QList<double> wireUs;
    int unpaired = 0;
};

struct Condition
{
    Measured iputils;
    Measured component;
};

// One request by iputils; its summary gives the round trip to the microsecond.
// Set against the one echo the capture saw meanwhile.
void iputilsOnce(const TestNetwork &network, const QString &host, WireCapture &capture, Measured &m)
{
    static const QRegularExpression summary(QStringLiteral("= ([\\d.]+)/([\\d.]+)/"));
    capture.drain();
    const auto result = network.runInClient({QStringLiteral("ping"), QStringLiteral("-c"), QStringLiteral("1"),
                                             QStringLiteral("-W"), QStringLiteral("2"), host});
    const auto match = summary.match(result.output);
    const QHash<quint32, WireCapture::Echo> seen = capture.drain();
    if (!result.finished || !match.hasMatch() || seen.size() != 1 || !seen.cbegin()->complete()) {
        ++m.unpaired;
        return;
    }
    const double wireUs = seen.cbegin()->roundTripUs();
    m.wireUs.append(wireUs);
    m.offUs.append(std::abs(match.captured(2).toDouble() * 1e3 - wireUs));
}

// count requests by the component, one every IntervalMs, under stress; its own
// lines give each round trip to the microsecond, with the sequence.
void componentTurn(const QString &host, int count, Stress stress, WireCapture &capture, Measured &m)
{
    static const QRegularExpression replyLine(QStringLiteral("icmp_seq=(\\d+) .*time=([\\d.]+) ms"));
    QHash<quint16, double> shownUs;
    TarvixCtl control;
    control.setIntervalMs(IntervalMs);
    QObject::connect(control.events(), &PingEvents::OnPingStr, &control, [&](const QString &line) {
        if (const auto match = replyLine.match(line); match.hasMatch())
            shownUs.insert(quint16(match.captured(1).toUInt()), match.captured(2).toDouble() * 1e3);
    });
    control.invoke(qint32(DispId::Count), DispKind::PropertyPut, {count});
    control.invoke(qint32(DispId::Timeout), DispKind::PropertyPut, {TimeoutMs});
    capture.drain();

    StressScope stressed(stress, StressMs, FreeMs);

    control.invoke(qint32(DispId::Ping), DispKind::Method, {host});
    QElapsedTimer limit;
    limit.start();
    while (control.isActive() && limit.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::processEvents();
    stressed.end();

    // The component's requests were the only ones on the path meanwhile.
    const QHash<quint32, WireCapture::Echo> seen = capture.drain();
    QHash<quint16, WireCapture::Echo> bySequence;
    for (auto it = seen.cbegin(); it != seen.cend(); ++it)
        bySequence.insert(quint16(it.key()), it.value());
    for (quint16 sequence = 1; sequence <= count; ++sequence) {
        const auto shown = shownUs.constFind(sequence);
        const auto wire = bySequence.constFind(sequence);
        if (shown == shownUs.cend() || wire == bySequence.cend() || !wire->complete()) {
            ++m.unpaired;
            continue;
        }
        m.wireUs.append(wire->roundTripUs());
        m.offUs.append(std::abs(*shown - wire->roundTripUs()));
    }
}

Condition measure(const TestNetwork &network, WireCapture &capture, const QString &host, int requests,
                  Stress stress)
{
    Condition c;
    int turns = 0;
    while (c.component.offUs.size() < requests && turns++ < 3 * requests / Turn + 3) {
        for (int i = 0; i < Turn; ++i)
            iputilsOnce(network, host, capture, c.iputils);
        componentTurn(host, Turn, stress, capture, c.component);
    }
    return c;
}

// Prints one condition; gives whether the component met both goals and was
// closer than iputils.
bool report(Stress stress, const Condition &c)
{
    printLine(QStringLiteral("-- %1 --").arg(title(stress, StressMs, FreeMs)));
    const QString us = QStringLiteral("us");
    const double componentMedian = percentile(c.component.offUs, 50);
    const double componentP99 = percentile(c.component.offUs, 99);
    const double iputilsMedian = percentile(c.iputils.offUs, 50);
    const double iputilsP99 = percentile(c.iputils.offUs, 99);
    printLine(QStringLiteral("  wire round trips: %1").arg(describe(summarize(c.component.wireUs + c.iputils.wireUs), us, 1)));
    for (const auto &[name, m] : {std::pair{"component", &c.component}, std::pair{"iputils  ", &c.iputils}}) {
        printLine(QStringLiteral("  |%1 - wire|: median %2 us  p99 %3 us  max %4 us  (n=%5%6)")
                      .arg(QLatin1String(name))
                      .arg(percentile(m->offUs, 50), 0, 'f', 1)
                      .arg(percentile(m->offUs, 99), 0, 'f', 1)
                      .arg(summarize(m->offUs).max, 0, 'f', 1)
                      .arg(m->offUs.size())
                      .arg(m->unpaired ? QStringLiteral(", %1 not paired with the wire").arg(m->unpaired) : QString()));
    }
    const bool closer = componentMedian < iputilsMedian && componentP99 < iputilsP99;
    printLine(QStringLiteral("  component: median goal %1 us: %2; p99 goal %3 us: %4; closer than iputils: %5")
                  .arg(GoalMedianUs, 0, 'f', 0)
                  .arg(verdict(componentMedian, GoalMedianUs, us, 1))
                  .arg(GoalP99Us, 0, 'f', 0)
                  .arg(verdict(componentP99, GoalP99Us, us, 1))
                  .arg(closer ? QStringLiteral("yes") : QStringLiteral("no")));
    return !c.component.offUs.isEmpty() && componentMedian <= GoalMedianUs && componentP99 <= GoalP99Us && closer;
}

} // namespace

int main(int argc, char **argv)
{
    workInChild();
    if (const std::optional<int> skipped = BenchNetwork::prepareProcess())
        return *skipped;
    QApplication app(argc, argv);
    const int requests = intArgument(argc, argv, 1, 100, Turn);
    const int delayMs = intArgument(argc, argv, 2, 20, 0);

    BenchNetwork bench;
    TestNetwork &network = bench.network();
    ResponderOptions options;
    options.delayMs = delayMs;
    if (!network.startResponder(options) || !bench.enterClient())
        return bench.fail();
    const QString host = TestNetwork::hostAddress(IpFamily::IPv4).toString();
    WireCapture capture("veth0"); // the client's end of the path
    if (!capture.ok()) {
        std::fprintf(stderr, "capturing on the client's veth0: %s\n", qPrintable(capture.error()));
        return 1;
    }

    printHeader(QStringLiteral("7. Round trips against the wire, the component beside iputils ping"),
                {QStringLiteral("bench_wire"), QString::number(requests), QString::number(delayMs)});
    printLine(QStringLiteral("capture: AF_PACKET on the client's veth0, kernel software timestamps; test host "
                             "answering after %1 ms; IPv4 datagram sockets; %2 requests each, in turns of %3; "
                             "component requests %4 ms apart, time-out %5 ms")
                  .arg(delayMs)
                  .arg(requests)
                  .arg(Turn)
                  .arg(IntervalMs)
                  .arg(TimeoutMs));
    bool allMet = true;
    for (const Stress stress : {Stress::None, Stress::BusyUiThread, Stress::StoppedProcess})
        allMet = report(stress, measure(network, capture, host, requests, stress)) && allMet;
    printLine(QStringLiteral("goals (component within %1 us median and %2 us p99 of the wire, and closer than "
                             "iputils, in all three): %3")
                  .arg(GoalMedianUs, 0, 'f', 0)
                  .arg(GoalP99Us, 0, 'f', 0)
                  .arg(allMet ? QStringLiteral("met") : QStringLiteral("not all met")));
    return 0;
}
