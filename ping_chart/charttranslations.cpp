// The chart's texts in the user's language, installed by whichever library
// carries the chart (the component's, the QML module's) when the
// application starts; the second one finds it installed.
#include "translations.h"

TARVIX_TRANSLATIONS_AT_STARTUP(tarvix_chart)
