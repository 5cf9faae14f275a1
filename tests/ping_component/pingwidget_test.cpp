// The public widget on a Pinger of the fake network's: its settings are the
// Pinger's, it follows another Pinger when given one and its own again when
// that one goes, and it draws and describes the run as the control does.
#include "fakeclock.h"
#include "fakenetwork.h"
#include "pinger_p.h"
#include "qtprinters.h"
#include "rundisplay.h"

#include <tarvix/pingwidget.h>

#include <QAccessible>
#include <QCoreApplication>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>

using Tarvix::Pinger;
using Tarvix::PingWidget;

namespace {

constexpr qint64 ms = FakeClock::Millisecond;

class PingWidgetTest : public ::testing::Test
{
protected:
    FakeClock clock;
    FakeNetwork network{clock, IpFamily::IPv4};
    std::unique_ptr<Pinger> pinger{Tarvix::PingerPrivate::create(network.opener(), clock)};
    PingWidget widget;
};

} // namespace

TEST_F(PingWidgetTest, ItsSettingsAreThoseOfThePingerItShows)
{
    Pinger *own = widget.pinger();
    ASSERT_NE(own, nullptr);
    // As Designer's property editor and a form loaded by uic set them.
    EXPECT_TRUE(widget.setProperty("interval", 250));
    EXPECT_TRUE(widget.setProperty("count", 9));
    EXPECT_TRUE(widget.setProperty("display", QVariant::fromValue(PingWidget::Lamp)));
    EXPECT_EQ(own->interval(), 250);
    EXPECT_EQ(own->count(), 9);
    EXPECT_EQ(widget.display(), PingWidget::Lamp);

    QSignalSpy count(&widget, &PingWidget::countChanged);
    QSignalSpy interval(&widget, &PingWidget::intervalChanged);
    QSignalSpy changed(&widget, &PingWidget::pingerChanged);
    pinger->setInterval(250); // as the widget's own: no change to tell
    widget.setPinger(pinger.get());
    EXPECT_EQ(widget.pinger(), pinger.get());
    EXPECT_EQ(widget.count(), 4);
    EXPECT_EQ(count.size(), 1);
    EXPECT_TRUE(interval.isEmpty());
    EXPECT_EQ(changed.size(), 1);
    // Its signals now come from the Pinger shown, not from the widget's own.
    pinger->setCount(3);
    own->setCount(5);
    ASSERT_EQ(count.size(), 2);
    EXPECT_EQ(count.last().first(), QVariant(3));

    // A Pinger that goes leaves the widget on its own again.
    pinger.reset();
    EXPECT_EQ(widget.pinger(), own);
    EXPECT_EQ(widget.count(), 5);
    EXPECT_EQ(changed.size(), 2);
}

TEST_F(PingWidgetTest, ItDrawsAndDescribesTheRunOfThePingerItShows)
{
    widget.setPinger(pinger.get());
    widget.resize(400, 200);
    QSignalSpy active(&widget, &PingWidget::activeChanged);
    widget.ping(QStringLiteral("192.0.2.7"));
    for (int turn = 0; turn < 200 && network.sent().isEmpty(); ++turn)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_EQ(network.sent().size(), 1);
    for (int n = 0; n < 4; ++n) {
        clock.advance(3 * ms);
        network.arrive(network.replyTo(network.sent().at(n)), network.sent().at(n).at.monotonicNs + 2 * ms);
        QCoreApplication::processEvents();
        clock.advance(997 * ms);
    }
    EXPECT_FALSE(widget.isActive());
    EXPECT_EQ(active.size(), 2);

    const RunDisplay *display = RunDisplay::of(&widget);
    ASSERT_NE(display, nullptr);
    EXPECT_TRUE(display->showsChart());
    EXPECT_FALSE(display->view().columns().empty());
    EXPECT_TRUE(display->description().contains(QStringLiteral("received 4"))) << qPrintable(display->description());
    EXPECT_TRUE(display->snapshot().lastLine.contains(QStringLiteral("icmp_seq=4")))
        << qPrintable(display->snapshot().lastLine);

    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(&widget);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::Chart);
    EXPECT_EQ(accessible->text(QAccessible::Description), display->description());
    widget.setDisplay(PingWidget::Lamp);
    EXPECT_EQ(accessible->role(), QAccessible::Graphic);
    EXPECT_FALSE(display->showsChart());
}
