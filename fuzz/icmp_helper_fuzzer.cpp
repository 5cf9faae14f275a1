// The ICMP helper's two parsers of outside bytes: the requests its parent
// sends, and what its raw sockets read, which it passes on only when it
// concerns a request of its own. Beyond not crashing: an accepted request is
// what its bytes say and within the limits; a packet passed on names a request
// the filter remembers and carries (or quotes) nothing but its payload, and
// every reply or error that plainly does is passed.
#include "fuzzcheck.h"
#include "fuzzinput.h"
#include "fuzzreference.h"
#include "helperprotocol.h"
#include "replyfilter.h"
#include "requestparser.h"

#include <QList>

#include <cstddef>
#include <cstdint>
#include <cstring>

using namespace FuzzReference;
namespace Protocol = IcmpHelperProtocol;

namespace {

const unsigned char *raw(QByteArrayView bytes)
{
    return reinterpret_cast<const unsigned char *>(bytes.data());
}

QByteArray address4(quint32 address)
{
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char(address >> (24 - 8 * i));
    return bytes;
}

QByteArray address6(const char *text)
{
    const Ipv6Bytes bytes = HostAddress(QString::fromLatin1(text)).toIPv6Address();
    return QByteArray(reinterpret_cast<const char *>(bytes.c), 16);
}

struct Remembered
{
    quint16 sequence;
    QByteArray destination;
    bool anySource;
    QByteArray payload = FuzzInput::helperPayload(sequence);
};

const QList<Remembered> &remembered(Family family)
{
    static const QList<Remembered> v4{{1, address4(FuzzInput::HelperTarget4), false},
                                      {2, address4(FuzzInput::HelperTarget4), false},
                                      {3, address4(FuzzInput::HelperBroadcast4), true}};
    static const QList<Remembered> v6{{1, address6(FuzzInput::HelperTarget6), false},
                                      {2, address6(FuzzInput::HelperTarget6), false},
                                      {3, address6(FuzzInput::HelperMulticast6), true}};
    return family == V4 ? v4 : v6;
}

const ReplyFilter &filter()
{
    static const ReplyFilter filter = [] {
        ReplyFilter made(FuzzInput::Identifier);
        for (Family family : {V4, V6}) {
            for (const Remembered &request : remembered(family))
                made.remember(family == V4 ? Protocol::FamilyIpv4 : Protocol::FamilyIpv6, request.sequence,
                              raw(request.destination), request.anySource,
                              raw(FuzzInput::helperPattern(request.sequence)), size_t(request.payload.size()));
        }
        return made;
    }();
    return filter;
}

// Whether a reply with this sequence and payload from source, or (errors) a
// quote of a request with it to destination, answers a remembered request. A
// reply carries the whole payload; a quote the first bytes of it, or fewer,
// and what follows them is not the request's.
bool answersRemembered(Family family, quint16 sequence, QByteArrayView address, bool fromAnyHost,
                       QByteArrayView payload, bool whole)
{
    for (const Remembered &request : remembered(family)) {
        const bool payloadFits = whole ? payload == request.payload
                                       : request.payload.startsWith(payload.first(qMin(payload.size(),
                                                                                        request.payload.size())));
        if (request.sequence == sequence && ((fromAnyHost && request.anySource) || request.destination == address)
            && payloadFits)
            return true;
    }
    return false;
}

// The part of an error's body that quotes the request: RFC 4884 errors with
// extensions after the quote give its length (ICMP destination unreachable,
// time exceeded and parameter problem in byte 5, in 4-byte units; ICMPv6
// destination unreachable and time exceeded in byte 4, in 8-byte units).
QByteArrayView quoteOf(Family family, QByteArrayView icmp)
{
    const QByteArrayView body = icmp.sliced(8);
    const quint8 type = byteAt(icmp, 0);
    qsizetype length = 0;
    if (family == V4 && (type == 3 || type == 11 || type == 12))
        length = qsizetype(byteAt(icmp, 5)) * 4;
    else if (family == V6 && (type == 1 || type == 3))
        length = qsizetype(byteAt(icmp, 4)) * 8;
    return length > 0 && length < body.size() ? body.first(length) : body;
}

// The payload bytes of the echo request a quote holds, past its echo header.
QByteArrayView quotedPayload(Family family, QByteArrayView quote)
{
    const qsizetype icmp = family == V4 ? (byteAt(quote, 0) & 0x0f) * 4 : icmpv6Offset(quote).value_or(0);
    return quote.sliced(icmp + 8);
}

bool isMulticast(Family family, QByteArrayView address)
{
    return family == V4 ? (byteAt(address, 0) & 0xf0) == 0xe0 : byteAt(address, 0) == 0xff;
}

void fuzzRequest(QByteArrayView message)
{
    const HelperRequest request = HelperRequest::parse(raw(message), size_t(message.size()));
    FUZZ_CHECK(request.ok() == (request.refusalErrno() == 0));
    FUZZ_CHECK(request.sequence == (message.size() >= 6 ? be16(message, 4) : 0));
    if (!request.ok())
        return;
    FUZZ_CHECK(size_t(message.size()) == Protocol::EchoRequestSize);
    FUZZ_CHECK(byteAt(message, 0) == Protocol::EchoRequest && byteAt(message, 1) == Protocol::Version);
    FUZZ_CHECK(request.hopLimit >= 1 && request.hopLimit == byteAt(message, 6));
    FUZZ_CHECK(request.payloadSize == be16(message, 28) && request.payloadSize <= Protocol::MaxPayload);
    FUZZ_CHECK(std::memcmp(request.pattern, raw(message) + 32, EchoPattern::Size) == 0);
    const Family family = request.family == Protocol::FamilyIpv4 ? V4 : V6;
    FUZZ_CHECK(request.family == Protocol::FamilyIpv4 || request.family == Protocol::FamilyIpv6);
    const QByteArrayView address(reinterpret_cast<const char *>(request.address), family == V4 ? 4 : 16);
    // The flag alone turns SO_BROADCAST on; 255.255.255.255 needs it.
    FUZZ_CHECK(request.broadcast == bool(byteAt(message, 3) & Protocol::RequestBroadcast));
    FUZZ_CHECK(request.broadcast || family == V6 || be32(address, 0) != 0xffffffff);
    FUZZ_CHECK(request.group == (request.broadcast || isMulticast(family, address)));
    FUZZ_CHECK(request.anySource == (request.group || address == QByteArray(address.size(), '\0')));
    // ::ffff:a.b.c.d would leave as IPv4.
    FUZZ_CHECK(family == V4 || !address.startsWith(QByteArray::fromHex("00000000000000000000ffff")));

    // What the parent's encoder makes of the fields is the very message.
    Protocol::EchoRequestFields fields;
    fields.family = request.family;
    fields.flags = request.broadcast ? Protocol::RequestBroadcast : 0;
    fields.sequence = request.sequence;
    fields.hopLimit = request.hopLimit;
    fields.scopeId = request.scopeId;
    std::memcpy(fields.address, request.address, sizeof fields.address);
    fields.payloadSize = quint16(request.payloadSize);
    std::memcpy(fields.pattern, request.pattern, EchoPattern::Size);
    unsigned char encoded[Protocol::EchoRequestSize];
    Protocol::encodeEchoRequest(fields, encoded);
    FUZZ_CHECK(std::memcmp(encoded, raw(message), Protocol::EchoRequestSize) == 0);
}

// icmp: the ICMP message; source: its sender; passed: the filter's verdict.
void checkPacket(Family family, QByteArrayView icmp, QByteArrayView source, bool passed, bool mayBeFragment)
{
    if (icmp.size() < 8) {
        FUZZ_CHECK(!passed);
        return;
    }
    const quint8 type = byteAt(icmp, 0);
    if (type == echoReply(family)) {
        const bool ours = be16(icmp, 4) == FuzzInput::Identifier
            && answersRemembered(family, be16(icmp, 6), source, true, icmp.sliced(8), true);
        FUZZ_CHECK(passed == ours);
        return;
    }
    if (!isError(family, type)) {
        FUZZ_CHECK(!passed);
        return;
    }
    // An error quoting a remembered request straight after its IP header, and
    // as much of its payload as it quotes, must pass; one the reference cannot
    // read (a fragment) may pass only if our identifier and a remembered
    // sequence follow an echo request type somewhere in the quote.
    const QByteArrayView quote = quoteOf(family, icmp);
    const auto quoted = quotedEcho(family, quote);
    const QByteArrayView destination = quote.size() >= (family == V4 ? 20 : 40)
        ? quote.sliced(family == V4 ? 16 : 24, family == V4 ? 4 : 16)
        : QByteArrayView();
    if (quoted && !mayBeFragment) {
        const bool ours = quoted->first == FuzzInput::Identifier
            && answersRemembered(family, quoted->second, destination, false, quotedPayload(family, quote), false);
        FUZZ_CHECK(passed == ours);
        return;
    }
    if (!passed)
        return;
    bool found = false;
    for (qsizetype at = 0; !found && at + 8 <= quote.size(); ++at) {
        found = byteAt(quote, at) == echoRequest(family) && be16(quote, at + 4) == FuzzInput::Identifier
            && answersRemembered(family, be16(quote, at + 6), destination, false, quote.sliced(at + 8), false);
    }
    FUZZ_CHECK(found);
}

void fuzzIpv4(QByteArrayView datagram)
{
    const bool passed = filter().passesIpv4(raw(datagram), size_t(datagram.size()));
    const bool ipv4 = datagram.size() >= 20 && byteAt(datagram, 0) >> 4 == 4 && byteAt(datagram, 9) == 1;
    const qsizetype start = ipv4 ? (byteAt(datagram, 0) & 0x0f) * 4 : 0;
    if (!ipv4 || start < 20 || start > datagram.size()) {
        FUZZ_CHECK(!passed);
        return;
    }
    const QByteArrayView icmp = datagram.sliced(start);
    const QByteArrayView quote = icmp.size() >= 8 ? icmp.sliced(8) : QByteArrayView();
    const bool quotesFragment = quote.size() >= 8 && (be16(quote, 6) & 0x1fff) != 0;
    checkPacket(V4, icmp, datagram.sliced(12, 4), passed, quotesFragment);
}

void fuzzIpv6(QByteArrayView input)
{
    if (input.size() < 16)
        return;
    const QByteArrayView source = input.first(16);
    const QByteArrayView message = input.sliced(16);
    const bool passed = filter().passesIpv6(raw(message), size_t(message.size()), raw(source));
    checkPacket(V6, message, source, passed, false);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArrayView bytes(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    switch (data[0] % FuzzInput::HelperWays) {
    case FuzzInput::HelperRequest:
        fuzzRequest(bytes);
        break;
    case FuzzInput::HelperIpv4Datagram:
        fuzzIpv4(bytes);
        break;
    case FuzzInput::HelperIpv6Message:
        fuzzIpv6(bytes);
        break;
    }
    return 0;
}
