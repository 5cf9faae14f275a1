#include "ipv6header.h"

#include <QtEndian>

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
