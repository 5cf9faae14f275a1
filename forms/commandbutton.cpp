#include "commandbutton.h"

#include <QPushButton>

CommandButton::CommandButton(const QString &name, QPushButton *button) : ControlHandle(name, button), m_button(button)
{
}

QString CommandButton::caption() const
{
    return m_button->text();
}

void CommandButton::setCaption(const QString &caption) const
{
    m_button->setText(caption);
}
