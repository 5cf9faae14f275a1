#include "pingresultdata.h"

namespace Tarvix {

PingResult::PingResult() : d(new PingResultData)
{
}

PingResult::PingResult(const PingResult &other) = default;
PingResult::PingResult(PingResult &&other) noexcept = default;
PingResult &PingResult::operator=(const PingResult &other) = default;
PingResult &PingResult::operator=(PingResult &&other) noexcept = default;
PingResult::~PingResult() = default;

int PingResult::sequence() const
{
    return d->sequence;
}

PingResult::Outcome PingResult::outcome() const
{
    return d->outcome;
}

std::chrono::nanoseconds PingResult::roundTrip() const
{
    return std::chrono::nanoseconds(d->roundTripNs);
}

double PingResult::roundTripMs() const
{
    return double(d->roundTripNs) / 1e6;
}

QString PingResult::address() const
{
    return d->address;
}

QString PingResult::hostName() const
{
    return d->hostName;
}

int PingResult::bytes() const
{
    return d->bytes;
}

int PingResult::ttl() const
{
    return d->ttl;
}

QDateTime PingResult::sentAt() const
{
    return d->sentAt;
}

QString PingResult::errorText() const
{
    return d->errorText;
}

QString PingResult::line() const
{
    return d->line;
}

} // namespace Tarvix
