#include "savedstate.h"

#include <gtest/gtest.h>

#include <QtEndian>

namespace {

// The stream as a form definition stores it, written out byte by byte so that
// the test does not share the encoder's mistakes.
class StreamBuilder
{
public:
    StreamBuilder &word(quint32 v) { return raw<quint32>(v); }
    StreamBuilder &integer(qint32 v) { return raw<quint16>(3).raw<qint32>(v); }
    StreamBuilder &text(const QString &t)
    {
        raw<quint16>(8).raw<quint32>(quint32(t.size() + 1) * 2);
        for (QChar c : t)
            raw<quint16>(c.unicode());
        return raw<quint16>(0);
    }
    QByteArray bytes() const { return m_bytes; }

private:
    template <typename T>
    StreamBuilder &raw(T v)
    {
        uchar b[sizeof(T)];
        qToLittleEndian<T>(v, b);
        m_bytes.append(reinterpret_cast<const char *>(b), sizeof(T));
        return *this;
    }
    QByteArray m_bytes;
};

QByteArray formStream(qint32 display)
{
    return StreamBuilder()
        .word(0x300).word(847).word(847)
        .integer(32).integer(60).integer(1000).integer(0).integer(3)
        .text({}).integer(0).text({}).integer(display).integer(1)
        .bytes();
}

} // namespace

TEST(SavedState, ReadsTheFormsStreamValueByValue)
{
    const QByteArray stream = formStream(0);
    ASSERT_EQ(stream.size(), 76);
    const auto state = SavedState::decode(stream);
    ASSERT_TRUE(state.has_value());
    EXPECT_EQ(state->extentX, 847u);
    EXPECT_EQ(state->settings.packetSize, 32);
    EXPECT_EQ(state->settings.timeToLive, 60);
    EXPECT_EQ(state->settings.timeout, 1000);
    EXPECT_EQ(state->settings.continuous, 0);
    EXPECT_EQ(state->settings.count, 3);
    EXPECT_TRUE(state->hostName.isEmpty());
    EXPECT_EQ(state->settings.resolveAddresses, 0);
    EXPECT_TRUE(state->ipAddress.isEmpty());
    EXPECT_EQ(state->settings.display, 0);
    EXPECT_EQ(state->settings.intervalMs, 1000);

    EXPECT_EQ(SavedState::decode(formStream(1))->settings.display, 1);
}

TEST(SavedState, WritesVersionExtentAndTaggedValuesLittleEndian)
{
    SavedState state;
    state.extentX = 7;
    state.extentY = 0x01020304;
    state.settings.packetSize = -2;
    state.hostName = QStringLiteral("ab");
    const QByteArray expected = QByteArray::fromHex("00030000"                // version
                                                    "07000000"                // extent, untagged
                                                    "04030201"
                                                    "0300" "feffffff"         // -2
                                                    "0300" "3c000000"         // 60
                                                    "0300" "e8030000"         // 1000
                                                    "0300" "00000000"         // 0
                                                    "0300" "04000000"         // 4
                                                    "0800" "06000000"         // "ab": 2 units and the terminator
                                                    "610062000000"
                                                    "0300" "00000000"         // 0
                                                    "0800" "02000000" "0000"  // "": the terminator alone
                                                    "0300" "00000000"         // 0
                                                    "0300" "01000000");       // 1 s
    EXPECT_EQ(state.encode().toHex().toStdString(), expected.toHex().toStdString());
}

TEST(SavedState, RoundTripsExactly)
{
    const QByteArray stream = formStream(1);
    EXPECT_EQ(SavedState::decode(stream)->encode(), stream);

    SavedState state;
    state.settings.packetSize = 65500;
    state.settings.count = -5; // stored as given: a run would refuse it, loading must not
    state.settings.continuous = 2;
    state.hostName = QStringLiteral("bücher.example");
    state.ipAddress = QStringLiteral("fe80::1%lo");
    state.settings.intervalMs = 2400; // whole seconds only: rounds to 2
    const auto back = SavedState::decode(state.encode());
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->settings.packetSize, 65500);
    EXPECT_EQ(back->settings.count, -5);
    EXPECT_EQ(back->settings.continuous, 2);
    EXPECT_EQ(back->hostName, state.hostName);
    EXPECT_EQ(back->ipAddress, state.ipAddress);
    EXPECT_EQ(back->settings.intervalMs, 2000);
}

TEST(SavedState, EveryTruncationIsRejected)
{
    const QByteArray stream = formStream(0);
    for (qsizetype length = 0; length < stream.size(); ++length)
        EXPECT_FALSE(SavedState::decode(stream.left(length)).has_value()) << "length " << length;
}

TEST(SavedState, MalformedStreamsAreRejected)
{
    QByteArray wrongVersion = formStream(0);
    wrongVersion[1] = 0x02;
    EXPECT_FALSE(SavedState::decode(wrongVersion).has_value());

    // A text where an integer belongs (the first value).
    const QByteArray wrongTag = StreamBuilder().word(0x300).word(0).word(0).text(QStringLiteral("32")).bytes();
    EXPECT_FALSE(SavedState::decode(wrongTag).has_value());

    QByteArray trailing = formStream(0);
    trailing.append('\0');
    EXPECT_FALSE(SavedState::decode(trailing).has_value());

    // The sixth value's byte count, at offset 12 + 5 * 6 + 2: odd, zero, and far too large.
    for (quint32 count : {3u, 0u, 0x7fffffffu}) {
        QByteArray badCount = formStream(0);
        qToLittleEndian<quint32>(count, reinterpret_cast<uchar *>(badCount.data()) + 44);
        EXPECT_FALSE(SavedState::decode(badCount).has_value()) << "count " << count;
    }

    // A text whose terminator is not zero.
    QByteArray unterminated = formStream(0);
    unterminated[48] = 'x';
    EXPECT_FALSE(SavedState::decode(unterminated).has_value());

    for (qint32 seconds : {0, -1, 3601}) {
        QByteArray badInterval = formStream(0);
        qToLittleEndian<qint32>(seconds, reinterpret_cast<uchar *>(badInterval.data()) + 72);
        EXPECT_FALSE(SavedState::decode(badInterval).has_value()) << "interval " << seconds;
    }
}
