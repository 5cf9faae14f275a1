#include "requestparser.h"

#include "helperprotocol.h"

#include <cerrno>
#include <cstring>

namespace Icmp {

namespace {

using namespace HelperProtocol;

bool allZero(const unsigned char *bytes, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        if (bytes[i] != 0)
            return false;
    }
    return true;
}

bool isLimitedBroadcast(const unsigned char *address)
{
    return address[0] == 0xff && address[1] == 0xff && address[2] == 0xff && address[3] == 0xff;
}

// 224.0.0.0/4, or ff00::/8 (IPv6 has no broadcast).
bool isMulticast(std::uint8_t family, const unsigned char *address)
{
    return family == FamilyIpv4 ? (address[0] & 0xf0) == 0xe0 : address[0] == 0xff;
}

// ::ffff:0:0/96 would leave as IPv4, past the IPv4 checks.
bool isIpv4Mapped(const unsigned char *address)
{
    return allZero(address, 10) && address[10] == 0xff && address[11] == 0xff;
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

Address HelperRequest::destination() const
{
    return family == FamilyIpv4 ? Address::ipv4(address) : Address::ipv6(address, scopeId);
}

HelperRequest HelperRequest::parse(const unsigned char *message, std::size_t size)
{
    HelperRequest request;
    if (size >= 6)
        request.sequence = get16(message + 4);
    if (size != EchoRequestSize || message[0] != EchoRequest || message[1] != Version)
        return request;
    const std::uint8_t flags = message[3];
    if ((flags & ~RequestBroadcast) != 0 || message[7] != 0 || message[30] != 0 || message[31] != 0)
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
    std::memcpy(request.address, address, sizeof request.address);

    request.payloadSize = get16(message + 28);
    if (request.payloadSize > MaxPayload) {
        request.error = Error::TooLong;
        return request;
    }
    std::memcpy(request.pattern, message + 32, EchoPattern::Size);

    request.hopLimit = message[6];
    if (request.hopLimit == 0) {
        request.error = Error::HopLimitOutOfRange;
        return request;
    }

    request.broadcast = flags & RequestBroadcast;
    const bool ipv4 = request.family == FamilyIpv4;
    if (!ipv4 && isIpv4Mapped(request.address)) {
        request.error = Error::UnusableAddress;
        return request;
    }
    if (ipv4 && isLimitedBroadcast(request.address) && !request.broadcast) {
        request.error = Error::BroadcastNotAsked;
        return request;
    }
    // 255.255.255.255 got this far only with the flag.
    request.group = request.broadcast || isMulticast(request.family, request.address);
    request.anySource = request.group || allZero(request.address, ipv4 ? 4 : 16);
    request.error = Error::None;
    return request;
}

} // namespace Icmp
