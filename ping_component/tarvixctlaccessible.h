#pragma once

#include <QAccessibleWidget>

class TarvixCtl;

// The control as a screen reader sees it: a chart while it shows the full
// display, an image (its lamp) on a small surface. Its name is the control's
// accessible name, its description the control's description(), worded when
// asked.
class TarvixCtlAccessible : public QAccessibleWidget
{
public:
    explicit TarvixCtlAccessible(TarvixCtl *control);

    QAccessible::Role role() const override;
    QString text(QAccessible::Text t) const override;

    // For QAccessible::installFactory: an interface for a TarvixCtl, else none.
    static QAccessibleInterface *create(const QString &className, QObject *object);
};
