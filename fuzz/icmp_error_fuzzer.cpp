// ICMP errors about our requests as a datagram socket's error queue gives
// them: an IP_RECVERR or IPV6_RECVERR control message, read with icmp/'s
// reader of control messages, and the original request the kernel returns
// with it, through icmp/'s parser of error-queue entries. The entry must read
// back as it was written, and give exactly the reading the bytes call for, or
// nothing. The input's bytes are also read as a control buffer of their own,
// which must never be read past, whatever its lengths claim.
#include "address.h"
#include "fuzzcheck.h"
#include "fuzzinput.h"
#include "fuzzreference.h"
#include "packetparser.h"
#include "receivedcontrol.h"

#include <arpa/inet.h>
#include <linux/errqueue.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

using namespace FuzzReference;
using Icmp::ErrorQueueEntry;
using Icmp::Reading;

namespace {

struct Input
{
    Family family;
    std::optional<std::uint16_t> identifier;
    std::uint8_t origin;
    std::uint8_t type;
    std::uint8_t code;
    std::uint32_t info;
    Bytes rest;
};

Icmp::Address address(Family family, const char *text)
{
    std::uint8_t bytes[16] = {};
    inet_pton(family == V4 ? AF_INET : AF_INET6, text, bytes);
    return family == V4 ? Icmp::Address::ipv4(bytes) : Icmp::Address::ipv6(bytes);
}

const Icmp::Address &offender(Family family)
{
    static const Icmp::Address router4 = address(V4, "192.0.2.1");
    static const Icmp::Address router6 = address(V6, "2001:db8::1");
    return family == V4 ? router4 : router6;
}

const Icmp::Address &destination(Family family)
{
    static const Icmp::Address destination4 = address(V4, "198.51.100.7");
    static const Icmp::Address destination6 = address(V6, "2001:db8::7");
    return family == V4 ? destination4 : destination6;
}

// The control message the kernel queues for such an entry: the extended
// error, then the offender's socket address (AF_UNSPEC for a local error).
struct Queued
{
    alignas(cmsghdr) std::uint8_t control[CMSG_SPACE(sizeof(sock_extended_err) + sizeof(sockaddr_in6))] = {};
    msghdr message{};
};

void queue(const Input &in, Queued &queued)
{
    sock_extended_err error{};
    error.ee_errno = EHOSTUNREACH;
    error.ee_origin = in.origin;
    error.ee_type = in.type;
    error.ee_code = in.code;
    error.ee_info = in.info;
    std::uint8_t data[sizeof error + sizeof(sockaddr_in6)] = {};
    std::memcpy(data, &error, sizeof error);
    if (in.origin != ErrorQueueEntry::OriginLocal) {
        const Icmp::Address &from = offender(in.family);
        if (in.family == V4) {
            sockaddr_in in4{};
            in4.sin_family = AF_INET;
            std::memcpy(&in4.sin_addr, from.bytes.data(), 4);
            std::memcpy(data + sizeof error, &in4, sizeof in4);
        } else {
            sockaddr_in6 in6{};
            in6.sin6_family = AF_INET6;
            std::memcpy(&in6.sin6_addr, from.bytes.data(), 16);
            std::memcpy(data + sizeof error, &in6, sizeof in6);
        }
    }
    queued.message.msg_control = queued.control;
    queued.message.msg_controllen = sizeof queued.control;
    cmsghdr *header = CMSG_FIRSTHDR(&queued.message);
    header->cmsg_level = in.family == V4 ? IPPROTO_IP : IPPROTO_IPV6;
    header->cmsg_type = in.family == V4 ? IP_RECVERR : IPV6_RECVERR;
    header->cmsg_len = CMSG_LEN(sizeof data);
    std::memcpy(CMSG_DATA(header), data, sizeof data);
}

void fuzzQueueEntry(const Input &in)
{
    Queued queued;
    queue(in, queued);
    const Icmp::ReceivedControl control = Icmp::ReceivedControl::read(queued.message);
    const bool local = in.origin == ErrorQueueEntry::OriginLocal;
    FUZZ_CHECK(control.error.has_value());
    const ErrorQueueEntry &entry = *control.error;
    FUZZ_CHECK(entry.errnoValue == EHOSTUNREACH && entry.origin == in.origin && entry.type == in.type
               && entry.code == in.code && entry.info == in.info);
    if (local)
        FUZZ_CHECK(!entry.offender);
    else
        FUZZ_CHECK(entry.offender == offender(in.family));

    const Family family = in.family;
    const auto reading = Icmp::parseErrorQueueEntry(family, entry, in.rest, destination(family), in.identifier);

    // Local errors, and ICMP errors of the socket's own family, about an echo
    // request with our identifier: nothing else.
    const std::uint8_t icmpOrigin = family == V4 ? ErrorQueueEntry::OriginIcmp : ErrorQueueEntry::OriginIcmp6;
    const bool request = in.rest.size() >= 8 && in.rest[0] == echoRequest(family)
        && (!in.identifier || be16(in.rest, 4) == *in.identifier);
    const bool expected = request && (local || (in.origin == icmpOrigin && isError(family, in.type)));
    FUZZ_CHECK(reading.has_value() == expected);
    if (!reading)
        return;
    FUZZ_CHECK(reading->identifier == be16(in.rest, 4) && reading->sequence == be16(in.rest, 6));
    FUZZ_CHECK(reading->quotedDestination == destination(family));
    FUZZ_CHECK(same(reading->payload, in.rest.subspan(8)));
    if (local) {
        FUZZ_CHECK(reading->kind == Reading::Kind::LocalError && reading->localErrno == EHOSTUNREACH);
    } else {
        FUZZ_CHECK(reading->kind == Reading::Kind::IcmpError);
        FUZZ_CHECK(reading->type == in.type && reading->code == in.code && reading->info == in.info);
        FUZZ_CHECK(reading->source == entry.offender);
    }
}

// Any bytes as a control buffer: whatever they claim, read within them.
void fuzzControlBytes(Bytes bytes)
{
    std::vector<cmsghdr> aligned(bytes.size() / sizeof(cmsghdr) + 1);
    std::memcpy(aligned.data(), bytes.data(), bytes.size());
    msghdr message{};
    message.msg_control = aligned.data();
    message.msg_controllen = bytes.size();
    const Icmp::ReceivedControl control = Icmp::ReceivedControl::read(message);
    if (control.error && control.error->offender)
        FUZZ_CHECK(Icmp::isKnown(control.error->offender->family));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzControlBytes(Bytes(data, size));
    if (size < size_t(FuzzInput::ErrorPrefixSize))
        return 0;
    const Bytes bytes(data, size);
    const Input in{(data[0] & 0x7f) % FuzzInput::ErrorWays == FuzzInput::QueueIpv4 ? V4 : V6,
                   data[0] & FuzzInput::NoIdentifier ? std::nullopt
                                                     : std::optional<std::uint16_t>(FuzzInput::Identifier),
                   data[1],
                   data[2],
                   data[3],
                   be32(bytes, 4),
                   bytes.subspan(FuzzInput::ErrorPrefixSize)};
    fuzzQueueEntry(in);
    return 0;
}
