#pragma once

#include <QCheckBox>

// A check box whose caption wraps inside its box, whose state reads as
// 0 unchecked, 1 checked, 2 grayed, and which the user toggles between
// checked and unchecked only: grayed is a state that code sets.
class CheckBoxWidget : public QCheckBox
{
    Q_OBJECT

public:
    explicit CheckBoxWidget(const QString &caption, QWidget *parent = nullptr);

    int value() const;
    // 0, 1 or 2; other values are the caller's to refuse.
    void setValue(int state);

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;
    void nextCheckState() override;

private:
    QRect captionRect(const QRect &indicator) const;
};
