// TarvixS itself, on a display of its own, while the name it is to ping hangs
// at a name server that never answers: closing the window and Stop must not
// wait for the resolver to give up.
#include "form1definition.h"
#include "hanginglookuptest.h"

#include <QElapsedTimer>
#include <QTest>

#include <iostream>

using SimpleSampleLookupTest = HangingLookupTest;

TEST_F(SimpleSampleLookupTest, ClosingTheWindowDuringTheLookupEndsTheProgramAtOnce)
{
    ASSERT_NO_FATAL_FAILURE(startProgram(QStringLiteral(TARVIX_SIMPLE_PROGRAM), form1Definition()));
    ASSERT_NO_FATAL_FAILURE(pingHangingName());
    closeAndExpectAPromptExit();
}

TEST_F(SimpleSampleLookupTest, StopDuringTheLookupEndsItAndTheNextPingRuns)
{
    ASSERT_NO_FATAL_FAILURE(startProgram(QStringLiteral(TARVIX_SIMPLE_PROGRAM), form1Definition()));
    // The component shows its own state: what it looks like before any run
    // is what it must look like again once the lookup has been stopped.
    const QRect component = controlArea(QStringLiteral("TarvixCtl1"));
    const QString idle = desktop().checksum(component);
    ASSERT_FALSE(idle.isEmpty()) << qPrintable(desktop().error());

    ASSERT_NO_FATAL_FAILURE(pingHangingName());
    ASSERT_TRUE(QTest::qWaitFor([&] { return desktop().checksum(component) != idle; }, PromptMs))
        << "the component does not show the lookup";

    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(desktop().click(controlArea(QStringLiteral("Command2")).center())) << qPrintable(desktop().error());
    ASSERT_TRUE(QTest::qWaitFor([&] { return desktop().checksum(component) == idle; }, PromptMs))
        << "Stop did not end the lookup within " << PromptMs << " ms";
    std::cout << "TarvixS was back to idle " << clock.elapsed() << " ms after the click on Stop\n";
    RecordProperty("stop_to_idle_ms", std::to_string(clock.elapsed()));
    EXPECT_FALSE(network().responderLog().contains(QStringLiteral("request v"))) << "an echo request went out";

    // The host box again, and a host that needs no lookup.
    const QString host = TestNetwork::hostAddress(IpFamily::IPv4).toString();
    ASSERT_TRUE(desktop().click(controlArea(QStringLiteral("Text1")).center())) << qPrintable(desktop().error());
    ASSERT_NO_FATAL_FAILURE(enterHost(host));
    // The form's saved state asks for three requests, a second apart.
    const QString request = QStringLiteral("request v4 %1 -> %2 id=")
                                .arg(TestNetwork::clientAddress(IpFamily::IPv4).toString(), host);
    ASSERT_TRUE(waitForLog([&](const QString &log) { return log.count(request) == 3; }, PromptMs))
        << "the Ping after Stop did not send its three requests";

    closeAndExpectAPromptExit();
}
