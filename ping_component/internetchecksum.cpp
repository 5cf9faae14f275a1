#include "internetchecksum.h"

quint16 internetChecksum(QByteArrayView data)
{
    quint64 sum = 0;
    const auto *bytes = reinterpret_cast<const quint8 *>(data.data());
    const qsizetype size = data.size();
    qsizetype i = 0;
    for (; i + 1 < size; i += 2)
        sum += quint32(bytes[i]) << 8 | bytes[i + 1];
    if (i < size)
        sum += quint32(bytes[i]) << 8;
    while (sum >> 16)
        sum = (sum & 0xffff) + (sum >> 16);
    return quint16(~sum);
}
