#pragma once

#include "textboxwidget.h"

#include <QLineEdit>

// A single-line text box.
class SingleLineBox : public QLineEdit, public TextBoxWidget
{
    Q_OBJECT

public:
    explicit SingleLineBox(QWidget *parent = nullptr);

    QWidget *widget() override { return this; }
    QString textValue() const override { return text(); }
    void setTextValue(const QString &text) override;
    int selStart() const override;
    void setSelStart(int start) override;
    int selLength() const override;
    void setSelLength(int length) override;
};
