#include "packets.h"

#include "checksum.h"
#include "icmpheader.h"
#include "ipheader.h"

#include <arpa/inet.h>

#include <cstdio>
#include <stdexcept>

namespace IcmpTest {

Bytes bytes(std::initializer_list<int> values)
{
    Bytes out;
    for (int value : values)
        out.push_back(std::uint8_t(value));
    return out;
}

Bytes text(const std::string &text)
{
    return Bytes(text.begin(), text.end());
}

Bytes operator+(Bytes first, const Bytes &second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

Bytes left(const Bytes &bytes, std::size_t size)
{
    return Bytes(bytes.begin(), bytes.begin() + std::ptrdiff_t(std::min(size, bytes.size())));
}

Bytes repeated(std::uint8_t value, std::size_t size)
{
    return Bytes(size, value);
}

Bytes toBytes(std::span<const std::uint8_t> view)
{
    return Bytes(view.begin(), view.end());
}

std::string toHex(const Bytes &bytes)
{
    std::string hex;
    for (std::uint8_t byte : bytes) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02x", byte);
        hex += digits;
    }
    return hex;
}

Icmp::Address ipv4(std::uint32_t address)
{
    const std::uint8_t bytes[4] = {std::uint8_t(address >> 24), std::uint8_t(address >> 16), std::uint8_t(address >> 8),
                                   std::uint8_t(address)};
    return Icmp::Address::ipv4(bytes);
}

Icmp::Address ipv6(const char *text, std::uint32_t scopeId)
{
    std::uint8_t bytes[16];
    if (inet_pton(AF_INET6, text, bytes) != 1)
        throw std::invalid_argument(text);
    return Icmp::Address::ipv6(bytes, scopeId);
}

Bytes message(std::uint8_t type, std::uint8_t code, std::uint32_t restOfHeader, const Bytes &body, bool checksum)
{
    Bytes out = Icmp::Message{Icmp::Header{type, code, 0, restOfHeader}, body}.encode();
    if (checksum)
        Icmp::fillInChecksum(out);
    return out;
}

Bytes echo4(std::uint8_t type, std::uint16_t identifier, std::uint16_t sequence, const Bytes &payload)
{
    return message(type, 0, Icmp::Header::echo(type, identifier, sequence).restOfHeader, payload, true);
}

Bytes echo6(std::uint8_t type, std::uint16_t identifier, std::uint16_t sequence, const Bytes &payload)
{
    return message(type, 0, Icmp::Header::echo(type, identifier, sequence).restOfHeader, payload, false);
}

Bytes ipv4Header(std::uint32_t source, std::uint32_t destination, int ttl, int ihlWords, int totalLength)
{
    Icmp::Ipv4Header header =
        Icmp::Ipv4Header::forIcmp(ipv4(source), ipv4(destination), std::uint8_t(ttl), 0, std::size_t(ihlWords) * 4);
    header.totalLength = std::uint16_t(totalLength);
    return header.encode();
}

Bytes ipv4Datagram(std::uint32_t source, std::uint32_t destination, int ttl, const Bytes &icmp, int ihlWords)
{
    return Icmp::Ipv4Header::forIcmp(ipv4(source), ipv4(destination), std::uint8_t(ttl), icmp.size(),
                                     std::size_t(ihlWords) * 4)
               .encode()
        + icmp;
}

Bytes ipv6Header(const Icmp::Address &source, const Icmp::Address &destination, std::uint8_t nextHeader)
{
    return Icmp::Ipv6Header::forPacket(source, destination, nextHeader, 64).encode();
}

} // namespace IcmpTest
