// The ICMP helper's two parsers of outside bytes: the requests its parent
// sends, and what its raw sockets read, which it passes on only when it
// concerns a request of its own. Beyond not crashing: an accepted request is
// what its bytes say and within the limits; a packet passed on names a request
// the filter remembers, and every reply or error that plainly does is passed.
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
                              raw(request.destination), request.anySource);
        }
        return made;
    }();
    return filter;
}

// Whether a reply with this sequence from source, or (errors) a quote of a
// request with it to destination, answers a remembered request.
bool answersRemembered(Family family, quint16 sequence, QByteArrayView address, bool fromAnyHost)
{
    for (const Remembered &request : remembered(family)) {
        if (request.sequence == sequence && ((fromAnyHost && request.anySource) || request.destination == address))
            return true;
    }
    return false;
}

bool isGroupAddress(Family family, QByteArrayView address)
{
    if (family == V4)
        return (byteAt(address, 0) & 0xf0) == 0xe0 || be32(address, 0) == 0xffffffff;
    return byteAt(address, 0) == 0xff;
}

void fuzzRequest(QByteArrayView message)
{
    const HelperRequest request = HelperRequest::parse(raw(message), size_t(message.size()));
    FUZZ_CHECK(request.ok() == (request.refusalErrno() == 0));
    if (!request.ok())
        return;
    const size_t size = size_t(message.size());
    FUZZ_CHECK(size >= Protocol::EchoRequestHeaderSize && size <= Protocol::MaxRequestSize);
    FUZZ_CHECK(byteAt(message, 0) == Protocol::EchoRequest && byteAt(message, 1) == Protocol::Version);
    FUZZ_CHECK(request.hopLimit >= 1 && request.hopLimit == byteAt(message, 6));
    FUZZ_CHECK(request.sequence == be16(message, 4));
    FUZZ_CHECK(request.payload == raw(message) + Protocol::EchoRequestHeaderSize);
    FUZZ_CHECK(request.payloadSize == size - Protocol::EchoRequestHeaderSize
               && request.payloadSize <= Protocol::MaxPayload);
    const Family family = request.family == Protocol::FamilyIpv4 ? V4 : V6;
    FUZZ_CHECK(request.family == Protocol::FamilyIpv4 || request.family == Protocol::FamilyIpv6);
    const QByteArrayView address(reinterpret_cast<const char *>(request.address), family == V4 ? 4 : 16);
    FUZZ_CHECK(request.allowsBroadcast || !isGroupAddress(family, address));
    FUZZ_CHECK(address != QByteArray(address.size(), '\0'));

    // What the parent's encoder makes of the fields is the very header.
    Protocol::EchoRequestFields fields;
    fields.family = request.family;
    fields.flags = request.allowsBroadcast ? Protocol::RequestAllowsBroadcast : 0;
    fields.sequence = request.sequence;
    fields.hopLimit = request.hopLimit;
    fields.scopeId = request.scopeId;
    std::memcpy(fields.address, request.address, sizeof fields.address);
    unsigned char header[Protocol::EchoRequestHeaderSize];
    Protocol::encodeEchoRequestHeader(fields, header);
    FUZZ_CHECK(std::memcmp(header, raw(message), Protocol::EchoRequestHeaderSize) == 0);
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
            && answersRemembered(family, be16(icmp, 6), source, true);
        FUZZ_CHECK(passed == ours);
        return;
    }
    if (!isError(family, type)) {
        FUZZ_CHECK(!passed);
        return;
    }
    // An error quoting a remembered request straight after its IP header must
    // pass; one the reference cannot read (extension headers, a fragment) may
    // pass only if our identifier and a remembered sequence follow an echo
    // request type somewhere in the quote.
    const QByteArrayView quote = icmp.sliced(8);
    const auto quoted = quotedEcho(family, quote);
    const QByteArrayView destination = quote.size() >= (family == V4 ? 20 : 40)
        ? quote.sliced(family == V4 ? 16 : 24, family == V4 ? 4 : 16)
        : QByteArrayView();
    if (quoted && !mayBeFragment) {
        const bool ours = quoted->first == FuzzInput::Identifier
            && answersRemembered(family, quoted->second, destination, false);
        FUZZ_CHECK(passed == ours);
        return;
    }
    if (!passed)
        return;
    bool found = false;
    for (qsizetype at = 0; !found && at + 8 <= quote.size(); ++at) {
        found = byteAt(quote, at) == echoRequest(family) && be16(quote, at + 4) == FuzzInput::Identifier
            && answersRemembered(family, be16(quote, at + 6), destination, false);
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
