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
