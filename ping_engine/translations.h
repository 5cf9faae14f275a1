#pragma once

#include <QCoreApplication>
#include <QString>
#include <tarvix/tarvixpingexport.h>

// The libraries' texts in the user's language. Each library embeds its
// catalogues under ResourceDir (cmake/TarvixTranslations.cmake) and installs
// its own when an application starts, with TARVIX_TRANSLATIONS_AT_STARTUP:
// a program does nothing for it.
class TARVIX_PING_EXPORT Translations
{
public:
    static constexpr const char *ResourceDir = ":/tarvix/i18n";

    // Installs catalogue's translation for the first of the system locale's
    // UI languages that it has, on the running application (from its
    // thread), parented to it; once per catalogue and application. True
    // when one is installed; false without an application, or when the
    // user puts English (the texts' own language) before any language it
    // has.
    static bool install(const QString &catalogue);
};

// Installs this catalogue when the application is made; in a library loaded
// while one runs, as soon as the library is loaded. At namespace scope, in
// one source of the library that ships the catalogue.
#define TARVIX_TRANSLATIONS_AT_STARTUP(catalogue)                                                                      \
    static void catalogue##_installTranslations() { Translations::install(QStringLiteral(#catalogue)); }               \
    Q_COREAPP_STARTUP_FUNCTION(catalogue##_installTranslations)
