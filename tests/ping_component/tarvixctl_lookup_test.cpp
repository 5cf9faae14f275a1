// The control while Ping waits for a name: a lookup that hangs stands in for
// a name server that never answers, and what a handler would do during the
// wait (Stop, another Ping, destroying the control) runs from a timer.
#include "gatedlookup.h"
#include "onceblocked.h"
#include "pingtext.h"
#include "prober.h"
#include "tarvixctlfixture.h"

#include <QPointer>

#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using Tarvix::DispId;
using Tarvix::DispKind;
using Tarvix::DispResult;
using Tarvix::DispValue;
using Tarvix::PingEvents;

namespace {

using Id = PingEvents::Id;
using namespace std::chrono_literals;

HostResolver::Result notFound(const QString &host)
{
    HostResolver::Result result;
    result.status = HostResolver::Result::Status::NotFound;
    result.host = host;
    return result;
}

// Answers every name at once with 127.0.0.1.
HostResolver::Result loopbackLookup(const QString &host, bool)
{
    return GatedLookup::resolvedTo(host, "127.0.0.1");
}

class TarvixCtlLookupTest : public TarvixCtlFixture
{
protected:
    // That a run on 127.0.0.1 named host started: its header, or, where no
    // ICMP socket may be opened, the error saying so, which comes only once
    // the host is resolved.
    void expectRunStarted(const QString &host)
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !recorder.events().isEmpty(); }, 2000));
        const EventRecorder::Event &first = recorder.events().first();
        if (first.id == Id::OnPingError) {
            EXPECT_EQ(first.error, PingText::SocketUnavailable) << qPrintable(first.text);
        } else {
            EXPECT_EQ(first.id, Id::OnPingStr);
            EXPECT_TRUE(first.text.startsWith(QStringLiteral("PING %1 (127.0.0.1) ").arg(host)))
                << qPrintable(first.text);
        }
    }
};

} // namespace

TEST_F(TarvixCtlLookupTest, StopDuringTheLookupEndsPingAtOnceAndTheNextPingRuns)
{
    GatedLookup gate(GatedLookup::resolvedTo(QStringLiteral("hang.example"), "127.0.0.1"));
    control.setHostLookup(gate.lookup());
    DispValue activeWhileResolving;
    const OnceBlocked stop(gate, [&] {
        activeWhileResolving = get(DispId::Active);
        put(DispId::Active, 0);
    });
    ASSERT_TRUE(ping(QStringLiteral("hang.example")).ok());
    EXPECT_TRUE(stop.done());
    EXPECT_EQ(gate.returned(), 0) << "Ping returned only once the lookup had ended";
    EXPECT_EQ(activeWhileResolving, DispValue(1));
    EXPECT_EQ(get(DispId::Active), DispValue(0));
    EXPECT_EQ(get(DispId::HostName), DispValue(QString()));
    EXPECT_EQ(get(DispId::IpAddress), DispValue(QString()));

    // The lookup's answer comes after all; it starts nothing.
    gate.open();
    ASSERT_TRUE(gate.waitUntilReturned(5s));
    settle();
    EXPECT_TRUE(recorder.events().isEmpty()) << qPrintable(recorder.allText());
    EXPECT_EQ(get(DispId::Active), DispValue(0));
    EXPECT_EQ(get(DispId::IpAddress), DispValue(QString()));

    control.setHostLookup(&loopbackLookup);
    ASSERT_TRUE(ping(QStringLiteral("next.example")).ok());
    EXPECT_EQ(get(DispId::HostName), DispValue(QStringLiteral("next.example")));
    EXPECT_EQ(get(DispId::IpAddress), DispValue(QStringLiteral("127.0.0.1")));
    expectRunStarted(QStringLiteral("next.example"));
    put(DispId::Active, 0);
}

TEST_F(TarvixCtlLookupTest, ASecondPingDuringTheLookupOvertakesIt)
{
    // The first name hangs and would not be found; the second is answered at once.
    GatedLookup gate(notFound(QStringLiteral("first.example")));
    control.setHostLookup([hanging = gate.lookup()](const QString &host, bool reverse) {
        return host == QLatin1String("first.example") ? hanging(host, reverse) : loopbackLookup(host, reverse);
    });
    DispResult second = DispResult::success();
    DispValue hostNameAfterSecond;
    const OnceBlocked again(gate, [&] {
        second = ping(QStringLiteral("second.example"));
        hostNameAfterSecond = get(DispId::HostName);
    });
    ASSERT_TRUE(ping(QStringLiteral("first.example")).ok());
    EXPECT_TRUE(again.done());
    EXPECT_TRUE(second.ok());
    EXPECT_EQ(gate.returned(), 0) << "the overtaken Ping returned only once its lookup had ended";
    // The overtaken Ping left the new run's state alone.
    EXPECT_EQ(hostNameAfterSecond, DispValue(QStringLiteral("second.example")));
    EXPECT_EQ(get(DispId::HostName), DispValue(QStringLiteral("second.example")));
    EXPECT_EQ(get(DispId::IpAddress), DispValue(QStringLiteral("127.0.0.1")));
    expectRunStarted(QStringLiteral("second.example"));

    gate.open();
    ASSERT_TRUE(gate.waitUntilReturned(5s));
    settle();
    EXPECT_FALSE(recorder.allText().contains(QStringLiteral("first.example"))) << qPrintable(recorder.allText());
    put(DispId::Active, 0);
}

TEST_F(TarvixCtlLookupTest, StopThenPingFromOneHandlerDuringTheLookup)
{
    GatedLookup gate(GatedLookup::resolvedTo(QStringLiteral("hang.example"), "127.0.0.2"));
    control.setHostLookup(gate.lookup());
    const OnceBlocked stopAndStartOver(gate, [&] {
        put(DispId::Active, 0);
        control.setHostLookup(&loopbackLookup);
        ping(QStringLiteral("again.example"));
    });
    ASSERT_TRUE(ping(QStringLiteral("hang.example")).ok());
    EXPECT_EQ(gate.returned(), 0);
    EXPECT_EQ(get(DispId::HostName), DispValue(QStringLiteral("again.example")));
    EXPECT_EQ(get(DispId::IpAddress), DispValue(QStringLiteral("127.0.0.1")));
    expectRunStarted(QStringLiteral("again.example"));
    put(DispId::Active, 0);
}

TEST(TarvixCtlLookup, DestroyingTheControlDuringTheLookupIsSafe)
{
    GatedLookup gate(GatedLookup::resolvedTo(QStringLiteral("hang.example"), "127.0.0.1"));
    auto control = std::make_unique<TarvixCtl>();
    control->setHostLookup(gate.lookup());
    EventRecorder recorder(control->events());
    TarvixCtl *const pinging = control.get();
    const QPointer<TarvixCtl> watch(pinging);
    const OnceBlocked destroy(gate, [&] { control.reset(); });
    const DispResult result = pinging->invoke(qint32(DispId::Ping), DispKind::Method, {QStringLiteral("hang.example")});
    EXPECT_TRUE(result.ok());
    EXPECT_TRUE(watch.isNull());
    EXPECT_EQ(gate.returned(), 0) << "Ping returned only once the lookup had ended";

    gate.open();
    ASSERT_TRUE(gate.waitUntilReturned(5s));
    QTest::qWait(100);
    EXPECT_TRUE(recorder.events().isEmpty());
}

TEST(TarvixCtlLookup, AnEchoedNameIsCutShortEverywhere)
{
    if (const Prober::Opened opened = Prober::open(IpFamily::IPv4, Prober::Preference::Auto); !opened)
        GTEST_SKIP() << "no ICMP socket may be opened here: " << qPrintable(opened.error());
    // A reverse name as long as getnameinfo() can give.
    const QString longName = QString(1000, QLatin1Char('n'));
    TarvixCtl control;
    EventRecorder recorder(control.events());
    control.setIntervalMs(50);
    control.setHostLookup([&](const QString &host, bool) {
        HostResolver::Result result = GatedLookup::resolvedTo(host, "127.0.0.1");
        result.hostName = longName;
        return result;
    });
    control.invoke(qint32(DispId::ResolveAddresses), DispKind::PropertyPut, {1});
    control.invoke(qint32(DispId::Count), DispKind::PropertyPut, {1});
    ASSERT_TRUE(control.invoke(qint32(DispId::Ping), DispKind::Method, {QStringLiteral("127.0.0.1")}).ok());
    // The property is the run's name, whole; what the component writes is not.
    EXPECT_EQ(control.invoke(qint32(DispId::HostName), DispKind::PropertyGet).value(), DispValue(longName));
    const QString shown = longName.left(PingText::MaxEchoedLength) + QChar(0x2026);
    EXPECT_EQ(control.snapshot().title, shown + QStringLiteral(" (127.0.0.1)"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return control.invoke(qint32(DispId::Active), DispKind::PropertyGet).value() == DispValue(0); }, 5000));
    QTest::qWait(100);

    const QList<EventRecorder::Event> lines = recorder.of(Id::OnPingStr);
    ASSERT_EQ(lines.size(), 3) << qPrintable(recorder.allText());
    EXPECT_TRUE(lines[0].text.startsWith(QStringLiteral("PING %1 (127.0.0.1) ").arg(shown))) << qPrintable(lines[0].text);
    EXPECT_TRUE(lines[1].text.contains(QStringLiteral(" bytes from %1 (127.0.0.1): ").arg(shown)))
        << qPrintable(lines[1].text);
    EXPECT_TRUE(lines[2].text.contains(QStringLiteral("--- %1 ping statistics ---").arg(shown)))
        << qPrintable(lines[2].text);
    for (const EventRecorder::Event &line : lines)
        EXPECT_LT(line.text.size(), 400);
}
