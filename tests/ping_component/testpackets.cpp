#include "testpackets.h"

#include "ipv4header.h"
#include "ipv6header.h"

namespace TestPackets {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

QByteArray ipv4Header(quint32 source, quint32 destination, int ttl, int ihlWords, int totalLength)
{
    QByteArray header(ihlWords * 4, '\0');
    header[0] = char(0x40 | ihlWords);
    header[2] = char(totalLength >> 8);
    header[3] = char(totalLength);
    header[8] = char(ttl);
    header[9] = char(Ipv4Header::ProtocolIcmp);
    for (int i = 0; i < 4; ++i) {
        header[12 + i] = char(source >> (24 - 8 * i));
        header[16 + i] = char(destination >> (24 - 8 * i));
    }
    return header;
}

QByteArray ipv4Datagram(quint32 source, quint32 destination, int ttl, const QByteArray &icmp, int ihlWords)
{
    return ipv4Header(source, destination, ttl, ihlWords, int(ihlWords * 4 + icmp.size())) + icmp;
}

QByteArray ipv6Header(const HostAddress &source, const HostAddress &destination, quint8 nextHeader)
{
    QByteArray header(Ipv6Header::Size, '\0');
    header[0] = char(0x60);
    header[6] = char(nextHeader);
    header[7] = char(64);
    const Ipv6Bytes s = source.toIPv6Address();
    const Ipv6Bytes d = destination.toIPv6Address();
    for (int i = 0; i < 16; ++i) {
        header[8 + i] = char(s[i]);
        header[24 + i] = char(d[i]);
    }
    return header;
}

} // namespace TestPackets
