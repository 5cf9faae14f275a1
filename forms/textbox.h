#pragma once

#include "controlhandle.h"

#include <QtGlobal>

class QLabel;
class TextBoxWidget;

// A text box: Text, SelStart and SelLength in characters of Text as written.
class TextBox : public ControlHandle
{
public:
    // label: the label that names this box on its form, or nullptr.
    TextBox(const QString &name, TextBoxWidget *box, const QLabel *label);

    QString text() const;
    void setText(const QString &text) const;
    int selStart() const;
    void setSelStart(int start) const;
    int selLength() const;
    void setSelLength(int length) const;

    // Text read as a 32-bit integer by the run time's conversion. Raises a
    // RunTimeError that quotes the text and names the box.
    qint32 toInt32() const;

    // How messages name the box: its label's caption, or its own name.
    QString source() const;

private:
    TextBoxWidget *m_box;
    const QLabel *m_label;
};
