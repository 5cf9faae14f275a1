#pragma once

// The engine's public types, as QML sees them: Pinger to make, its results
// and statistics as value types (pingResult, pingStatistics) whose
// properties read as the C++ ones do.
#include <tarvix/pinger.h>
#include <tarvix/pingresult.h>
#include <tarvix/pingstatistics.h>

#include <QtQml/qqmlregistration.h>

namespace Tarvix {

struct PingerForeign
{
    Q_GADGET
    QML_FOREIGN(Tarvix::Pinger)
    QML_NAMED_ELEMENT(Pinger)
};

struct PingResultForeign
{
    Q_GADGET
    QML_FOREIGN(Tarvix::PingResult)
    QML_VALUE_TYPE(pingResult)
};

struct PingStatisticsForeign
{
    Q_GADGET
    QML_FOREIGN(Tarvix::PingStatistics)
    QML_VALUE_TYPE(pingStatistics)
};

} // namespace Tarvix
