// Events reach handlers bound by name: clicks, Enter and the default button,
// timer ticks and the hosted component's events.
#include "testform.h"

#include "runtimeerror.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

TEST_F(FormTest, RaisesClickTimerAndTheComponentsThreeEvents)
{
    QStringList names = form->eventNames();
    names.sort();
    EXPECT_EQ(names, (QStringList{u"Go_Click"_s, u"Halt_Click"_s, u"Pinger_OnPing"_s, u"Pinger_OnPingError"_s,
                                  u"Pinger_OnPingStr"_s, u"Tick_Timer"_s}));
}

TEST_F(FormTest, BindingRefusesUnknownEventsAndWrongHandlerShapes)
{
    EXPECT_THROW(form->bind(u"Go_DblClick"_s, PlainHandler([] {})), std::invalid_argument);
    EXPECT_THROW(form->bind(u"Pinger_OnPing"_s, PlainHandler([] {})), std::invalid_argument);
    EXPECT_THROW(form->bind(u"Go_Click"_s, OnPingStrHandler([](const QString &) {})), std::invalid_argument);
    EXPECT_THROW(form->raise(u"Pinger_OnPingStr"_s), std::invalid_argument);
    EXPECT_NO_THROW(form->bind(u"Pinger_OnPingStr"_s, OnPingStrHandler([](const QString &) {})));
}

TEST_F(FormTest, ClickReachesItsHandlerAndUnboundEventsAreIgnored)
{
    record(u"Go_Click"_s);
    QTest::mouseClick(form->controlWidget(u"Go"_s), Qt::LeftButton);
    EXPECT_EQ(events, QStringList{u"Go_Click"_s});
    // Halt_Click has no handler; clicking the (enabled) button does nothing.
    form->commandButton(u"Halt"_s).setEnabled(true);
    QTest::mouseClick(form->controlWidget(u"Halt"_s), Qt::LeftButton);
    EXPECT_EQ(events, QStringList{u"Go_Click"_s});
}

TEST_F(FormTest, ComponentEventsArriveWithTheirArguments)
{
    QStringList seen;
    form->bind(u"Pinger_OnPing"_s, OnPingHandler([&](const QString &ip, qint32 bytes, qint32 time, qint32 ttl) {
                   seen << u"%1 %2 %3 %4"_s.arg(ip).arg(bytes).arg(time).arg(ttl);
               }));
    form->bind(u"Pinger_OnPingStr"_s, OnPingStrHandler([&](const QString &text) { seen << text; }));
    form->bind(u"Pinger_OnPingError"_s, OnPingErrorHandler([&](const QString &text, qint32 code) {
                   seen << u"%1 %2"_s.arg(text).arg(code);
               }));
    component->raiseOnPing(u"127.0.0.1"_s, 32, -1, 64);
    component->raiseOnPingStr(u"line\r\n"_s);
    component->raiseOnPingError(u"failed"_s, 11001);
    EXPECT_EQ(seen, (QStringList{u"127.0.0.1 32 -1 64"_s, u"line\r\n"_s, u"failed 11001"_s}));
}

TEST_F(FormTest, EnterInASingleLineBoxOrCheckBoxPressesTheDefaultButton)
{
    record(u"Go_Click"_s);
    QTest::keyClick(form->controlWidget(u"Host"_s), Qt::Key_Return);
    QTest::keyClick(form->controlWidget(u"Count"_s), Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(form->controlWidget(u"Flag"_s), Qt::Key_Return);
    EXPECT_EQ(events, (QStringList{u"Go_Click"_s, u"Go_Click"_s, u"Go_Click"_s}));
    EXPECT_EQ(form->checkBox(u"Flag"_s).value(), 0);
}

TEST_F(FormTest, EnterInTheMultiLineBoxAddsALineInstead)
{
    record(u"Go_Click"_s);
    const TextBox log = form->textBox(u"Log"_s);
    log.setText(u"x"_s);
    log.setSelStart(1);
    QTest::keyClick(log.widget(), Qt::Key_Return);
    EXPECT_TRUE(events.isEmpty());
    EXPECT_EQ(log.text(), u"x\r\n"_s);
}

TEST_F(FormTest, EnterOnAFocusedButtonPressesThatButton)
{
    record(u"Go_Click"_s);
    record(u"Halt_Click"_s);
    form->commandButton(u"Halt"_s).setEnabled(true);
    QTest::keyClick(form->controlWidget(u"Halt"_s), Qt::Key_Return);
    EXPECT_EQ(events, QStringList{u"Halt_Click"_s});
}

TEST_F(FormTest, EnterDoesNothingWhileTheDefaultButtonIsDisabled)
{
    record(u"Go_Click"_s);
    form->commandButton(u"Go"_s).setEnabled(false);
    QTest::keyClick(form->controlWidget(u"Host"_s), Qt::Key_Return);
    EXPECT_TRUE(events.isEmpty());
}

TEST_F(FormTest, TimerIntervalZeroStopsAndAboveZeroStarts)
{
    const Timer tick = form->timer(u"Tick"_s);
    EXPECT_FALSE(tick.isRunning());
    tick.setInterval(100);
    EXPECT_TRUE(tick.isRunning());
    EXPECT_EQ(tick.interval(), 100);
    tick.setInterval(0);
    EXPECT_FALSE(tick.isRunning());
    EXPECT_EQ(tick.interval(), 0);
    EXPECT_THROW(tick.setInterval(-5), RunTimeError);
    EXPECT_FALSE(tick.isRunning());
}

TEST_F(FormTest, RunningTimerTicksIntoItsHandler)
{
    record(u"Tick_Timer"_s);
    form->timer(u"Tick"_s).setInterval(10);
    // A generous bound: the tick is due after 10 ms.
    EXPECT_TRUE(QTest::qWaitFor([&] { return events.size() >= 2; }, 5000));
    form->timer(u"Tick"_s).setInterval(0);
    const qsizetype ticks = events.size();
    QTest::qWait(50);
    EXPECT_EQ(events.size(), ticks);
}

TEST_F(FormTest, RaisingATimerEventRunsItsHandlerOnce)
{
    record(u"Tick_Timer"_s);
    form->raise(u"Tick_Timer"_s);
    EXPECT_EQ(events, QStringList{u"Tick_Timer"_s});
}

TEST(FormDesignTimer, ATimerWithADesignIntervalRunsFromTheStart)
{
    FormDefinition definition(u"F"_s, u"F"_s, 1500, 1500);
    definition << ControlDefinition::timer(u"Poll"_s).setInterval(250);
    Form form(definition, ComponentRegistry());
    EXPECT_TRUE(form.timer(u"Poll"_s).isRunning());
    EXPECT_EQ(form.timer(u"Poll"_s).interval(), 250);
}

TEST_F(FormTest, EventsRaisedWhileTheFormIsDestroyedReachNoHandler)
{
    form->bind(u"Pinger_OnPingError"_s,
               OnPingErrorHandler([this](const QString &text, qint32) { events << text; }));
    // As a component might when it stops a run on its way out. Without the
    // form cutting its components' events off first, this reaches a freed
    // handler table (AddressSanitizer reports the use after free).
    component->setOnDestruction([this] { component->raiseOnPingError(u"closing"_s, 0); });
    form.reset();
    EXPECT_TRUE(events.isEmpty());
}
