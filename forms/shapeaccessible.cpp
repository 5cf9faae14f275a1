#include "shapeaccessible.h"

#include "shapewidget.h"

ShapeAccessible::ShapeAccessible(ShapeWidget *shape) : QAccessibleWidget(shape, QAccessible::Graphic)
{
}

QAccessibleInterface *ShapeAccessible::create(const QString &, QObject *object)
{
    if (auto *shape = qobject_cast<ShapeWidget *>(object))
        return new ShapeAccessible(shape);
    return nullptr;
}
