#include "rundisplayaccessible.h"

#include "rundisplay.h"

#include <QWidget>

RunDisplayAccessible::RunDisplayAccessible(QWidget *surface, const RunDisplay *display)
    : QAccessibleWidget(surface), m_display(display)
{
}

QAccessible::Role RunDisplayAccessible::role() const
{
    return m_display && m_display->showsChart() ? QAccessible::Chart : QAccessible::Graphic;
}

QString RunDisplayAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Description && m_display)
        return m_display->description();
    return QAccessibleWidget::text(t);
}

QAccessibleInterface *RunDisplayAccessible::create(const QString &, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    if (const RunDisplay *display = RunDisplay::of(object))
        return new RunDisplayAccessible(static_cast<QWidget *>(object), display);
    return nullptr;
}
