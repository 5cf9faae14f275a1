#pragma once

#include "form.h"

// Form1 of TarvixS and its two handlers: Ping starts a run on the host in the
// box, Stop ends it. Settings and results are the component's own business.
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
    void Command1_Click();
    void Command2_Click();

    Form m_form;
    const HostedPingControl TarvixCtl1;
    const TextBox Text1;
};
