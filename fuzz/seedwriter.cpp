// Writes the seeds of the packet fuzzers and of the helper's request fuzzer,
// built with icmp/'s encoders as the sockets would deliver the packets and as
// the component sends requests, and a saved state with texts in it (the
// samples' forms store empty ones):
//
//   fuzz_seed_writer fuzz/seeds
#include "checksum.h"
#include "fuzzinput.h"
#include "helperprotocol.h"
#include "icmpheader.h"
#include "icmptypes.h"
#include "ipheader.h"
#include "receivedcontrol.h"
#include "savedstate.h"

#include <arpa/inet.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Icmp::Address;
using Icmp::Family;
namespace V4 = Icmp::V4;
namespace V6 = Icmp::V6;

Bytes operator+(Bytes first, const Bytes &second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

Bytes text(const std::string &text)
{
    return Bytes(text.begin(), text.end());
}

Bytes left(const Bytes &bytes, std::size_t size)
{
    return Bytes(bytes.begin(), bytes.begin() + std::ptrdiff_t(std::min(size, bytes.size())));
}

Address address(const char *text)
{
    std::uint8_t bytes[16] = {};
    if (inet_pton(AF_INET, text, bytes) == 1)
        return Address::ipv4(bytes);
    inet_pton(AF_INET6, text, bytes);
    return Address::ipv6(bytes);
}

constexpr std::uint16_t Ours = FuzzInput::Identifier;
const Address Here = address("192.0.2.1");
const Address Target = address("192.0.2.100");
const Address Router = address("192.0.2.254");
const Address Here6 = address("2001:db8::1");
const Address Target6 = address("2001:db8::64");
const Address Router6 = address("2001:db8::fe");

// 32 bytes, the default payload of a run.
const Bytes Payload = text("abcdefghijklmnopqrstuvwabcdefghi");

Bytes message(std::uint8_t type, std::uint8_t code, std::uint32_t restOfHeader, const Bytes &body, Family family)
{
    Bytes out = Icmp::Message{Icmp::Header{type, code, 0, restOfHeader}, body}.encode();
    // ICMPv6 checksums are the kernel's.
    if (family == Family::Ipv4)
        Icmp::fillInChecksum(out);
    return out;
}

Bytes echo(Family family, std::uint8_t type, std::uint16_t sequence, const Bytes &payload = Payload)
{
    return message(type, 0, Icmp::Header::echo(type, Ours, sequence).restOfHeader, payload, family);
}

Bytes echo4(std::uint8_t type, std::uint16_t sequence, const Bytes &payload = Payload)
{
    return echo(Family::Ipv4, type, sequence, payload);
}

Bytes echo6(std::uint8_t type, std::uint16_t sequence, const Bytes &payload = Payload)
{
    return echo(Family::Ipv6, type, sequence, payload);
}

// An IPv4 datagram as a raw socket reads it, with headerLength - 20 bytes of options.
Bytes datagram4(const Address &source, const Address &destination, std::uint8_t ttl, const Bytes &icmp,
                std::size_t headerLength = Icmp::Ipv4Header::MinimumSize)
{
    return Icmp::Ipv4Header::forIcmp(source, destination, ttl, icmp.size(), headerLength).encode() + icmp;
}

// The request as an error quotes it: its IP header and its ICMP message, its
// first icmpBytes (RFC 792's minimum is 8).
Bytes quote4(std::uint16_t sequence, std::size_t icmpBytes, const Bytes &payload = Payload)
{
    const Bytes request = echo4(V4::EchoRequest, sequence, payload);
    return Icmp::Ipv4Header::forIcmp(Here, Target, 64, request.size()).encode() + left(request, icmpBytes);
}

Bytes ipv6Header(const Address &source, const Address &destination, std::uint8_t nextHeader)
{
    return Icmp::Ipv6Header::forPacket(source, destination, nextHeader, 64).encode();
}

Bytes quote6(std::uint16_t sequence, const Bytes &payload = Payload)
{
    return ipv6Header(Here6, Target6, Icmp::Ipv6Header::NextHeaderIcmpv6) + echo6(V6::EchoRequest, sequence, payload);
}

// The way byte of fuzz_raw_read, and the sender's address that raw IPv6 reads begin with.
Bytes way(std::uint8_t way)
{
    return Bytes{way};
}

Bytes raw6(const Address &source)
{
    return way(FuzzInput::RawIpv6) + Bytes(source.bytes.begin(), source.bytes.end());
}

// The error fuzzer's fixed prefix: way, origin, type, code, info.
Bytes errorInput(std::uint8_t way, std::uint8_t origin, std::uint8_t type, std::uint8_t code, std::uint32_t info)
{
    return Bytes{way,
                 origin,
                 type,
                 code,
                 std::uint8_t(info >> 24),
                 std::uint8_t(info >> 16),
                 std::uint8_t(info >> 8),
                 std::uint8_t(info)};
}

// A request on the ICMP helper's request channel: a 32-byte payload of a
// pattern of its own.
Bytes helperRequest(const Address &to, std::uint16_t sequence, std::uint8_t flags = 0, std::uint32_t scopeId = 0)
{
    namespace Protocol = Icmp::HelperProtocol;
    Protocol::EchoRequestFields fields;
    fields.family = std::uint8_t(to.family);
    fields.flags = flags;
    fields.sequence = sequence;
    fields.scopeId = scopeId;
    std::copy(to.bytes.begin(), to.bytes.begin() + std::ptrdiff_t(to.size()), fields.address);
    fields.payloadSize = 32;
    std::copy(Payload.begin(), Payload.begin() + Icmp::EchoPattern::Size, fields.pattern);
    Bytes out(Protocol::EchoRequestSize);
    Protocol::encodeEchoRequest(fields, out.data());
    return out;
}

struct Seed
{
    const char *name;
    Bytes input;
};

bool write(const std::filesystem::path &dir, std::initializer_list<Seed> seeds)
{
    bool ok = true;
    for (const Seed &seed : seeds) {
        const std::filesystem::path path = dir / seed.name;
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        if (!file.write(reinterpret_cast<const char *>(seed.input.data()), std::streamsize(seed.input.size()))) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            ok = false;
        }
    }
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s SEED-DIRECTORY\n", argv[0]);
        return 2;
    }
    const std::filesystem::path seeds(argv[1]);
    for (const char *target : {"raw_read", "icmp_error", "helper_request", "saved_state"}) {
        std::error_code error;
        std::filesystem::create_directories(seeds / target, error);
        if (error)
            return 1;
    }
    using namespace FuzzInput;

    // The ICMP helper's filter remembers sequences 1 and 2 to Target and
    // Target6, and 3 to broadcast addresses (see fuzzinput.h); the other
    // sequences only the parser reads.
    const auto helperEcho4 = [](std::uint8_t type, std::uint16_t sequence) {
        return echo4(type, sequence, helperPayload(sequence));
    };
    const auto helperEcho6 = [](std::uint8_t type, std::uint16_t sequence) {
        return echo6(type, sequence, helperPayload(sequence));
    };
    // An RFC 4884 time exceeded: the quote, cut inside the payload, padded to
    // 128 bytes, its length in 32-bit words in byte 5, then an extension
    // structure (version 2, checksum, one object: class 1, type 1, 4 bytes).
    const Bytes cutQuote = quote4(1, 8 + 24, helperPayload(1));
    const Bytes extension = {0x20, 0x00, 0x00, 0x00, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x00, 0x07};
    const Bytes paddedQuote = cutQuote + Bytes(128 - cutQuote.size(), 0);
    // A Fragment header: next header ICMPv6, offset 0 with more fragments to come.
    const Bytes firstFragment = {0x3a, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x07};
    // Ten empty hop-by-hop headers, the last leading to ICMPv6.
    Bytes hopByHops;
    for (int i = 0; i < 10; ++i)
        hopByHops = hopByHops + Bytes{std::uint8_t(i < 9 ? 0 : Icmp::Ipv6Header::NextHeaderIcmpv6), 0, 0, 0, 0, 0, 0, 0};
    bool ok = write(seeds / "raw_read", {
        {"raw4-echo-reply", way(RawIpv4) + datagram4(Target, Here, 57, echo4(V4::EchoReply, 5))},
        {"raw4-echo-reply-ip-options", way(RawIpv4) + datagram4(Target, Here, 57, echo4(V4::EchoReply, 6), 7 * 4)},
        // On loopback a raw socket reads our own request, too.
        {"raw4-own-request", way(RawIpv4) + datagram4(Here, Here, 64, echo4(V4::EchoRequest, 7))},
        {"raw4-time-exceeded", way(RawIpv4) + datagram4(Router, Here, 255, message(V4::TimeExceeded, 0, 0, quote4(8, 8),
                                                                                    Family::Ipv4))},
        {"raw4-parameter-problem", way(RawIpv4) + datagram4(Router, Here, 255, message(V4::ParameterProblem, 0,
                                                                                        0x14000000, quote4(9, 1000),
                                                                                        Family::Ipv4))},
        {"dgram4-echo-reply", way(DatagramIpv4) + echo4(V4::EchoReply, 10)},
        {"dgram4-unreachable",
         way(DatagramIpv4) + message(V4::DestinationUnreachable, 1, 0, quote4(11, 1000), Family::Ipv4)},
        {"dgram4-port-unreachable",
         way(DatagramIpv4) + message(V4::DestinationUnreachable, 3, 0, quote4(12, 1000), Family::Ipv4)},
        {"raw6-echo-reply", raw6(Target6) + echo6(V6::EchoReply, 13)},
        {"raw6-packet-too-big", raw6(Router6) + message(V6::PacketTooBig, 0, 1280, quote6(14), Family::Ipv6)},
        {"raw6-time-exceeded", raw6(Router6) + message(V6::TimeExceeded, 0, 0, quote6(15), Family::Ipv6)},
        {"dgram6-echo-reply", way(DatagramIpv6) + echo6(V6::EchoReply, 16)},
        {"dgram6-parameter-problem",
         way(DatagramIpv6) + message(V6::ParameterProblem, 0, 40, quote6(17), Family::Ipv6)},
        // What the helper's filter passes on.
        {"helper4-echo-reply", way(RawIpv4) + datagram4(Target, Here, 57, helperEcho4(V4::EchoReply, 1))},
        {"helper4-broadcast-reply", way(RawIpv4) + datagram4(Router, Here, 64, helperEcho4(V4::EchoReply, 3))},
        {"helper4-time-exceeded",
         way(RawIpv4) + datagram4(Router, Here, 255, message(V4::TimeExceeded, 0, 0, quote4(2, 8, helperPayload(2)),
                                                             Family::Ipv4))},
        {"helper4-time-exceeded-extensions",
         way(RawIpv4) + datagram4(Router, Here, 255, message(V4::TimeExceeded, 0,
                                                             std::uint32_t(paddedQuote.size() / 4) << 16,
                                                             paddedQuote + extension, Family::Ipv4))},
        {"helper6-echo-reply", raw6(Target6) + helperEcho6(V6::EchoReply, 1)},
        {"helper6-too-big-fragment",
         raw6(Router6) + message(V6::PacketTooBig, 0, 1280,
                                 ipv6Header(Here6, Target6, 44) + firstFragment + helperEcho6(V6::EchoRequest, 2),
                                 Family::Ipv6)},
        {"helper6-too-big-many-extension-headers",
         raw6(Router6) + message(V6::PacketTooBig, 0, 1280,
                                 ipv6Header(Here6, Target6, 0) + hopByHops + helperEcho6(V6::EchoRequest, 2),
                                 Family::Ipv6)},
    });

    // Error-queue entries: the kernel returns the request from its ICMP header on.
    constexpr std::uint8_t Local = Icmp::ErrorQueueEntry::OriginLocal;
    constexpr std::uint8_t FromIcmp = Icmp::ErrorQueueEntry::OriginIcmp;
    constexpr std::uint8_t FromIcmp6 = Icmp::ErrorQueueEntry::OriginIcmp6;
    const Bytes request4 = echo4(V4::EchoRequest, 20);
    const Bytes request6 = echo6(V6::EchoRequest, 21);
    ok &= write(seeds / "icmp_error", {
        {"queue4-unreachable", errorInput(QueueIpv4, FromIcmp, V4::DestinationUnreachable, 1, 0) + request4},
        {"queue4-fragmentation-needed",
         errorInput(QueueIpv4, FromIcmp, V4::DestinationUnreachable, 4, 1400) + request4},
        {"queue4-time-exceeded", errorInput(QueueIpv4 | NoIdentifier, FromIcmp, V4::TimeExceeded, 0, 0) + request4},
        {"queue4-local", errorInput(QueueIpv4 | NoIdentifier, Local, 0, 0, 0) + request4},
        {"queue6-unreachable", errorInput(QueueIpv6, FromIcmp6, V6::DestinationUnreachable, 3, 0) + request6},
        {"queue6-packet-too-big", errorInput(QueueIpv6, FromIcmp6, V6::PacketTooBig, 0, 1280) + request6},
    });

    ok &= write(seeds / "helper_request", {
        {"request4", helperRequest(Target, 1)},
        {"request6-link-local", helperRequest(address("fe80::1"), 2, 0, 2)},
        {"request4-broadcast-asked",
         helperRequest(address("255.255.255.255"), 3, Icmp::HelperProtocol::RequestBroadcast)},
        {"request6-multicast-not-asked", helperRequest(address("ff02::1"), 3)},
        {"request4-unspecified", helperRequest(address("0.0.0.0"), 4)},
    });

    SavedState state;
    state.extentX = 9313;
    state.extentY = 2963;
    state.settings.continuous = 1;
    state.settings.display = 1;
    state.settings.intervalMs = 3600 * 1000;
    state.hostName = QStringLiteral("b\u00fccher.example");
    state.ipAddress = QStringLiteral("2001:db8::64");
    const QByteArray encoded = state.encode();
    ok &= write(seeds / "saved_state", {{"texts", Bytes(encoded.begin(), encoded.end())}});
    return ok ? 0 : 1;
}
