#pragma once

#include <cstddef>
#include <cstdint>

// What the helper makes of one message on its request channel. A pure function
// over bytes, with no sockets: whatever the parent sends, only a well-formed
// echo request to a unicast address (or, when the request asks for it, a
// broadcast or multicast one), with a TTL and a payload in range, is accepted.
struct HelperRequest
{
    enum class Error {
        None,
        Malformed,          // too short, another kind of message, unknown version or flags, stray bytes
        TooLong,            // a payload over the limit
        UnknownFamily,
        HopLimitOutOfRange, // TTL 0
        UnusableAddress,    // unspecified, or an IPv4-mapped IPv6 address
        BroadcastNotAsked,  // broadcast or multicast without the request's flag
    };

    Error error = Error::Malformed;
    std::uint8_t family = 0;
    std::uint16_t sequence = 0; // read whenever the message is long enough for it
    std::uint8_t hopLimit = 0;
    std::uint32_t scopeId = 0;
    unsigned char address[16] = {};
    // The request asked for broadcast and multicast: SO_BROADCAST is set for
    // it, and replies may come from any host.
    bool allowsBroadcast = false;
    const unsigned char *payload = nullptr; // points into the message
    std::size_t payloadSize = 0;

    bool ok() const { return error == Error::None; }
    // The errno the parent hears for a refusal: EACCES for a broadcast not
    // asked for, as the kernel says it without SO_BROADCAST.
    int refusalErrno() const;

    static HelperRequest parse(const unsigned char *message, std::size_t size);
};
