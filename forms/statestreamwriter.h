#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <initializer_list>

// Writes a hosted control's saved state the way a form definition keeps it:
// a 32-bit version word, untagged 32-bit words, then values each tagged with a
// 16-bit variant type. Everything is little-endian.
//   tag 3: a 32-bit integer follows
//   tag 8: a text follows, as a 32-bit byte count that includes a 2-byte
//          terminator, then the UTF-16 code units and the terminator
// The stream carries no names; which value is which is the component's
// own convention.
class StateStreamWriter
{
public:
    static constexpr quint16 Int32Tag = 3;
    static constexpr quint16 TextTag = 8;

    explicit StateStreamWriter(quint32 version, std::initializer_list<quint32> untaggedWords = {});

    StateStreamWriter &operator<<(qint32 value);
    StateStreamWriter &operator<<(const QString &text);

    const QByteArray &bytes() const { return m_bytes; }

private:
    void appendUInt16(quint16 value);
    void appendUInt32(quint32 value);

    QByteArray m_bytes;
};
