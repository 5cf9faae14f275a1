#include "icmpwatcher.h"

#include "icmpmessage.h"
#include "ipv4header.h"

#include <QString>

#include <cerrno>
#include <cstring>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

IcmpWatcher::IcmpWatcher(quint8 type)
{
    m_fd = ::socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (m_fd < 0) {
        m_errno = errno;
        return;
    }
    // ICMP_FILTER's bits block types.
    icmp_filter filter{~(1u << type)};
    const int on = 1;
    if (setsockopt(m_fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter) < 0
        || setsockopt(m_fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on) < 0) {
        m_errno = errno;
        ::close(m_fd);
        m_fd = -1;
    }
}

IcmpWatcher::~IcmpWatcher()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QString IcmpWatcher::error() const
{
    if (ok())
        return {};
    return QStringLiteral("raw ICMP socket: %1").arg(QString::fromLocal8Bit(std::strerror(m_errno)));
}

std::optional<IcmpWatcher::Seen> IcmpWatcher::next(int timeoutMs)
{
    if (m_fd < 0)
        return std::nullopt;
    char buffer[2048];
    alignas(cmsghdr) char control[256];
    for (;;) {
        iovec iov{buffer, sizeof buffer};
        msghdr msg{};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t length = ::recvmsg(m_fd, &msg, MSG_DONTWAIT);
        if (length < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN || timeoutMs <= 0)
                return std::nullopt;
            pollfd readable{m_fd, POLLIN, 0};
            if (::poll(&readable, 1, timeoutMs) <= 0)
                return std::nullopt;
            timeoutMs = 0; // one wait only: what woke us is read next
            continue;
        }
        const QByteArrayView bytes(buffer, length);
        const std::optional<Ipv4Header> ip = Ipv4Header::parse(bytes);
        if (!ip)
            continue;
        const std::optional<IcmpMessage> icmp = IcmpMessage::decode(bytes.sliced(ip->headerLength));
        if (!icmp)
            continue;
        Seen seen{icmp->type, icmp->identifier(), icmp->sequence(), 0};
        for (cmsghdr *cmsg = CMSG_FIRSTHDR(&msg); cmsg; cmsg = CMSG_NXTHDR(&msg, cmsg)) {
            if (cmsg->cmsg_level == SOL_SOCKET && cmsg->cmsg_type == SCM_TIMESTAMPNS) {
                timespec stamp{};
                std::memcpy(&stamp, CMSG_DATA(cmsg), sizeof stamp);
                seen.receivedNs = qint64(stamp.tv_sec) * 1'000'000'000 + stamp.tv_nsec;
            }
        }
        return seen;
    }
}

QList<IcmpWatcher::Seen> IcmpWatcher::drain()
{
    QList<Seen> all;
    while (const std::optional<Seen> seen = next(0))
        all.append(*seen);
    return all;
}
