#include "savedstate.h"
#include "tarvixctlfixture.h"

#include <QDir>

#include <QTest>

#include <gtest/gtest.h>

using Tarvix::DispId;
using Tarvix::DispKind;
using Tarvix::DispResult;
using Tarvix::DispValue;
using Tarvix::PingEvents;

namespace {

using Id = PingEvents::Id;

int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}

using TarvixCtlTest = TarvixCtlFixture;

} // namespace

TEST_F(TarvixCtlTest, ContractErrorsAreReportedNotCrashed)
{
    for (qint32 id : {0, 11, -1, 1000})
        EXPECT_EQ(control.invoke(id, DispKind::PropertyGet).error(), DispResult::Error::UnknownMember) << id;

    EXPECT_EQ(put(DispId::HostName, DispValue(QStringLiteral("x"))).error(), DispResult::Error::WrongAccess);
    EXPECT_EQ(put(DispId::IpAddress, DispValue(1)).error(), DispResult::Error::WrongAccess);
    EXPECT_EQ(put(DispId::Count, DispValue(QStringLiteral("4"))).error(), DispResult::Error::TypeMismatch);
    EXPECT_EQ(put(DispId::Active, DispValue()).error(), DispResult::Error::TypeMismatch);
    EXPECT_EQ(control.invoke(qint32(DispId::Count), DispKind::PropertyPut, {}).error(),
              DispResult::Error::WrongArgumentCount);
    EXPECT_EQ(control.invoke(qint32(DispId::Active), DispKind::Method).error(), DispResult::Error::WrongAccess);

    EXPECT_EQ(control.invoke(qint32(DispId::Ping), DispKind::PropertyGet).error(), DispResult::Error::WrongAccess);
    EXPECT_EQ(control.invoke(qint32(DispId::Ping), DispKind::Method, {}).error(), DispResult::Error::WrongArgumentCount);
    EXPECT_EQ(control.invoke(qint32(DispId::Ping), DispKind::Method, {DispValue(127)}).error(),
              DispResult::Error::TypeMismatch);

    // A rejected write changes nothing.
    EXPECT_EQ(get(DispId::Count), DispValue(4));
    settle();
    EXPECT_TRUE(recorder.events().isEmpty());
}

TEST_F(TarvixCtlTest, WritesAreReadBackAndCheckBoxStatesKeptAsGiven)
{
    EXPECT_TRUE(put(DispId::Continuous, 2).ok());
    EXPECT_TRUE(put(DispId::ResolveAddresses, 2).ok());
    EXPECT_TRUE(put(DispId::PacketSize, 100).ok());
    EXPECT_EQ(get(DispId::Continuous), DispValue(2));
    EXPECT_EQ(get(DispId::ResolveAddresses), DispValue(2));
    EXPECT_EQ(get(DispId::PacketSize), DispValue(100));
    EXPECT_EQ(get(DispId::Active), DispValue(0));
    EXPECT_EQ(get(DispId::HostName), DispValue(QString()));
    // Stop with no run is harmless.
    EXPECT_TRUE(put(DispId::Active, 0).ok());
}

TEST_F(TarvixCtlTest, EachBadSettingGivesOneErrorAndNoRun)
{
    struct Case { DispId id; qint32 value; const char *name; const char *range; };
    const Case cases[] = {
        {DispId::Count, 0, "Count", "from 1 to 2147483647"},
        {DispId::Count, -1, "Count", "from 1 to 2147483647"},
        {DispId::PacketSize, -1, "PacketSize", "from 0 to 65500"},
        {DispId::PacketSize, 65501, "PacketSize", "from 0 to 65500"},
        {DispId::TimeToLive, 0, "TimeToLive", "from 1 to 255"},
        {DispId::TimeToLive, 256, "TimeToLive", "from 1 to 255"},
        {DispId::Timeout, 0, "Timeout", "from 1 to 2147483647"},
        {DispId::Timeout, -1000, "Timeout", "from 1 to 2147483647"},
    };
    const int descriptorsBefore = openDescriptors();
    for (const Case &c : cases) {
        TarvixCtl fresh;
        EventRecorder events(fresh.events());
        ASSERT_TRUE(fresh.invoke(qint32(c.id), DispKind::PropertyPut, {c.value}).ok());
        ASSERT_TRUE(fresh.invoke(qint32(DispId::Ping), DispKind::Method, {QStringLiteral("127.0.0.1")}).ok());
        EXPECT_EQ(fresh.invoke(qint32(DispId::Active), DispKind::PropertyGet).value(), DispValue(0));
        EXPECT_EQ(fresh.invoke(qint32(DispId::IpAddress), DispKind::PropertyGet).value(), DispValue(QString()));
        EXPECT_EQ(openDescriptors(), descriptorsBefore) << "a socket was opened for " << c.name;
        // Raised later, from the event loop, not inside the call.
        EXPECT_TRUE(events.events().isEmpty());
        settle();
        ASSERT_EQ(events.events().size(), 1) << c.name;
        const EventRecorder::Event &e = events.events().first();
        EXPECT_EQ(e.id, Id::OnPingError);
        EXPECT_TRUE(e.text.contains(QLatin1String(c.name))) << e.text.toStdString();
        EXPECT_TRUE(e.text.contains(QStringLiteral(": %1.").arg(c.value))) << e.text.toStdString();
        EXPECT_TRUE(e.text.contains(QLatin1String(c.range))) << e.text.toStdString();
        EXPECT_TRUE(e.text.endsWith(QStringLiteral("\r\n")));
    }
}

TEST_F(TarvixCtlTest, UnknownAndEmptyHostsEndTheRunWithOneError)
{
    ASSERT_TRUE(ping(QStringLiteral("256.1.1.1")).ok());
    EXPECT_EQ(get(DispId::Active), DispValue(0));
    EXPECT_EQ(get(DispId::HostName), DispValue(QString()));
    EXPECT_EQ(get(DispId::IpAddress), DispValue(QString()));
    settle();
    ASSERT_EQ(recorder.events().size(), 1);
    EXPECT_EQ(recorder.events().first().text,
              QStringLiteral("Ping request could not find host 256.1.1.1. Please check the name and try again.\r\n"));

    ASSERT_TRUE(ping(QStringLiteral("   ")).ok());
    settle();
    ASSERT_EQ(recorder.events().size(), 2);
    EXPECT_EQ(recorder.events().last().id, Id::OnPingError);
    EXPECT_TRUE(recorder.events().last().text.contains(QStringLiteral("enter a host name")));

    // Another tool's address is no name that could not be found.
    ASSERT_TRUE(ping(QStringLiteral("127.1")).ok());
    EXPECT_EQ(get(DispId::Active), DispValue(0));
    settle();
    ASSERT_EQ(recorder.events().size(), 3);
    EXPECT_EQ(recorder.events().last().text,
              QStringLiteral("Ping request could not start: 127.1 is not an IP address as written here; other "
                             "programs read it as 127.0.0.1. Type 127.0.0.1 to ping that address.\r\n"));
}

TEST_F(TarvixCtlTest, AMegabyteHostTextComesBackCutShort)
{
    QString huge;
    huge.reserve(1 << 20);
    while (huge.size() < (1 << 20))
        huge += QStringLiteral("0123456789abcdef");
    ASSERT_TRUE(ping(huge).ok());
    settle();
    ASSERT_EQ(recorder.events().size(), 1);
    const EventRecorder::Event &e = recorder.events().first();
    EXPECT_EQ(e.id, Id::OnPingError);
    EXPECT_EQ(e.text, QStringLiteral("Ping request could not find host ") + huge.left(255) + QChar(0x2026)
                          + QStringLiteral(". Please check the name and try again.\r\n"));
    EXPECT_LT(e.text.size(), 400);
}

TEST_F(TarvixCtlTest, SavedStateSetsTheDefaultsAndMalformedStreamsLeaveThem)
{
    SavedState state;
    state.settings.count = 3;
    state.settings.timeToLive = 60;
    state.settings.display = 1;
    state.hostName = QStringLiteral("saved.example");
    QByteArray stream = state.encode();

    QByteArray broken = stream;
    broken.chop(1);
    EXPECT_FALSE(control.loadState(broken));
    EXPECT_FALSE(control.loadState(QByteArray(76, '\xff')));
    EXPECT_EQ(get(DispId::Count), DispValue(4));
    EXPECT_EQ(get(DispId::HostName), DispValue(QString()));

    ASSERT_TRUE(control.loadState(stream));
    EXPECT_EQ(get(DispId::Count), DispValue(3));
    EXPECT_EQ(get(DispId::HostName), DispValue(QStringLiteral("saved.example")));
    EXPECT_EQ(control.settings().display, 1);

    // What the host wrote is what the control saves.
    put(DispId::PacketSize, 1200);
    const auto saved = SavedState::decode(control.saveState());
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->settings.packetSize, 1200);
    EXPECT_EQ(saved->settings.count, 3);
}
