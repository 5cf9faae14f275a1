#pragma once

#include "address.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace Icmp {

// The fields of an IPv4 header (RFC 791) that a raw ICMP socket needs: where
// the ICMP message starts, who sent it and with what TTL it arrived.
struct Ipv4Header
{
    static constexpr std::size_t MinimumSize = 20;
    static constexpr std::uint8_t ProtocolIcmp = 1;

    std::size_t headerLength = 0; // IHL * 4, between 20 and 60
    std::uint16_t totalLength = 0;
    std::uint16_t fragmentOffset = 0; // in 8-byte units; only the first fragment holds the ICMP header
    std::uint8_t ttl = 0;
    std::uint8_t protocol = 0;
    Address source;
    Address destination;

    // Never reads past the bytes: anything but a well-formed IPv4 header gives nothing.
    static std::optional<Ipv4Header> parse(std::span<const std::uint8_t> bytes);

    // The header of a datagram from source to destination (IPv4 addresses)
    // that carries icmpSize bytes of ICMP, with headerLength - 20 bytes of options.
    static Ipv4Header forIcmp(const Address &source, const Address &destination, std::uint8_t ttl,
                              std::size_t icmpSize, std::size_t headerLength = MinimumSize);

    // The header in network byte order: IHL from headerLength (in whole words,
    // 20 to 60 bytes); options, type of service, identification, fragment
    // fields and header checksum zero. Our sockets never send an IP header of
    // their own and nothing we read checks its checksum (the kernel did), so
    // this is for test hosts and fuzz seeds.
    std::vector<std::uint8_t> encode() const;
};

// The fixed IPv6 header (RFC 8200). Raw ICMPv6 sockets never see it for
// received packets; it matters inside ICMPv6 errors, which quote the packet
// that caused them.
struct Ipv6Header
{
    static constexpr std::size_t Size = 40;
    static constexpr std::uint8_t NextHeaderIcmpv6 = 58;

    // Where the upper-layer header of a packet starts, past the extension
    // headers, and which protocol it is.
    struct UpperLayer
    {
        std::uint8_t protocol = 0;
        std::size_t offset = 0; // from the start of the fixed header
    };

    std::uint16_t payloadLength = 0;
    std::uint8_t nextHeader = 0;
    std::uint8_t hopLimit = 0;
    Address source{Family::Ipv6};
    Address destination{Family::Ipv6};

    // Never reads past the bytes: anything but a well-formed fixed header gives nothing.
    static std::optional<Ipv6Header> parse(std::span<const std::uint8_t> bytes);

    // The header of a packet from source to destination (IPv6 addresses)
    // whose first header after this one is nextHeader.
    static Ipv6Header forPacket(const Address &source, const Address &destination, std::uint8_t nextHeader,
                                std::uint8_t hopLimit, std::uint16_t payloadLength = 0);

    // Walks the chain of extension headers after the fixed header (RFC 8200
    // section 4: hop-by-hop, routing, fragment, destination options, and the
    // authentication header of RFC 4302). A request larger than the path MTU
    // is sent in fragments, and an error about it quotes the first fragment,
    // with a fragment header before the ICMPv6 header. Gives nothing for a
    // packet cut short inside the chain, for a later fragment (the upper-layer
    // header is not in it) and for headers that cannot be walked (ESP).
    static std::optional<UpperLayer> findUpperLayer(std::span<const std::uint8_t> packet);

    // The fixed header in network byte order, traffic class and flow label
    // zero: what an ICMPv6 error quotes of the packet that caused it.
    std::vector<std::uint8_t> encode() const;
};

} // namespace Icmp
