#pragma once

#include <tarvix/pingcontrol.h>
#include <tarvix/tarvixcomponentexport.h>

namespace Tarvix {

/*! The class name under which hosts register the ping component and their
    forms ask for it. */
inline constexpr char TarvixCtlClassName[] = "TARVIXLibCtl.TarvixCtl";

/*! Creates the ping component (TarvixCtlClassName) for a host's form: its
    widget() is the control's surface, invoke() and events() its contract. */
TARVIX_COMPONENT_EXPORT PingControlFactory tarvixCtlFactory();

} // namespace Tarvix
