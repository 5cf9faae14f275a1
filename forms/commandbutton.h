#pragma once

#include "controlhandle.h"

class QPushButton;

// A command button; its Click reaches the handler <name>_Click.
class CommandButton : public ControlHandle
{
public:
    CommandButton(const QString &name, QPushButton *button);

    QString caption() const;
    void setCaption(const QString &caption) const;

private:
    QPushButton *m_button;
};
