#include "helperprober.h"

#include "clockreading.h"
#include "helperprotocol.h"
#include "icmpfamily.h"
#include "replyparser.h"

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
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace Icmp::HelperProtocol;

const QString HelperName = QStringLiteral("tarvix-icmp-helper");

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

// How a process ended, for a user: "killed by signal 9 (Killed)", "exit status 1".
QString describeExit(int status)
{
    if (WIFSIGNALED(status)) {
        return HelperProber::tr("killed by signal %1 (%2)")
            .arg(WTERMSIG(status))
            .arg(QString::fromLocal8Bit(strsignal(WTERMSIG(status))));
    }
    if (WIFEXITED(status))
        return HelperProber::tr("exit status %1").arg(WEXITSTATUS(status));
    return HelperProber::tr("wait status %1").arg(status);
}

// One message from a channel, without waiting: its size, -1 when none waits,
// 0 once the helper has closed its end (a message is never empty).
qsizetype readChannel(int fd, void *buffer, size_t capacity)
{
    for (;;) {
        const ssize_t size = ::recv(fd, buffer, capacity, MSG_DONTWAIT);
        if (size < 0 && errno == EINTR)
            continue;
        if (size < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return -1;
        return size < 0 ? 0 : qsizetype(size);
    }
}

void watch(int set, int fd)
{
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = fd;
    epoll_ctl(set, EPOLL_CTL_ADD, fd, &event);
}

} // namespace

HelperProber::HelperProber(IpFamily family, const QString &path, pid_t pid, int requests, int packets,
                           Wording wording)
    : m_family(family)
    , m_path(path)
    , m_wording(std::move(wording))
    , m_pid(pid)
    , m_requests(requests)
    , m_packets(packets)
    , m_buffer(qsizetype(MaxPacketSize), Qt::Uninitialized)
{
    for (int fd : {m_requests, m_packets})
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    // The process itself, to hear of its exit at once and to signal it
    // without the risk of a reused process id.
    m_pidFd = int(syscall(SYS_pidfd_open, pid, 0));
    // One descriptor for the caller to watch: readable while either channel
    // is, or once the process has exited.
    m_watch = epoll_create1(EPOLL_CLOEXEC);
    if (m_watch >= 0)
        fcntl(m_watch, F_SETFL, O_NONBLOCK);
    for (int fd : {m_requests, m_packets, m_pidFd}) {
        if (fd >= 0 && m_watch >= 0)
            watch(m_watch, fd);
    }
}

HelperProber::~HelperProber()
{
    ::close(m_requests);
    ::close(m_packets);
    // Without waiting for a helper that may be stopped: SIGKILL ends even a
    // stopped process at once, and the wait that follows is the kernel's.
    if (!m_reaped) {
        if (m_pidFd < 0 || syscall(SYS_pidfd_send_signal, m_pidFd, SIGKILL, nullptr, 0) != 0) {
            if (::waitpid(m_pid, nullptr, WNOHANG) == 0)
                ::kill(m_pid, SIGKILL);
        }
        while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    for (int fd : {m_pidFd, m_watch}) {
        if (fd >= 0)
            ::close(fd);
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

HelperProber::Opened HelperProber::open(IpFamily family, Wording wording)
{
    const auto fail = [](const QString &why, bool capabilityWouldHelp) {
        return Opened::failure({why, capabilityWouldHelp});
    };
    if (family != IpFamily::IPv4 && family != IpFamily::IPv6)
        return fail(HelperProber::tr("ICMP echo needs an IPv4 or IPv6 address"), false);
    const QString path = helperPath();
    if (!QFileInfo(path).isFile()) {
        const QStringList looked = candidatePaths();
        return fail(looked.isEmpty() ? HelperProber::tr("the ICMP helper is missing")
                                     : HelperProber::tr("the ICMP helper is missing (looked for %1)")
                                           .arg(looked.join(HelperProber::tr(" and "))),
                    true);
    }

    int requests[2];
    int packets[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, requests) != 0)
        return fail(HelperProber::tr("the ICMP helper could not be started (%1)").arg(qt_error_string(errno)), false);
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, packets) != 0) {
        const int error = errno;
        ::close(requests[0]);
        ::close(requests[1]);
        return fail(HelperProber::tr("the ICMP helper could not be started (%1)").arg(qt_error_string(error)), false);
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
        const QString why = qt_error_string(spawned);
        return fail(HelperProber::tr("the ICMP helper %1 could not be started (%2)").arg(path, why), false);
    }
    // From here on the prober owns the process, and ends it when it goes.
    return std::unique_ptr<HelperProber>(
        new HelperProber(family, path, pid, requests[0], packets[0], std::move(wording)));
}

bool HelperProber::setHopLimit(int hops)
{
    if (hops < 1 || hops > 255)
        return false;
    m_hopLimit = quint8(hops);
    return true;
}

bool HelperProber::setBroadcast(bool on)
{
    // IPv6 has no broadcast; the helper refuses the flag for no address.
    m_broadcast = on;
    return true;
}

qint64 HelperProber::minimumIntervalNs(TargetKind kind) const
{
    if (!m_rateLimited)
        return 0;
    return kind == TargetKind::Multicast || kind == TargetKind::Broadcast ? GroupIntervalNs : UnicastIntervalNs;
}

SendResult HelperProber::send(const HostAddress &target, quint16 sequence, const QByteArray &payload)
{
    SendResult result;
    if (m_state != State::Ready) {
        result.errnoValue = m_state == State::Gone ? EPIPE : EAGAIN;
        return result;
    }
    if (target.protocol() != m_family) {
        result.errnoValue = EAFNOSUPPORT;
        return result;
    }
    EchoRequestFields fields;
    fields.sequence = sequence;
    fields.hopLimit = m_hopLimit;
    fields.flags = m_broadcast ? RequestBroadcast : 0;
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
    const auto *bytes = reinterpret_cast<const unsigned char *>(payload.constData());
    if (payload.size() > qsizetype(MaxPayload)
        || !Icmp::EchoPattern::extract(bytes, size_t(payload.size()), fields.pattern)) {
        result.errnoValue = EINVAL; // the helper sends nothing but a repeated pattern
        return result;
    }
    fields.payloadSize = quint16(payload.size());
    unsigned char request[EchoRequestSize];
    encodeEchoRequest(fields, request);

    const ClockReading before = ClockReading::now();
    ssize_t written;
    do {
        written = ::send(m_requests, request, sizeof request, MSG_DONTWAIT | MSG_NOSIGNAL);
    } while (written < 0 && errno == EINTR);
    if (written != ssize_t(sizeof request)) {
        // A helper that has gone shows on the channel too: its end of file
        // comes as a ProberFailed event from the next receive().
        result.errnoValue = written < 0 ? errno : EMSGSIZE;
        return result;
    }
    m_unreported.push_back(sequence);
    result.ok = true;
    result.confirmed = false;
    result.sentRealtimeNs = before.realtimeNs;
    result.sentMonotonicNs = before.monotonicNs;
    return result;
}

std::optional<ProbeEvent> HelperProber::receive()
{
    // Reports first: the helper writes a request's report before anything it
    // passes on about the request.
    if (m_state != State::Gone && !m_channelsClosed) {
        if (std::optional<ProbeEvent> event = readRequestChannel())
            return event;
    }
    if (m_state == State::Ready && !m_channelsClosed) {
        if (std::optional<ProbeEvent> event = readPacketChannel())
            return event;
    }
    // Both channels are quiet; the process may have ended without a word.
    if (m_state != State::Gone && hasExited())
        return giveUp(QString());
    return std::nullopt;
}

bool HelperProber::hasExited() const
{
    pollfd exited{m_pidFd, POLLIN, 0};
    return m_pidFd >= 0 && ::poll(&exited, 1, 0) == 1;
}

std::optional<ProbeEvent> HelperProber::channelClosed()
{
    // The helper closes its channels as it exits, a moment before the kernel
    // can say how it ended: that is worth the moment, which the process's
    // own descriptor, still watched, ends.
    if (m_pidFd >= 0 && m_watch >= 0 && !hasExited()) {
        m_channelsClosed = true;
        for (int fd : {m_requests, m_packets})
            epoll_ctl(m_watch, EPOLL_CTL_DEL, fd, nullptr);
        return std::nullopt;
    }
    return giveUp(QString());
}

std::optional<ProbeEvent> HelperProber::readRequestChannel()
{
    unsigned char message[SendReportSize + HelloSize + 1];
    const qsizetype size = readChannel(m_requests, message, sizeof message);
    if (size < 0)
        return std::nullopt;
    if (size == 0)
        return channelClosed();
    return m_state == State::Starting ? takeHello(message, size) : takeReport(message, size);
}

ProbeEvent HelperProber::takeHello(const unsigned char *message, qsizetype size)
{
    HelloFields hello;
    if (!decodeHello(message, size_t(size), &hello)) {
        if (size >= 2 && message[0] == Hello && message[1] != Version) {
            return refuse({HelperProber::tr("the ICMP helper %1 speaks version %2 of its protocol, not %3: it is not "
                                            "the helper this component was built with")
                               .arg(m_path)
                               .arg(message[1])
                               .arg(Version),
                           false});
        }
        return refuse({HelperProber::tr("the ICMP helper %1 did not greet as it should").arg(m_path), false});
    }
    const int socketErrno = m_family == IpFamily::IPv4 ? hello.ipv4Errno : hello.ipv6Errno;
    if (socketErrno == EPERM || socketErrno == EACCES)
        return refuse({HelperProber::tr("the ICMP helper %1 lacks the CAP_NET_RAW capability").arg(m_path), true});
    if (socketErrno != 0) {
        return refuse({HelperProber::tr("the ICMP helper %1 cannot open a raw %2 socket (%3)")
                           .arg(m_path, QLatin1String(IcmpFamily::of(m_family)->protocolName),
                                qt_error_string(socketErrno)),
                       false});
    }
    m_state = State::Ready;
    m_identifier = hello.identifier;
    m_sendStamps = hello.flags & (m_family == IpFamily::IPv4 ? HelloSendStampsIpv4 : HelloSendStampsIpv6);
    m_rateLimited = hello.flags & HelloRateLimited;
    ProbeEvent ready;
    ready.kind = ProbeEvent::Kind::Ready;
    ready.identifier = m_identifier;
    return ready;
}

ProbeEvent HelperProber::takeReport(const unsigned char *message, qsizetype size)
{
    SendReportFields report;
    if (!decodeSendReport(message, size_t(size), &report) || m_unreported.empty()
        || m_unreported.front() != report.sequence)
        return giveUp(HelperProber::tr("Pinging stopped: the ICMP helper %1 broke its protocol.").arg(m_path));
    m_unreported.pop_front();
    ProbeEvent event;
    event.identifier = m_identifier;
    event.sequence = report.sequence;
    if (report.status == Sent) {
        event.kind = ProbeEvent::Kind::SendConfirmed;
        event.sentNs = report.sentRealtimeNs;
        event.sentMonotonicNs = report.sentMonotonicNs;
        return event;
    }
    event.kind = ProbeEvent::Kind::SendFailed;
    // Over its rate limit, which the engine keeps to: as a socket says it
    // when it cannot take a datagram now.
    event.localErrno = report.status == TooSoon ? EAGAIN : report.errnoValue;
    return event;
}

std::optional<ProbeEvent> HelperProber::readPacketChannel()
{
    const auto *data = reinterpret_cast<const unsigned char *>(m_buffer.constData());
    const quint8 ourFamily = m_family == IpFamily::IPv4 ? FamilyIpv4 : FamilyIpv6;
    for (;;) {
        const qsizetype size = readChannel(m_packets, m_buffer.data(), size_t(m_buffer.size()));
        if (size < 0)
            return std::nullopt;
        if (size == 0)
            return channelClosed();
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
        if (!decodePacketHeader(data, size_t(size), &packet) || packet.family != ourFamily)
            continue;
        const QByteArrayView bytes(m_buffer.constData() + PacketHeaderSize, size - qsizetype(PacketHeaderSize));
        // Raw IPv4 reads carry the sender in their IP header; IPv6 ones come
        // with it, as recvmsg gave it to the helper.
        const HostAddress source = m_family == IpFamily::IPv6 ? HostAddress(packet.source, packet.scopeId)
                                                              : HostAddress();
        std::optional<ProbeEvent> event =
            ReplyParser::parseRawRead(m_family, bytes, source, packet.hopLimit, m_identifier);
        if (!event)
            continue;
        applyReceiveTimes(*event, packet);
        return event;
    }
}

QString HelperProber::exitReason()
{
    if (m_reaped)
        return {};
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) != m_pid)
        return {};
    m_reaped = true;
    return describeExit(status);
}

ProbeEvent HelperProber::giveUp(const QString &why)
{
    QString text = why;
    if (text.isEmpty()) {
        // The channels closed, or the process ended: it has gone.
        const QString reason = exitReason();
        const QString detail = reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(reason);
        if (m_state == State::Starting)
            return refuse({HelperProber::tr("the ICMP helper %1 exited without serving%2").arg(m_path, detail), false});
        text = HelperProber::tr("Pinging stopped: the ICMP helper %1 ended unexpectedly%2.").arg(m_path, detail);
    }
    m_state = State::Gone;
    for (int fd : {m_requests, m_packets, m_pidFd}) {
        if (fd >= 0 && m_watch >= 0)
            epoll_ctl(m_watch, EPOLL_CTL_DEL, fd, nullptr);
    }
    ProbeEvent event;
    event.kind = ProbeEvent::Kind::ProberFailed;
    event.failure = text;
    return event;
}

ProbeEvent HelperProber::refuse(const Refusal &refusal)
{
    return giveUp(m_wording ? m_wording(refusal) : refusal.why);
}

QString HelperProber::silenceReason(bool starting) const
{
    if (starting) {
        const Refusal refusal{HelperProber::tr("the ICMP helper %1 did not answer").arg(m_path), false};
        return m_wording ? m_wording(refusal) : refusal.why;
    }
    return HelperProber::tr("Pinging stopped: the ICMP helper %1 stopped answering.").arg(m_path);
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
