#pragma once

#include "percentile.h"

#include <QList>
#include <QString>

// What the timing benchmarks share: order statistics, the verdict on a goal,
// and the lines they print. Every benchmark prints a block headed by its
// title, so that one run of bench/run-all.sh can be quoted as it stands.
namespace BenchReport {

using ::percentile;

// The usual five figures of a sample, in the sample's unit.
struct Summary
{
    qsizetype count = 0;
    double median = 0;
    double p99 = 0;
    double min = 0;
    double max = 0;
};
Summary summarize(const QList<double> &values);
// "n=50 median 20.091 ms  p99 20.402 ms  min 20.060  max 20.625"
QString describe(const Summary &summary, const QString &unit, int decimals = 3);

// "met" when value <= goal, else "short by <value - goal> <unit>".
QString verdict(double value, double goal, const QString &unit, int decimals = 3);

// "== <title> ==" and the command line that reproduces this benchmark alone.
void printHeader(const QString &title, const QStringList &arguments);
void printLine(const QString &line);

// Exit status of a benchmark that cannot run here, as automake and CTest
// (SKIP_RETURN_CODE) spell "skipped"; run-all.sh names the benchmark.
constexpr int Skipped = 77;
// Prints why to stderr and gives Skipped.
int skip(const QString &reason);

// The index-th command-line argument as a number no less than minimum, or
// fallback when there is none.
int intArgument(int argc, char **argv, int index, int fallback, int minimum);

// CLOCK_MONOTONIC and CLOCK_REALTIME in nanoseconds.
qint64 monotonicNs();
qint64 realtimeNs();

} // namespace BenchReport
