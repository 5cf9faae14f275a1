#pragma once

#include "formdefinition.h"

#include <QByteArray>

// Form1 of the program Tarvix, with every control's design values.
FormDefinition form1Definition();

// TarvixCtl1's saved state as Form1 keeps it.
QByteArray tarvixCtl1State();
