#include "testform.h"

#include "runtimeerror.h"

using namespace Qt::Literals::StringLiterals;

FormDefinition testFormDefinition()
{
    using C = ControlDefinition;
    FormDefinition form(u"TestForm"_s, u"Test form"_s, 6000, 4500);
    form.setBackColor(0x00FF8040);
    form << C::textBox(u"Host"_s, u"example.test"_s, {120, 360, 2400, 375}, 0);
    form << C::label(u"HostLabel"_s, u"Host to ask"_s, {120, 120, 2400, 255}, 8).setNames(u"Host"_s);
    form << C::textBox(u"Count"_s, u"4"_s, {120, 900, 735, 375}, 2).setAlignment(TextAlignment::Right);
    form << C::checkBox(u"Flag"_s, u"A flag with a caption long enough to wrap"_s, {3000, 360, 1500, 375}, 3);
    form << C::textBox(u"Log"_s, u""_s, {120, 1500, 5700, 2800}, 4)
                .setMultiLine(true)
                .setScrollBars(ScrollBars::Vertical)
                .setFont({u"Courier"_s, 9.75});
    form << C::commandButton(u"Go"_s, u"Go"_s, {4600, 360, 1200, 375}, 1).setDefault(true);
    form << C::commandButton(u"Halt"_s, u"Halt"_s, {4600, 900, 1200, 375}, 5).setEnabled(false);
    form << C::shape(u"Lamp"_s, {3000, 900, 600, 375})
                .setShape(ShapeKind::Circle)
                .setFillStyle(FillStyle::Solid)
                .setFillColor(65280);
    form << C::timer(u"Tick"_s).setInterval(0);
    form << C::pingControl(u"Pinger"_s, QString::fromLatin1(TestPingerClass), {3800, 900, 480, 480}, 6)
                .setSavedState("saved");
    return form;
}

FormTest::FormTest()
{
    registry.add(QString::fromLatin1(TestPingerClass), [this](QWidget *parent) {
        component = new ScriptedPingControl(parent);
        return component;
    });
    form = std::make_unique<Form>(testFormDefinition(), registry);
    form->setErrorReporter([this](const QString &message) { messages << message; });
}

void FormTest::record(const QString &eventName)
{
    form->bind(eventName, PlainHandler([this, eventName] { events << eventName; }));
}

QString runTimeErrorOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const RunTimeError &error) {
        return error.message();
    }
    return u"(none)"_s;
}
