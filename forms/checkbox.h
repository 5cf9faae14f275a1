#pragma once

#include "controlhandle.h"

class CheckBoxWidget;

// A check box: Value 0 unchecked, 1 checked, 2 grayed.
class CheckBox : public ControlHandle
{
public:
    CheckBox(const QString &name, CheckBoxWidget *box);

    int value() const;
    void setValue(int state) const;

private:
    CheckBoxWidget *m_box;
};
