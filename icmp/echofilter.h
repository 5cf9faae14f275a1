#pragma once

// The kernel filter of a raw ICMP socket that drops other programs' echo
// replies, shared by the component's raw sockets and the helper's. Plain C++
// and the kernel's headers only.

#include "address.h"
#include "icmptypes.h"

#include <linux/filter.h>

#include <cstdint>

namespace Icmp {

// A raw ICMP socket gets a copy of every echo reply that reaches the host, so
// with many pings about each would wake for all of them. This classic BPF
// program lets through echo replies that carry identifier and everything else
// the socket's ICMP filter admits (the errors, which quote a request and are
// matched later), and drops other programs' echo replies in the kernel. IPv4
// raw sockets see the IP header first, whose length the program skips; IPv6
// raw sockets start at the ICMPv6 header.
struct EchoIdentifierFilter
{
    sock_filter code[7];

    EchoIdentifierFilter(Family family, std::uint16_t identifier)
        : code{
            // X = offset of the ICMP header: 4 * (IHL) for IPv4, 0 for IPv6.
            family == Family::Ipv4 ? sock_filter BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0)
                                   : sock_filter BPF_STMT(BPF_LDX | BPF_IMM, 0),
            BPF_STMT(BPF_LD | BPF_B | BPF_IND, 0),                                      // A = type
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, echoReplyType(family), 0, 3),           // not an echo reply: keep
            BPF_STMT(BPF_LD | BPF_H | BPF_IND, 4),                                      // A = identifier, in host order
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, identifier, 1, 0),                      // ours: keep
            BPF_STMT(BPF_RET | BPF_K, 0),                                               // someone else's reply: drop
            BPF_STMT(BPF_RET | BPF_K, 0xffffffff),                                      // keep all of it
        }
    {
    }

    // For setsockopt(SOL_SOCKET, SO_ATTACH_FILTER); valid while this lives.
    sock_fprog program() { return sock_fprog{sizeof code / sizeof code[0], code}; }
};

} // namespace Icmp
