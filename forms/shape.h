#pragma once

#include "controlhandle.h"

#include <QtGlobal>

class ShapeWidget;

// A shape: FillColor in 0x00BBGGRR order.
class Shape : public ControlHandle
{
public:
    Shape(const QString &name, ShapeWidget *shape);

    qint32 fillColor() const;
    void setFillColor(qint32 bgr) const;

private:
    ShapeWidget *m_shape;
};
