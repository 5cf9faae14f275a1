#pragma once

#include "hostaddress.h"
#include "clockreading.h"
#include "probeevent.h"
#include "receivedcontrol.h"
#include "result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <functional>
#include <optional>

// Owns one non-blocking, close-on-exec ICMP socket and does its system calls:
// bind, setsockopt, recvmsg with its control messages, sendto.
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
        // What its control messages said: the TTL or hop limit, the kernel's
        // timestamp, and on the error queue the entry.
        Icmp::ReceivedControl control;
        // CLOCK_REALTIME: the kernel's timestamp, or our read time without
        // one. On the error queue, a transmit timestamp's entry carries the
        // instant its request was handed to the device here.
        qint64 receivedNs = 0;
        qint64 receivedMonotonicNs = 0; // the same instant on CLOCK_MONOTONIC
        // receivedNs is the kernel's software timestamp, not our read time
        bool kernelTimestamp = false;
        bool truncated = false; // MSG_TRUNC: the datagram did not fit
    };

    // Open from open() until moved from.
    IcmpSocket(IcmpSocket &&other) noexcept;
    IcmpSocket &operator=(IcmpSocket &&other) noexcept;
    IcmpSocket(const IcmpSocket &) = delete;
    IcmpSocket &operator=(const IcmpSocket &) = delete;
    ~IcmpSocket();

    // Why a socket could not be opened or set up: the errno, and the call
    // that failed, null for socket() itself, else the step of the set-up
    // ("bind", "getsockname", or the name of the setsockopt option).
    struct Failure
    {
        int errnoValue = 0;
        const char *step = nullptr;
    };

    // socket(domain, type | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol), or the
    // errno of socket().
    using Opened = Result<IcmpSocket, Failure>;
    static Opened open(int domain, int type, int protocol);

    int descriptor() const { return m_fd; }

    // Binds to the family's wildcard address with port 0, so that the kernel
    // chooses the port now, and gives that port; on an ICMP datagram socket
    // it is the echo identifier of every request and reply.
    Result<quint16, Failure> bindToAnyPort(IpFamily family);

    // setsockopt; false leaves the reason in errno.
    bool setOption(int level, int name, int value);
    bool setOption(int level, int name, const void *value, unsigned length);

    // Reads one datagram without waiting, or gives the errno of recvmsg:
    // EAGAIN for an empty queue.
    using Read = Result<Datagram, int>;
    Read read(Queue queue);

    // Reads the error queue, then the data queue, handing each datagram to
    // parse, until parse gives an event or both queues are empty. Datagrams cut
    // short by the buffer are dropped unread. The event gets the datagram's
    // receive time.
    using Parse = std::function<std::optional<ProbeEvent>(const Datagram &, Queue)>;
    std::optional<ProbeEvent> readEvent(const Parse &parse);

    // Sends one datagram to the address without waiting, taking both clocks
    // immediately before. ENODEV for a zone that names no interface.
    SendResult sendTo(const HostAddress &address, QByteArrayView bytes);

private:
    explicit IcmpSocket(int fd);
    void close();

    int m_fd = -1;
    QByteArray m_buffer;
};
