#pragma once

#include <cstddef>
#include <cstdint>

// Decides which of the ICMP messages a raw socket receives the helper may pass
// on to its parent. A raw socket sees every ICMP message that reaches the host,
// other programs' included; only echo replies to this session's own requests,
// and errors that quote one, leave the helper. Pure functions over bytes.
class ReplyFilter
{
public:
    // Requests go out one at a time; this many of the latest are remembered,
    // enough for late replies and duplicates of recent ones.
    static constexpr std::size_t Remembered = 64;

    explicit ReplyFilter(std::uint16_t identifier) : m_identifier(identifier) {}

    // A request that went out: its family (IcmpHelperProtocol::Family), its
    // sequence and destination (IPv4 in the first four bytes), and whether any
    // host may answer it (broadcast and multicast).
    void remember(std::uint8_t family, std::uint16_t sequence, const unsigned char *destination, bool anySource);

    // An IPv4 datagram as a raw socket delivers it, IP header included. Its
    // checksum is the parent's business.
    bool passesIpv4(const unsigned char *datagram, std::size_t size) const;
    // An ICMPv6 message, and the sender's address from recvmsg.
    bool passesIpv6(const unsigned char *message, std::size_t size, const unsigned char *source) const;

private:
    struct Request
    {
        bool used = false;
        std::uint8_t family = 0;
        std::uint16_t sequence = 0;
        unsigned char destination[16] = {};
        bool anySource = false;
    };

    // Whether an echo reply with this identifier and sequence, from source,
    // answers a remembered request.
    bool answers(std::uint8_t family, std::uint16_t identifier, std::uint16_t sequence,
                 const unsigned char *source) const;
    // Whether the echo request an error quotes is a remembered one.
    bool isQuoted(std::uint8_t family, std::uint16_t identifier, std::uint16_t sequence,
                  const unsigned char *destination) const;
    // Whether a remembered request has this family and sequence and went to
    // address, or, with orAnySource, was one that any host may answer.
    bool matches(std::uint8_t family, std::uint16_t sequence, const unsigned char *address, bool orAnySource) const;

    std::uint16_t m_identifier;
    Request m_requests[Remembered];
    std::size_t m_next = 0;
};
