#include "textbox.h"

#include "runtimeerror.h"
#include "textboxwidget.h"
#include "textconversion.h"

#include <QLabel>

TextBox::TextBox(const QString &name, TextBoxWidget *box, const QLabel *label)
    : ControlHandle(name, box->widget()), m_box(box), m_label(label)
{
}

QString TextBox::text() const
{
    return m_box->textValue();
}

void TextBox::setText(const QString &text) const
{
    m_box->setTextValue(text);
}

int TextBox::selStart() const
{
    return m_box->selStart();
}

void TextBox::setSelStart(int start) const
{
    if (start < 0)
        throw RunTimeError::invalidValue(name(), QStringLiteral("SelStart"), start, QStringLiteral("0 or more"));
    m_box->setSelStart(start);
}

int TextBox::selLength() const
{
    return m_box->selLength();
}

void TextBox::setSelLength(int length) const
{
    if (length < 0)
        throw RunTimeError::invalidValue(name(), QStringLiteral("SelLength"), length, QStringLiteral("0 or more"));
    m_box->setSelLength(length);
}

qint32 TextBox::toInt32() const
{
    const QString value = text();
    const auto converted = textToInt32(value);
    if (const auto *number = std::get_if<qint32>(&converted))
        return *number;
    throw RunTimeError(conversionFailureMessage(std::get<ConversionFailure>(converted), value, source()));
}

QString TextBox::source() const
{
    if (m_label && !m_label->text().isEmpty())
        return m_label->text();
    return name();
}
