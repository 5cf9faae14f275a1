// Soak: one continuous run of Tarvix's Form1, hosting the real component, to
// 127.0.0.1 in the client namespace with requests 1 ms apart, until it has
// 20,000 replies. Resident memory is sampled every 1,000 replies and must stay
// flat after the warm-up; the log (Text1) must never grow past 1024
// characters plus one line, checked after every OnPing. Baseline: the
// resident memory right after the warm-up.
//
// Usage: bench_soak [replies]
#include "benchnetwork.h"
#include "benchreport.h"
#include "form1.h"
#include "form1definition.h"
#include "tarvixctl.h"
#include <tarvix/tarvixctlfactory.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>

using namespace BenchReport;
using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int SampleEvery = 1000;
constexpr int WarmUp = 2000;
constexpr qsizetype LogLimit = 1024; // Form1 empties the log once it is longer than this
constexpr double GoalGrowthKb = 1024;

// VmRSS of this process in kB, -1 when unreadable.
qint64 residentKb()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    // readAll: proc files report a size of 0, so reading line by line up to
    // atEnd() would read nothing.
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            bool ok = false;
            const qint64 kb = line.mid(6).trimmed().split(' ').first().toLongLong(&ok);
            return ok ? kb : -1;
        }
    }
    return -1;
}

qsizetype longestLine(const QString &log)
{
    qsizetype longest = 0;
    for (const QStringView line : QStringView(log).split(u"\r\n"_s))
        longest = std::max(longest, line.size() + 2);
    return longest;
}

} // namespace

int main(int argc, char **argv)
{
    if (const std::optional<int> skipped = BenchNetwork::prepareProcess())
        return *skipped;
    QApplication app(argc, argv);
    const int target = intArgument(argc, argv, 1, 20000, WarmUp + SampleEvery);

    BenchNetwork bench;
    if (!bench.enterClient())
        return bench.fail();

    ComponentRegistry components;
    components.add(QString::fromLatin1(Tarvix::TarvixCtlClassName), Tarvix::tarvixCtlFactory());
    Form1 form1(components);
    Form &form = form1.form();
    QStringList messages;
    form.setErrorReporter([&](const QString &message) { messages.append(message); });
    form1.show();
    auto *control = qobject_cast<TarvixCtl *>(form.controlWidget(u"TarvixCtl1"_s));
    if (!control) {
        std::fprintf(stderr, "Form1 hosts no TarvixCtl as TarvixCtl1\n");
        return 1;
    }
    control->setIntervalMs(1);
    form.textBox(u"Text6"_s).setText(u"127.0.0.1"_s);
    form.checkBox(u"Check1"_s).setValue(1);
    const TextBox log = form.textBox(u"Text1"_s);

    printHeader(QStringLiteral("6. Soak"), {QStringLiteral("bench_soak"), QString::number(target)});
    printLine(QStringLiteral("Tarvix's Form1 (offscreen) with the real component, continuous, requests 1 ms apart, "
                             "to 127.0.0.1 in the client namespace, until %1 replies")
                  .arg(target));

    int replies = 0;
    int lost = 0;
    qsizetype longestLog = 0;
    qsizetype longestLogLine = 0;
    QList<qint64> rssKb; // after 1,000, 2,000 ... replies
    // Connected after Form1's own handler, so this sees the log as it left it.
    QObject::connect(control->events(), &Tarvix::PingEvents::OnPing, control,
                     [&](const QString &, qint32 bytes, qint32, qint32) {
                         const QString text = log.text();
                         longestLog = std::max(longestLog, text.size());
                         longestLogLine = std::max(longestLogLine, longestLine(text));
                         if (bytes < 0) {
                             ++lost;
                             return;
                         }
                         if (++replies % SampleEvery == 0)
                             rssKb.append(residentKb());
                     });

    QElapsedTimer elapsed;
    elapsed.start();
    form.raise(u"Command1_Click"_s);
    while (replies < target && elapsed.elapsed() < 600000 && messages.isEmpty())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const qint64 runMs = elapsed.elapsed();
    form.raise(u"Command2_Click"_s);
    const CommandButton ping = form.commandButton(u"Command1"_s);
    while (!ping.enabled() && elapsed.elapsed() < runMs + 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    printLine(QStringLiteral("  %1 replies and %2 lost in %3 s (%4 replies/s)")
                  .arg(replies)
                  .arg(lost)
                  .arg(double(runMs) / 1000, 0, 'f', 1)
                  .arg(double(replies) * 1000 / double(std::max<qint64>(runMs, 1)), 0, 'f', 0));
    QStringList series;
    for (const qint64 kb : std::as_const(rssKb))
        series.append(QString::number(kb));
    printLine(QStringLiteral("  VmRSS (kB) every %1 replies: %2").arg(SampleEvery).arg(series.join(u' ')));

    const qsizetype warm = WarmUp / SampleEvery - 1;
    const bool sampled = rssKb.size() > warm && replies >= target && !rssKb.contains(-1);
    const double growthKb = sampled ? double(rssKb.last() - rssKb[warm]) : std::nan("");
    if (sampled) {
        const auto [low, high] = std::minmax_element(rssKb.cbegin() + warm, rssKb.cend());
        printLine(QStringLiteral("  baseline: VmRSS after the warm-up (%1 replies) %2 kB; after %3 replies %4 kB; "
                                 "range after the warm-up %5 to %6 kB")
                      .arg(WarmUp)
                      .arg(rssKb[warm])
                      .arg(replies)
                      .arg(rssKb.last())
                      .arg(*low)
                      .arg(*high));
    }
    const qsizetype logBound = LogLimit + longestLogLine;
    printLine(QStringLiteral("  log: longest %1 characters; bound 1024 + its longest line (%2) = %3: %4")
                  .arg(longestLog)
                  .arg(longestLogLine)
                  .arg(logBound)
                  .arg(longestLog <= logBound ? u"within"_s : u"exceeded"_s));
    if (!messages.isEmpty())
        printLine(QStringLiteral("  the form reported: %1").arg(messages.first()));
    printLine(QStringLiteral("goals: RSS growth from %1 to %2 replies %3 kB (goal under %4 kB: %5); "
                             "log never past 1024 characters plus one line: %6")
                  .arg(WarmUp)
                  .arg(replies)
                  .arg(growthKb, 0, 'f', 0)
                  .arg(GoalGrowthKb, 0, 'f', 0)
                  .arg(verdict(growthKb, GoalGrowthKb, u"kB"_s, 0))
                  .arg(longestLog <= logBound ? u"met"_s : u"not met"_s));
    return sampled && messages.isEmpty() ? 0 : 1;
}
