#include "controlhandle.h"

#include <QWidget>

bool ControlHandle::enabled() const
{
    // The control's own setting, whatever its parent's.
    return !m_widget->testAttribute(Qt::WA_ForceDisabled);
}

void ControlHandle::setEnabled(bool enabled) const
{
    m_widget->setEnabled(enabled);
}
