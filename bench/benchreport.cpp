#include "benchreport.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <time.h>

namespace BenchReport {

Summary summarize(const QList<double> &values)
{
    return {values.size(), percentile(values, 50), percentile(values, 99), percentile(values, 0),
            percentile(values, 100)};
}

QString describe(const Summary &s, const QString &unit, int decimals)
{
    return QStringLiteral("n=%1 median %2 %6  p99 %3 %6  min %4  max %5")
        .arg(s.count)
        .arg(s.median, 0, 'f', decimals)
        .arg(s.p99, 0, 'f', decimals)
        .arg(s.min, 0, 'f', decimals)
        .arg(s.max, 0, 'f', decimals)
        .arg(unit);
}

QString verdict(double value, double goal, const QString &unit, int decimals)
{
    if (std::isnan(value))
        return QStringLiteral("not measured");
    if (value <= goal)
        return QStringLiteral("met");
    return QStringLiteral("short by %1 %2").arg(value - goal, 0, 'f', decimals).arg(unit);
}

void printHeader(const QString &title, const QStringList &arguments)
{
    std::printf("== %s ==\n$ %s\n", qPrintable(title), qPrintable(arguments.join(QLatin1Char(' '))));
    std::fflush(stdout);
}

void printLine(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

int skip(const QString &reason)
{
    std::fprintf(stderr, "skipped: %s\n", qPrintable(reason));
    return Skipped;
}

int intArgument(int argc, char **argv, int index, int fallback, int minimum)
{
    return index < argc ? std::max(minimum, std::atoi(argv[index])) : fallback;
}

namespace {

qint64 now(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

} // namespace

qint64 monotonicNs()
{
    return now(CLOCK_MONOTONIC);
}

qint64 realtimeNs()
{
    return now(CLOCK_REALTIME);
}

} // namespace BenchReport
