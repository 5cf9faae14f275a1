#pragma once

#include <tarvix/tarvixcontractexport.h>

#include <QObject>
#include <QString>

namespace Tarvix {

// The event interface of a ping control, in the contract's order. A component
// owns one and raises its events through it, always on the UI thread and never
// from inside one of its own dispatch calls.
class TARVIX_CONTRACT_EXPORT PingEvents : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Event numbers in the order of the event interface.
    enum class Id { OnPing = 1, OnPingStr = 2, OnPingError = 3 };
    static QString name(Id id);

signals:
    // One per echo request. lBytes is the reply's payload size, or -1 when no
    // reply came in time; lTime the round trip in ms; lTTL the reply's TTL.
    void OnPing(const QString &strIpAddress, qint32 lBytes, qint32 lTime, qint32 lTTL);
    // A line already formatted by the component; shown as it stands.
    void OnPingStr(const QString &strPing);
    // An error text, shown as it stands, and the component's error code.
    void OnPingError(const QString &strError, qint32 lError);
};

} // namespace Tarvix
