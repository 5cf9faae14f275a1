// tarvix-icmp-helper: sends ICMP echo requests on raw sockets for a parent
// that may open none, and hands back only what concerns them.
//
// Where the unprivileged ICMP datagram socket is not allowed, a raw socket
// needs CAP_NET_RAW. A program that loads Qt must never hold it (Qt loads
// plugins from wherever the user's environment says), so the capability goes
// on this program alone, as a file capability (or, where the file system keeps
// none, a set-user-ID root bit). It opens its two raw sockets, gives up every
// capability and root for good, and from then on serves its parent over the
// two socket pairs on descriptors 0 and 1 (helperprotocol.h): it builds each
// echo request itself, its payload a pattern repeated, so nothing else can be
// sent, holds a caller other than root to the rates iputils ping allows users,
// and passes on only the echo replies and ICMP errors that concern its own
// requests. It reads no file, no environment and no locale, and exits when
// its parent goes.
#include "address.h"
#include "checksum.h"
#include "echofilter.h"
#include "helperprotocol.h"
#include "icmpheader.h"
#include "icmptypes.h"
#include "ratelimiter.h"
#include "receivedcontrol.h"
#include "replyfilter.h"
#include "requestparser.h"
#include "sendstampkeys.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <span>
#include <linux/capability.h>
#include <linux/icmp.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

using namespace Icmp;
using namespace Icmp::HelperProtocol;

constexpr int RequestChannel = 0;
constexpr int PacketChannel = 1;

struct Session
{
    int raw4 = -1;
    int raw6 = -1;
    std::uint16_t identifier = 0;
    int hopLimit4 = -1; // as last set on the socket
    int hopLimit6 = -1;
    bool broadcast4 = false;
    // Which sockets took transmit timestamps, and the numbers of their sends.
    bool stamps4 = false;
    bool stamps6 = false;
    SendStampKeys keys4;
    SendStampKeys keys6;
    // Started by a user other than root: the rate limits hold.
    bool rateLimited = true;
    RateLimiter limiter;
};

int fail(const char *why)
{
    std::fprintf(stderr, "tarvix-icmp-helper: %s\n", why);
    return 1;
}

std::int64_t nowNs(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return std::int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

bool setOption(int fd, int level, int name, int value)
{
    return setsockopt(fd, level, name, &value, sizeof value) == 0;
}

// The parent hands over both channels as descriptors 0 and 1; anything else
// (a terminal, a file) means this was not started by the component.
bool isChannel(int fd)
{
    int domain = 0;
    int type = 0;
    socklen_t length = sizeof domain;
    if (getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &length) != 0)
        return false;
    length = sizeof type;
    return getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) == 0 && domain == AF_UNIX && type == SOCK_SEQPACKET;
}

void closeInheritedDescriptors()
{
    if (syscall(SYS_close_range, 3u, ~0u, 0u) == 0)
        return;
    for (int fd = 3; fd < 65536; ++fd)
        close(fd);
}

// A random non-zero identifier. Another helper may draw the same one; the
// reply filter's payload check keeps its replies apart from ours all the same.
std::uint16_t chooseIdentifier()
{
    std::uint16_t identifier = 0;
    while (identifier == 0) {
        if (getrandom(&identifier, sizeof identifier, 0) != sizeof identifier)
            identifier = std::uint16_t(nowNs(CLOCK_MONOTONIC) ^ getpid());
    }
    return identifier;
}

// Opens one raw socket with its filters and receive options; errno on
// failure. stamps tells whether it took transmit timestamps too.
int openRawSocket(Family family, std::uint16_t identifier, int *fd, bool *stamps)
{
    const bool ipv4 = family == Family::Ipv4;
    *fd = socket(ipv4 ? AF_INET : AF_INET6, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC,
                 ipv4 ? IPPROTO_ICMP : IPPROTO_ICMPV6);
    if (*fd < 0)
        return errno;
    EchoIdentifierFilter identifierFilter(family, identifier);
    const sock_fprog program = identifierFilter.program();
    *stamps = setOption(*fd, SOL_SOCKET, SO_TIMESTAMPING, TimestampingFlags);
    bool ok = (*stamps || setOption(*fd, SOL_SOCKET, SO_TIMESTAMPNS, 1))
        && setsockopt(*fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) == 0;
    // Echo replies and the errors that quote a request; no looped-back requests.
    const TypeFilter types = TypeFilter::of(family);
    if (ipv4) {
        ok = ok && setsockopt(*fd, SOL_RAW, ICMP_FILTER, types.blocked, socklen_t(types.size)) == 0;
    } else {
        ok = ok && setsockopt(*fd, IPPROTO_ICMPV6, ICMP6_FILTER, types.blocked, socklen_t(types.size)) == 0
            && setOption(*fd, IPPROTO_IPV6, IPV6_RECVHOPLIMIT, 1);
    }
    if (ok)
        return 0;
    const int error = errno;
    close(*fd);
    *fd = -1;
    return error;
}

// Gives up every capability for good, before anything from the parent is read.
bool dropPrivileges()
{
    // Installed set-user-ID root, where the file system keeps no capabilities,
    // this process would stay root without any: the owner of root's files.
    // Back to the user who started it, group first, while that is still allowed.
    const gid_t gid = getgid();
    const uid_t uid = getuid();
    if (setresgid(gid, gid, gid) != 0 || setresuid(uid, uid, uid) != 0)
        return false;
    if (geteuid() != uid || getegid() != gid)
        return false;
    prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct none[_LINUX_CAPABILITY_U32S_3] = {};
    if (syscall(SYS_capset, &header, none) != 0)
        return false;
    // No exec could give any back: file capabilities and set-id bits are ignored.
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return false;
    __user_cap_data_struct held[_LINUX_CAPABILITY_U32S_3] = {};
    if (syscall(SYS_capget, &header, held) != 0)
        return false;
    for (const auto &set : held) {
        if (set.effective || set.permitted || set.inheritable)
            return false;
    }
    return true;
}

// TTL (IPv4) or hop limit (IPv6) of the socket, unicast and multicast alike,
// set only when it changes.
bool setHopLimit(Session &session, const HelperRequest &request)
{
    const bool ipv4 = request.family == FamilyIpv4;
    int &current = ipv4 ? session.hopLimit4 : session.hopLimit6;
    if (current == request.hopLimit)
        return true;
    const int fd = ipv4 ? session.raw4 : session.raw6;
    const bool ok = ipv4 ? setOption(fd, IPPROTO_IP, IP_TTL, request.hopLimit)
                             && setOption(fd, IPPROTO_IP, IP_MULTICAST_TTL, request.hopLimit)
                         : setOption(fd, IPPROTO_IPV6, IPV6_UNICAST_HOPS, request.hopLimit)
                             && setOption(fd, IPPROTO_IPV6, IPV6_MULTICAST_HOPS, request.hopLimit);
    current = ok ? request.hopLimit : -1;
    return ok;
}

// Sends one checked request; the report says how it went. Only a request
// that reaches sendto takes a token of its rate class.
void send(Session &session, ReplyFilter &filter, const HelperRequest &request, SendReportFields *report)
{
    const bool ipv4 = request.family == FamilyIpv4;
    const int fd = ipv4 ? session.raw4 : session.raw6;
    if (fd < 0) {
        report->errnoValue = EAFNOSUPPORT;
        return;
    }
    const RateLimiter::Class rateClass = request.group ? RateLimiter::Class::Group : RateLimiter::Class::Unicast;
    const std::int64_t now = nowNs(CLOCK_MONOTONIC);
    if (session.rateLimited) {
        if (const std::int64_t wait = session.limiter.waitNs(rateClass, now)) {
            report->status = TooSoon;
            report->sentRealtimeNs = wait;
            return;
        }
    }
    report->status = Failed;
    // The kernel refuses a directed broadcast itself unless SO_BROADCAST is on.
    if (!setHopLimit(session, request)
        || (ipv4 && session.broadcast4 != request.broadcast
            && !setOption(fd, SOL_SOCKET, SO_BROADCAST, request.broadcast))) {
        report->errnoValue = errno;
        return;
    }
    if (ipv4)
        session.broadcast4 = request.broadcast;

    const Address destination = request.destination();
    static std::uint8_t message[Header::Size + MaxPayload];
    Header::echo(echoRequestType(destination.family), session.identifier, request.sequence).encode(message);
    EchoPattern::fill(request.pattern, message + Header::Size, request.payloadSize);
    const std::size_t size = Header::Size + request.payloadSize;
    // The kernel computes ICMPv6 checksums over its pseudo-header itself.
    if (ipv4)
        fillInChecksum({message, size});

    sockaddr_in to4{};
    sockaddr_in6 to6{};
    to4.sin_family = AF_INET;
    std::memcpy(&to4.sin_addr, destination.bytes.data(), 4);
    to6.sin6_family = AF_INET6;
    std::memcpy(&to6.sin6_addr, destination.bytes.data(), 16);
    to6.sin6_scope_id = destination.scopeId;
    const sockaddr *to = ipv4 ? reinterpret_cast<const sockaddr *>(&to4) : reinterpret_cast<const sockaddr *>(&to6);
    const socklen_t toLength = ipv4 ? sizeof to4 : sizeof to6;

    SendStampKeys &keys = ipv4 ? session.keys4 : session.keys6;
    if (session.rateLimited)
        session.limiter.take(rateClass, now);
    ssize_t sent;
    do {
        report->sentMonotonicNs = nowNs(CLOCK_MONOTONIC);
        report->sentRealtimeNs = nowNs(CLOCK_REALTIME);
        sent = sendto(fd, message, size, MSG_DONTWAIT, to, toLength);
    } while (sent < 0 && errno == EINTR);
    if (sent != ssize_t(size)) {
        report->errnoValue = sent < 0 ? errno : EMSGSIZE;
        keys.sendFailed();
        return;
    }
    keys.sent(request.sequence);
    report->status = Sent;
    filter.remember(request.sequence, destination, request.anySource, request.pattern, request.payloadSize);
}

// Reads and answers one request; false once the parent has gone.
bool serveRequest(Session &session, ReplyFilter &filter)
{
    unsigned char message[EchoRequestSize + 1]; // one byte more shows an over-long message
    const ssize_t size = recv(RequestChannel, message, sizeof message, MSG_DONTWAIT);
    if (size == 0)
        return false;
    if (size < 0)
        return errno == EAGAIN || errno == EINTR;

    const HelperRequest request = HelperRequest::parse(message, std::size_t(size));
    SendReportFields report;
    report.sequence = request.sequence;
    report.errnoValue = request.refusalErrno();
    if (request.ok())
        send(session, filter, request, &report);
    unsigned char out[SendReportSize];
    encodeSendReport(report, out);
    return ::send(RequestChannel, out, sizeof out, MSG_NOSIGNAL) == ssize_t(sizeof out);
}

// Reads everything waiting on one raw socket and passes on what concerns our
// requests; false once the parent has gone.
bool forwardPackets(int fd, Family family, const ReplyFilter &filter)
{
    static unsigned char message[MaxPacketSize];
    unsigned char *bytes = message + PacketHeaderSize;
    ReceiveMessage received(bytes, MaxPacketBytes);
    for (;;) {
        const ssize_t size = received.receive(fd, MSG_DONTWAIT);
        PacketFields packet;
        packet.readRealtimeNs = nowNs(CLOCK_REALTIME);
        packet.readMonotonicNs = nowNs(CLOCK_MONOTONIC);
        if (size < 0)
            return true; // empty (EAGAIN), or a passing failure: back to poll
        if (received.truncated())
            continue;

        const std::optional<Address> source =
            Address::fromSockaddr(reinterpret_cast<const sockaddr *>(&received.sender()), received.senderLength());
        if (!source || source->family != family)
            continue;
        packet.family = std::uint8_t(family);
        std::memcpy(packet.source, source->bytes.data(), source->size());
        packet.scopeId = source->scopeId;
        const ReceivedControl control = received.control();
        packet.kernelTimestamp = control.stampNs.has_value();
        packet.kernelRealtimeNs = control.stampNs.value_or(0);
        packet.hopLimit = control.hopLimit;
        const std::span<const std::uint8_t> read(bytes, std::size_t(size));
        const bool ours = family == Family::Ipv4 ? filter.passesIpv4(read) : filter.passesIpv6(read, *source);
        if (!ours)
            continue;
        encodePacketHeader(packet, message);
        // Never waits: a parent that does not read loses packets, as a full
        // socket buffer would lose them, and its requests are still answered.
        const ssize_t written = ::send(PacketChannel, message, PacketHeaderSize + std::size_t(size),
                                       MSG_DONTWAIT | MSG_NOSIGNAL);
        if (written < 0 && errno != EAGAIN && errno != ENOBUFS && errno != EINTR)
            return false;
    }
}

// Reads the socket's error queue, which holds only transmit timestamps (no
// IP_RECVERR: ICMP errors come as packets), and passes on each that belongs
// to a send of this session; false once the parent has gone.
bool forwardSendStamps(int fd, Family family, SendStampKeys &keys)
{
    unsigned char ignored[1];
    ReceiveMessage received(ignored, sizeof ignored);
    for (;;) {
        if (received.receive(fd, MSG_ERRQUEUE | MSG_DONTWAIT) < 0)
            return true; // empty
        const ReceivedControl control = received.control();
        if (!control.isSendStamp())
            continue;
        const std::optional<std::uint16_t> sequence = keys.sequenceOf(control.error->data);
        if (!sequence)
            continue;
        SendStampFields fields;
        fields.family = std::uint8_t(family);
        fields.sequence = *sequence;
        fields.sentRealtimeNs = *control.stampNs;
        unsigned char out[SendStampSize];
        encodeSendStamp(fields, out);
        const ssize_t written = ::send(PacketChannel, out, sizeof out, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (written < 0 && errno != EAGAIN && errno != ENOBUFS && errno != EINTR)
            return false;
    }
}

int serve(Session &session)
{
    ReplyFilter filter(session.identifier);
    pollfd watched[] = {
        {RequestChannel, POLLIN, 0},
        {PacketChannel, 0, 0}, // only to notice the parent closing it
        {session.raw4, POLLIN, 0},
        {session.raw6, POLLIN, 0}, // poll skips a closed (-1) one
    };
    for (;;) {
        if (poll(watched, sizeof watched / sizeof watched[0], -1) < 0) {
            if (errno == EINTR)
                continue;
            return fail("poll failed");
        }
        if (watched[1].revents & (POLLHUP | POLLERR))
            return 0;
        if ((watched[0].revents & (POLLIN | POLLHUP | POLLERR)) && !serveRequest(session, filter))
            return 0;
        // A transmit timestamp, which the error queue holds, wakes poll with
        // POLLERR; it goes first, before the reply to its request. A pending
        // socket error wakes it so too, and the read of packets takes it.
        if ((watched[2].revents & POLLERR) && !forwardSendStamps(session.raw4, Family::Ipv4, session.keys4))
            return 0;
        if ((watched[3].revents & POLLERR) && !forwardSendStamps(session.raw6, Family::Ipv6, session.keys6))
            return 0;
        if ((watched[2].revents & (POLLIN | POLLERR)) && !forwardPackets(session.raw4, Family::Ipv4, filter))
            return 0;
        if ((watched[3].revents & (POLLIN | POLLERR)) && !forwardPackets(session.raw6, Family::Ipv6, filter))
            return 0;
    }
}

} // namespace

int main(int argc, char **)
{
    // Who started this process, before anything can change it: the parent
    // whose death ends it, and whether it is root, who is not rate-limited.
    const pid_t parent = getppid();
    const bool startedByRoot = getuid() == 0;
    // Die with the parent, even while something else holds the channels. The
    // exec that gave this process its capability cleared any earlier setting.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    // Not dumpable: no core file, and the user who started this process cannot
    // attach to it and use its raw sockets.
    prctl(PR_SET_DUMPABLE, 0);
    if (argc != 1 || !isChannel(RequestChannel) || !isChannel(PacketChannel))
        return fail("not for use by hand: the ping component starts this with its channels on descriptors 0 and 1");
    closeInheritedDescriptors();

    Session session;
    session.rateLimited = !startedByRoot;
    session.identifier = chooseIdentifier();
    HelloFields hello;
    hello.identifier = session.identifier;
    hello.ipv4Errno = openRawSocket(Family::Ipv4, session.identifier, &session.raw4, &session.stamps4);
    hello.ipv6Errno = openRawSocket(Family::Ipv6, session.identifier, &session.raw6, &session.stamps6);
    hello.flags = (session.raw4 >= 0 && session.stamps4 ? HelloSendStampsIpv4 : 0)
        | (session.raw6 >= 0 && session.stamps6 ? HelloSendStampsIpv6 : 0)
        | (session.rateLimited ? HelloRateLimited : 0);
    if (!dropPrivileges())
        return fail("could not give up its capabilities");
    // Set-user-ID root, the change of effective user id just now made the
    // kernel forget the parent-death signal and reset dumpable from the
    // fs.suid_dumpable sysctl: set both again. A parent that died before the
    // signal was set again will never send it; then it has gone already.
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || prctl(PR_SET_DUMPABLE, 0) != 0)
        return fail("could not set its parent-death signal or make itself undumpable");
    if (getppid() != parent)
        return 0;

    unsigned char out[HelloSize];
    encodeHello(hello, out);
    if (::send(RequestChannel, out, sizeof out, MSG_NOSIGNAL) != ssize_t(sizeof out))
        return 0;
    if (session.raw4 < 0 && session.raw6 < 0)
        return 1; // the Hello said why
    return serve(session);
}
