#include <tarvix/dispid.h>

namespace Tarvix {

QString dispIdName(qint32 dispId)
{
    switch (dispId) {
    case qint32(DispId::Ping): return QStringLiteral("Ping");
    case qint32(DispId::PacketSize): return QStringLiteral("PacketSize");
    case qint32(DispId::TimeToLive): return QStringLiteral("TimeToLive");
    case qint32(DispId::Timeout): return QStringLiteral("Timeout");
    case qint32(DispId::Continuous): return QStringLiteral("Continuous");
    case qint32(DispId::Active): return QStringLiteral("Active");
    case qint32(DispId::Count): return QStringLiteral("Count");
    case qint32(DispId::HostName): return QStringLiteral("HostName");
    case qint32(DispId::ResolveAddresses): return QStringLiteral("ResolveAddresses");
    case qint32(DispId::IpAddress): return QStringLiteral("IpAddress");
    }
    return {};
}

std::optional<DispId> toDispId(qint32 dispId)
{
    if (dispId >= qint32(DispId::Ping) && dispId <= qint32(DispId::IpAddress))
        return DispId(dispId);
    return std::nullopt;
}

QString dispKindName(DispKind kind)
{
    switch (kind) {
    case DispKind::PropertyGet: return QStringLiteral("property get");
    case DispKind::PropertyPut: return QStringLiteral("property put");
    case DispKind::Method: return QStringLiteral("method call");
    }
    return {};
}

} // namespace Tarvix
