#pragma once

#include <QAccessibleWidget>

class ShapeWidget;

// A shape as a screen reader sees it: an image, named as the form
// definition names it, its description its colour.
class ShapeAccessible : public QAccessibleWidget
{
public:
    explicit ShapeAccessible(ShapeWidget *shape);

    // For QAccessible::installFactory: an interface for a ShapeWidget, else none.
    static QAccessibleInterface *create(const QString &className, QObject *object);
};
