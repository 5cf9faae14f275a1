#pragma once

#include "address.h"
#include "echopattern.h"

#include <cstddef>
#include <cstdint>

namespace Icmp {

// What the helper makes of one message on its request channel. A pure function
// over bytes, with no sockets: whatever the parent sends, only a well-formed
// echo request with a TTL and a payload size in range, to an address the
// helper may send to, is accepted. The payload is never the parent's bytes:
// the helper repeats the request's pattern to its size.
struct HelperRequest
{
    enum class Error {
        None,
        Malformed,          // not EchoRequestSize bytes, another kind of message, unknown version or flags, stray bytes
        TooLong,            // a payload size over the limit
        UnknownFamily,
        HopLimitOutOfRange, // TTL 0
        UnusableAddress,    // an IPv4-mapped IPv6 address
        BroadcastNotAsked,  // 255.255.255.255 without the request's flag
    };

    Error error = Error::Malformed;
    std::uint8_t family = 0;
    std::uint16_t sequence = 0; // read whenever the message is long enough for it
    std::uint8_t hopLimit = 0;
    std::uint32_t scopeId = 0;
    unsigned char address[16] = {};
    std::size_t payloadSize = 0;
    unsigned char pattern[EchoPattern::Size] = {};
    // The request's flag: SO_BROADCAST is on while it is sent.
    bool broadcast = false;
    // Its rate class: a multicast destination, 255.255.255.255, or any
    // request with the flag (a subnet's broadcast address needs it, and only
    // the routing table knows one).
    bool group = false;
    // Replies from any host may answer it: a group request, or one to the
    // unspecified address, which the kernel sends to this host's loopback.
    bool anySource = false;

    bool ok() const { return error == Error::None; }
    // The errno the parent hears for a refusal: EACCES for a broadcast not
    // asked for, as the kernel says it without SO_BROADCAST.
    int refusalErrno() const;

    // The destination of an accepted request, with its family and scope id.
    Address destination() const;

    static HelperRequest parse(const unsigned char *message, std::size_t size);
};

} // namespace Icmp
