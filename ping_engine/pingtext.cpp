#include "pingtext.h"

#include "icmpmessage.h"

#include <QDateTime>

#include <cstring>

namespace {

const QString crlf = QStringLiteral("\r\n");

QString percent(double value)
{
    QString text = QString::number(value, 'f', 1);
    if (text.endsWith(QLatin1String(".0")))
        text.chop(2);
    return text + QLatin1Char('%');
}

} // namespace

QString PingText::echoed(const QString &text)
{
    qsizetype length = qMin(text.size(), MaxEchoedLength);
    // Never half of a character outside the Basic Multilingual Plane.
    if (length < text.size() && text.at(length - 1).isHighSurrogate())
        --length;
    // One line, shown as typed: control characters (a pasted line feed), line
    // and paragraph separators and invisible format characters (which turn
    // text around on screen) are written as escapes, never carried into a log.
    QString shown;
    shown.reserve(length);
    for (qsizetype i = 0; i < length; ++i) {
        const QChar c = text.at(i);
        switch (c.category()) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            if (c == QLatin1Char('\n'))
                shown += QLatin1String("\\n");
            else if (c == QLatin1Char('\r'))
                shown += QLatin1String("\\r");
            else if (c == QLatin1Char('\t'))
                shown += QLatin1String("\\t");
            else
                shown += (c.unicode() < 0x100 ? QLatin1String("\\x") : QLatin1String("\\u"))
                    + QString::number(c.unicode(), 16).rightJustified(c.unicode() < 0x100 ? 2 : 4, QLatin1Char('0')).toUpper();
            break;
        default:
            shown += c;
        }
    }
    if (length < text.size())
        shown += QChar(0x2026); // …
    return shown;
}

QString PingText::milliseconds(qint64 ns)
{
    // Whole microseconds, rounded, then shown as ms with three decimals.
    const qint64 us = (ns + 500) / 1000;
    return QStringLiteral("%1.%2").arg(us / 1000).arg(us % 1000, 3, 10, QLatin1Char('0'));
}

QString PingText::displayName(const RunState::Target &target)
{
    return target.hostName.isEmpty() ? target.address.toString() : echoed(target.hostName);
}

QString PingText::header(const RunState::Target &target, qint32 packetSize)
{
    // The total counts the ICMP header and the IP header without options.
    const int ipHeader = target.address.protocol() == IpFamily::IPv6 ? 40 : 20;
    return QStringLiteral("PING %1 (%2) %3(%4) bytes of data.")
               .arg(displayName(target), target.address.toString())
               .arg(packetSize)
               .arg(qint64(packetSize) + 8 + ipHeader)
           + crlf;
}

QString PingText::timingNote(bool sendStamps)
{
    return (sendStamps ? QStringLiteral("Round trips from the kernel's send and receive timestamps, where it gives them.")
                       : QStringLiteral("Round trips from the kernel's receive timestamps and the clock read before "
                                        "sending."))
        + crlf;
}

QString PingText::reply(const RunState::Target &target, const ProbeEvent &reply, qint64 rttNs, bool duplicate)
{
    QString from = reply.source.toString();
    if (!target.hostName.isEmpty())
        from = QStringLiteral("%1 (%2)").arg(echoed(target.hostName), from);
    // As ping counts them: the ICMP message, header and payload.
    const qsizetype bytes = IcmpMessage::HeaderSize + reply.payload.size();
    QString line = QStringLiteral("%1 bytes from %2: icmp_seq=%3").arg(bytes).arg(from).arg(reply.sequence);
    if (reply.hopLimit >= 0)
        line += QStringLiteral(" ttl=%1").arg(reply.hopLimit);
    if (rttNs >= 0)
        line += QStringLiteral(" time=%1 ms").arg(milliseconds(rttNs));
    if (duplicate)
        line += QStringLiteral(" (DUP!)");
    return line + crlf;
}

QString PingText::timedOut(quint16 sequence, qint32 timeoutMs)
{
    return QStringLiteral("No reply for icmp_seq=%1 within %2 ms").arg(sequence).arg(timeoutMs) + crlf;
}

QString PingText::statistics(const RunState::Target &target, const RunStatistics &s)
{
    QString text = crlf + QStringLiteral("--- %1 ping statistics ---").arg(displayName(target)) + crlf;
    text += QStringLiteral("%1 packets transmitted, %2 received").arg(s.sent()).arg(s.received());
    if (s.duplicates())
        text += QStringLiteral(", +%1 duplicates").arg(s.duplicates());
    if (s.errors())
        text += QStringLiteral(", +%1 errors").arg(s.errors());
    text += QStringLiteral(", %1 lost (%2 loss)").arg(s.lost()).arg(percent(s.lossPercent())) + crlf;
    if (s.received()) {
        text += QStringLiteral("rtt min/avg/max/mdev = %1/%2/%3/%4 ms")
                    .arg(milliseconds(s.minNs()), milliseconds(qint64(s.meanNs())), milliseconds(s.maxNs()),
                         milliseconds(qint64(s.mdevNs())))
            + crlf;
    }
    return text;
}

QString PingText::request(const RunState::Target &target, qint32 timeoutMs, const RunHistory::Sample &sample)
{
    switch (sample.kind) {
    case RunHistory::Sample::Kind::Reply: {
        ProbeEvent reply;
        reply.source = target.address;
        reply.sequence = sample.sequence;
        reply.payload = QByteArray(qMax(sample.bytes, 0), '\0');
        reply.hopLimit = sample.ttl;
        return PingText::reply(target, reply, sample.rttNs, false);
    }
    case RunHistory::Sample::Kind::Lost: return timedOut(sample.sequence, timeoutMs);
    case RunHistory::Sample::Kind::Error: return sample.text;
    }
    return {};
}

QString PingText::timeOfDay(qint64 ns)
{
    return QDateTime::fromMSecsSinceEpoch(ns / 1000000).toString(QStringLiteral("HH:mm:ss.zzz"));
}

QString PingText::requestReadout(const RunState::Target &target, qint32 timeoutMs, const RunHistory::Sample &sample)
{
    QString line = request(target, timeoutMs, sample).trimmed();
    if (!line.contains(QLatin1String("icmp_seq=")))
        line = QStringLiteral("icmp_seq=%1: %2").arg(sample.sequence).arg(line);
    return QStringLiteral("%1  %2").arg(timeOfDay(sample.timeNs), line);
}

QString PingText::summaryReadout(const RunHistory::Summary &s)
{
    QString text = QStringLiteral("%1\u2013%2  icmp_seq=%3\u2013%4: %5 requests, %6 lost")
                       .arg(timeOfDay(s.firstTimeNs), timeOfDay(s.lastTimeNs))
                       .arg(s.firstSequence)
                       .arg(s.lastSequence)
                       .arg(s.count)
                       .arg(s.lost);
    if (s.errors)
        text += QStringLiteral(" (%1 errors)").arg(s.errors);
    if (s.replies())
        text += QStringLiteral(", time %1\u2013%2 ms").arg(milliseconds(s.minRttNs), milliseconds(s.maxRttNs));
    return text;
}

QString PingText::worded(const char *text, Wording wording)
{
    return wording == Wording::Line ? QString::fromUtf8(text) : tr(text);
}

QString PingText::unknownHost(const QString &host)
{
    return tr("Ping request could not find host %1. Please check the name and try again.").arg(echoed(host)) + crlf;
}

QString PingText::shorthandAddress(const QString &host, const HostAddress &address)
{
    return tr("Ping request could not start: %1 is not an IP address as written here; other programs "
              "read it as %2. Type %2 to ping that address.")
               .arg(echoed(host), address.toString())
        + crlf;
}

QString PingText::broadcastNotAllowed(const HostAddress &address)
{
    return tr("%1 is a broadcast address, which every host on its network answers; this program "
              "does not ping broadcast addresses.")
        .arg(address.toString());
}

QString PingText::noHost()
{
    return tr("No host to ping: enter a host name or an IP address.") + crlf;
}

QString PingText::errorLine(const QString &message)
{
    return message + crlf;
}

QString PingText::transmitFailed(quint16 sequence, int errnoValue, Wording wording)
{
    // strerror() speaks the C library's language, which follows the locale;
    // strerrordesc_np() is always English.
    const char *description = wording == Wording::Line ? strerrordesc_np(errnoValue) : std::strerror(errnoValue);
    const QString reason = description ? QString::fromLocal8Bit(description)
                                       : worded(QT_TR_NOOP("Unknown error %1"), wording).arg(errnoValue);
    return worded(QT_TR_NOOP("PING: transmit failed for icmp_seq=%1. %2."), wording).arg(sequence).arg(reason) + crlf;
}

QString PingText::probeError(const ProbeEvent &error, IpFamily family, Wording wording)
{
    if (error.kind == ProbeEvent::Kind::LocalError)
        return transmitFailed(error.sequence, error.localErrno, wording);
    const QString what = family == IpFamily::IPv6
        ? icmpV6Error(error.icmpType, error.icmpCode, error.icmpInfo, wording)
        : icmpV4Error(error.icmpType, error.icmpCode, error.icmpInfo, wording);
    if (error.source.isNull())
        return what + crlf;
    return worded(QT_TR_NOOP("Reply from %1: %2"), wording).arg(error.source.toString(), what) + crlf;
}

qint32 PingText::probeErrorCode(const ProbeEvent &error, IpFamily family)
{
    if (error.kind == ProbeEvent::Kind::LocalError)
        return TransmitFailed;
    const qint32 base = family == IpFamily::IPv6 ? IcmpV6Base : IcmpV4Base;
    return base + (qint32(error.icmpType) << 8) + error.icmpCode;
}

QString PingText::icmpV4Error(quint8 type, quint8 code, quint32 info, Wording wording)
{
    const auto w = [wording](const char *text) { return worded(text, wording); };
    switch (type) {
    case Icmp4::DestinationUnreachable:
        switch (code) {
        case 0: return w(QT_TR_NOOP("Destination net unreachable."));
        case 1: return w(QT_TR_NOOP("Destination host unreachable."));
        case 2: return w(QT_TR_NOOP("Destination protocol unreachable."));
        case 3: return w(QT_TR_NOOP("Destination port unreachable."));
        case 4:
            return info ? w(QT_TR_NOOP("Packet needs to be fragmented but DF set (next-hop MTU %1).")).arg(info)
                        : w(QT_TR_NOOP("Packet needs to be fragmented but DF set."));
        case 5: return w(QT_TR_NOOP("Source route failed."));
        case 6: return w(QT_TR_NOOP("Destination net unknown."));
        case 7: return w(QT_TR_NOOP("Destination host unknown."));
        case 9:
        case 10:
        case 13: return w(QT_TR_NOOP("Communication administratively prohibited."));
        case 11: return w(QT_TR_NOOP("Destination net unreachable for type of service."));
        case 12: return w(QT_TR_NOOP("Destination host unreachable for type of service."));
        default: return w(QT_TR_NOOP("Destination unreachable (code %1).")).arg(code);
        }
    case Icmp4::TimeExceeded:
        return code == 1 ? w(QT_TR_NOOP("TTL expired during reassembly.")) : w(QT_TR_NOOP("TTL expired in transit."));
    case Icmp4::ParameterProblem:
        return w(QT_TR_NOOP("Parameter problem (pointer %1).")).arg(info);
    case Icmp4::SourceQuench:
        return w(QT_TR_NOOP("Source quench received."));
    default:
        return w(QT_TR_NOOP("ICMP error type %1, code %2.")).arg(type).arg(code);
    }
}

QString PingText::icmpV6Error(quint8 type, quint8 code, quint32 info, Wording wording)
{
    const auto w = [wording](const char *text) { return worded(text, wording); };
    switch (type) {
    case Icmp6::DestinationUnreachable:
        switch (code) {
        case 0: return w(QT_TR_NOOP("Destination net unreachable."));
        case 1: return w(QT_TR_NOOP("Communication administratively prohibited."));
        case 2: return w(QT_TR_NOOP("Destination beyond scope of source address."));
        case 3: return w(QT_TR_NOOP("Destination host unreachable."));
        case 4: return w(QT_TR_NOOP("Destination port unreachable."));
        case 5: return w(QT_TR_NOOP("Source address failed ingress/egress policy."));
        case 6: return w(QT_TR_NOOP("Reject route to destination."));
        default: return w(QT_TR_NOOP("Destination unreachable (code %1).")).arg(code);
        }
    case Icmp6::PacketTooBig:
        return w(QT_TR_NOOP("Packet too big (MTU %1).")).arg(info);
    case Icmp6::TimeExceeded:
        return code == 1 ? w(QT_TR_NOOP("TTL expired during reassembly.")) : w(QT_TR_NOOP("TTL expired in transit."));
    case Icmp6::ParameterProblem:
        return w(QT_TR_NOOP("Parameter problem (pointer %1).")).arg(info);
    default:
        return w(QT_TR_NOOP("ICMPv6 error type %1, code %2.")).arg(type).arg(code);
    }
}
