#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

// How the packet fuzzers read their input; the seed writer writes the same.
namespace FuzzInput {

// The identifier of our own requests wherever the parser is given one.
constexpr std::uint16_t Identifier = 0x5a17;

// fuzz_raw_read: [way][what the socket read]. The way's low two bits pick
// the socket; raw sockets pass our identifier, datagram sockets none (the
// kernel has matched it already).
enum ReadWay : std::uint8_t {
    RawIpv4 = 0,      // a whole IPv4 datagram, IP header included
    DatagramIpv4 = 1, // an ICMP message
    RawIpv6 = 2,      // the 16 bytes of the sender's address, then an ICMPv6 message
    DatagramIpv6 = 3, // an ICMPv6 message
};
constexpr std::uint8_t ReadWayMask = 0x03;
// Raw IPv4: leave the ICMP checksum as it is. Without this bit the target
// fills it in, since a mutated packet almost never carries a right one.
constexpr std::uint8_t KeepChecksum = 0x80;

// What raw reads are also checked against: the ICMP helper's reply filter,
// which remembers sequences 1 and 2 to HelperTarget4 / HelperTarget6, and
// sequence 3 to HelperBroadcast4 / ff02::1, which any host may answer, each
// with the payload helperPayload() gives.
constexpr std::uint32_t HelperTarget4 = 0xc0000264;    // 192.0.2.100
constexpr std::uint32_t HelperBroadcast4 = 0xc00002ff; // 192.0.2.255
constexpr char HelperTarget6[] = "2001:db8::64";
constexpr char HelperMulticast6[] = "ff02::1";

// The pattern of a remembered request's payload (16 bytes), and the payload:
// sequence 2's pattern repeated to 21 bytes, the others' to 40.
inline std::array<std::uint8_t, 16> helperPattern(std::uint16_t sequence)
{
    const std::string_view text = sequence == 2 ? "fedcba9876543210" : "0123456789abcdef";
    std::array<std::uint8_t, 16> pattern{};
    for (std::size_t i = 0; i < pattern.size(); ++i)
        pattern[i] = std::uint8_t(text[i]);
    return pattern;
}

inline std::vector<std::uint8_t> helperPayload(std::uint16_t sequence)
{
    const std::array<std::uint8_t, 16> pattern = helperPattern(sequence);
    std::vector<std::uint8_t> payload(sequence == 2 ? 21 : 40);
    for (std::size_t i = 0; i < payload.size(); ++i)
        payload[i] = pattern[i % pattern.size()];
    return payload;
}

// fuzz_icmp_error: [way][origin][type][code][info, 4 bytes big-endian][rest]:
// an entry of a socket's error queue, origin to info its fields, and the rest
// the original request the kernel returns with it.
enum ErrorWay : std::uint8_t {
    QueueIpv4 = 0,
    QueueIpv6 = 1,
};
constexpr int ErrorWays = 2;           // the way is (first byte & 0x7f) % ErrorWays
constexpr std::uint8_t NoIdentifier = 0x80; // as from a datagram socket
constexpr int ErrorPrefixSize = 8;

// fuzz_helper_request: one message on the ICMP helper's request channel, as it is.

} // namespace FuzzInput
