#include "form1.h"

#include "form1definition.h"

#include <functional>

using namespace Qt::Literals::StringLiterals;

Form1::Form1(const ComponentRegistry &components)
    : m_form(form1Definition(), components),
      TarvixCtl1(m_form.pingControl(u"TarvixCtl1"_s)),
      Text1(m_form.textBox(u"Text1"_s))
{
    m_form.bind(u"Command1_Click"_s, std::bind_front(&Form1::Command1_Click, this));
    m_form.bind(u"Command2_Click"_s, std::bind_front(&Form1::Command2_Click, this));
}

void Form1::Command1_Click()
{
    // No guard against a run in progress: the component starts over.
    TarvixCtl1.ping(Text1.text());
}

void Form1::Command2_Click()
{
    TarvixCtl1.setActive(0);
}
