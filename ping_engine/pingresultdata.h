#pragma once

#include <tarvix/pingresult.h>
#include <tarvix/pingstatistics.h>

#include "runstatistics.h"

#include <QDateTime>
#include <QSharedData>
#include <QString>

namespace Tarvix {

// What a PingResult holds; the engine fills it in.
class PingResultData : public QSharedData
{
public:
    int sequence = 0;
    PingResult::Outcome outcome = PingResult::Timeout;
    qint64 roundTripNs = 0;
    QString address;
    QString hostName;
    int bytes = -1;
    int ttl = -1;
    QDateTime sentAt;
    QString errorText;
    QString line;

    static PingResult make(PingResultData *data)
    {
        PingResult result;
        result.d = data;
        return result;
    }
};

// What a PingStatistics holds: the run's figures as they stood.
class PingStatisticsData : public QSharedData
{
public:
    qint64 sent = 0;
    qint64 received = 0;
    qint64 duplicates = 0;
    qint64 errors = 0;
    double loss = 0;
    qint64 minimumNs = 0;
    double averageNs = 0;
    qint64 maximumNs = 0;
    double deviationNs = 0;
    qint64 p95Ns = 0;
    double jitterNs = 0;

    static PingStatistics make(const RunStatistics &figures)
    {
        PingStatistics statistics;
        PingStatisticsData &d = *statistics.d;
        d.sent = figures.sent();
        d.received = figures.received();
        d.duplicates = figures.duplicates();
        d.errors = figures.errors();
        d.loss = figures.lossPercent() / 100;
        d.minimumNs = figures.minNs();
        d.averageNs = figures.meanNs();
        d.maximumNs = figures.maxNs();
        d.deviationNs = figures.mdevNs();
        d.p95Ns = figures.percentileNs(95);
        d.jitterNs = figures.jitterNs();
        return statistics;
    }
};

} // namespace Tarvix
