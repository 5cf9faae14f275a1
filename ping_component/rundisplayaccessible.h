#pragma once

#include <QAccessibleWidget>
#include <QPointer>

class RunDisplay;

// A widget that shows a run, as a screen reader sees it: a chart while it
// shows the chart, an image (its lamp) otherwise. Its name is the widget's
// accessible name, its description the display's description(), worded when
// asked.
class RunDisplayAccessible : public QAccessibleWidget
{
public:
    RunDisplayAccessible(QWidget *surface, const RunDisplay *display);

    QAccessible::Role role() const override;
    QString text(QAccessible::Text t) const override;

    // For QAccessible::installFactory: an interface for a widget with a RunDisplay, else none.
    static QAccessibleInterface *create(const QString &className, QObject *object);

private:
    // Gone before the widget is, while its children are deleted.
    QPointer<const RunDisplay> m_display;
};
