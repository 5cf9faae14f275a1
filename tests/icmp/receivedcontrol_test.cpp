// What the kernel attaches to a received message, read the one way the helper
// and the component both read it: stamps, TTL or hop limit, an error-queue
// entry with its offender, the packet's destination; and never a byte past
// the control buffer, whatever its lengths claim.
#include "packets.h"
#include "receivedcontrol.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <limits>
#include <linux/errqueue.h>
#include <netinet/in.h>
#include <sys/socket.h>

using namespace IcmpTest;
using Icmp::ErrorQueueEntry;
using Icmp::ReceivedControl;

namespace {

// Control messages as the kernel lays them out, one after the other.
class ControlBuffer
{
public:
    template<typename T>
    ControlBuffer &add(int level, int type, const T &value)
    {
        return add(level, type, &value, sizeof value);
    }

    ControlBuffer &add(int level, int type, const void *data, std::size_t size)
    {
        const std::size_t at = m_used;
        m_used += CMSG_SPACE(size);
        cmsghdr header{};
        header.cmsg_len = CMSG_LEN(size);
        header.cmsg_level = level;
        header.cmsg_type = type;
        std::memcpy(m_bytes + at, &header, sizeof header);
        std::memcpy(m_bytes + at + CMSG_LEN(0), data, size);
        return *this;
    }

    std::size_t size() const { return m_used; }
    std::uint8_t *bytes() { return m_bytes; }

    // What recvmsg would have filled in, with the first length bytes of this.
    msghdr message(std::size_t length)
    {
        msghdr message{};
        message.msg_control = m_bytes;
        message.msg_controllen = length;
        return message;
    }
    msghdr message() { return message(m_used); }

private:
    alignas(cmsghdr) std::uint8_t m_bytes[1024] = {};
    std::size_t m_used = 0;
};

timespec at(time_t seconds, long nanoseconds)
{
    return timespec{seconds, nanoseconds};
}

// An ICMPv6 error from router about a request, with the offender after the
// extended error as the kernel puts it.
struct ErrorWithOffender
{
    sock_extended_err error;
    sockaddr_in6 offender;
};

ErrorWithOffender icmp6Error(const Icmp::Address &router)
{
    ErrorWithOffender value{};
    value.error.ee_errno = EHOSTUNREACH;
    value.error.ee_origin = SO_EE_ORIGIN_ICMP6;
    value.error.ee_type = 1;
    value.error.ee_code = 3;
    value.error.ee_info = 0x01020304;
    value.error.ee_data = 7;
    value.offender.sin6_family = AF_INET6;
    std::memcpy(&value.offender.sin6_addr, router.bytes.data(), 16);
    value.offender.sin6_scope_id = 4;
    return value;
}

} // namespace

TEST(ReceivedControl, ReadsTheStampTheHopLimitAndTheErrorWithItsOffender)
{
    scm_timestamping stamps{};
    stamps.ts[0] = at(1'700'000'000, 123'456'789);
    const int hops = 57;
    const Icmp::Address router = ipv6("fe80::fe");
    ControlBuffer buffer;
    buffer.add(SOL_SOCKET, SCM_TIMESTAMPING, stamps)
        .add(IPPROTO_IPV6, IPV6_HOPLIMIT, hops)
        .add(IPPROTO_IPV6, IPV6_RECVERR, icmp6Error(router));
    const ReceivedControl control = ReceivedControl::read(buffer.message());
    EXPECT_EQ(control.stampNs, 1'700'000'000'123'456'789);
    EXPECT_EQ(control.hopLimit, 57);
    ASSERT_TRUE(control.error.has_value());
    EXPECT_EQ(control.error->errnoValue, EHOSTUNREACH);
    EXPECT_EQ(control.error->origin, ErrorQueueEntry::OriginIcmp6);
    EXPECT_EQ(control.error->type, 1);
    EXPECT_EQ(control.error->code, 3);
    EXPECT_EQ(control.error->info, 0x01020304u);
    EXPECT_EQ(control.error->data, 7u);
    EXPECT_EQ(control.error->offender, ipv6("fe80::fe", 4));
    EXPECT_FALSE(control.isSendStamp()) << "an ICMP error is no transmit timestamp";
}

TEST(ReceivedControl, ATransmitTimestampNeedsItsStamp)
{
    sock_extended_err entry{};
    entry.ee_errno = ENOMSG;
    entry.ee_origin = SO_EE_ORIGIN_TIMESTAMPING;
    entry.ee_info = SCM_TSTAMP_SND;
    entry.ee_data = 41;
    scm_timestamping stamps{};
    stamps.ts[0] = at(5, 6);

    ControlBuffer stamped;
    stamped.add(SOL_SOCKET, SCM_TIMESTAMPING, stamps).add(IPPROTO_IP, IP_RECVERR, entry);
    const ReceivedControl sent = ReceivedControl::read(stamped.message());
    EXPECT_TRUE(sent.isSendStamp());
    EXPECT_EQ(sent.stampNs, 5'000'000'006);
    EXPECT_EQ(sent.error->data, 41u);
    // No offender: the kernel leaves AF_UNSPEC after the entry, or nothing.
    EXPECT_FALSE(sent.error->offender.has_value());

    // The software stamp zero: the kernel took none.
    stamps.ts[0] = at(0, 0);
    stamps.ts[2] = at(5, 6);
    ControlBuffer unstamped;
    unstamped.add(SOL_SOCKET, SCM_TIMESTAMPING, stamps).add(IPPROTO_IP, IP_RECVERR, entry);
    const ReceivedControl none = ReceivedControl::read(unstamped.message());
    EXPECT_FALSE(none.stampNs.has_value());
    EXPECT_FALSE(none.isSendStamp());

    // A time that is none, and one beyond what 64 bits of nanoseconds hold.
    for (const timespec &bad : {at(1, 1'000'000'000), at(1, -1), at(std::numeric_limits<time_t>::max(), 0),
                                at(std::numeric_limits<time_t>::min(), 0)}) {
        stamps.ts[0] = bad;
        ControlBuffer beyond;
        beyond.add(SOL_SOCKET, SCM_TIMESTAMPING, stamps).add(SOL_SOCKET, SCM_TIMESTAMPNS, bad);
        EXPECT_FALSE(ReceivedControl::read(beyond.message()).stampNs.has_value()) << bad.tv_sec << " " << bad.tv_nsec;
    }

    // Another stamp than the one of the send (SCM_TSTAMP_SCHED: entering the queue).
    entry.ee_info = SCM_TSTAMP_SCHED;
    stamps.ts[0] = at(5, 6);
    ControlBuffer scheduled;
    scheduled.add(SOL_SOCKET, SCM_TIMESTAMPING, stamps).add(IPPROTO_IP, IP_RECVERR, entry);
    EXPECT_FALSE(ReceivedControl::read(scheduled.message()).isSendStamp());
}

TEST(ReceivedControl, ReceiveStampsAloneTtlAndTheDestination)
{
    const timespec stamp = at(2, 500);
    const int ttl = 63;
    in6_pktinfo info{};
    const Icmp::Address here = ipv6("2001:db8::1");
    std::memcpy(&info.ipi6_addr, here.bytes.data(), 16);
    info.ipi6_ifindex = 3;
    ControlBuffer buffer;
    buffer.add(SOL_SOCKET, SCM_TIMESTAMPNS, stamp).add(IPPROTO_IP, IP_TTL, ttl).add(IPPROTO_IPV6, IPV6_PKTINFO, info);
    const ReceivedControl control = ReceivedControl::read(buffer.message());
    EXPECT_EQ(control.stampNs, 2'000'000'500);
    EXPECT_EQ(control.hopLimit, 63);
    EXPECT_EQ(control.destination, here);
    EXPECT_EQ(control.interfaceIndex, 3);
    EXPECT_FALSE(control.error.has_value());

    // A zero SCM_TIMESTAMPNS is no stamp either, as a zero SCM_TIMESTAMPING is not.
    ControlBuffer zero;
    zero.add(SOL_SOCKET, SCM_TIMESTAMPNS, at(0, 0));
    EXPECT_FALSE(ReceivedControl::read(zero.message()).stampNs.has_value());

    // Nothing at all.
    msghdr empty{};
    const ReceivedControl nothing = ReceivedControl::read(empty);
    EXPECT_FALSE(nothing.stampNs.has_value());
    EXPECT_EQ(nothing.hopLimit, -1);
    EXPECT_FALSE(nothing.error.has_value());
    EXPECT_FALSE(nothing.destination.has_value());
}

TEST(ReceivedControl, NeverReadsPastTheBuffer)
{
    const int hops = 9;
    const Icmp::Address router = ipv6("2001:db8::fe");
    ControlBuffer buffer;
    buffer.add(IPPROTO_IPV6, IPV6_HOPLIMIT, hops).add(IPPROTO_IPV6, IPV6_RECVERR, icmp6Error(router));
    const std::size_t first = CMSG_SPACE(sizeof hops);
    // A buffer cut anywhere holds the messages wholly inside it, and no more.
    for (std::size_t length = 0; length <= buffer.size(); ++length) {
        const ReceivedControl control = ReceivedControl::read(buffer.message(length));
        EXPECT_EQ(control.hopLimit, length >= CMSG_LEN(sizeof hops) ? 9 : -1) << length;
        EXPECT_EQ(control.error.has_value(), length >= first + CMSG_LEN(sizeof(ErrorWithOffender))) << length;
    }
    // A message whose length claims more than the buffer holds is not read,
    // nor is one too short for its header.
    for (std::size_t claimed : {buffer.size() + 1, std::size_t(-1), std::size_t(1)}) {
        ControlBuffer lying;
        lying.add(IPPROTO_IPV6, IPV6_HOPLIMIT, hops);
        cmsghdr header;
        std::memcpy(&header, lying.bytes(), sizeof header);
        header.cmsg_len = claimed;
        std::memcpy(lying.bytes(), &header, sizeof header);
        EXPECT_EQ(ReceivedControl::read(lying.message()).hopLimit, -1) << claimed;
    }
    // An error entry too short for sock_extended_err is no entry.
    ControlBuffer shortEntry;
    const std::uint8_t half[sizeof(sock_extended_err) / 2] = {};
    shortEntry.add(IPPROTO_IP, IP_RECVERR, half, sizeof half);
    EXPECT_FALSE(ReceivedControl::read(shortEntry.message()).error.has_value());
}
