#include <tarvix/pingcontrolproxy.h>

namespace Tarvix {

namespace {

DispResult noControl()
{
    return DispResult::failure(DispResult::Error::Failed, QStringLiteral("No component is loaded."));
}

} // namespace

DispResult PingControlProxy::get(DispId id) const
{
    if (!m_control)
        return noControl();
    return m_control->invoke(qint32(id), DispKind::PropertyGet);
}

DispResult PingControlProxy::put(DispId id, const DispValue &value) const
{
    if (!m_control)
        return noControl();
    return m_control->invoke(qint32(id), DispKind::PropertyPut, {value});
}

DispResult PingControlProxy::call(DispId id, const QList<DispValue> &args) const
{
    if (!m_control)
        return noControl();
    return m_control->invoke(qint32(id), DispKind::Method, args);
}

} // namespace Tarvix
