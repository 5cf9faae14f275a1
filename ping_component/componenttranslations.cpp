// The component's texts in the user's language, installed by its library
// itself when the application starts.
#include "translations.h"

TARVIX_TRANSLATIONS_AT_STARTUP(tarvix_ping_component)
