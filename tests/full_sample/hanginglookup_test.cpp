// Tarvix itself, on a display of its own, while the name it is to ping hangs at
// a name server that never answers: closing the window and Stop must not wait
// for the resolver to give up.
#include "form1definition.h"
#include "hanginglookuptest.h"

#include <QElapsedTimer>
#include <QTest>

#include <iostream>

using FullSampleLookupTest = HangingLookupTest;

TEST_F(FullSampleLookupTest, ClosingTheWindowDuringTheLookupEndsTheProgramAtOnce)
{
    ASSERT_NO_FATAL_FAILURE(startProgram(QStringLiteral(TARVIX_FULL_PROGRAM), form1Definition()));
    ASSERT_NO_FATAL_FAILURE(pingHangingName());
    closeAndExpectAPromptExit();
}

TEST_F(FullSampleLookupTest, StopDuringTheLookupOfALaterRunEndsItAtOnce)
{
    ASSERT_NO_FATAL_FAILURE(startProgram(QStringLiteral(TARVIX_FULL_PROGRAM), form1Definition()));
    // The lamp is green while no run is in progress, red while one is.
    const QRect lamp = controlArea(QStringLiteral("Shape1"));
    const QRect stop = controlArea(QStringLiteral("Command2"));
    const QString green = desktop().checksum(lamp);
    ASSERT_FALSE(green.isEmpty()) << qPrintable(desktop().error());

    // Stop is enabled only by the form's timer, which the first run starts:
    // a first run on an address, of the form's four requests.
    const QString host = TestNetwork::hostAddress(IpFamily::IPv4).toString();
    const QString request = QStringLiteral("request v4 %1 -> %2 id=")
                                .arg(TestNetwork::clientAddress(IpFamily::IPv4).toString(), host);
    ASSERT_NO_FATAL_FAILURE(enterHost(host));
    ASSERT_TRUE(waitForLog([&](const QString &log) { return log.count(request) == 4; }, PromptMs))
        << "the first run did not send its four requests";
    ASSERT_TRUE(QTest::qWaitFor([&] { return desktop().checksum(lamp) == green; }, PromptMs))
        << "the first run did not end";
    const QString stopDisabled = desktop().checksum(stop);

    // The host box still has the focus. During the lookup the timer goes on
    // and enables Stop.
    ASSERT_NO_FATAL_FAILURE(pingHangingName());
    ASSERT_TRUE(QTest::qWaitFor([&] { return desktop().checksum(stop) != stopDisabled; }, PromptMs))
        << "Stop was not enabled during the lookup";
    ASSERT_NE(desktop().checksum(lamp), green) << "the lamp is not red during the lookup";

    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(desktop().click(stop.center())) << qPrintable(desktop().error());
    ASSERT_TRUE(QTest::qWaitFor([&] { return desktop().checksum(lamp) == green; }, PromptMs))
        << "Stop did not end the lookup within " << PromptMs << " ms";
    std::cout << "Tarvix's lamp was green again " << clock.elapsed() << " ms after the click on Stop\n";
    RecordProperty("stop_to_green_ms", std::to_string(clock.elapsed()));
    EXPECT_EQ(network().responderLog().count(request), 4) << "an echo request went out after the lookup";

    closeAndExpectAPromptExit();
}
