#pragma once

#include "address.h"

#include <cstdint>
#include <optional>

#include <linux/net_tstamp.h>
#include <sys/socket.h>
#include <sys/types.h>

namespace Icmp {

// The kernel's software timestamps of what a socket sends and receives, on
// one clock (CLOCK_REALTIME) and of one kind: when a packet came in from the
// device, and when a request was handed to it (queued on the error queue as
// an entry of its own, without the packet, numbered by send). The value of
// SO_TIMESTAMPING; a kernel that refuses it leaves SO_TIMESTAMPNS, receive
// stamps alone.
constexpr int TimestampingFlags = SOF_TIMESTAMPING_SOFTWARE | SOF_TIMESTAMPING_RX_SOFTWARE
    | SOF_TIMESTAMPING_TX_SOFTWARE | SOF_TIMESTAMPING_OPT_TSONLY | SOF_TIMESTAMPING_OPT_ID;

// What one entry of a socket's error queue (IP_RECVERR / IPV6_RECVERR) says
// about a request: the fields of struct sock_extended_err that matter here and
// the SO_EE_OFFENDER address. A plain copy, so that parsing needs no socket.
struct ErrorQueueEntry
{
    // Values of ee_origin (linux/errqueue.h).
    enum Origin : std::uint8_t {
        OriginNone = 0,
        OriginLocal = 1,        // the local stack refused or dropped the request
        OriginIcmp = 2,         // an ICMPv4 error arrived
        OriginIcmp6 = 3,        // an ICMPv6 error arrived
        OriginTimestamping = 4, // no error: a transmit timestamp (SO_TIMESTAMPING)
    };

    int errnoValue = 0; // ee_errno
    std::uint8_t origin = OriginNone;
    std::uint8_t type = 0; // ee_type and ee_code: the ICMP error's own type and code
    std::uint8_t code = 0;
    std::uint32_t info = 0; // ee_info: MTU of "fragmentation needed" / "packet too big", pointer of "parameter
                            // problem"; of a timestamp, which stamp (SCM_TSTAMP_SND: handed to the device)
    std::uint32_t data = 0; // ee_data: of a timestamp, the send's number (SOF_TIMESTAMPING_OPT_ID)
    std::optional<Address> offender; // who sent the ICMP error; none for local errors
};

// What the kernel attached to a received message as control messages, for
// the options our sockets turn on: filled from the msghdr that recvmsg
// filled, of the data queue or the error queue.
struct ReceivedControl
{
    // The kernel's software timestamp, CLOCK_REALTIME ns: the first of
    // SCM_TIMESTAMPING's three (software, a deprecated one, hardware; only
    // the software one is asked for), or SCM_TIMESTAMPNS where that was all
    // the socket took. On the error queue, a transmit timestamp's entry
    // carries the instant its request was handed to the device here. A zero
    // stamp is none.
    std::optional<std::int64_t> stampNs;
    int hopLimit = -1; // IP_TTL (IP_RECVTTL) or IPV6_HOPLIMIT (IPV6_RECVHOPLIMIT), -1 without one
    std::optional<ErrorQueueEntry> error; // IP_RECVERR / IPV6_RECVERR
    // IPV6_PKTINFO (IPV6_RECVPKTINFO): the address the packet was sent to,
    // and the index of the interface it came in on.
    std::optional<Address> destination;
    int interfaceIndex = 0;

    // Never reads past msg_control: each control message's length is checked
    // against what is left of it, whatever the bytes say.
    static ReceivedControl read(const msghdr &message);

    // Whether this is a transmit timestamp of a send (SCM_TSTAMP_SND, when
    // the request was handed to the device) with its stamp; error->data then
    // numbers the send (SendStampKeys).
    bool isSendStamp() const;
};

// One datagram's recvmsg: the sender's address, the caller's buffer for the
// data, and room for the control messages our sockets ask for, with the
// msghdr over them. It points into itself: neither copied nor moved.
class ReceiveMessage
{
public:
    ReceiveMessage(void *data, std::size_t size);
    ReceiveMessage(const ReceiveMessage &) = delete;
    ReceiveMessage &operator=(const ReceiveMessage &) = delete;

    // recvmsg into it, afresh each time: the length read, or -1 with errno.
    ssize_t receive(int fd, int flags);

    const msghdr &header() const { return m_header; }
    const sockaddr_storage &sender() const { return m_from; }
    socklen_t senderLength() const { return m_header.msg_namelen; }
    // The datagram did not fit the buffer (MSG_TRUNC).
    bool truncated() const { return m_header.msg_flags & MSG_TRUNC; }
    ReceivedControl control() const { return ReceivedControl::read(m_header); }

private:
    sockaddr_storage m_from{};
    iovec m_data{};
    // Room for a timestamp, a TTL or hop limit, packet information, and an
    // extended error with its offender address, with plenty to spare.
    alignas(cmsghdr) char m_control[512];
    msghdr m_header{};
};

} // namespace Icmp
