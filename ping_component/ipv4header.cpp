#include "ipv4header.h"

#include <QtEndian>

std::optional<Ipv4Header> Ipv4Header::parse(QByteArrayView bytes)
{
    if (bytes.size() < MinimumSize)
        return std::nullopt;
    const auto *in = reinterpret_cast<const uchar *>(bytes.data());
    if (in[0] >> 4 != 4)
        return std::nullopt;
    Ipv4Header header;
    header.headerLength = qsizetype(in[0] & 0x0f) * 4;
    if (header.headerLength < MinimumSize || header.headerLength > bytes.size())
        return std::nullopt;
    header.totalLength = qFromBigEndian<quint16>(in + 2);
    header.fragmentOffset = qFromBigEndian<quint16>(in + 6) & 0x1fff;
    header.ttl = in[8];
    header.protocol = in[9];
    header.source = HostAddress(qFromBigEndian<quint32>(in + 12));
    header.destination = HostAddress(qFromBigEndian<quint32>(in + 16));
    return header;
}

Ipv4Header Ipv4Header::forIcmp(const HostAddress &source, const HostAddress &destination, quint8 ttl,
                               qsizetype icmpSize, qsizetype headerLength)
{
    Ipv4Header header;
    header.headerLength = headerLength;
    header.totalLength = quint16(headerLength + icmpSize);
    header.ttl = ttl;
    header.protocol = ProtocolIcmp;
    header.source = source;
    header.destination = destination;
    return header;
}

QByteArray Ipv4Header::encode() const
{
    const qsizetype words = qBound<qsizetype>(MinimumSize / 4, headerLength / 4, 15);
    QByteArray bytes(words * 4, '\0');
    auto *out = reinterpret_cast<uchar *>(bytes.data());
    out[0] = uchar(0x40 | words);
    qToBigEndian<quint16>(totalLength, out + 2);
    out[8] = ttl;
    out[9] = protocol;
    qToBigEndian<quint32>(source.toIPv4Address(), out + 12);
    qToBigEndian<quint32>(destination.toIPv4Address(), out + 16);
    return bytes;
}
