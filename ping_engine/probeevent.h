#pragma once

#include "hostaddress.h"
#include <QByteArray>
#include <QtGlobal>

#include <QString>

// Something a prober read that concerns one of its own echo requests: a reply,
// an ICMP error quoting the request, an error the local stack reported for it,
// or the kernel's word of when it sent it. A prober that works through
// another process (the ICMP helper) also says when it became ready, how each
// send it took went, and when it can serve no more.
struct ProbeEvent
{
    enum class Kind {
        EchoReply,
        IcmpError,     // a router or the target answered with an ICMP error
        LocalError,    // the local stack gave up on the request (no neighbour, too big, ...)
        SendStamp,     // the kernel's transmit timestamp of the request: sentNs
        Ready,         // the prober can send from now on
        SendConfirmed, // a send it took went out: sentNs and sentMonotonicNs, read right before
        SendFailed,    // a send it took did not go out: localErrno says why
        ProberFailed,  // it cannot serve (any more): failure says why, worded for the user
    };

    Kind kind = Kind::EchoReply;
    HostAddress source;   // the replier, or whoever reported the error
    quint16 identifier = 0;
    quint16 sequence = 0;
    QByteArray payload;    // echo replies: the data after the ICMP header
    int hopLimit = -1;     // echo replies: TTL or hop limit as received, -1 when unknown
    quint8 icmpType = 0;   // IcmpError: type and code in the family's own ICMP numbering
    quint8 icmpCode = 0;
    quint32 icmpInfo = 0;  // IcmpError: MTU of "packet too big", pointer of "parameter problem"
    int localErrno = 0;    // LocalError, SendFailed: the errno the stack reported
    // Errors: whom the request went to and what it carried, as the error
    // quotes it (a raw socket's quoted IP header and payload, or a datagram
    // socket's error queue: msg_name and the quoted ICMP message). A router's
    // error must name our target: anyone can send an error quoting our
    // identifier and sequence. The payload may be cut short, or missing where
    // the sender quoted only the 8 bytes RFC 792 asks for.
    HostAddress quotedDestination;
    QByteArray quotedPayload;
    qint64 receivedNs = 0; // CLOCK_REALTIME in ns: the kernel's receive timestamp where given
    // The same instant on CLOCK_MONOTONIC (ClockReading::toMonotonic of a
    // reading taken right after the read), on which lateness is decided.
    qint64 receivedMonotonicNs = 0;
    bool kernelTimestamp = false;
    // SendStamp: when the kernel handed the request to the device, CLOCK_REALTIME
    // ns, the clock and the kind of stamp of a reply's receivedNs.
    // SendConfirmed: the wall clock read right before the send.
    qint64 sentNs = 0;
    qint64 sentMonotonicNs = 0; // SendConfirmed: the monotonic clock read with it
    QString failure;            // ProberFailed
};

// The outcome of handing one echo request to the kernel.
struct SendResult
{
    bool ok = false;
    int errnoValue = 0;
    qint64 sentRealtimeNs = 0;  // read just before the send, on the clock of receivedNs
    qint64 sentMonotonicNs = 0; // for round trips when the wall clock steps
    // False where the request was only handed on (to the ICMP helper): a
    // SendConfirmed or SendFailed event says later how it went, with the
    // times read right before the send itself.
    bool confirmed = true;
};
