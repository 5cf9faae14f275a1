#pragma once

#include "form.h"

// Form1 of Tarvix and its six handlers: Ping starts a run, Stop ends it, the
// timer follows it, and the component's events become the reply log.
//
// The controls are named as on the form, so that the handlers read as the
// form's own code.
class Form1
{
public:
    explicit Form1(const ComponentRegistry &components);

    Form &form() { return m_form; }
    void show() { m_form.open(); }

private:
    // Run control.
    void Command1_Click();
    void Command2_Click();
    void Timer1_Timer();
    // Reply log.
    void TarvixCtl1_OnPing(const QString &strIpAddress, qint32 lBytes, qint32 lTime, qint32 lTTL);
    void TarvixCtl1_OnPingError(const QString &strError, qint32 lError);
    void TarvixCtl1_OnPingStr(const QString &strPing);

    void appendToLog(const QString &piece);

    Form m_form;
    const CheckBox Check1;
    const CheckBox Check2;
    const CheckBox Check3;
    const CommandButton Command1;
    const CommandButton Command2;
    const Shape Shape1;
    const HostedPingControl TarvixCtl1;
    const TextBox Text1;
    const TextBox Text2;
    const TextBox Text3;
    const TextBox Text4;
    const TextBox Text5;
    const TextBox Text6;
    const Timer Timer1;
};
