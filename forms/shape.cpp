#include "shape.h"

#include "formcolor.h"
#include "runtimeerror.h"
#include "shapewidget.h"

Shape::Shape(const QString &name, ShapeWidget *shape) : ControlHandle(name, shape), m_shape(shape)
{
}

qint32 Shape::fillColor() const
{
    return m_shape->fillColor();
}

void Shape::setFillColor(qint32 bgr) const
{
    if (!isBgrColor(bgr))
        throw RunTimeError::invalidValue(name(), QStringLiteral("FillColor"), bgr,
                                         QStringLiteral("a colour 0 to 16777215"));
    m_shape->setFillColor(bgr);
}
