#include "icmpmessage.h"

#include "internetchecksum.h"

#include <QtEndian>

IcmpMessage IcmpMessage::echo(quint8 type, quint16 identifier, quint16 sequence, const QByteArray &payload)
{
    IcmpMessage message;
    message.type = type;
    message.restOfHeader = quint32(identifier) << 16 | sequence;
    message.body = payload;
    return message;
}

QByteArray IcmpMessage::encode() const
{
    QByteArray bytes(HeaderSize, Qt::Uninitialized);
    auto *out = reinterpret_cast<uchar *>(bytes.data());
    out[0] = type;
    out[1] = code;
    qToBigEndian<quint16>(checksum, out + 2);
    qToBigEndian<quint32>(restOfHeader, out + 4);
    bytes += body;
    return bytes;
}

QByteArray IcmpMessage::encodeWithChecksum() const
{
    IcmpMessage copy = *this;
    copy.checksum = 0;
    QByteArray bytes = copy.encode();
    qToBigEndian<quint16>(internetChecksum(bytes), reinterpret_cast<uchar *>(bytes.data()) + 2);
    return bytes;
}

std::optional<IcmpMessage> IcmpMessage::decode(QByteArrayView bytes)
{
    if (bytes.size() < HeaderSize)
        return std::nullopt;
    const auto *in = reinterpret_cast<const uchar *>(bytes.data());
    IcmpMessage message;
    message.type = in[0];
    message.code = in[1];
    message.checksum = qFromBigEndian<quint16>(in + 2);
    message.restOfHeader = qFromBigEndian<quint32>(in + 4);
    message.body = bytes.sliced(HeaderSize).toByteArray();
    return message;
}
