#pragma once

#include <tarvix/tarvixcontractexport.h>

#include <QObject>
#include <QString>

namespace Tarvix {

/*!
    \brief The event interface of a ping control, in the contract's order.

    A component owns one (PingControl::events()) and raises its events through
    it, always on the UI thread and never from inside one of its own dispatch
    calls, so a handler may call back into the component.
*/
class TARVIX_CONTRACT_EXPORT PingEvents : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    /*! Event numbers in the order of the event interface. */
    enum class Id {
        OnPing = 1,      //!< OnPing(): one per echo request.
        OnPingStr = 2,   //!< OnPingStr(): a line formatted by the component.
        OnPingError = 3  //!< OnPingError(): an error text and its code.
    };
    /*! The event's name, as the signal is called ("OnPing"), or an empty string. */
    static QString name(Id id);

signals:
    /*! One per echo request, in sequence order. \a lBytes is the reply's
        payload size, or -1 when no reply came in time; \a lTime the round trip
        in ms; \a lTTL the reply's TTL. \a strIpAddress is the address that
        answered, or the run's address without a reply. */
    void OnPing(const QString &strIpAddress, qint32 lBytes, qint32 lTime, qint32 lTTL);
    /*! A line already formatted by the component (\a strPing); shown as it stands. */
    void OnPingStr(const QString &strPing);
    /*! An error text (\a strError), shown as it stands, and the component's error code (\a lError). */
    void OnPingError(const QString &strError, qint32 lError);
};

} // namespace Tarvix
