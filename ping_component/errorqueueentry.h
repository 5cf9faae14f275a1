#pragma once

#include "hostaddress.h"
#include <QtGlobal>

// What one entry of a socket's error queue (IP_RECVERR / IPV6_RECVERR) says
// about a request: the fields of struct sock_extended_err that matter here and
// the SO_EE_OFFENDER address. A plain copy, so that parsing needs no socket.
struct ErrorQueueEntry
{
    // Values of ee_origin (linux/errqueue.h).
    enum Origin : quint8 {
        OriginNone = 0,
        OriginLocal = 1, // the local stack refused or dropped the request
        OriginIcmp = 2,  // an ICMPv4 error arrived
        OriginIcmp6 = 3, // an ICMPv6 error arrived
        OriginTimestamping = 4, // no error: a transmit timestamp (SO_TIMESTAMPING)
    };

    int errnoValue = 0; // ee_errno
    quint8 origin = OriginNone;
    quint8 type = 0;    // ee_type and ee_code: the ICMP error's own type and code
    quint8 code = 0;
    quint32 info = 0;   // ee_info: MTU of "fragmentation needed" / "packet too big", pointer of "parameter problem";
                        // of a timestamp, which stamp (SCM_TSTAMP_SND: handed to the device)
    quint32 data = 0;   // ee_data: of a timestamp, the send's number (SOF_TIMESTAMPING_OPT_ID)
    HostAddress offender; // who sent the ICMP error; null for local errors
};
