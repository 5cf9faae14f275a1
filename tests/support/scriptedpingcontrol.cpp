#include "scriptedpingcontrol.h"

#include <tarvix/pingevents.h>

#include <ostream>

using Tarvix::DispId;
using Tarvix::dispIdName;
using Tarvix::DispKind;
using Tarvix::dispKindName;
using Tarvix::DispResult;
using Tarvix::DispValue;
using Tarvix::PingEvents;
using Tarvix::toDispId;

ScriptedPingControl::ScriptedPingControl(QWidget *parent) : QWidget(parent), m_events(new PingEvents(this))
{
    m_values.insert(qint32(DispId::Active), 0);
    m_values.insert(qint32(DispId::HostName), QString());
    m_values.insert(qint32(DispId::IpAddress), QString());
}

ScriptedPingControl::~ScriptedPingControl()
{
    if (m_onDestruction)
        m_onDestruction();
}

DispResult ScriptedPingControl::checkAccess(qint32 dispId, DispKind kind, const QList<DispValue> &args) const
{
    const auto id = toDispId(dispId);
    if (!id)
        return DispResult::unknownMember(dispId);
    const bool method = *id == DispId::Ping;
    const bool readable = *id == DispId::Active || *id == DispId::HostName || *id == DispId::IpAddress;
    const bool writable = !method && *id != DispId::HostName && *id != DispId::IpAddress;

    switch (kind) {
    case DispKind::Method:
        if (!method)
            return DispResult::wrongAccess(dispId, kind);
        if (args.size() != 1)
            return DispResult::wrongArgumentCount(dispId, 1, int(args.size()));
        if (!args[0].isText())
            return DispResult::typeMismatch(dispId, DispValue::Kind::Text, args[0]);
        break;
    case DispKind::PropertyGet:
        if (!readable)
            return DispResult::wrongAccess(dispId, kind);
        if (!args.isEmpty())
            return DispResult::wrongArgumentCount(dispId, 0, int(args.size()));
        break;
    case DispKind::PropertyPut:
        if (!writable)
            return DispResult::wrongAccess(dispId, kind);
        if (args.size() != 1)
            return DispResult::wrongArgumentCount(dispId, 1, int(args.size()));
        if (!args[0].isInt32())
            return DispResult::typeMismatch(dispId, DispValue::Kind::Int32, args[0]);
        break;
    }
    return DispResult::success();
}

DispResult ScriptedPingControl::invoke(qint32 dispId, DispKind kind, const QList<DispValue> &args)
{
    m_calls.append({dispId, kind, args});
    if (const DispResult access = checkAccess(dispId, kind, args); !access.ok())
        return access;
    if (const auto failure = m_failures.constFind(dispId); failure != m_failures.cend())
        return DispResult::failure(DispResult::Error::Failed, failure.value());

    switch (kind) {
    case DispKind::Method:
        if (m_duringPing)
            m_duringPing();
        return DispResult::success();
    case DispKind::PropertyGet:
        return DispResult::success(m_values.value(dispId));
    case DispKind::PropertyPut:
        m_values.insert(dispId, args[0]);
        return DispResult::success();
    }
    return DispResult::success();
}

bool ScriptedPingControl::loadState(const QByteArray &stream)
{
    m_state = stream;
    return m_acceptsState;
}

void ScriptedPingControl::raiseOnPing(const QString &ipAddress, qint32 bytes, qint32 time, qint32 ttl)
{
    emit m_events->OnPing(ipAddress, bytes, time, ttl);
}

void ScriptedPingControl::raiseOnPingStr(const QString &text)
{
    emit m_events->OnPingStr(text);
}

void ScriptedPingControl::raiseOnPingError(const QString &text, qint32 code)
{
    emit m_events->OnPingError(text, code);
}

void PrintTo(const ScriptedPingControl::Call &call, std::ostream *out)
{
    QString text = QStringLiteral("%1 %2(").arg(dispKindName(call.kind), dispIdName(call.dispId));
    for (qsizetype i = 0; i < call.args.size(); ++i)
        text += (i ? QStringLiteral(", ") : QString()) + call.args[i].describe();
    *out << (text + u')').toStdString();
}
