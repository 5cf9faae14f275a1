#include "simpleform1fixture.h"

#include <tarvix/tarvixctlfactory.h>

#include <QTest>

using namespace Qt::Literals::StringLiterals;

SimpleForm1Test::SimpleForm1Test(Qt::FocusPolicy componentFocus)
{
    m_registry.add(QString::fromLatin1(Tarvix::TarvixCtlClassName), [this, componentFocus](QWidget *parent) {
        component = new ScriptedPingControl(parent);
        component->setFocusPolicy(componentFocus);
        return component;
    });
    m_form1 = std::make_unique<Form1>(m_registry);
    form().setErrorReporter([this](const QString &message) { messages << message; });
}

void SimpleForm1Test::clickPing()
{
    QTest::mouseClick(widget(u"Command1"_s), Qt::LeftButton);
}

void SimpleForm1Test::clickStop()
{
    QTest::mouseClick(widget(u"Command2"_s), Qt::LeftButton);
}

void SimpleForm1Test::pressEnterInHostBox()
{
    QTest::keyClick(widget(u"Text1"_s), Qt::Key_Return);
}

void SimpleForm1Test::retypeHost(const QString &text)
{
    QTest::keyClick(widget(u"Text1"_s), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(widget(u"Text1"_s), Qt::Key_Delete);
    QTest::keyClicks(widget(u"Text1"_s), text);
}

QString SimpleForm1Test::host()
{
    return form().textBox(u"Text1"_s).text();
}

bool SimpleForm1Test::pingEnabled()
{
    return form().commandButton(u"Command1"_s).enabled();
}

bool SimpleForm1Test::stopEnabled()
{
    return form().commandButton(u"Command2"_s).enabled();
}
