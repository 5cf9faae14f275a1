#include <tarvix/tarvixwidget.h>

#include "tarvixctl.h"

TarvixWidget *TarvixWidget::create(QWidget *parent)
{
    return new TarvixCtl(parent);
}
