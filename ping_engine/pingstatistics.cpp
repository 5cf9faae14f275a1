#include "pingresultdata.h"

#include <cmath>

namespace Tarvix {

namespace {

std::chrono::nanoseconds nanoseconds(double ns)
{
    return std::chrono::nanoseconds(qint64(std::llround(ns)));
}

} // namespace

PingStatistics::PingStatistics() : d(new PingStatisticsData)
{
}

PingStatistics::PingStatistics(const PingStatistics &other) = default;
PingStatistics::PingStatistics(PingStatistics &&other) noexcept = default;
PingStatistics &PingStatistics::operator=(const PingStatistics &other) = default;
PingStatistics &PingStatistics::operator=(PingStatistics &&other) noexcept = default;
PingStatistics::~PingStatistics() = default;

qint64 PingStatistics::sent() const
{
    return d->sent;
}

qint64 PingStatistics::received() const
{
    return d->received;
}

qint64 PingStatistics::duplicates() const
{
    return d->duplicates;
}

qint64 PingStatistics::errors() const
{
    return d->errors;
}

double PingStatistics::loss() const
{
    return d->loss;
}

std::chrono::nanoseconds PingStatistics::minimum() const
{
    return std::chrono::nanoseconds(d->minimumNs);
}

std::chrono::nanoseconds PingStatistics::average() const
{
    return nanoseconds(d->averageNs);
}

std::chrono::nanoseconds PingStatistics::maximum() const
{
    return std::chrono::nanoseconds(d->maximumNs);
}

std::chrono::nanoseconds PingStatistics::deviation() const
{
    return nanoseconds(d->deviationNs);
}

std::chrono::nanoseconds PingStatistics::p95() const
{
    return std::chrono::nanoseconds(d->p95Ns);
}

std::chrono::nanoseconds PingStatistics::jitter() const
{
    return nanoseconds(d->jitterNs);
}

double PingStatistics::minimumMs() const
{
    return double(d->minimumNs) / 1e6;
}

double PingStatistics::averageMs() const
{
    return d->averageNs / 1e6;
}

double PingStatistics::maximumMs() const
{
    return double(d->maximumNs) / 1e6;
}

double PingStatistics::deviationMs() const
{
    return d->deviationNs / 1e6;
}

double PingStatistics::p95Ms() const
{
    return double(d->p95Ns) / 1e6;
}

double PingStatistics::jitterMs() const
{
    return d->jitterNs / 1e6;
}

} // namespace Tarvix
