#include "receivedcontrol.h"

#include <cstring>

#include <netinet/in.h>
#include <time.h>

ReceivedControl ReceivedControl::read(msghdr &message)
{
    ReceivedControl control;
    for (cmsghdr *c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
            timespec stamp{};
            std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
            control.receivedNs = qint64(stamp.tv_sec) * 1'000'000'000 + stamp.tv_nsec;
        } else if (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_HOPLIMIT) {
            std::memcpy(&control.hopLimit, CMSG_DATA(c), sizeof(int));
        } else if (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_PKTINFO) {
            in6_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            control.destination = HostAddress(reinterpret_cast<const quint8 *>(&info.ipi6_addr));
            control.interfaceIndex = int(info.ipi6_ifindex);
        }
    }
    return control;
}
