#include "translations.h"

#include <QLocale>
#include <QThread>
#include <QTranslator>

#include <memory>

bool Translations::install(const QString &catalogue)
{
    QCoreApplication *application = QCoreApplication::instance();
    if (!application)
        return false;
    if (QThread::currentThread() != application->thread()) {
        // Loaded on another thread (Qt Quick loads a QML module's plugin, and
        // the libraries it needs, on its type loader's): installed on the
        // application's, at its next turn.
        QMetaObject::invokeMethod(application, [catalogue] { install(catalogue); }, Qt::QueuedConnection);
        return false;
    }
    // A static library in two shared ones of ours asks for its catalogue twice.
    const QString name = QStringLiteral("tarvix.i18n.") + catalogue;
    if (application->findChild<QTranslator *>(name, Qt::FindDirectChildrenOnly))
        return true;
    // Only the embedded catalogues are tried, so nothing touches the disk.
    const QString directory = QString::fromLatin1(ResourceDir);
    for (const QString &language : QLocale::system().uiLanguages()) {
        const QLocale locale(language);
        // A user who puts English before German reads the texts as written.
        if (locale.language() == QLocale::English)
            return false;
        // "C", and what Qt puts after a language it does not know.
        if (locale.language() == QLocale::C)
            continue;
        auto translator = std::make_unique<QTranslator>(application);
        if (translator->load(locale, catalogue, QStringLiteral("_"), directory)) {
            translator->setObjectName(name);
            QCoreApplication::installTranslator(translator.release());
            return true;
        }
    }
    return false;
}

TARVIX_TRANSLATIONS_AT_STARTUP(tarvix_ping)
