#include "form1.h"

#include "form1definition.h"

#include <functional>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString CrLf = u"\r\n"_s;
constexpr qint32 LampRed = 255;
constexpr qint32 LampGreen = 65280;
constexpr int PollInterval = 100;
constexpr qsizetype LogLimit = 1024;

} // namespace

Form1::Form1(const ComponentRegistry &components)
    : m_form(form1Definition(), components),
      Check1(m_form.checkBox(u"Check1"_s)),
      Check2(m_form.checkBox(u"Check2"_s)),
      Check3(m_form.checkBox(u"Check3"_s)),
      Command1(m_form.commandButton(u"Command1"_s)),
      Command2(m_form.commandButton(u"Command2"_s)),
      Shape1(m_form.shape(u"Shape1"_s)),
      TarvixCtl1(m_form.pingControl(u"TarvixCtl1"_s)),
      Text1(m_form.textBox(u"Text1"_s)),
      Text2(m_form.textBox(u"Text2"_s)),
      Text3(m_form.textBox(u"Text3"_s)),
      Text4(m_form.textBox(u"Text4"_s)),
      Text5(m_form.textBox(u"Text5"_s)),
      Text6(m_form.textBox(u"Text6"_s)),
      Timer1(m_form.timer(u"Timer1"_s))
{
    m_form.bind(u"Command1_Click"_s, std::bind_front(&Form1::Command1_Click, this));
    m_form.bind(u"Command2_Click"_s, std::bind_front(&Form1::Command2_Click, this));
    m_form.bind(u"Timer1_Timer"_s, std::bind_front(&Form1::Timer1_Timer, this));
    m_form.bind(u"TarvixCtl1_OnPing"_s, std::bind_front(&Form1::TarvixCtl1_OnPing, this));
    m_form.bind(u"TarvixCtl1_OnPingError"_s, std::bind_front(&Form1::TarvixCtl1_OnPingError, this));
    m_form.bind(u"TarvixCtl1_OnPingStr"_s, std::bind_front(&Form1::TarvixCtl1_OnPingStr, this));
}

void Form1::Command1_Click()
{
    Text1.setText(u""_s);
    Shape1.setFillColor(LampRed);
    Command1.setEnabled(false);

    TarvixCtl1.setResolveAddresses(Check2.value());
    TarvixCtl1.setContinuous(Check1.value());
    TarvixCtl1.setCount(Text2.toInt32());
    TarvixCtl1.setPacketSize(Text3.toInt32());
    TarvixCtl1.setTimeToLive(Text5.toInt32());
    TarvixCtl1.setTimeout(Text4.toInt32());

    TarvixCtl1.ping(Text6.text());

    if (Check3.value() == 0) {
        // The packet size stands as typed, run into "bytes"; HostName is read
        // a second time for the header itself.
        if (!TarvixCtl1.hostName().isEmpty()) {
            const QString hostName = TarvixCtl1.hostName();
            const QString ipAddress = TarvixCtl1.ipAddress();
            Text1.setText(u"Pinging "_s + hostName + u" ["_s + ipAddress + u"] "_s + u"with "_s + Text3.text()
                          + u"bytes of data:"_s + CrLf + CrLf);
        } else {
            Text1.setText(u"Pinging "_s + Text6.text() + u" with "_s + Text3.text() + u"bytes of data:"_s + CrLf
                          + CrLf);
        }
    }

    Timer1.setInterval(PollInterval);
}

void Form1::Command2_Click()
{
    TarvixCtl1.setActive(0);
}

void Form1::Timer1_Timer()
{
    if (TarvixCtl1.active() != 0) {
        Shape1.setFillColor(LampRed);
        Command2.setEnabled(true);
    } else {
        Shape1.setFillColor(LampGreen);
        Command2.setEnabled(false);
        Command1.setEnabled(true);
    }
}

void Form1::TarvixCtl1_OnPing(const QString &strIpAddress, qint32 lBytes, qint32 lTime, qint32 lTTL)
{
    if (Text1.text().length() > LogLimit)
        Text1.setText(u""_s);
    if (Check3.value() != 0)
        return;

    const QString timePart = lTime >= 10 ? u" time="_s + QString::number(lTime) : u" time<10"_s;
    if (lBytes != -1)
        appendToLog(u"Reply from "_s + strIpAddress + u": bytes="_s + QString::number(lBytes) + timePart
                    + u" TTL="_s + QString::number(lTTL) + CrLf);
    else
        appendToLog(u"Request timed out."_s + CrLf);
}

void Form1::TarvixCtl1_OnPingError(const QString &strError, qint32 /* lError: not shown */)
{
    appendToLog(strError);
}

void Form1::TarvixCtl1_OnPingStr(const QString &strPing)
{
    if (Check3.value() == 1)
        appendToLog(strPing);
}

void Form1::appendToLog(const QString &piece)
{
    Text1.setText(Text1.text() + piece);
    Text1.setSelStart(int(Text1.text().length()));
    Text1.setSelLength(0);
}
