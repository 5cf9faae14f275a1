// Writes the packet seeds of the reply, error and ICMP helper fuzzers, built
// with the wire classes as the sockets would deliver them, the helper's
// requests as the component sends them, and a saved state with texts in it
// (the samples' forms store empty ones):
//
//   fuzz_seed_writer fuzz/seeds
#include "errorqueueentry.h"
#include "fuzzinput.h"
#include "helperprotocol.h"
#include "icmpmessage.h"
#include "ipv4header.h"
#include "ipv6header.h"
#include "savedstate.h"

#include <QDir>
#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <cstdio>
#include <initializer_list>

namespace {

constexpr quint16 Ours = FuzzInput::Identifier;
const HostAddress Here(quint32(0xc0000201));   // 192.0.2.1
const HostAddress Target(quint32(0xc0000264)); // 192.0.2.100
const HostAddress Router(quint32(0xc00002fe)); // 192.0.2.254
const HostAddress Here6(QStringLiteral("2001:db8::1"));
const HostAddress Target6(QStringLiteral("2001:db8::64"));

// 32 bytes, the default payload of a run.
const QByteArray Payload("abcdefghijklmnopqrstuvwabcdefghi");

QByteArray echo4(quint8 type, quint16 sequence)
{
    return IcmpMessage::echo(type, Ours, sequence, Payload).encodeWithChecksum();
}

QByteArray echo6(quint8 type, quint16 sequence)
{
    return IcmpMessage::echo(type, Ours, sequence, Payload).encode();
}

// An IPv4 datagram as a raw socket reads it, with headerLength - 20 bytes of options.
QByteArray datagram4(const HostAddress &source, const HostAddress &destination, quint8 ttl, const QByteArray &icmp,
                     qsizetype headerLength = Ipv4Header::MinimumSize)
{
    return Ipv4Header::forIcmp(source, destination, ttl, icmp.size(), headerLength).encode() + icmp;
}

// The request as an error quotes it: its IP header and its ICMP message, whole
// or cut to RFC 792's 8 bytes.
QByteArray quote4(quint16 sequence, bool whole)
{
    const QByteArray request = echo4(Icmp4::EchoRequest, sequence);
    return Ipv4Header::forIcmp(Here, Target, 64, request.size()).encode() + (whole ? request : request.left(8));
}

QByteArray ipv6Header(const HostAddress &source, const HostAddress &destination, quint8 nextHeader)
{
    const Ipv6Header header{
        .payloadLength = 0, .nextHeader = nextHeader, .hopLimit = 64, .source = source, .destination = destination};
    return header.encode();
}

QByteArray quote6(quint16 sequence)
{
    return ipv6Header(Here6, Target6, Ipv6Header::NextHeaderIcmpv6) + echo6(Icmp6::EchoRequest, sequence);
}

QByteArray error(quint8 type, quint8 code, quint32 restOfHeader, const QByteArray &quote)
{
    IcmpMessage message;
    message.type = type;
    message.code = code;
    message.restOfHeader = restOfHeader;
    message.body = quote;
    return message.encodeWithChecksum();
}

// The error fuzzer's fixed prefix: way, origin, type, code, info.
QByteArray errorInput(quint8 way, quint8 origin, quint8 type, quint8 code, quint32 info)
{
    QByteArray input;
    for (quint8 byte : {way, origin, type, code})
        input.append(char(byte));
    char infoBytes[4];
    qToBigEndian(info, infoBytes);
    return input.append(infoBytes, sizeof infoBytes);
}

// What the ICMP helper's raw sockets read about its requests: replies and
// quotes carrying the payload its filter remembers for the sequence.
QByteArray helperEcho4(quint8 type, quint16 sequence)
{
    return IcmpMessage::echo(type, Ours, sequence, FuzzInput::helperPayload(sequence)).encodeWithChecksum();
}

QByteArray helperEcho6(quint8 type, quint16 sequence)
{
    return IcmpMessage::echo(type, Ours, sequence, FuzzInput::helperPayload(sequence)).encode();
}

QByteArray helperQuote4(quint16 sequence, qsizetype icmpBytes)
{
    const QByteArray request = helperEcho4(Icmp4::EchoRequest, sequence);
    return Ipv4Header::forIcmp(Here, Target, 64, request.size()).encode() + request.left(icmpBytes);
}

// A request on the ICMP helper's request channel: a 32-byte payload of a
// pattern of its own.
QByteArray helperRequest(const HostAddress &to, quint16 sequence, quint8 flags = 0, quint32 scopeId = 0)
{
    IcmpHelperProtocol::EchoRequestFields fields;
    fields.family = to.protocol() == IpFamily::IPv4 ? IcmpHelperProtocol::FamilyIpv4 : IcmpHelperProtocol::FamilyIpv6;
    fields.flags = flags;
    fields.sequence = sequence;
    fields.scopeId = scopeId;
    if (to.protocol() == IpFamily::IPv4) {
        for (int i = 0; i < 4; ++i)
            fields.address[i] = quint8(to.toIPv4Address() >> (24 - 8 * i));
    } else {
        const Ipv6Bytes address = to.toIPv6Address();
        std::copy(address.c, address.c + 16, fields.address);
    }
    fields.payloadSize = 32;
    std::copy(Payload.begin(), Payload.begin() + EchoPattern::Size, fields.pattern);
    QByteArray message(qsizetype(IcmpHelperProtocol::EchoRequestSize), '\0');
    IcmpHelperProtocol::encodeEchoRequest(fields, reinterpret_cast<unsigned char *>(message.data()));
    return message;
}

QByteArray address6(const HostAddress &address)
{
    const Ipv6Bytes bytes = address.toIPv6Address();
    return QByteArray(reinterpret_cast<const char *>(bytes.c), 16);
}

struct Seed
{
    const char *name;
    QByteArray input;
};

bool write(const QDir &dir, std::initializer_list<Seed> seeds)
{
    bool ok = true;
    for (const Seed &seed : seeds) {
        QFile file(dir.filePath(QString::fromLatin1(seed.name)));
        if (!file.open(QIODevice::WriteOnly) || file.write(seed.input) != seed.input.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
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
    QDir seeds(QString::fromLocal8Bit(argv[1]));
    for (const char *target : {"reply_parser", "icmp_error", "saved_state", "icmp_helper"}) {
        if (!seeds.mkpath(QString::fromLatin1(target)))
            return 1;
    }
    const QDir replies(seeds.filePath(QStringLiteral("reply_parser")));
    const QDir errors(seeds.filePath(QStringLiteral("icmp_error")));
    const QDir states(seeds.filePath(QStringLiteral("saved_state")));
    const QDir helper(seeds.filePath(QStringLiteral("icmp_helper")));
    const auto way = [](quint8 w) { return QByteArray(1, char(w)); };
    using namespace FuzzInput;

    bool ok = write(replies, {
        {"raw4-echo-reply", way(RawIpv4) + datagram4(Target, Here, 57, echo4(Icmp4::EchoReply, 1))},
        {"raw4-echo-reply-ip-options", way(RawIpv4) + datagram4(Target, Here, 57, echo4(Icmp4::EchoReply, 2), 7 * 4)},
        // On loopback a raw socket reads our own request, too.
        {"raw4-own-request", way(RawIpv4) + datagram4(Here, Here, 64, echo4(Icmp4::EchoRequest, 3))},
        {"raw4-time-exceeded",
         way(RawIpv4) + datagram4(Router, Here, 255, error(Icmp4::TimeExceeded, 0, 0, quote4(4, false)))},
        {"dgram4-echo-reply", way(DatagramIpv4) + echo4(Icmp4::EchoReply, 5)},
        {"dgram4-unreachable", way(DatagramIpv4) + error(Icmp4::DestinationUnreachable, 1, 0, quote4(6, true))},
        {"raw6-echo-reply", way(RawIpv6) + echo6(Icmp6::EchoReply, 7)},
        {"raw6-packet-too-big", way(RawIpv6) + error(Icmp6::PacketTooBig, 0, 1280, quote6(8))},
        {"dgram6-echo-reply", way(DatagramIpv6) + echo6(Icmp6::EchoReply, 9)},
    });

    // Error-queue entries: the kernel returns the request from its ICMP header on.
    constexpr quint8 Local = ErrorQueueEntry::OriginLocal;
    constexpr quint8 FromIcmp = ErrorQueueEntry::OriginIcmp;
    constexpr quint8 FromIcmp6 = ErrorQueueEntry::OriginIcmp6;
    const QByteArray request4 = echo4(Icmp4::EchoRequest, 10);
    const QByteArray request6 = echo6(Icmp6::EchoRequest, 11);
    ok &= write(errors, {
        {"queue4-unreachable", errorInput(QueueIpv4, FromIcmp, Icmp4::DestinationUnreachable, 1, 0) + request4},
        {"queue4-fragmentation-needed",
         errorInput(QueueIpv4, FromIcmp, Icmp4::DestinationUnreachable, 4, 1400) + request4},
        {"queue4-time-exceeded", errorInput(QueueIpv4 | NoIdentifier, FromIcmp, Icmp4::TimeExceeded, 0, 0) + request4},
        {"queue4-local", errorInput(QueueIpv4 | NoIdentifier, Local, 0, 0, 0) + request4},
        {"queue6-unreachable", errorInput(QueueIpv6, FromIcmp6, Icmp6::DestinationUnreachable, 3, 0) + request6},
        {"queue6-packet-too-big", errorInput(QueueIpv6, FromIcmp6, Icmp6::PacketTooBig, 0, 1280) + request6},
        // Errors read from the socket, quoting the request.
        {"raw4-time-exceeded", errorInput(ErrorInRawIpv4, 0, Icmp4::TimeExceeded, 0, 0) + quote4(12, false)},
        {"raw4-parameter-problem",
         errorInput(ErrorInRawIpv4, 0, Icmp4::ParameterProblem, 0, 0x14000000) + quote4(13, true)},
        {"dgram4-unreachable",
         errorInput(ErrorInIpv4 | NoIdentifier, 0, Icmp4::DestinationUnreachable, 3, 0) + quote4(14, true)},
        {"ipv6-time-exceeded", errorInput(ErrorInIpv6, 0, Icmp6::TimeExceeded, 0, 0) + quote6(15)},
        {"ipv6-parameter-problem",
         errorInput(ErrorInIpv6 | NoIdentifier, 0, Icmp6::ParameterProblem, 0, 40) + quote6(16)},
    });

    // The helper's filter remembers sequences 1 and 2 to Target and Target6,
    // and 3 to broadcast addresses (see fuzzinput.h).
    HostAddress linkLocal(QStringLiteral("fe80::1"));
    // An RFC 4884 time exceeded: the quote, cut inside the payload, padded to
    // 128 bytes, its length in 32-bit words in byte 5, then an extension
    // structure (version 2, checksum, one object: class 1, type 1, 4 bytes).
    const QByteArray cutQuote = helperQuote4(1, 8 + 24);
    const QByteArray extension("\x20\x00\x00\x00\x00\x08\x01\x01\x00\x00\x00\x07", 12);
    const QByteArray paddedQuote = cutQuote + QByteArray(128 - cutQuote.size(), '\0');
    // A Fragment header: next header ICMPv6, offset 0 with more fragments to come.
    const QByteArray firstFragment("\x3a\x00\x00\x01\x00\x00\x00\x07", 8);
    // Ten empty hop-by-hop headers, the last leading to ICMPv6.
    QByteArray hopByHops;
    for (int i = 0; i < 10; ++i)
        hopByHops += QByteArray(1, char(i < 9 ? 0 : Ipv6Header::NextHeaderIcmpv6)) + QByteArray(7, '\0');
    ok &= write(helper, {
        {"request4", way(HelperRequest) + helperRequest(HostAddress(Target), 1)},
        {"request6-link-local", way(HelperRequest) + helperRequest(linkLocal, 2, 0, 2)},
        {"request4-broadcast-asked", way(HelperRequest)
             + helperRequest(HostAddress(QStringLiteral("255.255.255.255")), 3, IcmpHelperProtocol::RequestBroadcast)},
        {"request6-multicast-not-asked", way(HelperRequest) + helperRequest(HostAddress(QStringLiteral("ff02::1")), 3)},
        {"request4-unspecified", way(HelperRequest) + helperRequest(HostAddress(QStringLiteral("0.0.0.0")), 4)},
        {"packet4-echo-reply", way(HelperIpv4Datagram) + datagram4(Target, Here, 57, helperEcho4(Icmp4::EchoReply, 1))},
        {"packet4-broadcast-reply",
         way(HelperIpv4Datagram) + datagram4(Router, Here, 64, helperEcho4(Icmp4::EchoReply, 3))},
        {"packet4-time-exceeded", way(HelperIpv4Datagram)
             + datagram4(Router, Here, 255, error(Icmp4::TimeExceeded, 0, 0, helperQuote4(2, 8)))},
        {"packet4-time-exceeded-extensions", way(HelperIpv4Datagram)
             + datagram4(Router, Here, 255,
                         error(Icmp4::TimeExceeded, 0, quint32(paddedQuote.size() / 4) << 16, paddedQuote + extension))},
        {"packet6-echo-reply", way(HelperIpv6Message) + address6(Target6) + helperEcho6(Icmp6::EchoReply, 1)},
        {"packet6-too-big-fragment", way(HelperIpv6Message) + address6(HostAddress(QStringLiteral("2001:db8::fe")))
             + error(Icmp6::PacketTooBig, 0, 1280,
                     ipv6Header(Here6, Target6, 44) + firstFragment + helperEcho6(Icmp6::EchoRequest, 2))},
        {"packet6-too-big-many-extension-headers",
         way(HelperIpv6Message) + address6(HostAddress(QStringLiteral("2001:db8::fe")))
             + error(Icmp6::PacketTooBig, 0, 1280,
                     ipv6Header(Here6, Target6, 0) + hopByHops + helperEcho6(Icmp6::EchoRequest, 2))},
    });

    SavedState state;
    state.extentX = 9313;
    state.extentY = 2963;
    state.settings.continuous = 1;
    state.settings.display = 1;
    state.settings.intervalMs = 3600 * 1000;
    state.hostName = QStringLiteral("b\u00fccher.example");
    state.ipAddress = QStringLiteral("2001:db8::64");
    ok &= write(states, {{"texts", state.encode()}});
    return ok ? 0 : 1;
}
