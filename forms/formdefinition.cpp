#include "formdefinition.h"

#include "formcolor.h"

#include <QHash>
#include <QSet>

FormDefinition::FormDefinition(const QString &name, const QString &caption, int clientWidth, int clientHeight)
    : m_name(name), m_caption(caption), m_clientWidth(clientWidth), m_clientHeight(clientHeight)
{
}

FormDefinition &FormDefinition::setBackColor(qint32 bgr)
{
    m_backColor = bgr;
    return *this;
}

FormDefinition &FormDefinition::setFont(const FontDefinition &font)
{
    m_font = font;
    return *this;
}

FormDefinition &FormDefinition::setStartUpPosition(StartUpPosition position)
{
    m_startUpPosition = position;
    return *this;
}

FormDefinition &FormDefinition::operator<<(const ControlDefinition &control)
{
    m_controls.append(control);
    return *this;
}

const ControlDefinition *FormDefinition::control(const QString &name) const
{
    for (const ControlDefinition &control : m_controls) {
        if (control.name() == name)
            return &control;
    }
    return nullptr;
}

QStringList FormDefinition::problems() const
{
    QStringList found;
    if (m_backColor && !isBgrColor(*m_backColor))
        found << QStringLiteral("%1: background colour %2 is not a 0x00BBGGRR value.").arg(m_name).arg(*m_backColor);

    QSet<QString> names;
    QHash<int, QString> tabIndexes;
    int defaultButtons = 0;
    for (const ControlDefinition &control : m_controls) {
        const QString &name = control.name();
        if (name.isEmpty())
            found << QStringLiteral("%1: a control has no name.").arg(m_name);
        else if (names.contains(name))
            found << QStringLiteral("%1: two controls are named %2.").arg(m_name, name);
        names.insert(name);

        if (const auto index = control.tabIndex()) {
            if (tabIndexes.contains(*index))
                found << QStringLiteral("%1: %2 and %3 share tab index %4.")
                             .arg(m_name, tabIndexes.value(*index), name)
                             .arg(*index);
            tabIndexes.insert(*index, name);
        }
        if (control.value() < 0 || control.value() > 2)
            found << QStringLiteral("%1: check-box state %2 is not 0, 1 or 2.").arg(name).arg(control.value());
        if (!isBgrColor(control.fillColor()))
            found << QStringLiteral("%1: fill colour %2 is not a 0x00BBGGRR value.").arg(name).arg(control.fillColor());
        if (control.interval() < 0)
            found << QStringLiteral("%1: interval %2 is negative.").arg(name).arg(control.interval());
        if (control.isDefault()) {
            if (control.kind() != ControlKind::CommandButton)
                found << QStringLiteral("%1: only a button can be the default button.").arg(name);
            ++defaultButtons;
        }
        if (control.kind() == ControlKind::PingControl && control.className().isEmpty())
            found << QStringLiteral("%1: no component class is named.").arg(name);
    }
    if (defaultButtons > 1)
        found << QStringLiteral("%1: more than one default button.").arg(m_name);

    for (const ControlDefinition &control : m_controls) {
        if (!control.namedControl().isEmpty() && !names.contains(control.namedControl()))
            found << QStringLiteral("%1 names %2, which the form does not hold.")
                         .arg(control.name(), control.namedControl());
    }
    return found;
}
