#include "echoresponder.h"

#include "checksum.h"
#include "icmpmessage.h"
#include "ipv4header.h"
#include "ipv6header.h"
#include "receivedcontrol.h"

#include <QStringList>
#include <QtEndian>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/prctl.h>
#include <time.h>
#include <unistd.h>
// After netinet/in.h: the kernel's header then leaves the IPv6 types to glibc.
#include <linux/icmp.h>

namespace {

constexpr qint64 nsPerMs = 1'000'000;
// Low among real-time priorities: above every ordinary process, below the
// kernel's own real-time threads.
constexpr int realtimePriority = 10;
// ppoll sleeps on a relative monotonic timer; the last stretch before a due
// time is slept with an absolute CLOCK_REALTIME sleep, the clock of the
// kernel's receive timestamps, so the delay is measured from the packet's arrival.
constexpr qint64 finalApproachNs = 1 * nsPerMs;
// ICMP errors quote as much of the offending packet as fits into these totals
// (RFC 1812 4.3.2.3 for IPv4, RFC 4443 2.4 (c) for IPv6).
constexpr qsizetype maxError4 = 576 - Ipv4Header::MinimumSize;
constexpr qsizetype maxError6 = 1280 - Ipv6Header::Size;
// What --error packet-too-big announces as the next hop's MTU.
constexpr quint32 fragmentationMtu4 = 1400;
constexpr quint32 packetTooBigMtu6 = 1280;

qint64 realtimeNs()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

void sleepUntil(qint64 dueNs)
{
    const timespec due{time_t(dueNs / 1'000'000'000), long(dueNs % 1'000'000'000)};
    while (clock_nanosleep(CLOCK_REALTIME, TIMER_ABSTIME, &due, nullptr) == EINTR) {
    }
}

void log(const QString &line)
{
    std::fprintf(stderr, "%s\n", qPrintable(line));
}

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Makes value the one control message of message; msg_control must have room.
template<typename T>
void attachControl(msghdr &message, int level, int type, const T &value)
{
    message.msg_controllen = CMSG_SPACE(sizeof(T));
    cmsghdr *c = CMSG_FIRSTHDR(&message);
    c->cmsg_level = level;
    c->cmsg_type = type;
    c->cmsg_len = CMSG_LEN(sizeof(T));
    std::memcpy(CMSG_DATA(c), &value, sizeof(T));
}

struct ErrorCode
{
    quint8 type = 0;
    quint8 code = 0;
    quint32 restOfHeader = 0;
};

ErrorCode errorCode(ResponderOptions::ErrorKind kind, bool v4)
{
    using Kind = ResponderOptions::ErrorKind;
    switch (kind) {
    case Kind::HostUnreachable:
        return v4 ? ErrorCode{Icmp4::DestinationUnreachable, 1} : ErrorCode{Icmp6::DestinationUnreachable, 3};
    case Kind::NetUnreachable:
        return v4 ? ErrorCode{Icmp4::DestinationUnreachable, 0} : ErrorCode{Icmp6::DestinationUnreachable, 0};
    case Kind::PortUnreachable:
        return v4 ? ErrorCode{Icmp4::DestinationUnreachable, 3} : ErrorCode{Icmp6::DestinationUnreachable, 4};
    case Kind::TtlExceeded:
        return v4 ? ErrorCode{Icmp4::TimeExceeded, 0} : ErrorCode{Icmp6::TimeExceeded, 0};
    case Kind::PacketTooBig:
        // IPv4 carries the next-hop MTU in the low 16 bits (RFC 1191), IPv6 in all 32.
        return v4 ? ErrorCode{Icmp4::DestinationUnreachable, 4, fragmentationMtu4}
                  : ErrorCode{Icmp6::PacketTooBig, 0, packetTooBigMtu6};
    case Kind::ParameterProblem:
        // Pointer 0: the problem is said to be in the first byte of the quoted header.
        return v4 ? ErrorCode{Icmp4::ParameterProblem, 0} : ErrorCode{Icmp6::ParameterProblem, 0};
    case Kind::None:
        break;
    }
    return {};
}

} // namespace

EchoResponder::EchoResponder(const ResponderOptions &options)
    : m_options(options)
    , m_drop(DropRule::parse(options.drop).value_or(DropRule()))
{
}

EchoResponder::~EchoResponder()
{
    if (m_socket4 >= 0)
        ::close(m_socket4);
    if (m_socket6 >= 0)
        ::close(m_socket6);
}

bool EchoResponder::open(QString *error)
{
    // The default 50 us timer slack would eat most of the precision budget.
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    // On a busy machine an ordinary process wakes up milliseconds late. The
    // responder sleeps nearly all the time, so a real-time priority costs the
    // others nothing; without the privilege it runs as it is, less precise.
    const sched_param priority{realtimePriority};
    if (sched_setscheduler(0, SCHED_FIFO, &priority) < 0)
        log(QStringLiteral("no real-time priority (%1): delays may overshoot on a busy machine").arg(errnoText()));

    const int on = 1;
    m_socket4 = ::socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (m_socket4 < 0) {
        *error = QStringLiteral("raw ICMP socket: %1 (needs CAP_NET_RAW)").arg(errnoText());
        return false;
    }
    // ICMP_FILTER's bits block types: let only echo requests through.
    icmp_filter filter4{~(1U << Icmp4::EchoRequest)};
    if (setsockopt(m_socket4, SOL_RAW, ICMP_FILTER, &filter4, sizeof filter4) < 0
        || setsockopt(m_socket4, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on) < 0) {
        *error = QStringLiteral("raw ICMP socket options: %1").arg(errnoText());
        return false;
    }
    if (m_options.ttl > 0 && setsockopt(m_socket4, IPPROTO_IP, IP_TTL, &m_options.ttl, sizeof(int)) < 0) {
        *error = QStringLiteral("IP_TTL %1: %2").arg(m_options.ttl).arg(errnoText());
        return false;
    }

    m_socket6 = ::socket(AF_INET6, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMPV6);
    if (m_socket6 < 0) {
        *error = QStringLiteral("raw ICMPv6 socket: %1 (needs CAP_NET_RAW)").arg(errnoText());
        return false;
    }
    icmp6_filter filter6{};
    ICMP6_FILTER_SETBLOCKALL(&filter6);
    ICMP6_FILTER_SETPASS(Icmp6::EchoRequest, &filter6);
    if (setsockopt(m_socket6, IPPROTO_ICMPV6, ICMP6_FILTER, &filter6, sizeof filter6) < 0
        || setsockopt(m_socket6, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on) < 0
        || setsockopt(m_socket6, IPPROTO_IPV6, IPV6_RECVPKTINFO, &on, sizeof on) < 0
        || setsockopt(m_socket6, IPPROTO_IPV6, IPV6_RECVHOPLIMIT, &on, sizeof on) < 0) {
        *error = QStringLiteral("raw ICMPv6 socket options: %1").arg(errnoText());
        return false;
    }
    if (m_options.ttl > 0
        && setsockopt(m_socket6, IPPROTO_IPV6, IPV6_UNICAST_HOPS, &m_options.ttl, sizeof(int)) < 0) {
        *error = QStringLiteral("IPV6_UNICAST_HOPS %1: %2").arg(m_options.ttl).arg(errnoText());
        return false;
    }
    return !m_options.dnsSink || m_dnsSink.open(error);
}

void EchoResponder::run(const volatile std::sig_atomic_t *stop, const sigset_t &waitMask)
{
    while (!*stop) {
        timespec timeout{};
        const timespec *timeoutPointer = nullptr;
        if (!m_pending.empty()) {
            const qint64 dueNs = m_pending.begin()->first;
            const qint64 leftNs = dueNs - realtimeNs();
            if (leftNs <= finalApproachNs) {
                // Requests that arrive meanwhile keep their kernel timestamps, so
                // their own due times do not move.
                sleepUntil(dueNs);
                sendDue();
                continue;
            }
            const qint64 waitNs = leftNs - finalApproachNs;
            timeout = {time_t(waitNs / 1'000'000'000), long(waitNs % 1'000'000'000)};
            timeoutPointer = &timeout;
        }

        // The two raw sockets, then those of the DNS sink, if any.
        pollfd fds[4] = {{m_socket4, POLLIN, 0}, {m_socket6, POLLIN, 0}};
        nfds_t count = 2;
        for (int descriptor : m_dnsSink.descriptors())
            fds[count++] = {descriptor, POLLIN, 0};
        if (ppoll(fds, count, timeoutPointer, &waitMask) < 0) {
            if (errno == EINTR)
                continue;
            log(QStringLiteral("ppoll: %1").arg(errnoText()));
            return;
        }
        if (fds[0].revents)
            while (receiveOne(AF_INET)) {
            }
        if (fds[1].revents)
            while (receiveOne(AF_INET6)) {
            }
        for (nfds_t i = 2; i < count; ++i) {
            if (fds[i].revents)
                m_dnsSink.drain(fds[i].fd);
        }
    }
}

// Reads one packet; false once the socket has nothing more.
bool EchoResponder::receiveOne(int family)
{
    const bool v4 = family == AF_INET;
    alignas(8) char data[65536];
    Request request;
    request.route.family = family;
    Icmp::ReceiveMessage message(data, sizeof data);
    const ssize_t length = message.receive(socketFor(family), MSG_DONTWAIT);
    if (length < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            log(QStringLiteral("recvmsg: %1").arg(errnoText()));
        return false;
    }
    request.route.peer = message.sender();
    request.route.peerLength = message.senderLength();
    const Icmp::ReceivedControl control = message.control();
    request.receivedNs = control.stampNs.value_or(0);
    request.hops = control.hopLimit;
    request.route.local = IcmpBridge::toHostAddress(control.destination);
    request.route.interfaceIndex = control.interfaceIndex;
    const HostAddress peer = request.route.peerAddress();
    if (request.receivedNs == 0) {
        log(QStringLiteral("no kernel timestamp on a packet from %1; timing it from now").arg(peer.toString()));
        request.receivedNs = realtimeNs();
    }

    QByteArrayView packet(data, length);
    QByteArrayView icmp = packet;
    if (v4) {
        const auto ip = Ipv4Header::parse(packet);
        if (!ip || ip->protocol != Ipv4Header::ProtocolIcmp) {
            log(QStringLiteral("ignored a malformed IPv4 packet from %1").arg(peer.toString()));
            return true;
        }
        packet = packet.first(qBound(ip->headerLength, qsizetype(ip->totalLength), packet.size()));
        icmp = packet.sliced(ip->headerLength);
        // The kernel hands raw sockets ICMPv4 before checking the checksum.
        if (Icmp::internetChecksum(IcmpBridge::bytes(icmp)) != 0) {
            log(QStringLiteral("ignored an echo request with a bad checksum from %1").arg(peer.toString()));
            return true;
        }
        request.route.local = ip->destination;
        request.hops = ip->ttl;
        request.invokingPacket = packet.toByteArray();
    } else {
        // A raw ICMPv6 socket never hands over the fixed header, but an ICMPv6
        // error must quote it; traffic class and flow label are unknown here.
        const Ipv6Header header{.payloadLength = quint16(icmp.size()),
                                .nextHeader = Ipv6Header::NextHeaderIcmpv6,
                                .hopLimit = quint8(request.hops),
                                .source = peer,
                                .destination = request.route.local};
        request.invokingPacket = header.encode() + icmp.toByteArray();
    }

    const auto decoded = IcmpMessage::decode(icmp);
    const quint8 requestType = v4 ? quint8(Icmp4::EchoRequest) : quint8(Icmp6::EchoRequest);
    if (!decoded || decoded->type != requestType)
        return true;
    request.identifier = decoded->identifier();
    request.sequence = decoded->sequence();
    request.payload = decoded->body;
    answer(request);
    return true;
}

void EchoResponder::answer(const Request &request)
{
    const bool v4 = request.route.family == AF_INET;
    const quint64 ordinal = ++(v4 ? m_seen4 : m_seen6);
    QString line = QStringLiteral("request v%1 %2 -> %3 id=%4 seq=%5 payload=%6 hops=%7")
                       .arg(v4 ? 4 : 6)
                       .arg(request.route.peerAddress().toString(), request.route.local.toString())
                       .arg(request.identifier)
                       .arg(request.sequence)
                       .arg(request.payload.size())
                       .arg(request.hops);
    if (m_drop.drops(request.sequence, ordinal)) {
        log(line + QStringLiteral(" answer=dropped"));
        return;
    }

    const qint64 dueNs = request.receivedNs + m_options.delayMs * nsPerMs;
    const quint8 replyType = v4 ? quint8(Icmp4::EchoReply) : quint8(Icmp6::EchoReply);
    // On raw ICMPv6 sockets the kernel fills in the checksum of whatever is sent.
    const auto encode = [v4](const IcmpMessage &m) { return v4 ? m.encodeWithChecksum() : m.encode(); };
    const auto reply = [&](quint16 identifier, quint16 sequence, const QByteArray &payload) {
        return encode(IcmpMessage::echo(replyType, identifier, sequence, payload));
    };

    QStringList noise;
    if (m_options.forgedError) {
        // The last byte of the quoted destination changed: the error now seems
        // to concern a request to a neighbour of ours (the quoted IPv4 header's
        // own checksum is left alone; nobody checks it).
        Request elsewhere = request;
        const qsizetype destinationEnd = v4 ? 20 : 40;
        elsewhere.invokingPacket[destinationEnd - 1] = char(elsewhere.invokingPacket[destinationEnd - 1] ^ 0x55);
        schedule(request.receivedNs, request.route, errorFor(elsewhere, ResponderOptions::ErrorKind::HostUnreachable),
                 "forged-error");
        noise << QStringLiteral("forged-error");
    }
    if (m_options.foreignId) {
        schedule(dueNs, request.route, reply(quint16(~request.identifier), request.sequence, request.payload),
                 "foreign-id");
        noise << QStringLiteral("foreign-id");
    }
    if (m_options.wrongSequence) {
        schedule(dueNs, request.route, reply(request.identifier, quint16(request.sequence + 1), request.payload),
                 "wrong-sequence");
        noise << QStringLiteral("wrong-sequence");
    }
    if (m_options.badChecksum) {
        if (v4) {
            QByteArray bytes = reply(request.identifier, request.sequence, request.payload);
            // Inverting one bit in each checksum byte changes the sum by neither
            // 0 nor 0xffff, the two forms of zero, so no receiver can accept it.
            bytes[2] = char(bytes[2] ^ 0x01);
            bytes[3] = char(bytes[3] ^ 0x01);
            schedule(dueNs, request.route, bytes, "bad-checksum");
            noise << QStringLiteral("bad-checksum");
        } else {
            noise << QStringLiteral("bad-checksum(not on IPv6)");
        }
    }
    if (m_options.corruptPayload) {
        if (!request.payload.isEmpty()) {
            QByteArray payload = request.payload;
            const qsizetype middle = payload.size() / 2;
            payload[middle] = char(~payload[middle]);
            schedule(dueNs, request.route, reply(request.identifier, request.sequence, payload), "corrupt-payload");
            noise << QStringLiteral("corrupt-payload");
        } else {
            noise << QStringLiteral("corrupt-payload(empty payload)");
        }
    }

    const bool isError = m_options.error != ResponderOptions::ErrorKind::None;
    const QByteArray answerBytes = isError ? errorFor(request, m_options.error)
                                           : reply(request.identifier, request.sequence, request.payload);
    const char *answerName = isError ? "error" : "reply";
    if (!m_options.noiseOnly) {
        for (int copy = 0; copy <= m_options.duplicate; ++copy)
            schedule(dueNs, request.route, answerBytes, copy == 0 ? answerName : "duplicate");
    }
    if (m_options.lateMs > 0)
        schedule(dueNs + m_options.lateMs * nsPerMs, request.route, answerBytes, "late");

    line += QStringLiteral(" answer=%1")
                .arg(m_options.noiseOnly ? QStringLiteral("none")
                     : isError           ? ResponderOptions::errorKindName(m_options.error)
                                         : QStringLiteral("reply"));
    if (!m_options.noiseOnly && m_options.duplicate > 0)
        line += QStringLiteral(" duplicates=%1").arg(m_options.duplicate);
    if (m_options.lateMs > 0)
        line += QStringLiteral(" late-ms=%1").arg(m_options.lateMs);
    if (!noise.isEmpty())
        line += QStringLiteral(" noise=") + noise.join(QLatin1Char(','));
    if (m_options.delayMs > 0)
        line += QStringLiteral(" delay-ms=%1").arg(m_options.delayMs);
    log(line);
}

QByteArray EchoResponder::errorFor(const Request &request, ResponderOptions::ErrorKind kind) const
{
    const bool v4 = request.route.family == AF_INET;
    const ErrorCode code = errorCode(kind, v4);
    IcmpMessage error;
    error.type = code.type;
    error.code = code.code;
    error.restOfHeader = code.restOfHeader;
    error.body = request.invokingPacket.left((v4 ? maxError4 : maxError6) - IcmpMessage::HeaderSize);
    return v4 ? error.encodeWithChecksum() : error.encode();
}

void EchoResponder::schedule(qint64 dueNs, const Route &route, const QByteArray &bytes, const char *what)
{
    m_pending.emplace(dueNs, Outgoing{route, bytes, what});
}

void EchoResponder::sendDue()
{
    const qint64 now = realtimeNs();
    while (!m_pending.empty() && m_pending.begin()->first <= now) {
        send(m_pending.begin()->second);
        m_pending.erase(m_pending.begin());
    }
}

void EchoResponder::send(const Outgoing &outgoing)
{
    const Route &route = outgoing.route;
    iovec iov{const_cast<char *>(outgoing.bytes.constData()), size_t(outgoing.bytes.size())};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in6_pktinfo))] = {};
    msghdr message{};
    message.msg_name = const_cast<sockaddr_storage *>(&route.peer);
    message.msg_namelen = route.peerLength;
    message.msg_iov = &iov;
    message.msg_iovlen = 1;
    message.msg_control = control;

    // Answer from the address the request was sent to, as a host does; a
    // request to a group is answered from the host's own address, which the
    // kernel picks.
    const bool group = route.local.isMulticast() || route.local.isLimitedBroadcast();
    if (route.family == AF_INET) {
        if (!group) {
            in_pktinfo info{};
            info.ipi_spec_dst.s_addr = qToBigEndian(route.local.toIPv4Address());
            attachControl(message, IPPROTO_IP, IP_PKTINFO, info);
        }
    } else {
        in6_pktinfo info{};
        const Ipv6Bytes local = route.local.toIPv6Address();
        if (!group)
            std::memcpy(&info.ipi6_addr, local.c, 16);
        info.ipi6_ifindex = unsigned(route.interfaceIndex);
        attachControl(message, IPPROTO_IPV6, IPV6_PKTINFO, info);
    }

    if (sendmsg(socketFor(route.family), &message, 0) < 0)
        log(QStringLiteral("sending the %1 to %2 failed: %3")
                .arg(QLatin1String(outgoing.what),
                     route.peerAddress().toString(), errnoText()));
}
