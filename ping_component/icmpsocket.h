#pragma once

#include "hostaddress.h"
#include "errorqueueentry.h"
#include "clockreading.h"
#include "probeevent.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <functional>
#include <optional>

struct sockaddr;

// Owns one non-blocking, close-on-exec ICMP socket and does the recvmsg and
// sendto work that the IPv4 and IPv6 probers share.
class IcmpSocket
{
public:
    enum class Queue {
        Data,  // what arrived for this socket
        Error, // IP_RECVERR / IPV6_RECVERR entries (MSG_ERRQUEUE)
    };

    // One datagram as read, with what its control messages said.
    struct Datagram
    {
        // The bytes read; a view into the socket's buffer, valid until the next read.
        QByteArrayView bytes;
        // msg_name: the sender on the data queue; on the error queue, the
        // destination of the request that failed.
        HostAddress address;
        int hopLimit = -1;  // IP_TTL or IPV6_HOPLIMIT control message, -1 without one
        qint64 receivedNs = 0; // CLOCK_REALTIME
        qint64 receivedMonotonicNs = 0; // the same instant on CLOCK_MONOTONIC
        bool kernelTimestamp = false; // receivedNs is the kernel's SCM_TIMESTAMPNS, not our read time
        bool truncated = false;       // MSG_TRUNC: the datagram did not fit
        std::optional<ErrorQueueEntry> error; // error queue only
    };

    IcmpSocket() = default;
    IcmpSocket(IcmpSocket &&other) noexcept;
    IcmpSocket &operator=(IcmpSocket &&other) noexcept;
    IcmpSocket(const IcmpSocket &) = delete;
    IcmpSocket &operator=(const IcmpSocket &) = delete;
    ~IcmpSocket();

    // socket(domain, type | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol). On failure
    // the socket stays closed and errnoValue holds the reason.
    static IcmpSocket open(int domain, int type, int protocol, int *errnoValue);

    bool isOpen() const { return m_fd >= 0; }
    int descriptor() const { return m_fd; }

    // setsockopt; false leaves the reason in errno.
    bool setOption(int level, int name, int value);
    bool setOption(int level, int name, const void *value, unsigned length);

    // Reads one datagram without waiting. Nothing when none could be read:
    // errnoValue is then EAGAIN for an empty queue, or whatever recvmsg said.
    std::optional<Datagram> read(Queue queue, int *errnoValue);

    // Reads the data queue, then the error queue, handing each datagram to
    // parse, until parse gives an event or both queues are empty. Datagrams cut
    // short by the buffer are dropped unread. The event gets the datagram's
    // receive time.
    using Parse = std::function<std::optional<ProbeEvent>(const Datagram &, Queue)>;
    std::optional<ProbeEvent> readEvent(const Parse &parse);

    // Sends one datagram without waiting, taking both clocks immediately before.
    SendResult sendTo(const sockaddr *address, unsigned addressLength, QByteArrayView bytes);

    // A socket address as HostAddress, with the IPv6 scope id as interface name
    // where the interface is known (its number otherwise).
    static HostAddress toHostAddress(const sockaddr *address, unsigned length);
    // The other way round: the interface index of a scope id given as a number
    // or an interface name; 0 for an unknown interface.
    static unsigned scopeIndex(const QString &scopeId);

    static qint64 nowNs(int clock);

private:
    explicit IcmpSocket(int fd);
    void close();

    int m_fd = -1;
    QByteArray m_buffer;
};
