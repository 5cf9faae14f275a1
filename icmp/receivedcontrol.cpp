#include "receivedcontrol.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <ctime>
#include <limits>
#include <linux/errqueue.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace Icmp {

namespace {

static_assert(ErrorQueueEntry::OriginNone == SO_EE_ORIGIN_NONE && ErrorQueueEntry::OriginLocal == SO_EE_ORIGIN_LOCAL
              && ErrorQueueEntry::OriginIcmp == SO_EE_ORIGIN_ICMP && ErrorQueueEntry::OriginIcmp6 == SO_EE_ORIGIN_ICMP6
              && ErrorQueueEntry::OriginTimestamping == SO_EE_ORIGIN_TIMESTAMPING);

// A stamp in ns; none for zero, which means the kernel took none, and none
// for a time that is no time (nanoseconds out of range) or that 64 bits of
// nanoseconds cannot hold (beyond the year 2262).
std::optional<std::int64_t> toNs(const timespec &time)
{
    constexpr std::int64_t NsPerSecond = 1'000'000'000;
    constexpr std::int64_t MaxSeconds = std::numeric_limits<std::int64_t>::max() / NsPerSecond - 1;
    if ((time.tv_sec == 0 && time.tv_nsec == 0) || time.tv_nsec < 0 || time.tv_nsec >= NsPerSecond
        || time.tv_sec > MaxSeconds || time.tv_sec < -MaxSeconds)
        return std::nullopt;
    return std::int64_t(time.tv_sec) * NsPerSecond + time.tv_nsec;
}

// One control message: its level and type, and its data, within the buffer.
struct Control
{
    int level;
    int type;
    const std::uint8_t *data;
    std::size_t size;

    // The data as a T, when there is enough of it.
    template<typename T>
    std::optional<T> as() const
    {
        if (size < sizeof(T))
            return std::nullopt;
        T value;
        std::memcpy(&value, data, sizeof value);
        return value;
    }
};

ErrorQueueEntry entryFrom(const Control &control, const sock_extended_err &ee)
{
    ErrorQueueEntry entry;
    entry.errnoValue = int(ee.ee_errno);
    entry.origin = ee.ee_origin;
    entry.type = ee.ee_type;
    entry.code = ee.ee_code;
    entry.info = ee.ee_info;
    entry.data = ee.ee_data;
    // SO_EE_OFFENDER: the address right after the structure; AF_UNSPEC (zeroed)
    // when the kernel knows no offender, as for local errors.
    sockaddr_storage offender{};
    const std::size_t offenderLength = std::min(control.size - sizeof ee, sizeof offender);
    std::memcpy(&offender, control.data + sizeof ee, offenderLength);
    entry.offender = Address::fromSockaddr(reinterpret_cast<const sockaddr *>(&offender), offenderLength);
    return entry;
}

void take(ReceivedControl &received, const Control &control)
{
    if (control.level == SOL_SOCKET && control.type == SCM_TIMESTAMPING) {
        if (const auto stamps = control.as<scm_timestamping>())
            received.stampNs = toNs(stamps->ts[0]);
    } else if (control.level == SOL_SOCKET && control.type == SCM_TIMESTAMPNS) {
        if (const auto stamp = control.as<timespec>())
            received.stampNs = toNs(*stamp);
    } else if ((control.level == IPPROTO_IP && control.type == IP_TTL)
               || (control.level == IPPROTO_IPV6 && control.type == IPV6_HOPLIMIT)) {
        if (const auto hops = control.as<int>())
            received.hopLimit = *hops;
    } else if ((control.level == IPPROTO_IP && control.type == IP_RECVERR)
               || (control.level == IPPROTO_IPV6 && control.type == IPV6_RECVERR)) {
        if (const auto ee = control.as<sock_extended_err>())
            received.error = entryFrom(control, *ee);
    } else if (control.level == IPPROTO_IPV6 && control.type == IPV6_PKTINFO) {
        if (const auto info = control.as<in6_pktinfo>()) {
            received.destination = Address::ipv6(reinterpret_cast<const std::uint8_t *>(&info->ipi6_addr));
            received.interfaceIndex = int(info->ipi6_ifindex);
        }
    }
}

} // namespace

ReceivedControl ReceivedControl::read(const msghdr &message)
{
    ReceivedControl received;
    const auto *buffer = static_cast<const std::uint8_t *>(message.msg_control);
    const std::size_t length = buffer ? message.msg_controllen : 0;
    // CMSG_FIRSTHDR and CMSG_NXTHDR trust each message's cmsg_len as far as
    // the kernel's own messages deserve; this walk checks it, so that any
    // bytes are safe to read.
    std::size_t at = 0;
    while (length - at >= sizeof(cmsghdr)) {
        cmsghdr header;
        std::memcpy(&header, buffer + at, sizeof header);
        if (header.cmsg_len < CMSG_LEN(0) || header.cmsg_len > length - at)
            break;
        take(received, Control{header.cmsg_level, header.cmsg_type, buffer + at + CMSG_LEN(0),
                               header.cmsg_len - CMSG_LEN(0)});
        const std::size_t step = CMSG_ALIGN(header.cmsg_len);
        if (step >= length - at)
            break;
        at += step;
    }
    return received;
}

bool ReceivedControl::isSendStamp() const
{
    return error && error->origin == ErrorQueueEntry::OriginTimestamping && error->info == SCM_TSTAMP_SND
        && stampNs;
}

ReceiveMessage::ReceiveMessage(void *data, std::size_t size) : m_data{data, size}
{
}

ssize_t ReceiveMessage::receive(int fd, int flags)
{
    m_from = sockaddr_storage{};
    m_header = msghdr{};
    m_header.msg_name = &m_from;
    m_header.msg_namelen = sizeof m_from;
    m_header.msg_iov = &m_data;
    m_header.msg_iovlen = 1;
    m_header.msg_control = m_control;
    m_header.msg_controllen = sizeof m_control;
    return ::recvmsg(fd, &m_header, flags);
}

} // namespace Icmp
