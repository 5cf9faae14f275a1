#pragma once

#include "hostaddress.h"
#include <QByteArrayView>
#include <QtGlobal>

#include <optional>
#include <utility>

// What the bytes of an ICMP packet say, read straight from RFC 792 and
// RFC 4443 without the parsers' classes: the fuzz targets' reference.
namespace FuzzReference {

using Family = IpFamily;
constexpr Family V4 = IpFamily::IPv4;
constexpr Family V6 = IpFamily::IPv6;

inline quint8 byteAt(QByteArrayView bytes, qsizetype at)
{
    return quint8(bytes[at]);
}

inline quint16 be16(QByteArrayView bytes, qsizetype at)
{
    return quint16(byteAt(bytes, at) << 8 | byteAt(bytes, at + 1));
}

inline quint32 be32(QByteArrayView bytes, qsizetype at)
{
    return quint32(be16(bytes, at)) << 16 | be16(bytes, at + 2);
}

inline quint8 echoRequest(Family family)
{
    return family == V4 ? 8 : 128;
}

inline quint8 echoReply(Family family)
{
    return family == V4 ? 0 : 129;
}

// The errors that concern the fate of a request: unreachable, source quench,
// time exceeded, parameter problem; for ICMPv6 also packet too big.
inline bool isError(Family family, quint8 type)
{
    if (family == V4)
        return type == 3 || type == 4 || type == 11 || type == 12;
    return type >= 1 && type <= 4;
}

// Where the ICMPv6 header of a quoted IPv6 packet starts (RFC 8200): past
// hop-by-hop (0), routing (43) and destination options (60), each (length + 1)
// * 8 bytes, the authentication header (51), (length + 2) * 4 bytes, and a
// fragment header (44), 8 bytes, which only the first fragment may carry
// before the ICMPv6 header.
inline std::optional<qsizetype> icmpv6Offset(QByteArrayView packet)
{
    if (packet.size() < 40 || byteAt(packet, 0) >> 4 != 6)
        return std::nullopt;
    quint8 next = byteAt(packet, 6);
    qsizetype at = 40;
    for (;;) {
        if (next == 58)
            return at;
        if (next != 0 && next != 43 && next != 44 && next != 51 && next != 60)
            return std::nullopt;
        if (packet.size() < at + 8)
            return std::nullopt;
        qsizetype length = 8;
        if (next == 44) {
            if ((be16(packet, at + 2) & 0xfff8) != 0)
                return std::nullopt;
        } else if (next == 51) {
            length = (qsizetype(byteAt(packet, at + 1)) + 2) * 4;
        } else {
            length = (qsizetype(byteAt(packet, at + 1)) + 1) * 8;
        }
        if (packet.size() < at + length)
            return std::nullopt;
        next = byteAt(packet, at);
        at += length;
    }
}

// The identifier and sequence of the echo request that an error's body
// quotes: the request's IP header, then at least 8 bytes of its ICMP message.
// An IPv4 quote of a later fragment (offset not 0) holds no ICMP header.
inline std::optional<std::pair<quint16, quint16>> quotedEcho(Family family, QByteArrayView quote)
{
    qsizetype icmp = 0;
    if (family == V4) {
        if (quote.size() < 20 || byteAt(quote, 0) >> 4 != 4 || byteAt(quote, 9) != 1)
            return std::nullopt;
        if ((be16(quote, 6) & 0x1fff) != 0)
            return std::nullopt;
        icmp = (byteAt(quote, 0) & 0x0f) * 4;
        if (icmp < 20 || icmp > quote.size())
            return std::nullopt;
    } else {
        const auto offset = icmpv6Offset(quote);
        if (!offset)
            return std::nullopt;
        icmp = *offset;
    }
    if (quote.size() < icmp + 8 || byteAt(quote, icmp) != echoRequest(family))
        return std::nullopt;
    return std::pair{be16(quote, icmp + 4), be16(quote, icmp + 6)};
}

} // namespace FuzzReference
