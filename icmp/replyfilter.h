#pragma once

#include "echopattern.h"

#include <cstddef>
#include <cstdint>

// Decides which of the ICMP messages a raw socket receives the helper may pass
// on to its parent. A raw socket sees every ICMP message that reaches the host,
// other programs' included; only echo replies to this session's own requests,
// and errors that quote one, leave the helper. Pure functions over bytes.
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

    // A request that went out: its family (IcmpHelperProtocol::Family), its
    // sequence and destination (IPv4 in the first four bytes), whether any
    // host may answer it (broadcast, multicast, the unspecified address), and
    // its payload: EchoPattern::Size bytes of pattern repeated to payloadSize.
    void remember(std::uint8_t family, std::uint16_t sequence, const unsigned char *destination, bool anySource,
                  const unsigned char *pattern, std::size_t payloadSize);

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
        unsigned char pattern[EchoPattern::Size] = {};
        std::size_t payloadSize = 0;
    };

    // What a reply or a quote holds of a request's payload: all of it (an
    // echo reply), or as much as the quote kept (an error).
    struct Payload
    {
        const unsigned char *bytes;
        std::size_t size;
        bool whole;
    };

    // Whether an echo reply with this identifier, sequence and payload, from
    // source, answers a remembered request.
    bool answers(std::uint8_t family, std::uint16_t identifier, std::uint16_t sequence,
                 const unsigned char *source, const Payload &payload) const;
    // Whether the echo request an error quotes is a remembered one.
    bool isQuoted(std::uint8_t family, std::uint16_t identifier, std::uint16_t sequence,
                  const unsigned char *destination, const Payload &payload) const;
    // Whether a remembered request has this family and sequence, went to
    // address (or, with orAnySource, was one that any host may answer), and
    // had the payload.
    bool matches(std::uint8_t family, std::uint16_t sequence, const unsigned char *address, bool orAnySource,
                 const Payload &payload) const;

    std::uint16_t m_identifier;
    Request m_requests[Remembered];
    std::size_t m_next = 0;
};
