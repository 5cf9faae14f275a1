// TarvixS's two handlers against the scripted control: exactly one dispatch
// call each, no guard around a run, and a failing call that leaves the form
// usable.
#include "simpleform1fixture.h"

using Tarvix::DispId;
using Tarvix::DispValue;
using namespace Qt::Literals::StringLiterals;

TEST_F(SimpleForm1Test, PingPingsTheHostBoxTextUnchangedAndDoesNothingElse)
{
    clickPing();
    EXPECT_EQ(component->calls(), QList<Call>{S::method(DispId::Ping, {u"dns.google"_s})});

    // Blanks and all: what the host means is the component's to judge.
    for (const QString &text : {u" 127.0.0.1 "_s, u""_s, u"no such host!"_s}) {
        retypeHost(text);
        component->clearCalls();
        clickPing();
        EXPECT_EQ(component->calls(), QList<Call>{S::method(DispId::Ping, {text})}) << text.toStdString();
        EXPECT_EQ(host(), text);
    }
    EXPECT_TRUE(pingEnabled());
    EXPECT_TRUE(stopEnabled());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(SimpleForm1Test, EnterInTheHostBoxPressesPing)
{
    retypeHost(u"127.0.0.1"_s);
    component->clearCalls();
    pressEnterInHostBox();
    EXPECT_EQ(component->calls(), QList<Call>{S::method(DispId::Ping, {u"127.0.0.1"_s})});
    EXPECT_EQ(host(), u"127.0.0.1"_s);
}

TEST_F(SimpleForm1Test, PingWhileARunIsInProgressPingsAgain)
{
    component->setValue(DispId::Active, 1); // a run in progress
    clickPing();
    ASSERT_TRUE(pingEnabled());
    clickPing();
    pressEnterInHostBox();
    const Call ping = S::method(DispId::Ping, {u"dns.google"_s});
    EXPECT_EQ(component->calls(), (QList<Call>{ping, ping, ping}));
    EXPECT_TRUE(stopEnabled());
}

TEST_F(SimpleForm1Test, StopWritesZeroToActiveBeforeAnyRunAndDuringOne)
{
    clickStop();
    EXPECT_EQ(component->calls(), QList<Call>{S::put(DispId::Active, 0)});
    EXPECT_TRUE(messages.isEmpty());

    component->setValue(DispId::Active, 1); // a run in progress
    component->clearCalls();
    clickPing();
    clickStop();
    EXPECT_EQ(component->calls(),
              (QList<Call>{S::method(DispId::Ping, {u"dns.google"_s}), S::put(DispId::Active, 0)}));
    EXPECT_EQ(component->value(DispId::Active), DispValue(0));
    // Stop is not disabled by stopping either.
    EXPECT_TRUE(stopEnabled());
    EXPECT_TRUE(pingEnabled());
}

TEST_F(SimpleForm1Test, TheComponentsEventsReachNoHandler)
{
    // The component shows its results itself; the form stays as it was.
    retypeHost(u"127.0.0.1"_s);
    component->clearCalls();
    component->raiseOnPing(u"127.0.0.1"_s, 32, 1, 64);
    component->raiseOnPingStr(u"32 bytes from 127.0.0.1"_s);
    component->raiseOnPingError(u"Request timed out."_s, 1);
    EXPECT_TRUE(component->calls().isEmpty());
    EXPECT_EQ(host(), u"127.0.0.1"_s);
    EXPECT_TRUE(pingEnabled());
    EXPECT_TRUE(stopEnabled());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(SimpleForm1Test, AFailingPingShowsOneMessageAndTheFormStaysUsable)
{
    component->failOn(DispId::Ping, u"the component is broken"_s);
    retypeHost(u"127.0.0.1"_s);
    component->clearCalls();
    clickPing();
    EXPECT_EQ(messages, QStringList{u"TarvixCtl1.Ping(\"127.0.0.1\") failed: the component is broken"_s});
    // Back to idle: the form tells the component to stop whatever it began.
    EXPECT_EQ(component->calls(),
              (QList<Call>{S::method(DispId::Ping, {u"127.0.0.1"_s}), S::put(DispId::Active, 0)}));
    EXPECT_EQ(host(), u"127.0.0.1"_s);
    EXPECT_TRUE(pingEnabled());
    EXPECT_TRUE(stopEnabled());

    component->clearFailures();
    component->clearCalls();
    clickPing();
    EXPECT_EQ(component->calls(), QList<Call>{S::method(DispId::Ping, {u"127.0.0.1"_s})});
    EXPECT_EQ(messages.size(), 1);
}

TEST_F(SimpleForm1Test, AFailingStopShowsOneMessageAndTheFormStaysUsable)
{
    component->failOn(DispId::Active, u"Active cannot be written now"_s);
    clickStop();
    EXPECT_EQ(messages, QStringList{u"TarvixCtl1.Active could not be set to 0: Active cannot be written now"_s});
    EXPECT_TRUE(stopEnabled());

    component->clearFailures();
    component->clearCalls();
    clickStop();
    EXPECT_EQ(component->calls(), QList<Call>{S::put(DispId::Active, 0)});
    clickPing();
    EXPECT_EQ(component->calls().last(), S::method(DispId::Ping, {u"dns.google"_s}));
    EXPECT_EQ(messages.size(), 1);
}
