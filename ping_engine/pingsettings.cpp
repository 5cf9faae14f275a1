#include "pingsettings.h"

#include <limits>

namespace {

QString badValue(const char *name, qint32 value, const QString &range)
{
    return QStringLiteral("Bad value for option %1: %2. Valid range is %3.")
        .arg(QLatin1String(name))
        .arg(value)
        .arg(range);
}

} // namespace

std::optional<QString> PingSettings::validationError() const
{
    if (!isContinuous() && count < 1)
        return badValue("Count", count,
                        QStringLiteral("from 1 to %1 (or ping continuously)").arg(std::numeric_limits<qint32>::max()));
    if (packetSize < 0 || packetSize > MaxPacketSize)
        return badValue("PacketSize", packetSize, QStringLiteral("from 0 to %1 bytes").arg(MaxPacketSize));
    if (timeToLive < 1 || timeToLive > 255)
        return badValue("TimeToLive", timeToLive, QStringLiteral("from 1 to 255"));
    if (timeout < 1)
        return badValue("Timeout", timeout,
                        QStringLiteral("from 1 to %1 milliseconds").arg(std::numeric_limits<qint32>::max()));
    if (intervalMs < 1)
        return badValue("Interval", intervalMs,
                        QStringLiteral("from 1 to %1 milliseconds").arg(std::numeric_limits<qint32>::max()));
    return std::nullopt;
}
