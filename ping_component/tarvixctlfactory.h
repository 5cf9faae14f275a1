#pragma once

#include "pingcontrol.h"

// Creates the ping component; programs register it as "TARVIXLibCtl.TarvixCtl".
PingControlFactory tarvixCtlFactory();
