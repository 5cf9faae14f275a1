#pragma once

#include "pingcontrol.h"

// Creates the ping component ("TARVIXLibCtl.TarvixCtl") for a host's form.
PingControlFactory tarvixCtlFactory();
