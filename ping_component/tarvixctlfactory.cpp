#include <tarvix/tarvixctlfactory.h>

#include "tarvixctl.h"

namespace Tarvix {

PingControlFactory tarvixCtlFactory()
{
    return [](QWidget *parent) -> PingControl * { return new TarvixCtl(parent); };
}

} // namespace Tarvix
