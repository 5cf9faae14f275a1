#include "address.h"

#include <cstddef>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>

namespace Icmp {

Address Address::ipv4(const std::uint8_t *fourBytes)
{
    Address address;
    address.family = Family::Ipv4;
    std::memcpy(address.bytes.data(), fourBytes, 4);
    return address;
}

Address Address::ipv6(const std::uint8_t *sixteenBytes, std::uint32_t scopeId)
{
    Address address;
    address.family = Family::Ipv6;
    std::memcpy(address.bytes.data(), sixteenBytes, 16);
    address.scopeId = scopeId;
    return address;
}

std::optional<Address> Address::fromSockaddr(const sockaddr *address, std::size_t length)
{
    if (!address || length < offsetof(sockaddr, sa_family) + sizeof(sa_family_t))
        return std::nullopt;
    sa_family_t family = AF_UNSPEC;
    std::memcpy(&family, reinterpret_cast<const char *>(address) + offsetof(sockaddr, sa_family), sizeof family);
    if (family == AF_INET && length >= sizeof(sockaddr_in)) {
        sockaddr_in in{};
        std::memcpy(&in, address, sizeof in);
        return ipv4(reinterpret_cast<const std::uint8_t *>(&in.sin_addr));
    }
    if (family == AF_INET6 && length >= sizeof(sockaddr_in6)) {
        sockaddr_in6 in6{};
        std::memcpy(&in6, address, sizeof in6);
        return ipv6(reinterpret_cast<const std::uint8_t *>(&in6.sin6_addr), in6.sin6_scope_id);
    }
    return std::nullopt;
}

} // namespace Icmp
