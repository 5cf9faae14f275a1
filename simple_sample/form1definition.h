#pragma once

#include "formdefinition.h"

#include <QByteArray>

// The class name under which the form expects its ping component.
inline constexpr char TarvixCtlClassName[] = "TARVIXLibCtl.TarvixCtl";

// Form1 of the program TarvixS, with every control's design values.
FormDefinition form1Definition();

// TarvixCtl1's saved state as Form1 keeps it. The program writes no settings,
// so every run takes its settings from here.
QByteArray tarvixCtl1State();
