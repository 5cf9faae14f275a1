#pragma once

#include "formdefinition.h"

#include <QByteArray>

// Form1 of the program TarvixS, with every control's design values.
FormDefinition form1Definition();

// TarvixCtl1's saved state as Form1 keeps it. The program writes no settings,
// so every run takes its settings from here.
QByteArray tarvixCtl1State();
