#pragma once

#include "address.h"
#include "echopattern.h"
#include "packetparser.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace Icmp {

// Decides which of the ICMP messages a raw socket receives the helper may pass
// on to its parent. A raw socket sees every ICMP message that reaches the host,
// other programs' included; only echo replies to this session's own requests,
// and errors that quote one, leave the helper. Pure functions over bytes,
// which the parser of raw reads the component uses as well reads.
//
// The identifier alone does not make a reply ours: it is a random 16-bit
// number, which another user's helper may draw too. A reply must also carry
// the very payload of the request it answers, the request's pattern repeated
// to its size, and an error must quote no byte of the payload that differs.
class ReplyFilter
{
public:
    // This many of the latest requests sent are remembered, enough for late
    // replies and duplicates of recent ones.
    static constexpr std::size_t Remembered = 64;

    explicit ReplyFilter(std::uint16_t identifier) : m_identifier(identifier) {}

    // A request that went out: its sequence and destination (of its family),
    // whether any host may answer it (broadcast, multicast, the unspecified
    // address), and its payload: EchoPattern::Size bytes of pattern repeated
    // to payloadSize.
    void remember(std::uint16_t sequence, const Address &destination, bool anySource, const std::uint8_t *pattern,
                  std::size_t payloadSize);

    // An IPv4 datagram as a raw socket delivers it, IP header included. Its
    // ICMP checksum is checked, as the parent checks it: a corrupted packet
    // stays inside.
    bool passesIpv4(std::span<const std::uint8_t> datagram) const;
    // An ICMPv6 message, and the sender's address from recvmsg.
    bool passesIpv6(std::span<const std::uint8_t> message, const Address &source) const;

private:
    struct Request
    {
        bool used = false;
        std::uint16_t sequence = 0;
        Address destination;
        bool anySource = false;
        std::uint8_t pattern[EchoPattern::Size] = {};
        std::size_t payloadSize = 0;
    };

    // What a reply or a quote holds of a request's payload: all of it (an
    // echo reply), or as much as the quote kept (an error).
    struct Payload
    {
        std::span<const std::uint8_t> bytes;
        bool whole;
    };

    // Whether what the parser read, about a request with our identifier,
    // concerns a remembered request of the family.
    bool concernsRemembered(Family family, const std::optional<Reading> &reading) const;
    // Whether a remembered request of the family has this sequence, went to
    // address (or, with orAnySource, was one that any host may answer), and
    // had the payload.
    bool matches(Family family, std::uint16_t sequence, const Address &address, bool orAnySource,
                 const Payload &payload) const;

    std::uint16_t m_identifier;
    Request m_requests[Remembered];
    std::size_t m_next = 0;
};

} // namespace Icmp
