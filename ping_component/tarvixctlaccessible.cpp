#include "tarvixctlaccessible.h"

#include "tarvixctl.h"

TarvixCtlAccessible::TarvixCtlAccessible(TarvixCtl *control) : QAccessibleWidget(control)
{
}

QAccessible::Role TarvixCtlAccessible::role() const
{
    return static_cast<const TarvixCtl *>(widget())->showsFullDisplay() ? QAccessible::Chart : QAccessible::Graphic;
}

QString TarvixCtlAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Description)
        return static_cast<const TarvixCtl *>(widget())->description();
    return QAccessibleWidget::text(t);
}

QAccessibleInterface *TarvixCtlAccessible::create(const QString &, QObject *object)
{
    if (auto *control = qobject_cast<TarvixCtl *>(object))
        return new TarvixCtlAccessible(control);
    return nullptr;
}
