#include "ipv6header.h"

#include <QtEndian>

#include <algorithm>
#include <iterator>

std::optional<Ipv6Header> Ipv6Header::parse(QByteArrayView bytes)
{
    if (bytes.size() < Size)
        return std::nullopt;
    const auto *in = reinterpret_cast<const quint8 *>(bytes.data());
    if (in[0] >> 4 != 6)
        return std::nullopt;
    Ipv6Header header;
    header.payloadLength = qFromBigEndian<quint16>(in + 4);
    header.nextHeader = in[6];
    header.hopLimit = in[7];
    header.source = HostAddress(in + 8);
    header.destination = HostAddress(in + 24);
    return header;
}

QByteArray Ipv6Header::encode() const
{
    QByteArray bytes(Size, '\0');
    auto *out = reinterpret_cast<uchar *>(bytes.data());
    out[0] = 0x60;
    qToBigEndian<quint16>(payloadLength, out + 4);
    out[6] = nextHeader;
    out[7] = hopLimit;
    const Ipv6Bytes s = source.toIPv6Address();
    const Ipv6Bytes d = destination.toIPv6Address();
    std::copy(std::begin(s.c), std::end(s.c), out + 8);
    std::copy(std::begin(d.c), std::end(d.c), out + 24);
    return bytes;
}

std::optional<Ipv6Header::UpperLayer> Ipv6Header::findUpperLayer(QByteArrayView packet)
{
    const auto header = parse(packet);
    if (!header)
        return std::nullopt;
    enum : quint8 { HopByHop = 0, Routing = 43, Fragment = 44, Esp = 50, Authentication = 51, DestinationOptions = 60 };
    const auto *in = reinterpret_cast<const quint8 *>(packet.data());
    quint8 next = header->nextHeader;
    qsizetype offset = Size;
    // Each header moves the offset on by at least 8 bytes, so the walk ends
    // within the packet whatever the bytes say.
    while (next == HopByHop || next == Routing || next == Fragment || next == DestinationOptions
           || next == Authentication) {
        if (packet.size() - offset < 8)
            return std::nullopt;
        const quint8 following = in[offset];
        qsizetype length = 0;
        if (next == Fragment) {
            // Fragment offset in the upper 13 bits of bytes 2-3.
            if ((qFromBigEndian<quint16>(in + offset + 2) >> 3) != 0)
                return std::nullopt;
            length = 8;
        } else if (next == Authentication) {
            length = (qsizetype(in[offset + 1]) + 2) * 4;
        } else {
            length = (qsizetype(in[offset + 1]) + 1) * 8;
        }
        if (packet.size() - offset < length)
            return std::nullopt;
        next = following;
        offset += length;
    }
    if (next == Esp)
        return std::nullopt;
    return UpperLayer{next, offset};
}
