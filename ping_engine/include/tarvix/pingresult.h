#pragma once

#include <tarvix/tarvixpingexport.h>

#include <QDateTime>
#include <QMetaType>
#include <QSharedDataPointer>
#include <QString>

#include <chrono>

namespace Tarvix {

class PingResultData;

/*!
    \brief What became of one echo request of a run: its reply, its time-out,
    or an error.

    A Pinger gives exactly one result per request, in sequence order. A
    result is a value: cheap to copy, and readable from QML as a value type
    (each getter below is a property of the same name, \c roundTrip in
    milliseconds).
*/
class TARVIX_PING_EXPORT PingResult
{
    Q_GADGET
    /*! The request's ICMP sequence number: sequence(). */
    Q_PROPERTY(int sequence READ sequence)
    /*! How the request ended: outcome(). */
    Q_PROPERTY(Tarvix::PingResult::Outcome outcome READ outcome)
    /*! The round trip of a reply in milliseconds, as roundTripMs() (not the nanoseconds of roundTrip()). */
    Q_PROPERTY(double roundTrip READ roundTripMs)
    /*! The round trip of a reply in milliseconds: roundTripMs(). */
    Q_PROPERTY(double roundTripMs READ roundTripMs)
    /*! Who answered: address(). */
    Q_PROPERTY(QString address READ address)
    /*! The name of address(), or empty: hostName(). */
    Q_PROPERTY(QString hostName READ hostName)
    /*! The reply's payload in bytes, or -1: bytes(). */
    Q_PROPERTY(int bytes READ bytes)
    /*! The reply's time to live or hop limit, or -1: ttl(). */
    Q_PROPERTY(int ttl READ ttl)
    /*! When the request was sent, in UTC: sentAt(). */
    Q_PROPERTY(QDateTime sentAt READ sentAt)
    /*! For an Error, what went wrong: errorText(). */
    Q_PROPERTY(QString errorText READ errorText)
    /*! The request's line as ping tools print it: line(). */
    Q_PROPERTY(QString line READ line)

public:
    /*! How a request ended. */
    enum Outcome {
        Reply,   //!< An echo reply came in time.
        Timeout, //!< Nothing came within the time-out.
        Error,   //!< An ICMP error came for it, or it could not be sent; see errorText().
    };
    Q_ENUM(Outcome)

    /*! An empty result: sequence 0, a time-out, nothing else. */
    PingResult();
    /*! A copy of \a other. */
    PingResult(const PingResult &other);
    /*! Takes over \a other, which is left empty. */
    PingResult(PingResult &&other) noexcept;
    /*! Assigns \a other. */
    PingResult &operator=(const PingResult &other);
    /*! Takes over \a other. */
    PingResult &operator=(PingResult &&other) noexcept;
    /*! Destroys the result. */
    ~PingResult();

    /*! The request's ICMP sequence number, from 1, wrapping at 65535. */
    int sequence() const;
    /*! How the request ended. */
    Outcome outcome() const;
    /*! The round trip of a reply, to the nanosecond (the kernel's own
        timestamps where it gives them); zero for another outcome. */
    std::chrono::nanoseconds roundTrip() const;
    /*! roundTrip() in milliseconds, with its fraction. */
    double roundTripMs() const;
    /*! Who answered: the replying address, or for an ICMP error the router
        that sent it; the run's address for a time-out or a request that could
        not be sent. */
    QString address() const;
    /*! The name of address() where the run has one for it (the name that was
        pinged, or its reverse name when addresses are resolved); empty else. */
    QString hostName() const;
    /*! The reply's payload in bytes; -1 for another outcome. */
    int bytes() const;
    /*! The reply's time to live (IPv4) or hop limit (IPv6); -1 for another
        outcome or where the kernel did not say. */
    int ttl() const;
    /*! When the request was sent, in UTC, to the millisecond. */
    QDateTime sentAt() const;
    /*! For an Error, what went wrong, worded for users in their language
        ("Reply from 192.0.2.1: Destination host unreachable."); empty else. */
    QString errorText() const;
    /*! The request's line as ping tools print it, without a line end
        ("40 bytes from 127.0.0.1: icmp_seq=1 ttl=64 time=0.011 ms"): in
        English whatever the user's language, for programs that parse it. */
    QString line() const;

private:
    friend class PingResultData;
    QSharedDataPointer<PingResultData> d;
};

} // namespace Tarvix
