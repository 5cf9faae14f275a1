#include "helperprober.h"

#include "clockreading.h"
#include "helperprotocol.h"
#include "icmpfamily.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace IcmpHelperProtocol;

const QString HelperName = QStringLiteral("tarvix-icmp-helper");
constexpr int HelloTimeoutMs = 5000;  // an exec and two sockets: milliseconds, even on a busy machine
constexpr int ReportTimeoutMs = 2000; // a report follows its request at once
constexpr int ExitTimeoutMs = 1000;   // the helper exits as soon as its channels close

// A function of ours, to find the file that holds the component.
void componentAnchor() {}

// The file that holds the component, and the way from its directory to the
// installed helper: a shared library lives in the prefix's library directory,
// a program that has the component linked in in its bin/.
struct ComponentFile
{
    QString path;
    QString helperDirectory;
};

ComponentFile componentFile()
{
    Dl_info info{};
    link_map *map = nullptr;
    if (dladdr1(reinterpret_cast<void *>(&componentAnchor), &info, reinterpret_cast<void **>(&map),
                RTLD_DL_LINKMAP) != 0
        && map && map->l_name && map->l_name[0] != '\0')
        return {QFileInfo(QFile::decodeName(map->l_name)).canonicalFilePath(),
                QStringLiteral(TARVIX_HELPER_FROM_LIBDIR)};
    // The main program's own entry has no name: the component is linked into it.
    return {QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath(), QStringLiteral(TARVIX_HELPER_FROM_BINDIR)};
}

bool isInBuildTree(const QString &file)
{
#ifdef TARVIX_BUILD_TREE
    const QString tree = QFileInfo(QStringLiteral(TARVIX_BUILD_TREE)).canonicalFilePath();
    return !tree.isEmpty() && file.startsWith(tree + QLatin1Char('/'));
#else
    Q_UNUSED(file);
    return false;
#endif
}

// Moves a descriptor to 3 or above, so that putting the helper's ends on 0 and
// 1 cannot overwrite one of them.
int aboveStandardDescriptors(int fd)
{
    if (fd > 2)
        return fd;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    return moved;
}

// Starts the helper with an empty environment and its ends of the channels on
// descriptors 0 and 1; 0 or the errno of posix_spawn.
int spawnHelper(const QString &path, int requestEnd, int packetEnd, pid_t *pid)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, requestEnd, 0);
    posix_spawn_file_actions_adddup2(&actions, packetEnd, 1);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);

    const QByteArray program = QFile::encodeName(path);
    char *arguments[] = {const_cast<char *>(program.constData()), nullptr};
    char *environment[] = {nullptr};
    const int result = posix_spawn(pid, program.constData(), &actions, &attributes, arguments, environment);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return result;
}

} // namespace

HelperProber::HelperProber(IpFamily family, pid_t pid, int requests, int packets)
    : m_family(family)
    , m_pid(pid)
    , m_requests(requests)
    , m_packets(packets)
    , m_buffer(qsizetype(MaxPacketSize), Qt::Uninitialized)
{
    for (int fd : {m_requests, m_packets})
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    // To wait for the exit with a time limit; without one the exit is not awaited.
    m_pidFd = int(syscall(SYS_pidfd_open, pid, 0));
}

HelperProber::~HelperProber()
{
    // End of file on both channels: the helper exits at once.
    ::close(m_requests);
    ::close(m_packets);
    if (m_pidFd >= 0) {
        pollfd exited{m_pidFd, POLLIN, 0};
        while (::poll(&exited, 1, ExitTimeoutMs) < 0 && errno == EINTR) {
        }
        ::close(m_pidFd);
    }
    if (::waitpid(m_pid, nullptr, WNOHANG) == 0) {
        ::kill(m_pid, SIGKILL);
        while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
}

QStringList HelperProber::candidatePaths()
{
    // This process is unprivileged and the helper ignores its environment, so
    // letting the environment choose the helper grants nothing.
    const QString chosen = qEnvironmentVariable("TARVIX_ICMP_HELPER");
    if (!chosen.isEmpty())
        return {chosen};
    QStringList paths;
    const ComponentFile file = componentFile();
    const QString &component = file.path;
    if (component.isEmpty())
        return paths;
    paths.append(QDir::cleanPath(QFileInfo(component).absolutePath() + QLatin1Char('/') + file.helperDirectory
                                 + QLatin1Char('/') + HelperName));
#ifdef TARVIX_BUILD_TREE_ICMP_HELPER
    // Only a component in the build tree looks there: an installed one must not
    // start whatever a build directory of long ago might come to hold.
    if (isInBuildTree(component))
        paths.append(QStringLiteral(TARVIX_BUILD_TREE_ICMP_HELPER));
#endif
    return paths;
}

QString HelperProber::helperPath()
{
    const QStringList paths = candidatePaths();
    for (const QString &path : paths) {
        if (QFileInfo(path).isFile())
            return path;
    }
    return paths.value(0);
}

HelperProber::Opened HelperProber::open(IpFamily family)
{
    const auto fail = [](const QString &why, bool capabilityWouldHelp) {
        return Opened::failure({why, capabilityWouldHelp});
    };
    if (family != IpFamily::IPv4 && family != IpFamily::IPv6)
        return fail(QStringLiteral("ICMP echo needs an IPv4 or IPv6 address"), false);
    const QString path = helperPath();
    if (!QFileInfo(path).isFile()) {
        const QStringList looked = candidatePaths();
        return fail(looked.isEmpty() ? QStringLiteral("the ICMP helper is missing")
                                     : QStringLiteral("the ICMP helper is missing (looked for %1)")
                                           .arg(looked.join(QStringLiteral(" and "))),
                    true);
    }

    int requests[2];
    int packets[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, requests) != 0)
        return fail(QStringLiteral("the ICMP helper could not be started (%1)").arg(qt_error_string(errno)), false);
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, packets) != 0) {
        const int error = errno;
        ::close(requests[0]);
        ::close(requests[1]);
        return fail(QStringLiteral("the ICMP helper could not be started (%1)").arg(qt_error_string(error)), false);
    }
    const int requestEnd = aboveStandardDescriptors(requests[1]);
    const int packetEnd = aboveStandardDescriptors(packets[1]);
    pid_t pid = -1;
    const int spawned = requestEnd < 0 || packetEnd < 0 ? EMFILE : spawnHelper(path, requestEnd, packetEnd, &pid);
    for (int end : {requestEnd, packetEnd}) {
        if (end >= 0)
            ::close(end);
    }
    if (spawned != 0) {
        ::close(requests[0]);
        ::close(packets[0]);
        return fail(QStringLiteral("the ICMP helper %1 could not be started (%2)").arg(path, qt_error_string(spawned)),
                    false);
    }

    // From here on the prober owns the process and ends it if anything fails.
    std::unique_ptr<HelperProber> prober(new HelperProber(family, pid, requests[0], packets[0]));
    unsigned char message[HelloSize + 1];
    const Result<qsizetype, int> size = prober->readRequestChannel(message, sizeof message, HelloTimeoutMs);
    HelloFields hello;
    if (!size || !decodeHello(message, size_t(size.value()), &hello)) {
        return fail(!size && size.error() == ETIMEDOUT
                        ? QStringLiteral("the ICMP helper %1 did not answer").arg(path)
                        : QStringLiteral("the ICMP helper %1 exited without serving").arg(path),
                    false);
    }
    const int socketErrno = family == IpFamily::IPv4 ? hello.ipv4Errno : hello.ipv6Errno;
    if (socketErrno == EPERM || socketErrno == EACCES)
        return fail(QStringLiteral("the ICMP helper %1 lacks the CAP_NET_RAW capability").arg(path), true);
    if (socketErrno != 0) {
        return fail(QStringLiteral("the ICMP helper %1 cannot open a raw %2 socket (%3)")
                        .arg(path, QLatin1String(IcmpFamily::of(family)->protocolName), qt_error_string(socketErrno)),
                    false);
    }
    prober->m_identifier = hello.identifier;
    prober->m_sendStamps = hello.flags & (family == IpFamily::IPv4 ? HelloSendStampsIpv4 : HelloSendStampsIpv6);
    return prober;
}

bool HelperProber::setHopLimit(int hops)
{
    if (hops < 1 || hops > 255)
        return false;
    m_hopLimit = quint8(hops);
    return true;
}

Result<qsizetype, int> HelperProber::readRequestChannel(unsigned char *buffer, qsizetype capacity, int timeoutMs)
{
    using Size = Result<qsizetype, int>;
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const ssize_t size = ::recv(m_requests, buffer, size_t(capacity), MSG_DONTWAIT);
        if (size > 0)
            return qsizetype(size);
        if (size == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            return Size::failure(EPIPE);
        const qint64 left = deadline.remainingTime();
        if (left == 0)
            return Size::failure(ETIMEDOUT);
        pollfd readable{m_requests, POLLIN, 0};
        ::poll(&readable, 1, int(left));
    }
}

void HelperProber::markGone()
{
    if (m_gone)
        return;
    m_gone = true;
    const int quiet = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (quiet >= 0) {
        ::dup3(quiet, m_packets, O_CLOEXEC);
        ::close(quiet);
    }
}

SendResult HelperProber::send(const HostAddress &target, quint16 sequence, const QByteArray &payload)
{
    SendResult result;
    if (target.protocol() != m_family) {
        result.errnoValue = EAFNOSUPPORT;
        return result;
    }
    EchoRequestFields fields;
    fields.sequence = sequence;
    fields.hopLimit = m_hopLimit;
    sockaddr_storage to;
    if (target.toSockaddr(to) == 0) {
        result.errnoValue = ENODEV; // a zone that names no interface
        return result;
    }
    if (m_family == IpFamily::IPv4) {
        fields.family = FamilyIpv4;
        std::memcpy(fields.address, &reinterpret_cast<const sockaddr_in *>(&to)->sin_addr, 4);
    } else {
        const auto *in6 = reinterpret_cast<const sockaddr_in6 *>(&to);
        fields.family = FamilyIpv6;
        std::memcpy(fields.address, &in6->sin6_addr, 16);
        fields.scopeId = in6->sin6_scope_id;
    }
    if (m_gone) {
        result.errnoValue = EPIPE;
        return result;
    }

    QByteArray request(qsizetype(EchoRequestHeaderSize) + payload.size(), Qt::Uninitialized);
    encodeEchoRequestHeader(fields, reinterpret_cast<unsigned char *>(request.data()));
    std::memcpy(request.data() + EchoRequestHeaderSize, payload.constData(), size_t(payload.size()));
    ssize_t written;
    do {
        written = ::send(m_requests, request.constData(), size_t(request.size()), MSG_DONTWAIT | MSG_NOSIGNAL);
    } while (written < 0 && errno == EINTR);
    if (written != request.size()) {
        result.errnoValue = written < 0 ? errno : EMSGSIZE;
        if (result.errnoValue == EPIPE || result.errnoValue == ECONNRESET)
            markGone();
        return result;
    }

    unsigned char message[SendReportSize + 1];
    const Result<qsizetype, int> size = readRequestChannel(message, sizeof message, ReportTimeoutMs);
    SendReportFields report;
    if (!size || !decodeSendReport(message, size_t(size.value()), &report) || report.sequence != sequence) {
        markGone();
        result.errnoValue = size ? EPROTO : size.error();
        return result;
    }
    result.ok = report.status == Sent;
    result.errnoValue = result.ok ? 0 : report.errnoValue;
    result.sentRealtimeNs = report.sentRealtimeNs;
    result.sentMonotonicNs = report.sentMonotonicNs;
    return result;
}

std::optional<ProbeEvent> HelperProber::receive()
{
    const auto *data = reinterpret_cast<const unsigned char *>(m_buffer.constData());
    while (!m_gone) {
        const ssize_t size = ::recv(m_packets, m_buffer.data(), size_t(m_buffer.size()), MSG_DONTWAIT);
        if (size < 0 && errno == EINTR)
            continue;
        if (size < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return std::nullopt;
        if (size <= 0) {
            markGone();
            return std::nullopt;
        }
        const quint8 ourFamily = m_family == IpFamily::IPv4 ? FamilyIpv4 : FamilyIpv6;
        SendStampFields stamp;
        if (decodeSendStamp(data, size_t(size), &stamp)) {
            if (stamp.family != ourFamily)
                continue;
            ProbeEvent event;
            event.kind = ProbeEvent::Kind::SendStamp;
            event.identifier = m_identifier;
            event.sequence = stamp.sequence;
            event.sentNs = stamp.sentRealtimeNs;
            return event;
        }
        PacketFields packet;
        if (!decodePacketHeader(data, size_t(size), &packet)
            || packet.family != (m_family == IpFamily::IPv4 ? FamilyIpv4 : FamilyIpv6))
            continue;
        const QByteArrayView bytes(m_buffer.constData() + PacketHeaderSize, size - qsizetype(PacketHeaderSize));
        // Raw IPv4 reads carry the sender in their IP header; IPv6 ones come
        // with it, as recvmsg gave it to the helper.
        const HostAddress source = m_family == IpFamily::IPv6 ? HostAddress(packet.source, packet.scopeId)
                                                              : HostAddress();
        std::optional<ProbeEvent> event =
            IcmpFamily::of(m_family)->parseRawRead(bytes, source, packet.hopLimit, m_identifier);
        if (!event)
            continue;
        applyReceiveTimes(*event, packet);
        return event;
    }
    return std::nullopt;
}

void HelperProber::applyReceiveTimes(ProbeEvent &event, const PacketFields &packet)
{
    // The helper read both clocks right after its recvmsg, as IcmpSocket does.
    ClockReading afterRead;
    afterRead.realtimeNs = packet.readRealtimeNs;
    afterRead.monotonicNs = packet.readMonotonicNs;
    event.receivedNs = packet.kernelTimestamp ? packet.kernelRealtimeNs : afterRead.realtimeNs;
    event.receivedMonotonicNs = afterRead.toMonotonic(event.receivedNs);
    event.kernelTimestamp = packet.kernelTimestamp;
}
