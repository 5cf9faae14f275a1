// Run-time errors inside handlers: one message, the handler stopped at the
// failing step, the form back to idle; and the calls on a hosted component.
#include "testform.h"

#include "runtimeerror.h"

#include <QTest>

using Tarvix::DispId;
using Tarvix::DispValue;
using namespace Qt::Literals::StringLiterals;

namespace {

using Call = ScriptedPingControl::Call;

} // namespace

class FormErrorTest : public FormTest
{
protected:
    // A handler that leaves the form busy, then converts Count.
    void bindBusyHandler()
    {
        form->bind(u"Go_Click"_s, PlainHandler([this] {
                       steps << u"start"_s;
                       form->commandButton(u"Go"_s).setEnabled(false);
                       form->commandButton(u"Halt"_s).setEnabled(true);
                       form->shape(u"Lamp"_s).setFillColor(255);
                       form->timer(u"Tick"_s).setInterval(100);
                       form->textBox(u"Log"_s).setText(u"busy"_s);
                       form->checkBox(u"Flag"_s).setValue(1);
                       form->pingControl(u"Pinger"_s).setCount(form->textBox(u"Count"_s).toInt32());
                       steps << u"after conversion"_s;
                   }));
    }

    QStringList steps;
};

TEST_F(FormErrorTest, FailedConversionStopsTheHandlerReportsOnceAndReturnsToIdle)
{
    bindBusyHandler();
    form->textBox(u"Count"_s).setText(u"four"_s);
    QTest::mouseClick(form->controlWidget(u"Go"_s), Qt::LeftButton);

    EXPECT_EQ(steps, QStringList{u"start"_s});
    EXPECT_EQ(messages, QStringList{u"\"four\" in \"Count\" is not a whole number."_s});
    // Enabled, fill colours and timers are back at their design values...
    EXPECT_TRUE(form->commandButton(u"Go"_s).enabled());
    EXPECT_FALSE(form->commandButton(u"Halt"_s).enabled());
    EXPECT_EQ(form->shape(u"Lamp"_s).fillColor(), 65280);
    EXPECT_FALSE(form->timer(u"Tick"_s).isRunning());
    // ...texts and check states stay as the handler left them.
    EXPECT_EQ(form->textBox(u"Log"_s).text(), u"busy"_s);
    EXPECT_EQ(form->textBox(u"Count"_s).text(), u"four"_s);
    EXPECT_EQ(form->checkBox(u"Flag"_s).value(), 1);
    // The component is told to stop whatever the handler may have started.
    EXPECT_EQ(component->calls(), QList<Call>{ScriptedPingControl::put(DispId::Active, 0)});
}

TEST_F(FormErrorTest, TheFormWorksAgainAfterAnError)
{
    bindBusyHandler();
    form->textBox(u"Count"_s).setText(u""_s);
    QTest::mouseClick(form->controlWidget(u"Go"_s), Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1);

    form->textBox(u"Count"_s).setText(u"6"_s);
    steps.clear();
    component->clearCalls();
    QTest::mouseClick(form->controlWidget(u"Go"_s), Qt::LeftButton);
    EXPECT_EQ(steps, (QStringList{u"start"_s, u"after conversion"_s}));
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(component->calls(), QList<Call>{ScriptedPingControl::put(DispId::Count, 6)});
}

TEST_F(FormErrorTest, AFailingComponentCallIsARunTimeErrorNamingTheCall)
{
    bindBusyHandler();
    component->failOn(DispId::Count, u"Count must lie between 1 and 4294967295."_s);
    QTest::keyClick(form->controlWidget(u"Host"_s), Qt::Key_Return);
    EXPECT_EQ(steps, QStringList{u"start"_s});
    EXPECT_EQ(messages, QStringList{u"Pinger.Count could not be set to 4: Count must lie between 1 and 4294967295."_s});
    EXPECT_TRUE(form->commandButton(u"Go"_s).enabled());
}

TEST_F(FormErrorTest, AnErrorInATimerHandlerStopsTheTimer)
{
    form->bind(u"Tick_Timer"_s, PlainHandler([this] { form->pingControl(u"Pinger"_s).active(); }));
    form->timer(u"Tick"_s).setInterval(100);
    component->failOn(DispId::Active, u"gone"_s);
    form->raise(u"Tick_Timer"_s);
    EXPECT_EQ(messages, QStringList{u"Pinger.Active could not be read: gone"_s});
    EXPECT_FALSE(form->timer(u"Tick"_s).isRunning());
}

TEST_F(FormErrorTest, AnErrorInAnEventRaisedDuringACallStopsOnlyThatHandler)
{
    form->bind(u"Pinger_OnPingStr"_s, OnPingStrHandler([this](const QString &text) {
                   steps << text;
                   throw RunTimeError(u"inner"_s);
               }));
    form->bind(u"Go_Click"_s, PlainHandler([this] {
                   form->pingControl(u"Pinger"_s).ping(u"host"_s);
                   steps << u"after ping"_s;
               }));
    component->setDuringPing([this] { component->raiseOnPingStr(u"during"_s); });
    QTest::mouseClick(form->controlWidget(u"Go"_s), Qt::LeftButton);
    EXPECT_EQ(steps, (QStringList{u"during"_s, u"after ping"_s}));
    EXPECT_EQ(messages, QStringList{u"inner"_s});
}

TEST_F(FormErrorTest, AnyOtherExceptionIsReportedTooAndNeverEscapes)
{
    form->bind(u"Go_Click"_s, PlainHandler([] { throw std::runtime_error("boom"); }));
    QTest::mouseClick(form->controlWidget(u"Go"_s), Qt::LeftButton);
    EXPECT_EQ(messages, QStringList{u"Unexpected error: boom"_s});
}

TEST_F(FormTest, HostedControlCallsPassTheirValuesUnchanged)
{
    const HostedPingControl pinger = form->pingControl(u"Pinger"_s);
    component->clearCalls();
    pinger.setResolveAddresses(2);
    pinger.setContinuous(1);
    pinger.setCount(-3);
    pinger.ping(u" host "_s);
    component->setValue(DispId::Active, 7);
    component->setValue(DispId::HostName, u"name"_s);
    component->setValue(DispId::IpAddress, u"192.0.2.1"_s);
    EXPECT_EQ(pinger.active(), 7);
    EXPECT_EQ(pinger.hostName(), u"name"_s);
    EXPECT_EQ(pinger.ipAddress(), u"192.0.2.1"_s);
    using S = ScriptedPingControl;
    EXPECT_EQ(component->calls(),
              (QList<Call>{S::put(DispId::ResolveAddresses, 2), S::put(DispId::Continuous, 1),
                           S::put(DispId::Count, -3), S::method(DispId::Ping, {u" host "_s}), S::get(DispId::Active),
                           S::get(DispId::HostName), S::get(DispId::IpAddress)}));
}

TEST_F(FormTest, HostedControlReadsTakeNothingAsZeroOrEmptyAndRefuseTextForActive)
{
    const HostedPingControl pinger = form->pingControl(u"Pinger"_s);
    component->setValue(DispId::Active, DispValue());
    component->setValue(DispId::HostName, DispValue());
    component->setValue(DispId::IpAddress, 42);
    EXPECT_EQ(pinger.active(), 0);
    EXPECT_EQ(pinger.hostName(), QString());
    EXPECT_EQ(pinger.ipAddress(), u"42"_s);

    component->setValue(DispId::Active, u"1"_s);
    EXPECT_EQ(runTimeErrorOf([&] { pinger.active(); }),
              u"Pinger.Active read as the text \"1\", not as a 32-bit integer."_s);
}

TEST_F(FormTest, FailedPingCallNamesTheHostAndTheReason)
{
    component->failOn(DispId::Ping, u"no such host"_s);
    EXPECT_EQ(runTimeErrorOf([&] { form->pingControl(u"Pinger"_s).ping(u"nowhere.test"_s); }),
              u"Pinger.Ping(\"nowhere.test\") failed: no such host"_s);
}

TEST(FormWithoutComponent, AMissingComponentIsReportedOnOpenAndEveryCallFails)
{
    FormDefinition definition = testFormDefinition();
    ComponentRegistry empty;
    Form form(definition, empty);
    QStringList messages;
    form.setErrorReporter([&](const QString &message) { messages << message; });
    EXPECT_EQ(form.controlWidget(u"Pinger"_s), nullptr);
    // Handlers for its events still bind.
    EXPECT_NO_THROW(form.bind(u"Pinger_OnPing"_s, OnPingHandler([](const QString &, qint32, qint32, qint32) {})));

    form.open();
    EXPECT_EQ(messages,
              QStringList{u"Pinger: the component \"Test.Pinger\" is not available, so nothing can be pinged."_s});

    EXPECT_THROW(form.pingControl(u"Pinger"_s).ping(u"x"_s), RunTimeError);
    form.bind(u"Go_Click"_s, PlainHandler([&] { form.pingControl(u"Pinger"_s).setCount(1); }));
    QTest::mouseClick(form.controlWidget(u"Go"_s), Qt::LeftButton);
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[1], u"Pinger.Count could not be set to 1: No component is loaded."_s);
}

TEST(FormWithoutComponent, AnUnreadableSavedStateIsReported)
{
    ComponentRegistry registry;
    registry.add(QString::fromLatin1(TestPingerClass), [](QWidget *parent) {
        auto *control = new ScriptedPingControl(parent);
        control->setAcceptsState(false);
        return control;
    });
    Form form(testFormDefinition(), registry);
    EXPECT_EQ(form.loadProblems(),
              QStringList{u"Pinger: the component could not read its saved settings and starts with its own defaults."_s});
}
