#include <tarvix/tarvixctlfactory.h>

#include "tarvixctl.h"

PingControlFactory tarvixCtlFactory()
{
    return [](QWidget *parent) -> PingControl * { return new TarvixCtl(parent); };
}
