#include "icmpsocket.h"

#include <QtEndian>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The largest IPv4 datagram, header included, and the largest ICMPv6 message
// without jumbograms: one buffer that any single read fits.
constexpr qsizetype BufferSize = 65536;

} // namespace

IcmpSocket::IcmpSocket(int fd)
    : m_fd(fd)
{
}

IcmpSocket::IcmpSocket(IcmpSocket &&other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
    , m_buffer(std::move(other.m_buffer))
{
}

IcmpSocket &IcmpSocket::operator=(IcmpSocket &&other) noexcept
{
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_buffer = std::move(other.m_buffer);
    }
    return *this;
}

IcmpSocket::~IcmpSocket()
{
    close();
}

void IcmpSocket::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

IcmpSocket::Opened IcmpSocket::open(int domain, int type, int protocol)
{
    const int fd = ::socket(domain, type | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
    if (fd < 0)
        return Opened::failure({errno});
    return IcmpSocket(fd);
}

Result<quint16, IcmpSocket::Failure> IcmpSocket::bindToAnyPort(IpFamily family)
{
    using Bound = Result<quint16, Failure>;
    const HostAddress any = family == IpFamily::IPv4 ? HostAddress(quint32(0)) : HostAddress(Ipv6Bytes());
    sockaddr_storage address;
    const socklen_t length = any.toSockaddr(address);
    if (::bind(m_fd, reinterpret_cast<const sockaddr *>(&address), length) != 0)
        return Bound::failure({errno, "bind"});
    socklen_t boundLength = sizeof address;
    if (::getsockname(m_fd, reinterpret_cast<sockaddr *>(&address), &boundLength) != 0)
        return Bound::failure({errno, "getsockname"});
    return HostAddress::portOfSockaddr(reinterpret_cast<const sockaddr *>(&address), boundLength);
}

bool IcmpSocket::setOption(int level, int name, int value)
{
    return setOption(level, name, &value, sizeof value);
}

bool IcmpSocket::setOption(int level, int name, const void *value, unsigned length)
{
    return ::setsockopt(m_fd, level, name, value, socklen_t(length)) == 0;
}

IcmpSocket::Read IcmpSocket::read(Queue queue)
{
    if (m_buffer.size() != BufferSize)
        m_buffer = QByteArray(BufferSize, Qt::Uninitialized);

    Icmp::ReceiveMessage message(m_buffer.data(), size_t(m_buffer.size()));
    const int flags = MSG_DONTWAIT | (queue == Queue::Error ? MSG_ERRQUEUE : 0);
    const ssize_t length = message.receive(m_fd, flags);
    if (length < 0)
        return Read::failure(errno);
    const ClockReading afterRead = ClockReading::now();

    Datagram datagram;
    datagram.bytes = QByteArrayView(m_buffer.constData(), length);
    datagram.truncated = message.truncated();
    datagram.address = HostAddress::fromSockaddr(reinterpret_cast<const sockaddr *>(&message.sender()),
                                                 message.senderLength());
    datagram.control = message.control();
    datagram.kernelTimestamp = datagram.control.stampNs.has_value();
    datagram.receivedNs = datagram.control.stampNs.value_or(afterRead.realtimeNs);
    datagram.receivedMonotonicNs = afterRead.toMonotonic(datagram.receivedNs);
    return datagram;
}

SendResult IcmpSocket::sendTo(const HostAddress &address, QByteArrayView bytes)
{
    SendResult result;
    sockaddr_storage to;
    const socklen_t toLength = address.toSockaddr(to);
    if (toLength == 0) {
        result.errnoValue = ENODEV; // a zone that names no interface
        return result;
    }
    ssize_t sent = -1;
    do {
        const ClockReading before = ClockReading::now();
        result.sentMonotonicNs = before.monotonicNs;
        result.sentRealtimeNs = before.realtimeNs;
        sent = ::sendto(m_fd, bytes.data(), size_t(bytes.size()), MSG_DONTWAIT,
                        reinterpret_cast<const sockaddr *>(&to), toLength);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) {
        result.errnoValue = errno;
    } else if (sent != bytes.size()) {
        result.errnoValue = EMSGSIZE; // datagram sockets send all or nothing; this would be a kernel surprise
    } else {
        result.ok = true;
    }
    return result;
}

std::optional<ProbeEvent> IcmpSocket::readEvent(const Parse &parse)
{
    // A read may also fail with a pending socket error: an ICMP error or a
    // local failure sets it besides queueing the details, and recvmsg hands it
    // over once. Such failures are retried, a few times in a row at most.
    // The error queue comes first: a request's transmit timestamp is queued
    // there as the request is handed to the device, before any reply to it
    // can come, so it is read before the reply.
    constexpr int MaxFailuresInARow = 4;
    int failures = 0;
    Queue queue = Queue::Error;
    while (failures < MaxFailuresInARow) {
        const Read outcome = read(queue);
        if (outcome) {
            failures = 0;
            const Datagram &datagram = outcome.value();
            if (queue == Queue::Data && datagram.truncated)
                continue;
            if (auto event = parse(datagram, queue)) {
                event->receivedNs = datagram.receivedNs;
                event->receivedMonotonicNs = datagram.receivedMonotonicNs;
                event->kernelTimestamp = datagram.kernelTimestamp;
                return event;
            }
            continue;
        }
        if (outcome.error() == EAGAIN || outcome.error() == EWOULDBLOCK) {
            if (queue == Queue::Data)
                return std::nullopt;
            queue = Queue::Data;
            continue;
        }
        ++failures;
    }
    return std::nullopt;
}
