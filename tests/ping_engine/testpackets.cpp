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
    Ipv4Header header = Ipv4Header::forIcmp(HostAddress(source), HostAddress(destination), quint8(ttl), 0, ihlWords * 4);
    header.totalLength = quint16(totalLength);
    return header.encode();
}

QByteArray ipv4Datagram(quint32 source, quint32 destination, int ttl, const QByteArray &icmp, int ihlWords)
{
    return Ipv4Header::forIcmp(HostAddress(source), HostAddress(destination), quint8(ttl), icmp.size(), ihlWords * 4)
               .encode()
        + icmp;
}

QByteArray ipv6Header(const HostAddress &source, const HostAddress &destination, quint8 nextHeader)
{
    const Ipv6Header header{
        .payloadLength = 0, .nextHeader = nextHeader, .hopLimit = 64, .source = source, .destination = destination};
    return header.encode();
}

} // namespace TestPackets
