#include "requestparser.h"

#include "helperprotocol.h"

#include <cerrno>

namespace {

using namespace IcmpHelperProtocol;

bool allZero(const unsigned char *bytes, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        if (bytes[i] != 0)
            return false;
    }
    return true;
}

// 224.0.0.0/4, and 255.255.255.255. A directed broadcast (the last address of
// a subnet) needs the routing table to be recognised; the kernel refuses those
// itself, since the helper sets SO_BROADCAST only for requests that ask.
bool isIpv4BroadcastOrMulticast(const unsigned char *address)
{
    return (address[0] & 0xf0) == 0xe0 || (address[0] == 0xff && address[1] == 0xff && address[2] == 0xff
                                           && address[3] == 0xff);
}

// ::ffff:0:0/96 would leave as IPv4, past the IPv4 checks.
bool isIpv4Mapped(const unsigned char *address)
{
    return allZero(address, 10) && address[10] == 0xff && address[11] == 0xff;
}

HelperRequest::Error checkAddress(const HelperRequest &request, bool broadcastAsked)
{
    if (request.family == FamilyIpv4) {
        if (allZero(request.address, 4))
            return HelperRequest::Error::UnusableAddress;
        if (isIpv4BroadcastOrMulticast(request.address) && !broadcastAsked)
            return HelperRequest::Error::BroadcastNotAsked;
        return HelperRequest::Error::None;
    }
    if (allZero(request.address, 16) || isIpv4Mapped(request.address))
        return HelperRequest::Error::UnusableAddress;
    // IPv6 has no broadcast; ff00::/8 is multicast.
    if (request.address[0] == 0xff && !broadcastAsked)
        return HelperRequest::Error::BroadcastNotAsked;
    return HelperRequest::Error::None;
}

} // namespace

int HelperRequest::refusalErrno() const
{
    switch (error) {
    case Error::None:
        return 0;
    case Error::Malformed:
        return EBADMSG;
    case Error::TooLong:
        return EMSGSIZE;
    case Error::UnknownFamily:
        return EAFNOSUPPORT;
    case Error::HopLimitOutOfRange:
    case Error::UnusableAddress:
        return EINVAL;
    case Error::BroadcastNotAsked:
        return EACCES;
    }
    return EINVAL;
}

HelperRequest HelperRequest::parse(const unsigned char *message, std::size_t size)
{
    HelperRequest request;
    if (size >= 6)
        request.sequence = get16(message + 4);
    if (size < EchoRequestHeaderSize || message[0] != EchoRequest || message[1] != Version)
        return request;
    if (size > MaxRequestSize) {
        request.error = Error::TooLong;
        return request;
    }
    const std::uint8_t flags = message[3];
    if ((flags & ~RequestAllowsBroadcast) != 0 || message[7] != 0)
        return request;

    request.family = message[2];
    if (request.family != FamilyIpv4 && request.family != FamilyIpv6) {
        request.error = Error::UnknownFamily;
        return request;
    }
    request.scopeId = get32(message + 8);
    const unsigned char *address = message + 12;
    // IPv4 has no scope and fills only the first four bytes.
    if (request.family == FamilyIpv4 && (request.scopeId != 0 || !allZero(address + 4, 12)))
        return request;
    for (int i = 0; i < 16; ++i)
        request.address[i] = address[i];

    request.hopLimit = message[6];
    if (request.hopLimit == 0) {
        request.error = Error::HopLimitOutOfRange;
        return request;
    }
    const bool broadcastAsked = flags & RequestAllowsBroadcast;
    request.error = checkAddress(request, broadcastAsked);
    if (request.error != Error::None)
        return request;
    request.allowsBroadcast = broadcastAsked;
    request.payload = message + EchoRequestHeaderSize;
    request.payloadSize = size - EchoRequestHeaderSize;
    return request;
}
