#pragma once

#include <QByteArrayView>
#include <QtGlobal>

// The Internet checksum (RFC 1071): the ones' complement of the ones' complement
// sum of the data taken as big-endian 16-bit words, an odd last byte padded
// with zero. Over a message that already carries its checksum the result is 0.
quint16 internetChecksum(QByteArrayView data);
