#include "singlelinebox.h"

#include <limits>

SingleLineBox::SingleLineBox(QWidget *parent) : QLineEdit(parent)
{
    // QLineEdit would cut longer texts at 32767 characters without a word.
    setMaxLength(std::numeric_limits<int>::max());
}

void SingleLineBox::setTextValue(const QString &text)
{
    setText(text);
    setCursorPosition(0);
}

int SingleLineBox::selStart() const
{
    return hasSelectedText() ? selectionStart() : cursorPosition();
}

void SingleLineBox::setSelStart(int start)
{
    setCursorPosition(qMin(start, int(text().size())));
}

int SingleLineBox::selLength() const
{
    return hasSelectedText() ? selectionLength() : 0;
}

void SingleLineBox::setSelLength(int length)
{
    const int start = selStart();
    const int end = qMin(start + qMin(length, int(text().size())), int(text().size()));
    if (end == start)
        setCursorPosition(start);
    else
        setSelection(start, end - start);
}
