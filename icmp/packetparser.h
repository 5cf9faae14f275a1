#pragma once

#include "address.h"
#include "receivedcontrol.h"

#include <cstdint>
#include <optional>
#include <span>

namespace Icmp {

// What one read of an ICMP socket says about an echo request: its reply, an
// ICMP error that quotes it, or an error the local stack queued for it.
struct Reading
{
    enum class Kind {
        EchoReply,
        IcmpError,  // a router or the target answered with an ICMP error
        LocalError, // the local stack gave up on the request (no neighbour, too big, ...)
    };

    Kind kind = Kind::EchoReply;
    // The replier, or whoever sent the ICMP error: an IPv4 datagram's own
    // source, else the address recvmsg gave, or the error queue's offender.
    std::optional<Address> source;
    int hopLimit = -1; // TTL or hop limit as received, -1 when unknown
    // Of the reply, or of the request an error quotes.
    std::uint16_t identifier = 0;
    std::uint16_t sequence = 0;
    // A view into the bytes parsed. A reply's: the data after its ICMP
    // header. An error's: what it quotes of the request's payload, which may
    // be cut short, or missing where the sender quoted only the 8 bytes RFC
    // 792 asks for.
    std::span<const std::uint8_t> payload;
    // IcmpError: type and code in the family's own ICMP numbering, and the one
    // number some errors carry in their "rest of header": the next-hop MTU
    // (RFC 1191, RFC 4443) or the pointer to the offending octet.
    std::uint8_t type = 0;
    std::uint8_t code = 0;
    std::uint32_t info = 0;
    int localErrno = 0; // LocalError: the errno the stack reported
    // Errors: whom the request went to, as the error quotes it (a raw
    // socket's quoted IP header, or the address the error queue gives with
    // the entry). A router's error must name our target: anyone can send an
    // error quoting our identifier and sequence.
    std::optional<Address> quotedDestination;
};

// Turns what an ICMP socket read, or what the ICMP helper passed on from its
// own, into a Reading about an echo request with the identifier, or into
// nothing. Pure functions over bytes: no sockets, never throws, any length of
// input is safe.

// A datagram from a raw IPv4 socket, IP header included: source and TTL come
// from it. The ICMP checksum is verified here, since raw sockets also see
// corrupted packets. Echo replies must carry identifier; errors must quote a
// request that does.
std::optional<Reading> parseIpv4Datagram(std::span<const std::uint8_t> datagram, std::uint16_t identifier);

// An ICMP or ICMPv6 message without IP header, as IPv4 datagram sockets and
// all IPv6 sockets deliver it; the kernel has verified its checksum. source
// and hopLimit come from recvmsg. identifier: what echo replies and quoted
// requests must carry, or nothing where the kernel already chose the socket
// by identifier (datagram sockets).
std::optional<Reading> parseIcmpMessage(Family family, std::span<const std::uint8_t> message,
                                        const std::optional<Address> &source, int hopLimit,
                                        std::optional<std::uint16_t> identifier);

// What a raw socket of the family read, or what the ICMP helper passed on
// from its own: an IPv4 datagram with its header (source and hopLimit unused),
// or an ICMPv6 message.
std::optional<Reading> parseRawRead(Family family, std::span<const std::uint8_t> bytes,
                                    const std::optional<Address> &source, int hopLimit, std::uint16_t identifier);

// An error-queue entry. originalRequest: the data the kernel returns with
// it, which starts with the ICMP header of the request concerned, as far as
// the error quoted it; requestDestination: the address the kernel gives with
// it (msg_name), the destination of that request. Entries without the
// request name no sequence and give nothing; Linux queues local errors
// (EMSGSIZE) that way, and sendto reports those itself. Transmit timestamps
// are no errors and give nothing either.
std::optional<Reading> parseErrorQueueEntry(Family family, const ErrorQueueEntry &entry,
                                            std::span<const std::uint8_t> originalRequest,
                                            const std::optional<Address> &requestDestination,
                                            std::optional<std::uint16_t> identifier);

} // namespace Icmp
