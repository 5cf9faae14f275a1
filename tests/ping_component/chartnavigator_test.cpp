// The chart on the control's surface as a user meets it: keys, wheel, drag,
// hover, double click, copy and the context menu, and what a screen reader
// is told of it, over a fake network and clock.
#include "chartnavigator.h"
#include "eventrecorder.h"
#include "fakeclock.h"
#include "fakenetwork.h"
#include "rundisplay.h"
#include "savedstate.h"
#include "tarvixctl.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <memory>

using Tarvix::DispId;
using Tarvix::DispKind;

namespace {

constexpr qint64 s = FakeClock::Second;
constexpr qint64 ms = FakeClock::Millisecond;

class ChartInteractionTest : public ::testing::Test
{
protected:
    ChartInteractionTest()
    {
        control = std::make_unique<TarvixCtl>(network.opener(), clock);
        SavedState state;
        state.settings.display = 1;
        state.settings.continuous = 1;
        EXPECT_TRUE(control->loadState(state.encode()));
        control->resize(704, 224);
        control->show();
        control->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(control.get()));
    }

    static void processEvents()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }
    // A continuous run of count requests a second apart, 20 ms replies but
    // every fifth lost.
    void run(int count)
    {
        ASSERT_TRUE(control->invoke(qint32(DispId::Ping), DispKind::Method, {QStringLiteral("192.0.2.7")}).ok());
        for (int n = 0; n < count; ++n) {
            if ((n + 1) % 5 != 0) {
                const FakeNetwork::Sent &request = network.sent().at(n);
                network.arrive(network.replyTo(request), request.at.monotonicNs + 20 * ms);
            }
            clock.advance(1 * s);
            processEvents();
        }
    }
    const ChartWindow &window() const { return control->navigator()->window(); }
    QString description() const
    {
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(control.get());
        return accessible ? accessible->text(QAccessible::Description) : QStringLiteral("<none>");
    }
    void send(QEvent &event) { QApplication::sendEvent(control.get(), &event); }
    void mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons)
    {
        QMouseEvent event(type, at, control->mapToGlobal(at), button, buttons, Qt::NoModifier);
        send(event);
    }
    void wheel(QPoint at, int delta)
    {
        QWheelEvent event(at, control->mapToGlobal(at), {}, {0, delta}, Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        send(event);
    }
    QPoint columnPoint(int back) const
    {
        const RunView::Column &column = control->view().columns().at(size_t(back));
        return {column.x + column.width / 2, control->view().chartRect().center().y()};
    }

    FakeClock clock;
    FakeNetwork network{clock, IpFamily::IPv4};
    std::unique_ptr<TarvixCtl> control;
};

} // namespace

TEST_F(ChartInteractionTest, LeftAndRightPickRequestsAndEscapeReturnsToLive)
{
    run(12);
    control->setFocus();
    EXPECT_TRUE(control->view().readout().isEmpty());
    QTest::keyClick(control.get(), Qt::Key_Left);
    // The newest that ended: icmp_seq 12, an answered one.
    EXPECT_TRUE(control->view().readout().contains(QStringLiteral("icmp_seq=12 ttl=")))
        << qPrintable(control->view().readout());
    QTest::keyClick(control.get(), Qt::Key_Left);
    QTest::keyClick(control.get(), Qt::Key_Left);
    EXPECT_TRUE(control->view().readout().endsWith(QStringLiteral("No reply for icmp_seq=10 within 1000 ms")))
        << qPrintable(control->view().readout());
    // What is read out is what a screen reader is told.
    EXPECT_EQ(description(), control->view().readout());
    QTest::keyClick(control.get(), Qt::Key_Right);
    EXPECT_TRUE(control->view().readout().contains(QStringLiteral("icmp_seq=11 ")));
    // The cursor holds the window while the run goes on (the 13th times out).
    clock.advance(1 * s);
    processEvents();
    EXPECT_FALSE(window().isLive());

    QTest::keyClick(control.get(), Qt::Key_Escape);
    EXPECT_TRUE(window().isLive());
    EXPECT_FALSE(window().cursor());
    EXPECT_TRUE(control->view().readout().isEmpty());
    EXPECT_TRUE(description().contains(QStringLiteral("sent 13, received 10"))) << qPrintable(description());
}

TEST_F(ChartInteractionTest, TheWheelZoomsDraggingGoesBackADoubleClickReturns)
{
    run(300);
    // 300 requests: live, as many as fit at 4 pixels each.
    EXPECT_EQ(window().span(), control->view().chartRect().width() / RunView::RoomyPitch);
    EXPECT_GT(window().span(), 100);
    EXPECT_LT(window().span(), 200);
    const QPoint middle = control->view().chartRect().center();
    wheel(middle, 120);
    EXPECT_EQ(window().span(), 100);
    wheel(middle, -120 * 3);
    EXPECT_EQ(window().span(), 300); // the whole run
    wheel(middle, 60);
    wheel(middle, 60); // two half notches make one
    EXPECT_EQ(window().span(), 200);
    wheel(middle, 120 * 2);
    EXPECT_EQ(window().span(), 50);

    // Drag to the right: older requests come into view.
    const qint64 end = window().end();
    mouse(QEvent::MouseButtonPress, middle, Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, middle + QPoint(200, 0), Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, middle + QPoint(200, 0), Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(window().isLive());
    const double pixelsPerRequest = double(control->view().chartRect().width()) / 50;
    EXPECT_NEAR(double(end - window().end()), 200 / pixelsPerRequest, 1.0);
    EXPECT_EQ(QApplication::focusWidget(), control.get());

    QTest::mouseDClick(control.get(), Qt::LeftButton, {}, middle);
    EXPECT_TRUE(window().isLive());
    EXPECT_FALSE(window().isZoomed());
}

TEST_F(ChartInteractionTest, HoveringAColumnReadsItOut)
{
    run(6);
    mouse(QEvent::MouseMove, columnPoint(1), Qt::NoButton, Qt::NoButton);
    EXPECT_TRUE(control->view().readout().endsWith(QStringLiteral("No reply for icmp_seq=5 within 1000 ms")))
        << qPrintable(control->view().readout());
    mouse(QEvent::MouseMove, columnPoint(0), Qt::NoButton, Qt::NoButton);
    EXPECT_TRUE(control->view().readout().contains(QStringLiteral("icmp_seq=6 ")));
    EXPECT_TRUE(window().isLive()); // hovering does not stop the chart
    QEvent leave(QEvent::Leave);
    send(leave);
    EXPECT_TRUE(control->view().readout().isEmpty());
}

TEST_F(ChartInteractionTest, CtrlCAndTheContextMenuCopyTheRun)
{
    run(5);
    QApplication::clipboard()->clear();
    control->setFocus();
    QTest::keyClick(control.get(), Qt::Key_C, Qt::ControlModifier);
    const QString text = QApplication::clipboard()->text();
    EXPECT_TRUE(text.startsWith(QStringLiteral("PING 192.0.2.7 (192.0.2.7) 32(60) bytes of data.\r\n"))) << qPrintable(text);
    EXPECT_TRUE(text.contains(QStringLiteral("40 bytes from 192.0.2.7: icmp_seq=4 ttl=")));
    EXPECT_TRUE(text.contains(QStringLiteral("No reply for icmp_seq=5 within 1000 ms\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("5 packets transmitted, 4 received, 1 lost (20% loss)"))) << qPrintable(text);

    std::unique_ptr<QMenu> menu(RunDisplay::of(control.get())->createContextMenu(nullptr));
    QStringList texts;
    for (QAction *action : menu->actions())
        texts << action->text();
    EXPECT_EQ(texts, (QStringList{QStringLiteral("&Copy"), QStringLiteral("Copy as &CSV"), QString(),
                                  QStringLiteral("Back to &live view")}));
    menu->actions().at(1)->trigger();
    const QStringList rows = QApplication::clipboard()->text().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 6);
    EXPECT_EQ(rows[0], QStringLiteral("sequence,time,address,bytes,ttl,rtt_ms,outcome"));
    EXPECT_TRUE(rows[5].startsWith(QStringLiteral("5,"))) << qPrintable(rows[5]);
    EXPECT_TRUE(rows[5].endsWith(QStringLiteral(",192.0.2.7,,,,timed out"))) << qPrintable(rows[5]);
    EXPECT_TRUE(rows[1].endsWith(QStringLiteral(",192.0.2.7,32,57,20.000,reply"))) << qPrintable(rows[1]);

    // The context-menu event opens it on the surface.
    QContextMenuEvent event(QContextMenuEvent::Mouse, columnPoint(0), control->mapToGlobal(columnPoint(0)));
    send(event);
    auto *popup = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->actions().first()->text(), QStringLiteral("&Copy"));
    popup->close();
}

TEST_F(ChartInteractionTest, AScreenReaderHearsWhatItIsAndHowTheRunGoes)
{
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(control.get());
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("Ping control"));
    EXPECT_EQ(accessible->text(QAccessible::Description), QStringLiteral("Idle, no run yet"));
    EXPECT_TRUE(accessible->state().focusable);
    EXPECT_EQ(accessible->role(), QAccessible::Chart);
    // A Ping that starts no run says why, on the surface and to a screen reader.
    ASSERT_TRUE(control->invoke(qint32(DispId::Ping), DispKind::Method, {QString()}).ok());
    EXPECT_EQ(control->snapshot().lastLine, QStringLiteral("No host to ping: enter a host name or an IP address."));
    EXPECT_EQ(accessible->text(QAccessible::Description),
              QStringLiteral("Idle: No host to ping: enter a host name or an IP address."));

    run(5);
    // The error went with its Ping: the last line is the run's.
    EXPECT_EQ(control->snapshot().lastLine, QStringLiteral("No reply for icmp_seq=5 within 1000 ms"));
    EXPECT_EQ(accessible->text(QAccessible::Description),
              QStringLiteral("Running: host 192.0.2.7, address 192.0.2.7; sent 5, received 4, loss 20%; last request lost"));

    ASSERT_TRUE(control->invoke(qint32(DispId::Active), DispKind::PropertyPut, {0}).ok());
    EXPECT_TRUE(accessible->text(QAccessible::Description).startsWith(QStringLiteral("Finished: ")));

    // The small surface, a lamp, says the same.
    control->resize(32, 32);
    EXPECT_EQ(accessible->role(), QAccessible::Graphic);
    EXPECT_TRUE(accessible->text(QAccessible::Description).contains(QStringLiteral("last request lost")));
}
