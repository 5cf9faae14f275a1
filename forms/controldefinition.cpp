#include "controldefinition.h"

#include <QStringList>

bool FontDefinition::isFixedPitch() const
{
    if (pitch != FontPitch::Default)
        return pitch == FontPitch::Fixed;
    // The fixed-pitch faces that definitions made for other systems name;
    // fontconfig and Qt compare family names without regard to case.
    static const QStringList classicFixedPitch{
        QStringLiteral("Courier"),  QStringLiteral("Courier New"), QStringLiteral("Lucida Console"),
        QStringLiteral("Consolas"), QStringLiteral("Fixedsys"),    QStringLiteral("Terminal"),
        QStringLiteral("Lucida Sans Typewriter"), QStringLiteral("Andale Mono"),
    };
    return classicFixedPitch.contains(family, Qt::CaseInsensitive);
}

ControlDefinition::ControlDefinition(ControlKind kind, const QString &name, const QString &caption,
                                     const TwipRect &rect, std::optional<int> tabIndex)
    : m_kind(kind), m_name(name), m_caption(caption), m_rect(rect), m_tabIndex(tabIndex)
{
}

ControlDefinition ControlDefinition::textBox(const QString &name, const QString &text, const TwipRect &rect,
                                             int tabIndex)
{
    return ControlDefinition(ControlKind::TextBox, name, text, rect, tabIndex);
}

ControlDefinition ControlDefinition::checkBox(const QString &name, const QString &caption, const TwipRect &rect,
                                              int tabIndex)
{
    return ControlDefinition(ControlKind::CheckBox, name, caption, rect, tabIndex);
}

ControlDefinition ControlDefinition::commandButton(const QString &name, const QString &caption,
                                                   const TwipRect &rect, int tabIndex)
{
    return ControlDefinition(ControlKind::CommandButton, name, caption, rect, tabIndex);
}

ControlDefinition ControlDefinition::label(const QString &name, const QString &caption, const TwipRect &rect,
                                           int tabIndex)
{
    return ControlDefinition(ControlKind::Label, name, caption, rect, tabIndex);
}

ControlDefinition ControlDefinition::shape(const QString &name, const TwipRect &rect)
{
    return ControlDefinition(ControlKind::Shape, name, {}, rect, std::nullopt);
}

ControlDefinition ControlDefinition::timer(const QString &name)
{
    return ControlDefinition(ControlKind::Timer, name, {}, {}, std::nullopt);
}

ControlDefinition ControlDefinition::pingControl(const QString &name, const QString &className,
                                                 const TwipRect &rect, int tabIndex)
{
    ControlDefinition control(ControlKind::PingControl, name, {}, rect, tabIndex);
    control.m_className = className;
    return control;
}

ControlDefinition &ControlDefinition::setAlignment(TextAlignment alignment)
{
    m_alignment = alignment;
    return *this;
}

ControlDefinition &ControlDefinition::setMultiLine(bool multiLine)
{
    m_multiLine = multiLine;
    return *this;
}

ControlDefinition &ControlDefinition::setScrollBars(ScrollBars scrollBars)
{
    m_scrollBars = scrollBars;
    return *this;
}

ControlDefinition &ControlDefinition::setFont(const FontDefinition &font)
{
    m_font = font;
    return *this;
}

ControlDefinition &ControlDefinition::setEnabled(bool enabled)
{
    m_enabled = enabled;
    return *this;
}

ControlDefinition &ControlDefinition::setValue(int state)
{
    m_value = state;
    return *this;
}

ControlDefinition &ControlDefinition::setDefault(bool isDefault)
{
    m_default = isDefault;
    return *this;
}

ControlDefinition &ControlDefinition::setShape(ShapeKind kind)
{
    m_shapeKind = kind;
    return *this;
}

ControlDefinition &ControlDefinition::setFillStyle(FillStyle style)
{
    m_fillStyle = style;
    return *this;
}

ControlDefinition &ControlDefinition::setFillColor(qint32 bgr)
{
    m_fillColor = bgr;
    return *this;
}

ControlDefinition &ControlDefinition::setInterval(int milliseconds)
{
    m_interval = milliseconds;
    return *this;
}

ControlDefinition &ControlDefinition::setSavedState(const QByteArray &state)
{
    m_savedState = state;
    return *this;
}

ControlDefinition &ControlDefinition::setNames(const QString &controlName)
{
    m_namedControl = controlName;
    return *this;
}

ControlDefinition &ControlDefinition::setAccessibleName(const QString &name)
{
    m_accessibleName = name;
    return *this;
}
