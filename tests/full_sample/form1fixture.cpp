#include "form1fixture.h"

#include <tarvix/tarvixctlfactory.h>

#include <QTest>

using Tarvix::DispId;
using Tarvix::TarvixCtlClassName;
using namespace Qt::Literals::StringLiterals;

Form1Test::Form1Test()
{
    m_registry.add(QString::fromLatin1(TarvixCtlClassName), [this](QWidget *parent) {
        component = new ScriptedPingControl(parent);
        return component;
    });
    m_form1 = std::make_unique<Form1>(m_registry);
    form().setErrorReporter([this](const QString &message) { messages << message; });
}

void Form1Test::clickPing()
{
    QTest::mouseClick(widget(u"Command1"_s), Qt::LeftButton);
}

void Form1Test::clickStop()
{
    QTest::mouseClick(widget(u"Command2"_s), Qt::LeftButton);
}

void Form1Test::tick()
{
    form().raise(u"Timer1_Timer"_s);
}

void Form1Test::pressEnterIn(const QString &name)
{
    QTest::keyClick(widget(name), Qt::Key_Return);
}

void Form1Test::retype(const QString &name, const QString &text)
{
    QTest::keyClick(widget(name), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(widget(name), Qt::Key_Delete);
    QTest::keyClicks(widget(name), text);
}

void Form1Test::setText(const QString &name, const QString &text)
{
    form().textBox(name).setText(text);
}

void Form1Test::setCheck(const QString &name, int state)
{
    form().checkBox(name).setValue(state);
}

QString Form1Test::log()
{
    return form().textBox(u"Text1"_s).text();
}

qint32 Form1Test::lamp()
{
    return form().shape(u"Shape1"_s).fillColor();
}

bool Form1Test::pingEnabled()
{
    return form().commandButton(u"Command1"_s).enabled();
}

bool Form1Test::stopEnabled()
{
    return form().commandButton(u"Command2"_s).enabled();
}

bool Form1Test::timerRunning()
{
    return form().timer(u"Timer1"_s).isRunning();
}

QList<ScriptedPingControl::Call> Form1Test::defaultSettingsAndPing()
{
    return {S::put(DispId::ResolveAddresses, 0), S::put(DispId::Continuous, 0), S::put(DispId::Count, 4),
            S::put(DispId::PacketSize, 32),      S::put(DispId::TimeToLive, 60), S::put(DispId::Timeout, 1000),
            S::method(DispId::Ping, {u"dns.google"_s})};
}
