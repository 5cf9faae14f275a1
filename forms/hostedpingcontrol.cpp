#include "hostedpingcontrol.h"

#include "runtimeerror.h"

using Tarvix::DispId;
using Tarvix::dispIdName;
using Tarvix::DispResult;
using Tarvix::DispValue;

void HostedPingControl::ping(const QString &host) const
{
    const DispResult result = m_proxy.ping(host);
    if (!result.ok())
        throw RunTimeError(QStringLiteral("%1.Ping(\"%2\") failed: %3").arg(m_name, host, result.message()));
}

void HostedPingControl::put(DispId id, qint32 value) const
{
    const DispResult result = m_proxy.put(id, value);
    if (!result.ok())
        throw RunTimeError(QStringLiteral("%1.%2 could not be set to %3: %4")
                               .arg(m_name, dispIdName(qint32(id)))
                               .arg(value)
                               .arg(result.message()));
}

DispValue HostedPingControl::get(DispId id) const
{
    const DispResult result = m_proxy.get(id);
    if (!result.ok())
        throw RunTimeError(
            QStringLiteral("%1.%2 could not be read: %3").arg(m_name, dispIdName(qint32(id)), result.message()));
    return result.value();
}

qint32 HostedPingControl::active() const
{
    const DispValue value = get(DispId::Active);
    if (value.isText())
        throw RunTimeError(QStringLiteral("%1.Active read as the text %2, not as a 32-bit integer.")
                               .arg(m_name, value.describe()));
    return value.toInt32();
}

QString HostedPingControl::getText(DispId id) const
{
    const DispValue value = get(id);
    return value.isInt32() ? QString::number(value.toInt32()) : value.toText();
}
