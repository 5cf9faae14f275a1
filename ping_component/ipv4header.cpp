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
