// What the ICMP helper's parent asks of it: one message on its request
// channel, through the helper's request parser. Beyond not crashing: an
// accepted request is what its bytes say, within the limits, to an address
// the helper may send to, and the parent's encoder makes the very message of
// its fields.
#include "fuzzcheck.h"
#include "fuzzreference.h"
#include "helperprotocol.h"
#include "requestparser.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

using namespace FuzzReference;
namespace Protocol = Icmp::HelperProtocol;

namespace {

bool isMulticast(Family family, Bytes address)
{
    return family == V4 ? (address[0] & 0xf0) == 0xe0 : address[0] == 0xff;
}

bool allZero(Bytes bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t byte) { return byte == 0; });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Bytes message(data, size);
    const Icmp::HelperRequest request = Icmp::HelperRequest::parse(data, size);
    FUZZ_CHECK(request.ok() == (request.refusalErrno() == 0));
    FUZZ_CHECK(request.sequence == (message.size() >= 6 ? be16(message, 4) : 0));
    if (!request.ok())
        return 0;
    FUZZ_CHECK(message.size() == Protocol::EchoRequestSize);
    FUZZ_CHECK(message[0] == Protocol::EchoRequest && message[1] == Protocol::Version);
    FUZZ_CHECK(request.hopLimit >= 1 && request.hopLimit == message[6]);
    FUZZ_CHECK(request.payloadSize == be16(message, 28) && request.payloadSize <= Protocol::MaxPayload);
    FUZZ_CHECK(std::memcmp(request.pattern, data + 32, Icmp::EchoPattern::Size) == 0);
    FUZZ_CHECK(request.family == Protocol::FamilyIpv4 || request.family == Protocol::FamilyIpv6);
    const Family family = request.family == Protocol::FamilyIpv4 ? V4 : V6;
    const Bytes address(request.address, family == V4 ? 4 : 16);
    // The flag alone turns SO_BROADCAST on; 255.255.255.255 needs it.
    FUZZ_CHECK(request.broadcast == bool(message[3] & Protocol::RequestBroadcast));
    FUZZ_CHECK(request.broadcast || family == V6 || be32(address, 0) != 0xffffffff);
    FUZZ_CHECK(request.group == (request.broadcast || isMulticast(family, address)));
    FUZZ_CHECK(request.anySource == (request.group || allZero(address)));
    // ::ffff:a.b.c.d would leave as IPv4.
    FUZZ_CHECK(family == V4 || !(allZero(address.first(10)) && address[10] == 0xff && address[11] == 0xff));
    // The destination the helper sends to is the address, of the family, in its scope.
    const Icmp::Address destination = request.destination();
    FUZZ_CHECK(destination.family == family && same(destination.view(), address)
               && destination.scopeId == request.scopeId);

    // What the parent's encoder makes of the fields is the very message.
    Protocol::EchoRequestFields fields;
    fields.family = request.family;
    fields.flags = request.broadcast ? Protocol::RequestBroadcast : 0;
    fields.sequence = request.sequence;
    fields.hopLimit = request.hopLimit;
    fields.scopeId = request.scopeId;
    std::memcpy(fields.address, request.address, sizeof fields.address);
    fields.payloadSize = std::uint16_t(request.payloadSize);
    std::memcpy(fields.pattern, request.pattern, Icmp::EchoPattern::Size);
    unsigned char encoded[Protocol::EchoRequestSize];
    Protocol::encodeEchoRequest(fields, encoded);
    FUZZ_CHECK(std::memcmp(encoded, data, Protocol::EchoRequestSize) == 0);
    return 0;
}
