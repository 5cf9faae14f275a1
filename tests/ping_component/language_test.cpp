// The component's library in the user's language, created as hosts create it
// (the factory and the contract): its error events and what a screen reader
// hears are translated, the lines of a run are not. Registered once with
// LANG=de_DE.UTF-8 and once with LANG=C (TARVIX_TEST_LANGUAGE says which).
#include "eventrecorder.h"
#include "qtprinters.h"

#include <tarvix/pingcontrolproxy.h>
#include <tarvix/tarvixctlfactory.h>

#include <QAccessible>
#include <QFile>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

using Tarvix::PingEvents;

namespace {

bool german()
{
    return qEnvironmentVariable("TARVIX_TEST_LANGUAGE") == QLatin1String("de");
}

class ComponentLanguage : public ::testing::Test
{
protected:
    std::unique_ptr<Tarvix::PingControl> control{Tarvix::tarvixCtlFactory()(nullptr)};
    Tarvix::PingControlProxy proxy{control.get()};
    EventRecorder recorder{control->events()};
};

} // namespace

TEST_F(ComponentLanguage, ErrorsAndTheSurfaceInTheUserLanguage)
{
    // Both catalogues are in the libraries, each installed by its own.
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/tarvix/i18n/tarvix_ping_component_de.qm")));
    EXPECT_EQ(control->widget()->accessibleName(),
              german() ? QStringLiteral("Ping-Steuerelement") : QStringLiteral("Ping control"));
    // The chart's own catalogue, which the component's library carries too.
    QAccessibleInterface *surface = QAccessible::queryAccessibleInterface(control->widget());
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->text(QAccessible::Description),
              german() ? QStringLiteral("Bereit, noch kein Lauf") : QStringLiteral("Idle, no run yet"));

    ASSERT_TRUE(proxy.setCount(0).ok());
    ASSERT_TRUE(proxy.ping(QStringLiteral("127.0.0.1")).ok());
    EventRecorder::deliverQueued();
    const auto errors = recorder.of(PingEvents::Id::OnPingError);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors.first().error, 1);
    EXPECT_TRUE(errors.first().text.startsWith(german() ? QStringLiteral("Ungültiger Wert für die Option Count: 0.")
                                                        : QStringLiteral("Bad value for option Count: 0.")))
        << qPrintable(errors.first().text);
}

TEST_F(ComponentLanguage, TheLinesOfARunStayEnglish)
{
    ASSERT_TRUE(proxy.setCount(1).ok());
    ASSERT_TRUE(proxy.ping(QStringLiteral("127.0.0.1")).ok());
    EXPECT_TRUE(QTest::qWaitFor([&] { return proxy.active().value().toInt32() == 0; }, 5000));
    EventRecorder::deliverQueued();
    if (const auto errors = recorder.of(PingEvents::Id::OnPingError); !errors.isEmpty())
        GTEST_SKIP() << "no ICMP socket here: " << qPrintable(errors.first().text);
    EXPECT_TRUE(recorder.allText().startsWith(QStringLiteral("PING 127.0.0.1 (127.0.0.1) 32(60) bytes of data.\r\n")))
        << qPrintable(recorder.allText());
    EXPECT_TRUE(recorder.allText().contains(QStringLiteral(" bytes from 127.0.0.1: icmp_seq=1 ttl=")));
    EXPECT_TRUE(recorder.allText().contains(QStringLiteral("1 packets transmitted, 1 received, 0 lost (0% loss)")));
}
