#include "statestreamwriter.h"

#include <QtEndian>

StateStreamWriter::StateStreamWriter(quint32 version, std::initializer_list<quint32> untaggedWords)
{
    appendUInt32(version);
    for (quint32 word : untaggedWords)
        appendUInt32(word);
}

StateStreamWriter &StateStreamWriter::operator<<(qint32 value)
{
    appendUInt16(Int32Tag);
    appendUInt32(quint32(value));
    return *this;
}

StateStreamWriter &StateStreamWriter::operator<<(const QString &text)
{
    appendUInt16(TextTag);
    appendUInt32(quint32((text.size() + 1) * 2));
    for (QChar unit : text)
        appendUInt16(unit.unicode());
    appendUInt16(0);
    return *this;
}

void StateStreamWriter::appendUInt16(quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    m_bytes.append(bytes, sizeof bytes);
}

void StateStreamWriter::appendUInt32(quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    m_bytes.append(bytes, sizeof bytes);
}
