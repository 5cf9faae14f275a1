#include "label.h"

#include <QLabel>

Label::Label(const QString &name, QLabel *label) : ControlHandle(name, label), m_label(label)
{
}

QString Label::caption() const
{
    return m_label->text();
}

void Label::setCaption(const QString &caption) const
{
    m_label->setText(caption);
}
