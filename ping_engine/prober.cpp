#include "prober.h"

#include "helperprober.h"
#include "icmpfamily.h"
#include "socketprober.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <unistd.h>

namespace {

using Family = IpFamily;

bool isPermissionError(int errnoValue)
{
    return errnoValue == EACCES || errnoValue == EPERM;
}

// iputils falls back from the datagram socket to a raw one on these.
bool allowsRawFallback(int errnoValue)
{
    return isPermissionError(errnoValue) || errnoValue == EAFNOSUPPORT || errnoValue == EPROTONOSUPPORT;
}

QString familyName(Family family)
{
    return QLatin1String(IcmpFamily::of(family)->protocolName);
}

QString kindName(Prober::SocketKind kind)
{
    return kind == Prober::SocketKind::Datagram ? Prober::tr("datagram", "socket kind")
                                                : Prober::tr("raw", "socket kind");
}

// Why the unprivileged socket was refused: the group range of this network
// namespace (it governs IPv6 too) against the process's effective group.
QString groupRangeReason()
{
    QFile file(QStringLiteral("/proc/sys/net/ipv4/ping_group_range"));
    QString range;
    if (file.open(QIODevice::ReadOnly))
        range = QString::fromLatin1(file.readAll()).simplified();
    const QString setting = range.isEmpty()
        ? Prober::tr("the net.ipv4.ping_group_range sysctl")
        : Prober::tr("the net.ipv4.ping_group_range sysctl (now \"%1\")").arg(range);
    return Prober::tr("%1 does not include this process's group id %2").arg(setting).arg(getegid());
}

QString groupRangeRemedy()
{
    return QStringLiteral("sudo sysctl -w net.ipv4.ping_group_range=\"0 2147483647\"");
}

// The capability goes on the helper, never on this program: a process that
// loads Qt loads plugins from wherever its user's environment says.
QString helperRemedy()
{
    QString helper = HelperProber::helperPath();
    if (helper.isEmpty())
        helper = Prober::tr("<the ICMP helper>");
    return QStringLiteral("sudo setcap cap_net_raw+ep %1").arg(helper);
}

QString describeFailure(Family family, Prober::SocketKind kind, const IcmpSocket::Failure &failure)
{
    const int errnoValue = failure.errnoValue;
    const QString reason = qt_error_string(errnoValue);
    if (failure.step) {
        return Prober::tr("The %1 %2 socket opened but could not be set up (%3 failed: %4).")
            .arg(familyName(family), kindName(kind), QLatin1String(failure.step), reason);
    }
    if (errnoValue == EAFNOSUPPORT && family == IpFamily::IPv6)
        return Prober::tr("IPv6 is not available on this system (%1).").arg(reason);
    if (errnoValue == EMFILE || errnoValue == ENFILE) {
        return Prober::tr("Cannot open an %1 socket: no file descriptor is left (%2).")
            .arg(familyName(family), reason);
    }
    if (kind == Prober::SocketKind::Datagram && isPermissionError(errnoValue)) {
        return Prober::tr("The unprivileged %1 socket is not allowed: %2. Allow it with: %3")
            .arg(familyName(family), groupRangeReason(), groupRangeRemedy());
    }
    if (kind == Prober::SocketKind::Raw && isPermissionError(errnoValue)) {
        return Prober::tr("A raw %1 socket needs the CAP_NET_RAW capability, which this program lacks and "
                          "must not be given, since it loads Qt and Qt's plugins. The ICMP helper opens raw "
                          "sockets instead; give it the capability with: %2")
            .arg(familyName(family), helperRemedy());
    }
    return Prober::tr("Cannot open an %1 %2 socket: %3.").arg(familyName(family), kindName(kind), reason);
}

} // namespace

Prober::Opened Prober::open(Family family, Preference preference)
{
    const auto fail = [](const QString &text) { return Opened::failure(text); };
    if (!IcmpFamily::of(family))
        return fail(Prober::tr("ICMP echo needs an IPv4 or IPv6 address."));

    if (preference == Preference::HelperOnly) {
        const HelperProber::Wording onlyHelper = [](const HelperProber::Refusal &refusal) {
            return Prober::tr("Cannot ping through the ICMP helper: %1.%2")
                .arg(refusal.why, refusal.capabilityWouldHelp ? Prober::tr(" Allow it with: ") + helperRemedy()
                                                              : QString());
        };
        HelperProber::Opened helper = HelperProber::open(family, onlyHelper);
        if (helper)
            return std::move(helper).value();
        return fail(onlyHelper(helper.error()));
    }

    int datagramErrno = 0;
    if (preference != Preference::RawOnly) {
        SocketProber::Opened datagram = SocketProber::open(family, SocketKind::Datagram);
        if (datagram)
            return std::move(datagram).value();
        const IcmpSocket::Failure &failure = datagram.error();
        if (preference == Preference::DatagramOnly || failure.step || !allowsRawFallback(failure.errnoValue))
            return fail(describeFailure(family, SocketKind::Datagram, failure));
        datagramErrno = failure.errnoValue;
    }

    SocketProber::Opened raw = SocketProber::open(family, SocketKind::Raw);
    if (raw)
        return std::move(raw).value();
    const IcmpSocket::Failure &failure = raw.error();
    if (preference != Preference::Auto || !isPermissionError(failure.errnoValue) || failure.step)
        return fail(describeFailure(family, SocketKind::Raw, failure));

    // Neither socket may be opened by this process: the helper's raw sockets,
    // last. Whether it can serve is known once it has started; why it cannot
    // is worded with why the sockets of this process would not open.
    const HelperProber::Wording afterSockets = [family, datagramErrno](const HelperProber::Refusal &refusal) {
        const QString helperAdvice = !refusal.capabilityWouldHelp ? QString()
            : QFileInfo(HelperProber::helperPath()).isFile()
            ? Prober::tr("give the ICMP helper its capability: %1").arg(helperRemedy())
            : Prober::tr("install the ICMP helper there and give it its capability: %1").arg(helperRemedy());
        if (isPermissionError(datagramErrno)) {
            return Prober::tr("Pinging is not allowed for this program: %1, a raw socket needs the CAP_NET_RAW "
                              "capability, and %2. Allow it with: %3%4")
                .arg(groupRangeReason(), refusal.why, groupRangeRemedy(),
                     helperAdvice.isEmpty() ? QString() : Prober::tr(", or ") + helperAdvice);
        }
        return Prober::tr("Cannot open an %1 socket: the unprivileged datagram socket is not available here "
                          "(%2), a raw socket needs the CAP_NET_RAW capability, and %3.%4")
            .arg(familyName(family), qt_error_string(datagramErrno), refusal.why,
                 helperAdvice.isEmpty() ? QString() : Prober::tr(" Allow it: ") + helperAdvice);
    };
    HelperProber::Opened helper = HelperProber::open(family, afterSockets);
    if (helper)
        return std::move(helper).value();
    return fail(afterSockets(helper.error()));
}
