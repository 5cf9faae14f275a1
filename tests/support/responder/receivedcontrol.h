#pragma once

#include "hostaddress.h"
#include <QtGlobal>

#include <sys/socket.h>

// What the kernel attached to a received packet as control messages, for the
// options the responder and the tests' raw sockets turn on.
struct ReceivedControl
{
    qint64 receivedNs = 0;    // SO_TIMESTAMPNS, CLOCK_REALTIME; 0 when absent
    int hopLimit = -1;        // IPV6_RECVHOPLIMIT
    HostAddress destination; // IPV6_RECVPKTINFO: the address the packet was sent to
    int interfaceIndex = 0;   // IPV6_RECVPKTINFO: where it came in

    static ReceivedControl read(msghdr &message);
};
