#pragma once

#include <cstdint>
#include <span>

namespace Icmp {

// The Internet checksum (RFC 1071): the ones' complement of the ones' complement
// sum of the data taken as big-endian 16-bit words, an odd last byte padded
// with zero. Over a message that already carries its checksum the result is 0.
std::uint16_t internetChecksum(std::span<const std::uint8_t> data);

// Fills in the checksum of an ICMPv4 message, header and body, in its bytes 2
// and 3; a message shorter than its 8-byte header is left alone. ICMPv6
// checksums cover a pseudo-header that only the kernel knows, so it computes
// them itself.
void fillInChecksum(std::span<std::uint8_t> message);

} // namespace Icmp
