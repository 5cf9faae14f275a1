#pragma once

#include <QString>

class QWidget;

// The properties a text box offers its handlers, whatever widget shows it.
// Positions and lengths count characters of the text as written.
class TextBoxWidget
{
public:
    virtual ~TextBoxWidget() = default;

    virtual QWidget *widget() = 0;

    virtual QString textValue() const = 0;
    // Replaces the whole text; the caret goes to its start.
    virtual void setTextValue(const QString &text) = 0;
    virtual int selStart() const = 0;
    // Puts the caret there (clamped to the end) with nothing selected.
    virtual void setSelStart(int start) = 0;
    virtual int selLength() const = 0;
    // Selects that many characters from the caret (clamped to the end).
    virtual void setSelLength(int length) = 0;
};
