#include "prober.h"

#include "ipv4prober.h"
#include "ipv6prober.h"

#include <QFile>

#include <cerrno>
#include <unistd.h>

namespace {

using Family = IpFamily;

std::unique_ptr<Prober> openKind(Family family, Prober::SocketKind kind, int *errnoValue, QString *failedStep)
{
    if (family == IpFamily::IPv4)
        return Ipv4Prober::open(kind, errnoValue, failedStep);
    return Ipv6Prober::open(kind, errnoValue, failedStep);
}

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
    return family == IpFamily::IPv4 ? QStringLiteral("ICMP") : QStringLiteral("ICMPv6");
}

QString kindName(Prober::SocketKind kind)
{
    return kind == Prober::SocketKind::Datagram ? QStringLiteral("datagram") : QStringLiteral("raw");
}

// Why the unprivileged socket was refused: the group range of this network
// namespace (it governs IPv6 too) against the process's effective group.
QString groupRangeReason()
{
    QFile file(QStringLiteral("/proc/sys/net/ipv4/ping_group_range"));
    QString range;
    if (file.open(QIODevice::ReadOnly))
        range = QString::fromLatin1(file.readAll()).simplified();
    const QString setting = range.isEmpty() ? QStringLiteral("the net.ipv4.ping_group_range sysctl")
                                            : QStringLiteral("the net.ipv4.ping_group_range sysctl (now \"%1\")").arg(range);
    return QStringLiteral("%1 does not include this process's group id %2").arg(setting).arg(getegid());
}

QString groupRangeRemedy()
{
    return QStringLiteral("sudo sysctl -w net.ipv4.ping_group_range=\"0 2147483647\"");
}

QString capabilityRemedy()
{
    QString program = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    if (program.isEmpty())
        program = QStringLiteral("<program>");
    return QStringLiteral("sudo setcap cap_net_raw+ep %1").arg(program);
}

QString describeFailure(Family family, Prober::SocketKind kind, int errnoValue, const QString &failedStep)
{
    const QString reason = qt_error_string(errnoValue);
    if (!failedStep.isEmpty()) {
        return QStringLiteral("The %1 %2 socket opened but could not be set up (%3 failed: %4).")
            .arg(familyName(family), kindName(kind), failedStep, reason);
    }
    if (errnoValue == EAFNOSUPPORT && family == IpFamily::IPv6)
        return QStringLiteral("IPv6 is not available on this system (%1).").arg(reason);
    if (errnoValue == EMFILE || errnoValue == ENFILE) {
        return QStringLiteral("Cannot open an %1 socket: no file descriptor is left (%2).")
            .arg(familyName(family), reason);
    }
    if (kind == Prober::SocketKind::Datagram && isPermissionError(errnoValue)) {
        return QStringLiteral("The unprivileged %1 socket is not allowed: %2. Allow it with: %3")
            .arg(familyName(family), groupRangeReason(), groupRangeRemedy());
    }
    if (kind == Prober::SocketKind::Raw && isPermissionError(errnoValue)) {
        return QStringLiteral("A raw %1 socket needs the CAP_NET_RAW capability, which this program lacks. "
                              "Allow it with: %2")
            .arg(familyName(family), capabilityRemedy());
    }
    return QStringLiteral("Cannot open an %1 %2 socket: %3.").arg(familyName(family), kindName(kind), reason);
}

} // namespace

std::unique_ptr<Prober> Prober::open(Family family, Preference preference, QString *error)
{
    const auto fail = [error](const QString &text) {
        if (error)
            *error = text;
        return nullptr;
    };
    if (family != IpFamily::IPv4 && family != IpFamily::IPv6)
        return fail(QStringLiteral("ICMP echo needs an IPv4 or IPv6 address."));

    int datagramErrno = 0;
    QString datagramStep;
    if (preference != Preference::RawOnly) {
        if (auto prober = openKind(family, SocketKind::Datagram, &datagramErrno, &datagramStep))
            return prober;
        if (preference == Preference::DatagramOnly || !datagramStep.isEmpty() || !allowsRawFallback(datagramErrno))
            return fail(describeFailure(family, SocketKind::Datagram, datagramErrno, datagramStep));
    }

    int rawErrno = 0;
    QString rawStep;
    if (auto prober = openKind(family, SocketKind::Raw, &rawErrno, &rawStep))
        return prober;
    if (preference == Preference::Auto && isPermissionError(datagramErrno) && isPermissionError(rawErrno)
        && rawStep.isEmpty()) {
        return fail(QStringLiteral("Pinging is not allowed for this program: %1, and the program lacks the CAP_NET_RAW "
                                   "capability for a raw socket. Allow it with: %2, or: %3")
                        .arg(groupRangeReason(), groupRangeRemedy(), capabilityRemedy()));
    }
    return fail(describeFailure(family, SocketKind::Raw, rawErrno, rawStep));
}
