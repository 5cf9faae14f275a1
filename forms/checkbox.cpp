#include "checkbox.h"

#include "checkboxwidget.h"
#include "runtimeerror.h"

CheckBox::CheckBox(const QString &name, CheckBoxWidget *box) : ControlHandle(name, box), m_box(box)
{
}

int CheckBox::value() const
{
    return m_box->value();
}

void CheckBox::setValue(int state) const
{
    if (state < 0 || state > 2)
        throw RunTimeError::invalidValue(name(), QStringLiteral("Value"), state, QStringLiteral("0, 1 or 2"));
    m_box->setValue(state);
}
