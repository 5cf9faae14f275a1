#pragma once

#include "controldefinition.h"

#include <QWidget>

// A shape drawn on the form: its outline in the window-text colour, filled
// with FillColor when its fill style is solid. A circle stands centred in
// its box with the box's smaller side as its diameter. Its accessible
// description says its fill colour, for a shape that serves as a lamp.
class ShapeWidget : public QWidget
{
    Q_OBJECT

public:
    ShapeWidget(ShapeKind kind, FillStyle fillStyle, qint32 fillColor, QWidget *parent = nullptr);

    // 0x00BBGGRR.
    qint32 fillColor() const { return m_fillColor; }
    void setFillColor(qint32 bgr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void describe();

    ShapeKind m_kind;
    FillStyle m_fillStyle;
    qint32 m_fillColor;
};
