#pragma once

#include "address.h"

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

// Builders of the packets that ICMP sockets hand over, for icmp/'s tests:
// short forms of icmp/'s own encoders, over plain byte vectors.
namespace IcmpTest {

using Bytes = std::vector<std::uint8_t>;

Bytes bytes(std::initializer_list<int> values);
// The characters of text, without its terminating zero.
Bytes text(const std::string &text);
Bytes operator+(Bytes first, const Bytes &second);
// The first size bytes (all of them where there are fewer).
Bytes left(const Bytes &bytes, std::size_t size);
// size copies of value.
Bytes repeated(std::uint8_t value, std::size_t size);
Bytes toBytes(std::span<const std::uint8_t> view);
// Two hexadecimal digits a byte, lower case.
std::string toHex(const Bytes &bytes);

// An IPv4 address given in host order (0x0a000102 is 10.0.1.2).
Icmp::Address ipv4(std::uint32_t address);
// An IPv6 address in text, with the scope id a link-local one came with.
Icmp::Address ipv6(const char *text, std::uint32_t scopeId = 0);

// An ICMP message of the type: the echo header of identifier and sequence,
// then the payload. echo4 fills in the ICMPv4 checksum; ICMPv6 ones are the
// kernel's to compute, and echo6 leaves them zero.
Bytes echo4(std::uint8_t type, std::uint16_t identifier, std::uint16_t sequence, const Bytes &payload);
Bytes echo6(std::uint8_t type, std::uint16_t identifier, std::uint16_t sequence, const Bytes &payload);
// Any ICMP message: its header fields and its body; the checksum filled in
// where asked for (ICMPv4).
Bytes message(std::uint8_t type, std::uint8_t code, std::uint32_t restOfHeader, const Bytes &body, bool checksum);

// A minimal IPv4 header carrying ICMP from source to destination, with
// ihlWords - 5 words of (zero) options. totalLength 0 leaves the field zero,
// as quoted headers in tests may.
Bytes ipv4Header(std::uint32_t source, std::uint32_t destination, int ttl, int ihlWords = 5, int totalLength = 0);
// An IPv4 datagram as a raw socket reads it: header (total length filled in) and ICMP message.
Bytes ipv4Datagram(std::uint32_t source, std::uint32_t destination, int ttl, const Bytes &icmp, int ihlWords = 5);

Bytes ipv6Header(const Icmp::Address &source, const Icmp::Address &destination, std::uint8_t nextHeader);

} // namespace IcmpTest
