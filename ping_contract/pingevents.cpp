#include <tarvix/pingevents.h>

namespace Tarvix {

QString PingEvents::name(Id id)
{
    switch (id) {
    case Id::OnPing: return QStringLiteral("OnPing");
    case Id::OnPingStr: return QStringLiteral("OnPingStr");
    case Id::OnPingError: return QStringLiteral("OnPingError");
    }
    return {};
}

} // namespace Tarvix
