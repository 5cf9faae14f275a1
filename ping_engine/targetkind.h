#pragma once

#include "hostaddress.h"

// Who answers an echo request to a destination.
enum class TargetKind {
    Unicast,     // the destination alone
    Multicast,   // each member of the group: 224.0.0.0/4, ff00::/8
    Broadcast,   // each host on a link: 255.255.255.255, or a subnet's broadcast address
    Unspecified, // 0.0.0.0 or ::, which the kernel sends to this host (its loopback answers)
};

// Whether a reply may come from a host other than the destination: the first
// answer to a request is its reply, and every later one a duplicate.
constexpr bool anyHostAnswers(TargetKind kind)
{
    return kind != TargetKind::Unicast;
}

// The kind of a destination. A subnet's broadcast address is known to the
// routing table alone, so it is asked, as iputils ping does: connecting a UDP
// socket there without SO_BROADCAST fails with EACCES. No privilege needed.
TargetKind targetKindOf(const HostAddress &address);
