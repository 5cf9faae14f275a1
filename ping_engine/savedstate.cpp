#include "savedstate.h"

#include <QtEndian>

#include <algorithm>

namespace {

// The variant tags in front of each value.
constexpr quint16 TagInt32 = 3;
constexpr quint16 TagText = 8;

class StreamWriter
{
public:
    void word(quint32 value) { append<quint32>(value); }
    void integer(qint32 value)
    {
        append<quint16>(TagInt32);
        append<qint32>(value);
    }
    void text(const QString &value)
    {
        append<quint16>(TagText);
        append<quint32>(quint32(value.size() + 1) * 2);
        for (QChar c : value)
            append<quint16>(c.unicode());
        append<quint16>(0);
    }
    QByteArray bytes() const { return m_bytes; }

private:
    template <typename T>
    void append(T value)
    {
        uchar raw[sizeof(T)];
        qToLittleEndian<T>(value, raw);
        m_bytes.append(reinterpret_cast<const char *>(raw), sizeof(T));
    }

    QByteArray m_bytes;
};

// Reads forward through the stream; every read fails once any read has failed.
class StreamReader
{
public:
    explicit StreamReader(QByteArrayView bytes) : m_bytes(bytes) {}

    bool ok() const { return m_ok; }
    bool atEnd() const { return m_pos == m_bytes.size(); }

    quint32 word() { return take<quint32>(); }

    qint32 integer()
    {
        if (take<quint16>() != TagInt32)
            m_ok = false;
        return take<qint32>();
    }

    QString text()
    {
        if (take<quint16>() != TagText)
            m_ok = false;
        const quint32 byteCount = take<quint32>();
        // The count includes the terminator, so an empty text counts 2 bytes.
        if (!m_ok || byteCount < 2 || byteCount % 2 != 0 || byteCount > quint32(m_bytes.size() - m_pos)) {
            m_ok = false;
            return {};
        }
        QString value;
        const quint32 units = byteCount / 2 - 1;
        value.reserve(units);
        for (quint32 i = 0; i < units; ++i)
            value.append(QChar(take<quint16>()));
        if (take<quint16>() != 0)
            m_ok = false;
        return value;
    }

private:
    template <typename T>
    T take()
    {
        if (!m_ok || m_bytes.size() - m_pos < qsizetype(sizeof(T))) {
            m_ok = false;
            return T{};
        }
        const T value = qFromLittleEndian<T>(m_bytes.data() + m_pos);
        m_pos += sizeof(T);
        return value;
    }

    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
    bool m_ok = true;
};

} // namespace

QByteArray SavedState::encode() const
{
    StreamWriter out;
    out.word(Version);
    out.word(extentX);
    out.word(extentY);
    out.integer(settings.packetSize);
    out.integer(settings.timeToLive);
    out.integer(settings.timeout);
    out.integer(settings.continuous);
    out.integer(settings.count);
    out.text(hostName);
    out.integer(settings.resolveAddresses);
    out.text(ipAddress);
    out.integer(settings.display);
    const qint64 seconds = (qint64(settings.intervalMs) + 500) / 1000;
    out.integer(qint32(std::clamp<qint64>(seconds, 1, MaxIntervalSeconds)));
    return out.bytes();
}

std::optional<SavedState> SavedState::decode(QByteArrayView stream)
{
    StreamReader in(stream);
    if (in.word() != Version)
        return std::nullopt;
    SavedState state;
    state.extentX = in.word();
    state.extentY = in.word();
    state.settings.packetSize = in.integer();
    state.settings.timeToLive = in.integer();
    state.settings.timeout = in.integer();
    state.settings.continuous = in.integer();
    state.settings.count = in.integer();
    state.hostName = in.text();
    state.settings.resolveAddresses = in.integer();
    state.ipAddress = in.text();
    state.settings.display = in.integer();
    const qint32 seconds = in.integer();
    if (!in.ok() || !in.atEnd() || seconds < 1 || seconds > MaxIntervalSeconds)
        return std::nullopt;
    state.settings.intervalMs = seconds * 1000;
    return state;
}
