// The run's history in bounded memory, the chart's window onto it, and the
// figures and texts made from it.
#include "chartwindow.h"
#include "pingtext.h"
#include "runhistory.h"
#include "runstatistics.h"
#include "runtranscript.h"

#include <QDateTime>
#include <QTimeZone>
#include <QRandomGenerator>
#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

constexpr qint64 ms = 1000000;
constexpr qint64 s = 1000 * ms;
constexpr qint64 base = 1765000000 * s; // some wall-clock time

RunHistory::Sample reply(qint64 o, qint64 rtt)
{
    return {RunHistory::Sample::Kind::Reply, quint16(o + 1), 64, 32, base + o * s, rtt, {}};
}

} // namespace

TEST(RunHistory, KeepsTheNewestExactlyAndFoldsTheRestWithoutLosingALoss)
{
    RunHistory history(100, 8);
    EXPECT_TRUE(history.isEmpty());
    // A day of requests, one lost at 1234 and an error at 50000.
    for (qint64 o = 0; o < 86400; ++o) {
        if (o == 1234)
            history.add({RunHistory::Sample::Kind::Lost, quint16(o + 1), -1, -1, base + o * s, 0, {}});
        else if (o == 50000)
            history.add({RunHistory::Sample::Kind::Error, quint16(o + 1), -1, -1, base + o * s, 0, QStringLiteral("x")});
        else
            history.add(reply(o, (o == 700 ? 900 : 20) * ms));
    }
    EXPECT_EQ(history.total(), 86400);
    EXPECT_EQ(history.firstExact(), 86300);
    EXPECT_LE(history.foldCount(), 8);
    // The newest are there one by one, sequence numbers wrapped and all.
    ASSERT_NE(history.exact(86399), nullptr);
    EXPECT_EQ(history.exact(86399)->sequence, quint16(86400));
    EXPECT_EQ(history.exact(86300)->timeNs, base + 86300 * s);
    EXPECT_EQ(history.exact(86299), nullptr);
    EXPECT_EQ(history.exact(86400), nullptr);

    // The whole run, summed up: every request counted once.
    const RunHistory::Summary all = history.summary(0, history.total());
    EXPECT_EQ(all.count, 86400);
    EXPECT_EQ(all.lost, 2);
    EXPECT_EQ(all.errors, 1);
    EXPECT_EQ(all.minRttNs, 20 * ms);
    EXPECT_EQ(all.maxRttNs, 900 * ms);
    EXPECT_EQ(all.firstTimeNs, base);
    EXPECT_EQ(all.lastTimeNs, base + 86399 * s);

    // Old losses and the old spike stay in whatever holds them now.
    EXPECT_EQ(history.summary(1234, 1235).lost, 1);
    EXPECT_EQ(history.summary(50000, 50001).errors, 1);
    EXPECT_EQ(history.summary(700, 701).maxRttNs, 900 * ms);
    // A fold never spills into a range it has no part in (folds of 16384 now).
    EXPECT_EQ(history.foldSize(), 16384);
    const RunHistory::Summary quiet = history.summary(65536, 86400);
    EXPECT_EQ(quiet.lost, 0);
    EXPECT_EQ(quiet.maxRttNs, 20 * ms);
    // Within the exact part a range is exact.
    const RunHistory::Summary recent = history.summary(86390, 86395);
    EXPECT_EQ(recent.count, 5);
    EXPECT_EQ(recent.first, 86390);
}

TEST(RunHistory, FindsRequestsByTime)
{
    RunHistory history(10, 4);
    for (qint64 o = 0; o < 1000; ++o)
        history.add(reply(o, ms));
    EXPECT_EQ(history.timeOf(999), base + 999 * s);
    EXPECT_EQ(history.timeOf(5000), base + 999 * s); // clamped
    // Folded requests get a time between their fold's first and last.
    const qint64 folded = history.timeOf(300);
    EXPECT_GE(folded, base + 200 * s);
    EXPECT_LE(folded, base + 400 * s);
    EXPECT_EQ(history.ordinalAt(base + 995 * s), 995);
    EXPECT_EQ(history.ordinalAt(base + 995 * s + 1), 996);
    EXPECT_EQ(history.ordinalAt(base - s), 0);
    EXPECT_EQ(history.ordinalAt(base + 2000 * s), 1000);
    EXPECT_EQ(RunHistory().ordinalAt(base), 0);
}

TEST(ChartWindow, ShortRunsFillTheChartAndLongOnesShowTheNewest)
{
    ChartWindow window;
    window.setTotal(3, 175);
    EXPECT_EQ(window.span(), ChartWindow::ShortestAutoSpan);
    window.setTotal(45, 175);
    EXPECT_EQ(window.span(), 50); // 45 of 50 columns used
    EXPECT_EQ(window.end(), 45);
    EXPECT_EQ(window.begin(), 0);
    window.setTotal(5000, 175);
    EXPECT_EQ(window.span(), 175);
    EXPECT_EQ(window.end(), 5000);
    EXPECT_TRUE(window.isLive());
}

TEST(ChartWindow, ZoomsInOneTwoFiveStepsFromAFewRequestsToTheWholeRun)
{
    ChartWindow window;
    window.setTotal(10000, 175);
    window.zoom(1);
    EXPECT_EQ(window.span(), 100);
    EXPECT_TRUE(window.isLive()); // zooming at the right edge keeps following
    window.zoom(3);
    EXPECT_EQ(window.span(), 10);
    window.zoom(5);
    EXPECT_EQ(window.span(), ChartWindow::MinimumSpan);
    window.zoom(-1);
    EXPECT_EQ(window.span(), 10);
    window.zoom(-40);
    EXPECT_EQ(window.span(), 10000); // the whole run, no wider
    EXPECT_EQ(window.begin(), 0);
    // Zooming in at the middle keeps the middle.
    window.zoom(2, 0.5); // 10000 -> 2000
    EXPECT_EQ(window.span(), 2000);
    EXPECT_FALSE(window.isLive());
    EXPECT_EQ(window.begin() + window.span() / 2, 5000);
}

TEST(ChartWindow, ScrollsBackThroughTheRunAndComesBackLive)
{
    ChartWindow window;
    window.setTotal(1000, 100);
    window.scroll(-300);
    EXPECT_FALSE(window.isLive());
    EXPECT_EQ(window.end(), 700);
    // The run goes on; the window stays where it was put.
    window.setTotal(1010, 100);
    EXPECT_EQ(window.end(), 700);
    window.scroll(-5000);
    EXPECT_EQ(window.begin(), 0);
    EXPECT_EQ(window.end(), 100);
    window.scroll(20000);
    EXPECT_TRUE(window.isLive());
    window.setTotal(1020, 100);
    EXPECT_EQ(window.end(), 1020);
    window.scroll(-10);
    window.zoom(1);
    window.goLive();
    EXPECT_TRUE(window.isLive());
    EXPECT_FALSE(window.isZoomed());
    EXPECT_EQ(window.span(), 100);
}

TEST(ChartWindow, TheCursorPicksARequestAndKeepsItInView)
{
    ChartWindow window;
    window.setTotal(1000, 100);
    window.moveCursor(-1); // from none: the newest
    ASSERT_TRUE(window.cursor());
    EXPECT_EQ(*window.cursor(), 999);
    // Held: the run going on does not move the window away from it.
    window.setTotal(1005, 100);
    EXPECT_FALSE(window.isLive());
    EXPECT_EQ(window.end(), 1000);
    for (int i = 0; i < 150; ++i)
        window.moveCursor(-1);
    EXPECT_EQ(*window.cursor(), 849);
    EXPECT_GE(*window.cursor(), window.begin());
    EXPECT_LT(*window.cursor(), window.end());
    window.setCursor(-7);
    EXPECT_EQ(*window.cursor(), 0);
    EXPECT_EQ(window.begin(), 0);
    window.setCursor(99999);
    EXPECT_EQ(*window.cursor(), 1004);
    EXPECT_EQ(window.end(), 1005);
    // A hovering mouse does not stop a live window.
    window.goLive();
    window.setCursor(990, false);
    window.setTotal(1010, 100);
    EXPECT_TRUE(window.isLive());
    EXPECT_EQ(window.end(), 1010);
}

TEST(RunStatistics, NinetyFifthPercentileIsNearTheExactOne)
{
    RunStatistics stats;
    EXPECT_EQ(stats.percentileNs(95), 0);
    std::vector<qint64> rtts;
    QRandomGenerator random(12);
    for (int i = 0; i < 20000; ++i) {
        // Mostly around 20 ms, with a tail up to 2 s.
        const qint64 rtt = i % 10 == 0 ? qint64(random.bounded(2000000)) * 1000 : 20 * ms + random.bounded(int(5 * ms));
        rtts.push_back(rtt);
        stats.addReply(rtt);
    }
    std::sort(rtts.begin(), rtts.end());
    for (double p : {50.0, 95.0, 99.0}) {
        const qint64 exact = rtts[size_t(std::ceil(p / 100 * rtts.size())) - 1];
        EXPECT_NEAR(double(stats.percentileNs(p)), double(exact), double(exact) * 0.03) << p;
    }
    EXPECT_EQ(stats.percentileNs(100), stats.maxNs());
    EXPECT_EQ(stats.percentileNs(0), stats.minNs());

    RunStatistics small;
    for (int i = 1; i <= 20; ++i)
        small.addReply(i * ms);
    EXPECT_NEAR(double(small.percentileNs(95)), double(19 * ms), 0.03 * 19 * ms);
    RunStatistics one;
    one.addReply(7 * ms + 3);
    EXPECT_EQ(one.percentileNs(95), 7 * ms + 3); // within min and max
}

TEST(RunTranscript, TheRunsOwnLinesAndOneCsvRowPerRequest)
{
    PingSettings settings;
    settings.continuous = 1;
    RunState run(settings, {QStringLiteral("h"), QStringLiteral("example.test"), HostAddress(QStringLiteral("192.0.2.7"))},
                 1, 1);
    run.markSent(1, base + 123 * ms, 0);
    run.completeWithReply(20 * ms + 4567, 32, 57);
    run.markSent(2, base + s, 0);
    run.completeLost(false);
    run.markSent(3, base + 2 * s, 0);
    run.completeLost(true, QStringLiteral("Reply from 198.51.100.1: Destination host unreachable.\r\n"));

    const QStringList lines = RunTranscript::text(run).split(QStringLiteral("\r\n"));
    ASSERT_GE(lines.size(), 6);
    EXPECT_EQ(lines[0], QStringLiteral("PING example.test (192.0.2.7) 32(60) bytes of data."));
    EXPECT_EQ(lines[1], QStringLiteral("40 bytes from example.test (192.0.2.7): icmp_seq=1 ttl=57 time=20.005 ms"));
    EXPECT_EQ(lines[2], QStringLiteral("No reply for icmp_seq=2 within 1000 ms"));
    EXPECT_EQ(lines[3], QStringLiteral("Reply from 198.51.100.1: Destination host unreachable."));
    EXPECT_EQ(lines[5], QStringLiteral("--- example.test ping statistics ---"));
    EXPECT_EQ(lines[6], QStringLiteral("3 packets transmitted, 1 received, +1 errors, 2 lost (66.7% loss)"));

    const QStringList rows = RunTranscript::csv(run).split(QStringLiteral("\r\n"));
    ASSERT_EQ(rows.size(), 5); // header, three rows, and the empty rest after the last CR LF
    EXPECT_EQ(rows[0], QStringLiteral("sequence,time,address,bytes,ttl,rtt_ms,outcome"));
    const QString day = QDateTime::fromMSecsSinceEpoch(base / ms, QTimeZone::utc()).toString(Qt::ISODate).left(11);
    EXPECT_EQ(rows[1], QStringLiteral("1,%1.123Z,192.0.2.7,32,57,20.005,reply")
                           .arg(QDateTime::fromMSecsSinceEpoch(base / ms, QTimeZone::utc())
                                    .toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss"))));
    EXPECT_TRUE(rows[2].startsWith(QStringLiteral("2,") + day)) << qPrintable(rows[2]);
    EXPECT_TRUE(rows[2].endsWith(QStringLiteral(".000Z,192.0.2.7,,,,timed out"))) << qPrintable(rows[2]);
    EXPECT_TRUE(rows[3].endsWith(QStringLiteral(",192.0.2.7,,,,error: Reply from 198.51.100.1: Destination host unreachable.")))
        << qPrintable(rows[3]);
    EXPECT_TRUE(rows[4].isEmpty());

    // A field with a comma or a quote is quoted.
    RunHistory::Sample odd{RunHistory::Sample::Kind::Error, 9, -1, -1, base, 0, QStringLiteral("a, \"b\"\r\n")};
    EXPECT_TRUE(RunTranscript::csvRow(run, odd).endsWith(QStringLiteral(",\"error: a, \"\"b\"\"\"\r\n")))
        << qPrintable(RunTranscript::csvRow(run, odd));
}

TEST(PingTextReadout, SaysWhenAndWhatInTheComponentsLineFormat)
{
    const RunState::Target target{QStringLiteral("h"), {}, HostAddress(QStringLiteral("192.0.2.7"))};
    const QString at = QDateTime::fromMSecsSinceEpoch(base / ms + 250).toString(QStringLiteral("HH:mm:ss.zzz"));
    RunHistory::Sample sample = reply(4, 20 * ms);
    sample.timeNs = base + 250 * ms;
    EXPECT_EQ(PingText::requestReadout(target, 1000, sample),
              at + QStringLiteral("  40 bytes from 192.0.2.7: icmp_seq=5 ttl=64 time=20.000 ms"));
    sample.kind = RunHistory::Sample::Kind::Lost;
    EXPECT_EQ(PingText::requestReadout(target, 800, sample), at + QStringLiteral("  No reply for icmp_seq=5 within 800 ms"));
    sample.kind = RunHistory::Sample::Kind::Error;
    sample.text = QStringLiteral("Reply from 198.51.100.1: TTL expired in transit.\r\n");
    EXPECT_EQ(PingText::requestReadout(target, 800, sample),
              at + QStringLiteral("  icmp_seq=5: Reply from 198.51.100.1: TTL expired in transit."));

    RunHistory history(2, 4);
    for (qint64 o = 0; o < 10; ++o)
        history.add(o == 3 ? RunHistory::Sample{RunHistory::Sample::Kind::Lost, 4, -1, -1, base + o * s, 0, {}}
                           : reply(o, (10 + o) * ms));
    const QString summary = PingText::summaryReadout(history.summary(0, 8));
    EXPECT_TRUE(summary.contains(QStringLiteral("icmp_seq=1\u20138: 8 requests, 1 lost"))) << qPrintable(summary);
    EXPECT_TRUE(summary.contains(QStringLiteral("time 10.000\u201317.000 ms"))) << qPrintable(summary);
}
