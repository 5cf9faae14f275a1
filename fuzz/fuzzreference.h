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

// The identifier and sequence of the echo request that an error's body
// quotes: the request's IP header, then at least 8 bytes of its ICMP message.
inline std::optional<std::pair<quint16, quint16>> quotedEcho(Family family, QByteArrayView quote)
{
    qsizetype icmp = 0;
    if (family == V4) {
        if (quote.size() < 20 || byteAt(quote, 0) >> 4 != 4 || byteAt(quote, 9) != 1)
            return std::nullopt;
        icmp = (byteAt(quote, 0) & 0x0f) * 4;
        if (icmp < 20)
            return std::nullopt;
    } else {
        if (quote.size() < 40 || byteAt(quote, 0) >> 4 != 6 || byteAt(quote, 6) != 58)
            return std::nullopt;
        icmp = 40;
    }
    if (quote.size() < icmp + 8 || byteAt(quote, icmp) != echoRequest(family))
        return std::nullopt;
    return std::pair{be16(quote, icmp + 4), be16(quote, icmp + 6)};
}

} // namespace FuzzReference
