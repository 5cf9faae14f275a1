#include <tarvix/tarvixwidget.h>

#include "tarvixctl.h"

namespace Tarvix {

TarvixWidget *TarvixWidget::create(QWidget *parent)
{
    return new TarvixCtl(parent);
}

} // namespace Tarvix
