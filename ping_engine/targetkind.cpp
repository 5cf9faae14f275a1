#include "targetkind.h"

#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

TargetKind targetKindOf(const HostAddress &address)
{
    if (address.isMulticast())
        return TargetKind::Multicast;
    if (address.isUnspecified())
        return TargetKind::Unspecified;
    if (address.isLimitedBroadcast())
        return TargetKind::Broadcast;
    if (address.protocol() != IpFamily::IPv4)
        return TargetKind::Unicast; // IPv6 has no broadcast
    sockaddr_storage storage;
    const socklen_t length = address.toSockaddr(storage);
    const int probe = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (probe < 0)
        return TargetKind::Unicast; // the send will say what is wrong
    // A UDP connect sends nothing: it only looks up the route.
    reinterpret_cast<sockaddr_in *>(&storage)->sin_port = htons(1025);
    const bool broadcast = ::connect(probe, reinterpret_cast<const sockaddr *>(&storage), length) != 0
        && errno == EACCES;
    ::close(probe);
    return broadcast ? TargetKind::Broadcast : TargetKind::Unicast;
}
