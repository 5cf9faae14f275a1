// Scale: 1, 10 and 100 ping components in one process, each pinging loopback
// continuously as fast as it allows (one request in flight, the next at least
// 1 ms after the last), for a fixed time each. One of the N is the component
// of a full sample Form1, whose log shows its replies.
//
// Figures per N: CPU time (user + system, the whole process) per reply
// received by any component, and the 99th percentile from the kernel's
// receive timestamp of a reply of the form's component to the moment the
// form's Text1 holds its line. Ratios are against N = 1 of the same run.
//
// Cross-talk is checked, not assumed: every reply a component reports must
// carry its own identifier and a sequence never reported before, its
// statistics must count exactly the replies it reported, and the echo replies
// on the wire (the ICMP counters of a network namespace where nothing else
// pings) must add up to what the components received.
//
// Runs in the client namespace of the test network, on its loopback, with the
// ICMP datagram socket (as unprivileged users on a stock system get it) and
// with the raw socket (as root gets it), unless told one of them.
//
// Usage: bench_scale [seconds-per-N] [datagram|raw|both] [N,N,...]
// (by default 3 s, both sockets, N = 1,10,100; the first N is the baseline)
#include "benchreport.h"
#include "form1.h"
#include "form1definition.h"
#include "percentile.h"
#include "pingengine.h"
#include "tarvixctl.h"
#include <tarvix/tarvixctlfactory.h>
#include "testnetwork.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGridLayout>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <memory>
#include <vector>

#include <sys/resource.h>
#include <time.h>

using Tarvix::DispId;
using Tarvix::DispKind;
using Tarvix::PingEvents;
using Tarvix::TarvixCtlClassName;
using Tarvix::tarvixCtlFactory;
using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int WarmUpMs = 500;
constexpr double CpuPerReplyGoalUs = 100;
const QString Loopback = u"127.0.0.1"_s;

qint64 realtimeNs()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The Icmp counters of this thread's network namespace.
QHash<QByteArray, qint64> icmpCounters()
{
    QFile snmp(u"/proc/thread-self/net/snmp"_s);
    QHash<QByteArray, qint64> counters;
    if (!snmp.open(QIODevice::ReadOnly))
        return counters;
    QList<QByteArray> names;
    for (const QByteArray &line : snmp.readAll().split('\n')) {
        if (!line.startsWith("Icmp: "))
            continue;
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (names.isEmpty()) {
            names = fields;
            continue;
        }
        for (qsizetype i = 1; i < std::min(names.size(), fields.size()); ++i)
            counters.insert(names[i], fields[i].toLongLong());
    }
    return counters;
}

// What one component reported, as seen from outside it.
struct Tally
{
    TarvixCtl *control = nullptr;
    qint64 replies = 0;        // replied() over the whole run
    qint64 repliesInWindow = 0;
    qint64 foreign = 0;        // identifier not the run's own
    qint64 repeated = 0;       // a sequence reported before, or one going back
    qint64 lastSequence = -1;
};

struct Figures
{
    int components = 0;
    double seconds = 0;
    qint64 replies = 0;
    double cpuPerReplyUs = 0;
    double p50LineUs = 0;
    double p99LineUs = 0;
    qint64 lines = 0;
    qint64 linesMissing = 0;    // OnPing came, but Text1 did not end in a reply line
    qint64 userTimestamps = 0;  // replies without the kernel's receive timestamp
    qint64 lost = 0;
    QStringList crossTalk;      // every breach found, in words
    QStringList errors;         // what the components and the form reported as errors
    QString wire;
};

class ScaleRun
{
public:
    ScaleRun(int components, Prober::Preference preference) : m_preference(preference)
    {
        m_registry.add(QString::fromLatin1(TarvixCtlClassName), tarvixCtlFactory());
        m_form1 = std::make_unique<Form1>(m_registry);
        m_form1->show();
        m_tallies.resize(size_t(components));
        m_tallies[0].control = qobject_cast<TarvixCtl *>(m_form1->form().controlWidget(u"TarvixCtl1"_s));
        if (!m_tallies[0].control)
            return;
        // A message box would wait for a click that never comes.
        m_form1->form().setErrorReporter([this](const QString &message) { m_errors << message; });
        // The other components in a window of their own, as a program with
        // many of them would show them.
        auto *grid = new QGridLayout(&m_others);
        for (int i = 1; i < components; ++i) {
            m_tallies[size_t(i)].control = new TarvixCtl(&m_others);
            grid->addWidget(m_tallies[size_t(i)].control, (i - 1) / 10, (i - 1) % 10);
        }
        if (components > 1)
            m_others.show();
        for (Tally &tally : m_tallies)
            watch(tally);
        // After the form's own connection, so its handler has run.
        QObject::connect(m_tallies[0].control->events(), &PingEvents::OnPing, &m_others,
                         [this](const QString &, qint32 bytes) { onFormLine(bytes); });
    }

    ~ScaleRun()
    {
        for (const Tally &tally : m_tallies) {
            if (tally.control)
                tally.control->invoke(qint32(DispId::Active), DispKind::PropertyPut, {0});
        }
    }

    bool valid() const { return m_tallies[0].control != nullptr; }

    Figures measure(int windowMs)
    {
        const QHash<QByteArray, qint64> wireBefore = icmpCounters();
        start();
        spin(WarmUpMs);

        m_measuring = true;
        m_windowStartNs = realtimeNs();
        const double cpuBefore = cpuSeconds();
        QElapsedTimer elapsed;
        elapsed.start();
        spin(windowMs);
        const double cpu = cpuSeconds() - cpuBefore;
        const double seconds = double(elapsed.nsecsElapsed()) / 1e9;
        m_measuring = false;

        // What is in flight when the runs end was sent but is never counted.
        qint64 inFlight = 0;
        for (const Tally &tally : m_tallies) {
            const RunState *run = tally.control->engine()->run();
            inFlight += run && run->inFlight() ? 1 : 0;
            tally.control->invoke(qint32(DispId::Active), DispKind::PropertyPut, {0});
        }
        spin(100);
        const QHash<QByteArray, qint64> wireAfter = icmpCounters();

        Figures figures;
        figures.components = int(m_tallies.size());
        figures.seconds = seconds;
        for (const Tally &tally : m_tallies)
            figures.replies += tally.repliesInWindow;
        figures.cpuPerReplyUs = figures.replies ? cpu / double(figures.replies) * 1e6 : std::nan("");
        figures.p50LineUs = percentile(m_lineLatenciesUs, 50);
        figures.p99LineUs = percentile(m_lineLatenciesUs, 99);
        figures.lines = qint64(m_lineLatenciesUs.size());
        figures.linesMissing = m_linesMissing;
        figures.userTimestamps = m_userTimestamps;
        figures.errors = m_errors;
        checkCrossTalk(figures, wireAfter, wireBefore, inFlight);
        return figures;
    }

private:
    void watch(Tally &tally)
    {
        TarvixCtl *control = tally.control;
        control->setIntervalMs(1);
        control->setSocketPreference(m_preference);
        const bool isForms = &tally == &m_tallies[0];
        QObject::connect(control->events(), &PingEvents::OnPingError, &m_others,
                         [this](const QString &text) { m_errors << text.trimmed(); });
        QObject::connect(control->engine(), &PingEngine::replied, &m_others,
                         [this, &tally, control, isForms](const ProbeEvent &reply, qint64) {
                             ++tally.replies;
                             if (m_measuring)
                                 ++tally.repliesInWindow;
                             if (reply.identifier != control->engine()->run()->identifier())
                                 ++tally.foreign;
                             // Sequences wrap at 16 bits; a reply may follow losses, never come twice or go back.
                             if (tally.lastSequence >= 0 && quint16(reply.sequence - tally.lastSequence - 1) >= 0x8000)
                                 ++tally.repeated;
                             tally.lastSequence = reply.sequence;
                             if (isForms) {
                                 m_formReplies.push_back(reply.receivedNs);
                                 if (!reply.kernelTimestamp && m_measuring)
                                     ++m_userTimestamps;
                             }
                         });
    }

    void start()
    {
        Form &form = m_form1->form();
        form.textBox(u"Text6"_s).setText(Loopback);
        form.checkBox(u"Check1"_s).setValue(1); // until interrupted
        form.raise(u"Command1_Click"_s);
        for (size_t i = 1; i < m_tallies.size(); ++i) {
            TarvixCtl *control = m_tallies[i].control;
            control->invoke(qint32(DispId::Continuous), DispKind::PropertyPut, {1});
            control->invoke(qint32(DispId::Ping), DispKind::Method, {Loopback});
        }
    }

    // The form's handler has just put the line for the reply at the head of
    // the queue into Text1 (or a time-out's line: not a reply, not timed).
    void onFormLine(qint32 bytes)
    {
        if (bytes < 0)
            return;
        const qint64 shownNs = realtimeNs();
        if (m_formReplies.empty())
            return; // the run was stopped with replies not yet raised
        const qint64 receivedNs = m_formReplies.front();
        m_formReplies.pop_front();
        if (!m_measuring || receivedNs < m_windowStartNs)
            return;
        const QString log = m_form1->form().textBox(u"Text1"_s).text();
        const qsizetype lineBreak = log.lastIndexOf(u"\r\n"_s, log.size() - 3);
        const qsizetype lineStart = lineBreak < 0 ? 0 : lineBreak + 2;
        if (!log.endsWith(u"\r\n"_s) || !QStringView(log).mid(lineStart).startsWith(u"Reply from 127.0.0.1: bytes="_s)) {
            ++m_linesMissing;
            return;
        }
        m_lineLatenciesUs.push_back(double(shownNs - receivedNs) / 1e3);
    }

    void checkCrossTalk(Figures &figures, const QHash<QByteArray, qint64> &after,
                        const QHash<QByteArray, qint64> &before, qint64 inFlight)
    {
        qint64 received = 0;
        qint64 sent = 0;
        for (size_t i = 0; i < m_tallies.size(); ++i) {
            const Tally &tally = m_tallies[i];
            const RunState *run = tally.control->engine()->run();
            if (!run) {
                figures.crossTalk << u"component %1 never started a run"_s.arg(i);
                continue;
            }
            const RunStatistics &statistics = run->statistics();
            received += statistics.received();
            sent += statistics.sent();
            figures.lost += statistics.lost();
            const auto breach = [&](const QString &what) {
                figures.crossTalk << u"component %1: %2"_s.arg(i).arg(what);
            };
            if (statistics.received() != tally.replies)
                breach(u"counts %1 received, reported %2 replies"_s.arg(statistics.received()).arg(tally.replies));
            if (statistics.duplicates() != 0)
                breach(u"%1 duplicates"_s.arg(statistics.duplicates()));
            if (tally.foreign != 0)
                breach(u"%1 replies with another identifier"_s.arg(tally.foreign));
            if (tally.repeated != 0)
                breach(u"%1 replies out of sequence"_s.arg(tally.repeated));
        }
        const auto delta = [&](const char *name) { return after.value(name) - before.value(name); };
        const qint64 requests = delta("OutEchos");
        const qint64 replies = delta("InEchoReps");
        figures.wire = u"wire %1 requests, %2 replies; components %3 requests, %4 received, %5 in flight at the stop"_s
                           .arg(requests)
                           .arg(replies)
                           .arg(sent)
                           .arg(received)
                           .arg(inFlight);
        if (after.isEmpty())
            figures.wire += u" (no ICMP counters here)"_s;
        else if (requests != sent + inFlight || replies < received || replies > received + inFlight)
            figures.crossTalk << u"the wire does not add up"_s;
    }

    static void spin(int ms)
    {
        QEventLoop loop;
        QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    }

    Prober::Preference m_preference;
    ComponentRegistry m_registry;
    QWidget m_others; // the other components' window, and the context of our connections
    std::unique_ptr<Form1> m_form1;
    std::vector<Tally> m_tallies;
    std::deque<qint64> m_formReplies;
    std::vector<double> m_lineLatenciesUs;
    QStringList m_errors;
    qint64 m_linesMissing = 0;
    qint64 m_userTimestamps = 0;
    qint64 m_windowStartNs = 0;
    bool m_measuring = false;
};

void report(const char *path, const std::vector<Figures> &all)
{
    std::printf("\n%s socket:\n", path);
    std::printf("%5s %9s %10s %13s %16s %16s\n", "N", "replies", "per second", "CPU per reply", "line p50", "line p99");
    for (const Figures &f : all) {
        std::printf("%5d %9lld %10.0f %10.1f us %13.1f us %13.1f us   (%lld lines timed)\n", f.components,
                    qlonglong(f.replies), double(f.replies) / f.seconds, f.cpuPerReplyUs, f.p50LineUs, f.p99LineUs,
                    qlonglong(f.lines));
    }
    const Figures &base = all.front();
    for (size_t i = 1; i < all.size(); ++i) {
        const Figures &f = all[i];
        std::printf("N=%d against N=%d: CPU per reply %.2f x, line p99 %.2f x, replies per second %.2f x\n",
                    f.components, base.components, f.cpuPerReplyUs / base.cpuPerReplyUs, f.p99LineUs / base.p99LineUs,
                    (double(f.replies) / f.seconds) / (double(base.replies) / base.seconds));
    }
    bool clean = true;
    for (const Figures &f : all) {
        std::printf("N=%d %s\n", f.components, qPrintable(f.wire));
        if (f.lost)
            std::printf("N=%d %lld requests lost\n", f.components, qlonglong(f.lost));
        if (f.linesMissing)
            std::printf("N=%d %lld replies without their line in Text1\n", f.components, qlonglong(f.linesMissing));
        if (f.userTimestamps)
            std::printf("N=%d %lld replies without the kernel's timestamp\n", f.components,
                        qlonglong(f.userTimestamps));
        for (const QString &breach : f.crossTalk)
            std::printf("N=%d cross-talk: %s\n", f.components, qPrintable(breach));
        if (!f.errors.isEmpty())
            std::printf("N=%d %lld errors, the first: %s\n", f.components, qlonglong(f.errors.size()),
                        qPrintable(f.errors.first()));
        clean = clean && f.crossTalk.isEmpty();
    }
    std::printf("No cross-talk (each component counts only its own replies, the wire adds up): %s\n",
                clean ? "met" : "NOT met");
    // One component pays for every reply's log line and its share of the
    // form's paint; where there are many, those spread over all of them.
    std::printf("CPU per reply at N=%d <= %.0f us: %s\n", base.components, CpuPerReplyGoalUs,
                qPrintable(BenchReport::verdict(base.cpuPerReplyUs, CpuPerReplyGoalUs, u"us"_s, 1)));
    std::printf("Line latency: no goal set; the ratios above are the figures.\n");
}

QtMessageHandler defaultMessageHandler = nullptr;

// The offscreen platform says this for every window it shows; nothing else is dropped.
void quietMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message != u"This plugin does not support propagateSizeHints()"_s)
        defaultMessageHandler(type, context, message);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    defaultMessageHandler = qInstallMessageHandler(quietMessageHandler);
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const QByteArray which = argc > 2 ? QByteArray(argv[2]) : QByteArray("both");
    QList<int> counts;
    for (const QByteArray &count : (argc > 3 ? QByteArray(argv[3]) : QByteArray("1,10,100")).split(','))
        counts << std::max(1, count.toInt());
    if ((which != "datagram" && which != "raw" && which != "both") || counts.isEmpty()) {
        std::fprintf(stderr, "usage: %s [seconds-per-N] [datagram|raw|both] [N,N,...]\n", argv[0]);
        return 2;
    }

    const QString unavailable = TestNetwork::unavailableReason();
    if (!unavailable.isEmpty()) {
        std::fprintf(stderr, "skipped: %s\n", qPrintable(unavailable));
        return 77;
    }
    TestNetwork network;
    // The client namespace lets its members open ICMP datagram sockets; root
    // may open raw ones anyway.
    if (!network.ok() || !network.setPingGroupRange(0, 2147483647)) {
        std::fprintf(stderr, "test network: %s\n", qPrintable(network.error()));
        return 1;
    }
    TestNetwork::ClientScope scope(network);
    if (!scope.ok()) {
        std::fprintf(stderr, "client namespace: %s\n", qPrintable(scope.error()));
        return 1;
    }

    std::printf("Components pinging 127.0.0.1 continuously, interval 1 ms, %d s each after %d ms of warm-up,\n"
                "in the test network's client namespace; one of them is the component of a full sample Form1.\n"
                "CPU per reply: user + system time of the process over all replies received. Line: from the\n"
                "kernel's receive timestamp of a reply to the form's component until Text1 holds its line.\n"
                "At N=1 every reply is the form's and pays for its log and repaint; at N=100 one in a hundred.\n",
                seconds, WarmUpMs);
    bool clean = true;
    for (const auto &[name, preference] : {std::pair{"datagram", Prober::Preference::DatagramOnly},
                                           std::pair{"raw", Prober::Preference::RawOnly}}) {
        if (which != "both" && which != name)
            continue;
        std::vector<Figures> all;
        for (const int components : std::as_const(counts)) {
            ScaleRun run(components, preference);
            if (!run.valid()) {
                std::fprintf(stderr, "Form1 has no ping component\n");
                return 1;
            }
            all.push_back(run.measure(seconds * 1000));
        }
        report(name, all);
        for (const Figures &f : all)
            clean = clean && f.crossTalk.isEmpty() && f.errors.isEmpty();
    }
    return clean ? 0 : 1;
}
