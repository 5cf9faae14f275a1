#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

struct sockaddr;

namespace Icmp {

// The two versions of IP that ICMP echo runs over; the values are the
// versions' numbers.
enum class Family : std::uint8_t {
    Ipv4 = 4,
    Ipv6 = 6,
};

// Whether a Family holds one of its two values, as one read from outside may not.
inline bool isKnown(Family family)
{
    return family == Family::Ipv4 || family == Family::Ipv6;
}

// An IPv4 or IPv6 address as its bytes in network order, with the scope id
// (interface index) of a link-local IPv6 address as the kernel gives it.
struct Address
{
    Family family = Family::Ipv4;
    std::array<std::uint8_t, 16> bytes{}; // IPv4 in the first four, the rest zero
    std::uint32_t scopeId = 0;

    // From size() bytes in network order.
    static Address ipv4(const std::uint8_t *fourBytes);
    static Address ipv6(const std::uint8_t *sixteenBytes, std::uint32_t scopeId = 0);
    // From an AF_INET or AF_INET6 socket address of that length; nothing for
    // another family or a length too short.
    static std::optional<Address> fromSockaddr(const sockaddr *address, std::size_t length);

    std::size_t size() const { return family == Family::Ipv4 ? 4 : 16; }
    std::span<const std::uint8_t> view() const { return {bytes.data(), size()}; }
    // The same family and address, whatever the scope: a quoted IP header
    // carries none.
    bool sameAs(const Address &other) const { return family == other.family && bytes == other.bytes; }

    friend bool operator==(const Address &, const Address &) = default;
};

} // namespace Icmp
