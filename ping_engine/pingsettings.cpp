#include "pingsettings.h"

#include <QCoreApplication>

#include <limits>

namespace {

QString badValue(const char *name, qint32 value, const QString &range)
{
    return QCoreApplication::translate("PingSettings", "Bad value for option %1: %2. Valid range is %3.")
        .arg(QLatin1String(name))
        .arg(value)
        .arg(range);
}

} // namespace

std::optional<QString> PingSettings::validationError() const
{
    constexpr qint32 most = std::numeric_limits<qint32>::max();
    if (!isContinuous() && count < 1)
        return badValue("Count", count,
                        QCoreApplication::translate("PingSettings", "from 1 to %1 (or ping continuously)").arg(most));
    if (packetSize < 0 || packetSize > MaxPacketSize)
        return badValue("PacketSize", packetSize,
                        QCoreApplication::translate("PingSettings", "from 0 to %n bytes", nullptr, MaxPacketSize));
    if (timeToLive < 1 || timeToLive > 255)
        return badValue("TimeToLive", timeToLive, QCoreApplication::translate("PingSettings", "from 1 to 255"));
    if (timeout < 1)
        return badValue("Timeout", timeout,
                        QCoreApplication::translate("PingSettings", "from 1 to %n milliseconds", nullptr, most));
    if (intervalMs < 1)
        return badValue("Interval", intervalMs,
                        QCoreApplication::translate("PingSettings", "from 1 to %n milliseconds", nullptr, most));
    return std::nullopt;
}
