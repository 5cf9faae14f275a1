#pragma once

// The wire format between tarvix-icmp-helper and the process that started it,
// shared by both sides. Plain C++ and the C library only: the helper carries a
// capability and must never load Qt.
//
// Two AF_UNIX SOCK_SEQPACKET socket pairs, so that every message arrives whole
// or not at all and a message longer than allowed is recognisable:
//
//   descriptor 0 of the helper, the request channel:
//     helper -> parent  one Hello, as soon as the helper is ready
//     parent -> helper  EchoRequest messages
//     helper -> parent  one SendReport for each request, in order, written
//                       before anything the helper passes on about it
//   descriptor 1 of the helper, the packet channel:
//     helper -> parent  Packet messages: what came back for the requests, and
//                       SendStamp messages: when the kernel sent a request
//
// The packet channel is a channel of its own so that the helper, which writes
// packets without waiting, can drop them when the parent does not read, as a
// full socket buffer drops them, and still answer requests. A parent that
// reads the request channel before the packet channel sees each request's
// report before its reply.
//
// The helper chooses the echo identifier of the session and says which in its
// Hello; requests cannot name one, nor the bytes of a payload (only a pattern
// and a size, echopattern.h). The parent need not wait for the Hello before it
// writes requests: they wait in the channel until the helper serves them.
// Multi-byte fields are big-endian.

#include "address.h"
#include "bigendian.h"
#include "echopattern.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace Icmp::HelperProtocol {

constexpr std::uint8_t Version = 3;

// The first byte of every message.
enum MessageKind : std::uint8_t {
    Hello = 1,
    EchoRequest = 2,
    SendReport = 3,
    Packet = 4,
    SendStamp = 5,
};

// The family byte of requests and packets: the version of IP, as
// Icmp::Family's values are.
enum FamilyByte : std::uint8_t {
    FamilyIpv4 = 4,
    FamilyIpv6 = 6,
};
static_assert(FamilyIpv4 == std::uint8_t(Family::Ipv4) && FamilyIpv6 == std::uint8_t(Family::Ipv6));

// EchoRequest: send one echo request that the helper builds itself.
//   [0]      EchoRequest
//   [1]      Version
//   [2]      family
//   [3]      flags: RequestBroadcast, nothing else
//   [4, 6)   sequence
//   [6]      TTL or hop limit, 1 to 255; it applies to multicast too
//   [7]      0
//   [8, 12)  IPv6 scope id (interface index) of a link-local target; 0 for IPv4
//   [12, 28) destination: IPv6, or IPv4 in the first 4 bytes and 12 zero bytes
//   [28, 30) payload size, at most MaxPayload
//   [30, 32) 0
//   [32, 48) the payload's pattern: EchoPattern::Size bytes, repeated to the size
// Multicast destinations and the unspecified address (which reaches this host)
// need no flag; 255.255.255.255 and a subnet's broadcast address do, as
// `ping -b` asks for them: the flag sets SO_BROADCAST for the request.
constexpr std::uint8_t RequestBroadcast = 0x01;
constexpr std::size_t EchoRequestSize = 48;
// The most one IPv4 datagram carries after its 20-byte header and the 8 bytes
// of the echo header; IPv6 is held to the same.
constexpr std::size_t MaxPayload = 65535 - 20 - 8;

// What a caller other than root may ask of the helper, the limits iputils ping
// sets for users: one request per UnicastIntervalNs on average, and one per
// GroupIntervalNs to a broadcast or multicast destination (or any request
// with RequestBroadcast), each allowing bursts of up to RateBurst requests (as
// ping's preload does), so that a request that waited in the channel does
// not make the next one too soon. Requests beyond that are answered TooSoon.
constexpr std::int64_t UnicastIntervalNs = 2'000'000;
constexpr std::int64_t GroupIntervalNs = 1'000'000'000;
constexpr int RateBurst = 3;

// Hello: the session's echo identifier and how opening each raw socket went.
//   [0] Hello  [1] Version  [2, 4) identifier
//   [4, 8) errno of the IPv4 raw socket, 0 when open  [8, 12) the same for IPv6
//   [12] flags: which sockets took transmit timestamps, and whether the rate
//        limits hold for this session  [13, 16) 0
constexpr std::uint8_t HelloSendStampsIpv4 = 0x01;
constexpr std::uint8_t HelloSendStampsIpv6 = 0x02;
constexpr std::uint8_t HelloRateLimited = 0x04; // started by a user other than root
constexpr std::size_t HelloSize = 16;

// SendReport: what became of one EchoRequest.
//   [0] SendReport  [1] status  [2, 4) the request's sequence (0 when unreadable)
//   [4, 8) errno: why it was refused or why sendto failed
//   [8, 16) CLOCK_REALTIME ns and [16, 24) CLOCK_MONOTONIC ns read right before
//   sendto; for TooSoon, [8, 16) is how long until such a request is taken, in ns
enum SendStatus : std::uint8_t {
    Sent = 0,
    Refused = 1, // the helper would not send it; nothing went out
    Failed = 2,  // sendto failed
    TooSoon = 3, // over the rate limit; nothing went out
};
constexpr std::size_t SendReportSize = 24;

// Packet: one ICMP message that concerns a request of this session.
//   [0] Packet  [1] family  [2] flags: PacketHasKernelTimestamp  [3] 0
//   [4, 8) hop limit from the IPV6_HOPLIMIT control message, -1 without one
//          (IPv4 datagrams carry their TTL in their header)
//   [8, 12) scope id of the sender's address, [12, 28) the sender's address
//   [28, 36) the kernel's software receive timestamp (SCM_TIMESTAMPING, or
//            SCM_TIMESTAMPNS), CLOCK_REALTIME ns: when it came in
//   [36, 44) CLOCK_REALTIME ns and [44, 52) CLOCK_MONOTONIC ns read right after recvmsg
//   [52, ..) as the raw socket delivered it: an IPv4 datagram with its IP
//            header, or an ICMPv6 message
constexpr std::uint8_t PacketHasKernelTimestamp = 0x01;
constexpr std::size_t PacketHeaderSize = 52;
constexpr std::size_t MaxPacketBytes = 65535;
constexpr std::size_t MaxPacketSize = PacketHeaderSize + MaxPacketBytes;

// SendStamp: the kernel's software transmit timestamp of a request that was
// reported Sent, as the helper tied it to the request; it may come before or
// after packets about the request, or never.
//   [0] SendStamp  [1] family  [2, 4) the request's sequence  [4, 8) 0
//   [8, 16) CLOCK_REALTIME ns: when the kernel handed the request to the device
constexpr std::size_t SendStampSize = 16;

// The fields of an EchoRequest, as the parent fills them in.
struct EchoRequestFields
{
    std::uint8_t family = FamilyIpv4;
    std::uint8_t flags = 0;
    std::uint16_t sequence = 0;
    std::uint8_t hopLimit = 64;
    std::uint32_t scopeId = 0;
    unsigned char address[16] = {};
    std::uint16_t payloadSize = 0;
    unsigned char pattern[EchoPattern::Size] = {};
};

// Writes an EchoRequest to out (EchoRequestSize bytes).
inline void encodeEchoRequest(const EchoRequestFields &fields, unsigned char *out)
{
    std::memset(out, 0, EchoRequestSize);
    out[0] = EchoRequest;
    out[1] = Version;
    out[2] = fields.family;
    out[3] = fields.flags;
    put16(out + 4, fields.sequence);
    out[6] = fields.hopLimit;
    put32(out + 8, fields.scopeId);
    std::memcpy(out + 12, fields.address, fields.family == FamilyIpv4 ? 4 : 16);
    put16(out + 28, fields.payloadSize);
    std::memcpy(out + 32, fields.pattern, EchoPattern::Size);
}

struct HelloFields
{
    std::uint16_t identifier = 0;
    std::int32_t ipv4Errno = 0;
    std::int32_t ipv6Errno = 0;
    std::uint8_t flags = 0;
};

inline void encodeHello(const HelloFields &fields, unsigned char *out)
{
    std::memset(out, 0, HelloSize);
    out[0] = Hello;
    out[1] = Version;
    put16(out + 2, fields.identifier);
    put32(out + 4, std::uint32_t(fields.ipv4Errno));
    put32(out + 8, std::uint32_t(fields.ipv6Errno));
    out[12] = fields.flags;
}

// False for anything but a Hello of this version.
inline bool decodeHello(const unsigned char *in, std::size_t size, HelloFields *fields)
{
    if (size != HelloSize || in[0] != Hello || in[1] != Version)
        return false;
    fields->identifier = get16(in + 2);
    fields->ipv4Errno = std::int32_t(get32(in + 4));
    fields->ipv6Errno = std::int32_t(get32(in + 8));
    fields->flags = in[12];
    return true;
}

struct SendReportFields
{
    std::uint8_t status = Refused;
    std::uint16_t sequence = 0;
    std::int32_t errnoValue = 0;
    std::int64_t sentRealtimeNs = 0; // TooSoon: the wait until such a request is taken
    std::int64_t sentMonotonicNs = 0;
};

inline void encodeSendReport(const SendReportFields &fields, unsigned char *out)
{
    out[0] = SendReport;
    out[1] = fields.status;
    put16(out + 2, fields.sequence);
    put32(out + 4, std::uint32_t(fields.errnoValue));
    put64(out + 8, fields.sentRealtimeNs);
    put64(out + 16, fields.sentMonotonicNs);
}

inline bool decodeSendReport(const unsigned char *in, std::size_t size, SendReportFields *fields)
{
    if (size != SendReportSize || in[0] != SendReport || in[1] > TooSoon)
        return false;
    fields->status = in[1];
    fields->sequence = get16(in + 2);
    fields->errnoValue = std::int32_t(get32(in + 4));
    fields->sentRealtimeNs = get64(in + 8);
    fields->sentMonotonicNs = get64(in + 16);
    return true;
}

// The header of a Packet; the bytes follow it.
struct PacketFields
{
    std::uint8_t family = FamilyIpv4;
    bool kernelTimestamp = false;
    std::int32_t hopLimit = -1;
    std::uint32_t scopeId = 0;
    unsigned char source[16] = {};
    std::int64_t kernelRealtimeNs = 0;
    std::int64_t readRealtimeNs = 0;
    std::int64_t readMonotonicNs = 0;
};

inline void encodePacketHeader(const PacketFields &fields, unsigned char *out)
{
    std::memset(out, 0, PacketHeaderSize);
    out[0] = Packet;
    out[1] = fields.family;
    out[2] = fields.kernelTimestamp ? PacketHasKernelTimestamp : 0;
    put32(out + 4, std::uint32_t(fields.hopLimit));
    put32(out + 8, fields.scopeId);
    std::memcpy(out + 12, fields.source, fields.family == FamilyIpv4 ? 4 : 16);
    put64(out + 28, fields.kernelRealtimeNs);
    put64(out + 36, fields.readRealtimeNs);
    put64(out + 44, fields.readMonotonicNs);
}

// False unless a Packet header of a known family; the bytes start at
// PacketHeaderSize.
inline bool decodePacketHeader(const unsigned char *in, std::size_t size, PacketFields *fields)
{
    if (size < PacketHeaderSize || in[0] != Packet || (in[1] != FamilyIpv4 && in[1] != FamilyIpv6))
        return false;
    fields->family = in[1];
    fields->kernelTimestamp = in[2] & PacketHasKernelTimestamp;
    fields->hopLimit = std::int32_t(get32(in + 4));
    fields->scopeId = get32(in + 8);
    std::memcpy(fields->source, in + 12, 16);
    fields->kernelRealtimeNs = get64(in + 28);
    fields->readRealtimeNs = get64(in + 36);
    fields->readMonotonicNs = get64(in + 44);
    return true;
}

struct SendStampFields
{
    std::uint8_t family = FamilyIpv4;
    std::uint16_t sequence = 0;
    std::int64_t sentRealtimeNs = 0;
};

inline void encodeSendStamp(const SendStampFields &fields, unsigned char *out)
{
    std::memset(out, 0, SendStampSize);
    out[0] = SendStamp;
    out[1] = fields.family;
    put16(out + 2, fields.sequence);
    put64(out + 8, fields.sentRealtimeNs);
}

// False unless a SendStamp of a known family.
inline bool decodeSendStamp(const unsigned char *in, std::size_t size, SendStampFields *fields)
{
    if (size != SendStampSize || in[0] != SendStamp || (in[1] != FamilyIpv4 && in[1] != FamilyIpv6))
        return false;
    fields->family = in[1];
    fields->sequence = get16(in + 2);
    fields->sentRealtimeNs = get64(in + 8);
    return true;
}

} // namespace Icmp::HelperProtocol
