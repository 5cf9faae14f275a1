#pragma once

#include "probeevent.h"
#include "runstate.h"
#include "runstatistics.h"

#include <QCoreApplication>
#include <QString>
#include <QtGlobal>
#include <tarvix/tarvixpingexport.h>

// The texts the component raises: its own pre-formatted lines and its error
// messages. Every line ends in CR LF. Round trips are shown to the microsecond.
//
// The lines of a run are in English whatever the user's language, since
// programs and people parse them; what tells a person why something failed
// (an error event, Pinger::errorString()) is in the user's language. A
// request's error is both: the function wording it is told which.
class TARVIX_PING_EXPORT PingText
{
    Q_DECLARE_TR_FUNCTIONS(PingText)

public:
    enum class Wording {
        Line,    // as the run's lines have it, in English
        Message, // translated for the user
    };

    // Error codes passed with each error text.
    enum ErrorCode : qint32 {
        BadSetting = 1,
        UnknownHost = 2,
        SocketUnavailable = 3,
        TransmitFailed = 4,
        // ICMP errors: 0x40000 (ICMPv4) or 0x60000 (ICMPv6), plus type << 8, plus code.
        IcmpV4Base = 0x40000,
        IcmpV6Base = 0x60000,
    };

    // The most of a text given to the component (the typed host, a host
    // name) that any of its texts repeats: a host may pass megabytes through
    // the contract, and its error event must not carry them all back.
    static constexpr qsizetype MaxEchoedLength = 255;
    // text itself, or its first MaxEchoedLength characters and an ellipsis,
    // on one line: control and invisible format characters as escapes
    // ("\n", "\x1B", "\u202E").
    static QString echoed(const QString &text);

    static QString milliseconds(qint64 ns);

    static QString header(const RunState::Target &target, qint32 packetSize);
    // The line after the header: where the run's round trips start, the
    // kernel's transmit timestamps or the clock read before each send.
    static QString timingNote(bool sendStamps);
    // rttNs below 0: unknown, and left out.
    static QString reply(const RunState::Target &target, const ProbeEvent &reply, qint64 rttNs, bool duplicate);
    static QString timedOut(quint16 sequence, qint32 timeoutMs);
    static QString statistics(const RunState::Target &target, const RunStatistics &statistics);

    // The line this component raised when the request of sample ended.
    static QString request(const RunState::Target &target, qint32 timeoutMs, const RunHistory::Sample &sample);
    // That line as the surface reads one request back: when it went out, and
    // the line, led by its icmp_seq where the line has none.
    static QString requestReadout(const RunState::Target &target, qint32 timeoutMs, const RunHistory::Sample &sample);
    // A stretch of requests too old, or too many for the pixels, to show one by one.
    static QString summaryReadout(const RunHistory::Summary &summary);
    // Local time of day to the millisecond, of a wall-clock time in ns.
    static QString timeOfDay(qint64 ns);

    static QString unknownHost(const QString &host);
    // host is a shortened or numeric IPv4 form (HostAddress::fromShorthandIpv4)
    // that other programs read as address.
    static QString shorthandAddress(const QString &host, const HostAddress &address);
    // Why a run to a broadcast address does not start (no line end).
    static QString broadcastNotAllowed(const HostAddress &address);
    static QString noHost();
    static QString errorLine(const QString &message);
    // "Reply from A: Destination host unreachable." and the like, for ICMP errors
    // and for what the local stack reported about one request.
    static QString probeError(const ProbeEvent &error, IpFamily family, Wording wording);
    static qint32 probeErrorCode(const ProbeEvent &error, IpFamily family);
    // A request that the kernel would not send, or dropped before it left.
    static QString transmitFailed(quint16 sequence, int errnoValue, Wording wording);

private:
    // text, marked with QT_TR_NOOP in this class, worded so.
    static QString worded(const char *text, Wording wording);
    static QString icmpV4Error(quint8 type, quint8 code, quint32 info, Wording wording);
    static QString icmpV6Error(quint8 type, quint8 code, quint32 info, Wording wording);
    static QString displayName(const RunState::Target &target);
};
