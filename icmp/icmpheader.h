#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace Icmp {

// The 8-byte header of every ICMP and ICMPv6 message, what follows it being
// the body. Both versions share this layout; for echo messages the four "rest
// of header" bytes hold the identifier and the sequence number, for errors
// they are unused (or hold the MTU or pointer) and the body quotes the
// offending packet.
struct Header
{
    static constexpr std::size_t Size = 8;

    std::uint8_t type = 0;
    std::uint8_t code = 0;
    std::uint16_t checksum = 0;
    std::uint32_t restOfHeader = 0;

    static Header echo(std::uint8_t type, std::uint16_t identifier, std::uint16_t sequence);

    std::uint16_t identifier() const { return std::uint16_t(restOfHeader >> 16); }
    std::uint16_t sequence() const { return std::uint16_t(restOfHeader & 0xffff); }

    // Never reads past the bytes: fewer than Size give nothing.
    static std::optional<Header> decode(std::span<const std::uint8_t> bytes);
    // Size bytes in network byte order to out, the checksum field as it stands.
    void encode(std::uint8_t *out) const;

    friend bool operator==(const Header &, const Header &) = default;
};

// One ICMP or ICMPv6 message: its header, and a view of what follows it.
struct Message
{
    Header header;
    std::span<const std::uint8_t> body;

    // Never reads past the bytes: fewer than Header::Size give nothing; body
    // is the rest of them.
    static std::optional<Message> decode(std::span<const std::uint8_t> bytes);
    // Header and body in network byte order, the checksum field as it stands
    // (fillInChecksum() fills it in for ICMPv4).
    std::vector<std::uint8_t> encode() const;
};

} // namespace Icmp
