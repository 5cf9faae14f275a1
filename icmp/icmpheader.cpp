#include "icmpheader.h"

#include "bigendian.h"

#include <algorithm>

namespace Icmp {

Header Header::echo(std::uint8_t type, std::uint16_t identifier, std::uint16_t sequence)
{
    Header header;
    header.type = type;
    header.restOfHeader = std::uint32_t(identifier) << 16 | sequence;
    return header;
}

std::optional<Header> Header::decode(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < Size)
        return std::nullopt;
    Header header;
    header.type = bytes[0];
    header.code = bytes[1];
    header.checksum = get16(bytes.data() + 2);
    header.restOfHeader = get32(bytes.data() + 4);
    return header;
}

void Header::encode(std::uint8_t *out) const
{
    out[0] = type;
    out[1] = code;
    put16(out + 2, checksum);
    put32(out + 4, restOfHeader);
}

std::optional<Message> Message::decode(std::span<const std::uint8_t> bytes)
{
    const auto header = Header::decode(bytes);
    if (!header)
        return std::nullopt;
    return Message{*header, bytes.subspan(Header::Size)};
}

std::vector<std::uint8_t> Message::encode() const
{
    std::vector<std::uint8_t> bytes(Header::Size + body.size());
    header.encode(bytes.data());
    std::copy(body.begin(), body.end(), bytes.begin() + Header::Size);
    return bytes;
}

} // namespace Icmp
