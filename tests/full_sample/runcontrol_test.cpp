// Ping, Stop and the poll: the writes and their order, the header, the lamp
// and the buttons, and the mend for bad settings.
#include "form1fixture.h"

#include <QTest>

#include <ostream>

using Tarvix::DispId;
using Tarvix::DispValue;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString CrLf = u"\r\n"_s;

} // namespace

TEST_F(Form1Test, PingWritesTheSixSettingsInOrderThenPingsAndWritesTheHeader)
{
    component->setValue(DispId::HostName, u"dns.google"_s);
    component->setValue(DispId::IpAddress, u"8.8.8.8"_s);
    clickPing();

    QList<Call> expected = defaultSettingsAndPing();
    expected << S::get(DispId::HostName) << S::get(DispId::HostName) << S::get(DispId::IpAddress);
    EXPECT_EQ(component->calls(), expected);
    EXPECT_EQ(log(), u"Pinging dns.google [8.8.8.8] with 32bytes of data:"_s + CrLf + CrLf);
    EXPECT_TRUE(timerRunning());
    EXPECT_EQ(form().timer(u"Timer1"_s).interval(), 100);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Form1Test, CheckBoxStatesPassUnchanged)
{
    const std::pair<int, int> cases[] = {{0, 1}, {1, 2}, {2, 0}, {2, 2}};
    for (const auto &[resolve, continuous] : cases) {
        setCheck(u"Check2"_s, resolve);
        setCheck(u"Check1"_s, continuous);
        component->clearCalls();
        clickPing();
        ASSERT_GE(component->calls().size(), 2);
        EXPECT_EQ(component->calls()[0], S::put(DispId::ResolveAddresses, resolve));
        EXPECT_EQ(component->calls()[1], S::put(DispId::Continuous, continuous));
        tick(); // Active reads 0: Ping is enabled again
    }
}

TEST_F(Form1Test, WithoutAHostNameTheHeaderNamesTheHostBoxText)
{
    retype(u"Text6"_s, u" 127.0.0.1 "_s);
    retype(u"Text3"_s, u" 64"_s);
    clickPing();

    EXPECT_EQ(log(), u"Pinging  127.0.0.1  with  64bytes of data:"_s + CrLf + CrLf);
    const QList<Call> calls = component->calls();
    ASSERT_EQ(calls.size(), 8);
    EXPECT_EQ(calls[3], S::put(DispId::PacketSize, 64));
    EXPECT_EQ(calls[6], S::method(DispId::Ping, {u" 127.0.0.1 "_s}));
    EXPECT_EQ(calls[7], S::get(DispId::HostName));
}

TEST_F(Form1Test, PreFormattedDisplayWritesNoHeader)
{
    component->setValue(DispId::HostName, u"localhost"_s);
    for (int state : {1, 2}) {
        setText(u"Text1"_s, u"old run"_s);
        setCheck(u"Check3"_s, state);
        component->clearCalls();
        clickPing();
        EXPECT_EQ(log(), QString()) << state;
        EXPECT_EQ(component->calls(), defaultSettingsAndPing()) << state;
        EXPECT_TRUE(timerRunning());
        tick();
    }
}

TEST_F(Form1Test, EventsRaisedDuringPingAreReplacedByTheHeader)
{
    component->setDuringPing([this] {
        component->raiseOnPing(u"8.8.8.8"_s, 32, 12, 117);
        component->raiseOnPingError(u"early error"_s, 1);
        component->raiseOnPingStr(u"early line"_s);
        component->setValue(DispId::HostName, u"dns.google"_s);
        component->setValue(DispId::IpAddress, u"8.8.8.8"_s);
    });
    clickPing();
    EXPECT_EQ(log(), u"Pinging dns.google [8.8.8.8] with 32bytes of data:"_s + CrLf + CrLf);
}

TEST_F(Form1Test, PreFormattedEventsRaisedDuringPingStay)
{
    setCheck(u"Check3"_s, 1);
    component->setDuringPing([this] { component->raiseOnPingStr(u"Reply line"_s + CrLf); });
    clickPing();
    EXPECT_EQ(log(), u"Reply line"_s + CrLf);
}

TEST_F(Form1Test, LampAndButtonsFollowStartingRunningAndFinished)
{
    // idle
    EXPECT_EQ(lamp(), LampGreen);
    EXPECT_TRUE(pingEnabled());
    EXPECT_FALSE(stopEnabled());

    component->setValue(DispId::Active, 1);
    clickPing(); // starting
    EXPECT_EQ(lamp(), LampRed);
    EXPECT_FALSE(pingEnabled());
    EXPECT_FALSE(stopEnabled());

    tick(); // running
    EXPECT_EQ(lamp(), LampRed);
    EXPECT_FALSE(pingEnabled());
    EXPECT_TRUE(stopEnabled());
    EXPECT_EQ(component->calls().last(), S::get(DispId::Active));

    component->setValue(DispId::Active, 0);
    tick(); // finished
    EXPECT_EQ(lamp(), LampGreen);
    EXPECT_TRUE(pingEnabled());
    EXPECT_FALSE(stopEnabled());
    // Nothing stops the poll once it has started.
    EXPECT_TRUE(timerRunning());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Form1Test, StopWritesZeroToActiveAndTheNextTickShowsTheEnd)
{
    component->setValue(DispId::Active, 1);
    clickPing();
    tick();
    component->clearCalls();

    clickStop();
    EXPECT_EQ(component->calls(), QList<Call>{S::put(DispId::Active, 0)});
    // The lamp and the buttons wait for the poll.
    EXPECT_EQ(lamp(), LampRed);
    EXPECT_FALSE(pingEnabled());
    EXPECT_TRUE(stopEnabled());

    // The scripted control kept the 0 that Stop wrote.
    tick();
    EXPECT_EQ(lamp(), LampGreen);
    EXPECT_TRUE(pingEnabled());
    EXPECT_FALSE(stopEnabled());
}

TEST_F(Form1Test, EnterInTheSettingBoxesAndCheckBoxesPressesPing)
{
    for (const QString &name : {u"Text6"_s, u"Text2"_s, u"Text3"_s, u"Text4"_s, u"Text5"_s, u"Check1"_s}) {
        component->clearCalls();
        pressEnterIn(name);
        EXPECT_EQ(component->calls().mid(0, 7), defaultSettingsAndPing()) << name.toStdString();
        tick();
    }
    // Enter in the log adds a line there.
    component->clearCalls();
    form().textBox(u"Text1"_s).setSelStart(int(log().size()));
    pressEnterIn(u"Text1"_s);
    EXPECT_TRUE(component->calls().isEmpty());
    EXPECT_TRUE(log().endsWith(CrLf));
}

// The mend: a settings box that does not convert.
struct BadSetting
{
    const char *box;
    const char *label;
    const char *text;
    qsizetype settingsWrittenBefore;
};

void PrintTo(const BadSetting &bad, std::ostream *out)
{
    *out << bad.box << " holding \"" << bad.text << '"';
}

class Form1MendTest : public Form1Test, public ::testing::WithParamInterface<BadSetting>
{
};

TEST_P(Form1MendTest, BadSettingStopsThePingReportsOnceAndReturnsToIdle)
{
    const BadSetting bad = GetParam();
    const QString box = QString::fromLatin1(bad.box);
    const QString badText = QString::fromUtf8(bad.text);
    setText(u"Text1"_s, u"log of an earlier run"_s + CrLf);
    retype(box, badText);
    clickPing();

    EXPECT_EQ(log(), QString());
    QList<Call> expected = defaultSettingsAndPing().first(bad.settingsWrittenBefore);
    expected << S::put(DispId::Active, 0);
    EXPECT_EQ(component->calls(), expected);

    ASSERT_EQ(messages.size(), 1);
    const QString quoted = badText.isEmpty() ? u"is empty"_s : u'"' + badText + u'"';
    EXPECT_TRUE(messages[0].contains(quoted)) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains(QString::fromLatin1(bad.label))) << messages[0].toStdString();

    EXPECT_EQ(lamp(), LampGreen);
    EXPECT_TRUE(pingEnabled());
    EXPECT_FALSE(stopEnabled());
    EXPECT_FALSE(timerRunning());
    EXPECT_EQ(form().textBox(box).text(), badText);

    // Mended, the next Ping runs in full.
    retype(box, form1Definition().control(box)->caption());
    component->clearCalls();
    clickPing();
    QList<Call> full = defaultSettingsAndPing();
    full << S::get(DispId::HostName);
    EXPECT_EQ(component->calls(), full);
    EXPECT_EQ(log(), u"Pinging dns.google with 32bytes of data:"_s + CrLf + CrLf);
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(lamp(), LampRed);
    EXPECT_FALSE(pingEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    EachSettingsBox, Form1MendTest,
    ::testing::Values(BadSetting{"Text2", "Number of echo requests to send", "four", 2},
                      BadSetting{"Text2", "Number of echo requests to send", "", 2},
                      BadSetting{"Text3", "Send buffer size.", "3.5", 3},
                      BadSetting{"Text5", "Time To Live.", "99999999999", 4},
                      BadSetting{"Text4", "Timeout in milliseconds to wait for each reply.", "1 000", 5}));

TEST_F(Form1Test, AFailingCallOnTheComponentIsMendedToo)
{
    component->failOn(DispId::TimeToLive, u"TimeToLive must be 1 to 255."_s);
    setText(u"Text5"_s, u"300"_s);
    clickPing();
    EXPECT_EQ(messages, QStringList{u"TarvixCtl1.TimeToLive could not be set to 300: TimeToLive must be 1 to 255."_s});
    QList<Call> expected = defaultSettingsAndPing().first(5);
    expected[4] = S::put(DispId::TimeToLive, 300);
    expected << S::put(DispId::Active, 0);
    EXPECT_EQ(component->calls(), expected);
    EXPECT_EQ(lamp(), LampGreen);
    EXPECT_TRUE(pingEnabled());
}

TEST_F(Form1Test, AFailureAfterPingStopsTheRunItStarted)
{
    component->setDuringPing([this] { component->setValue(DispId::Active, 1); });
    component->failOn(DispId::HostName, u"no run"_s);
    clickPing();
    EXPECT_EQ(messages, QStringList{u"TarvixCtl1.HostName could not be read: no run"_s});
    EXPECT_EQ(component->calls().last(), S::put(DispId::Active, 0));
    EXPECT_EQ(component->value(DispId::Active), DispValue(0));
    EXPECT_TRUE(pingEnabled());
    EXPECT_FALSE(timerRunning());
}
