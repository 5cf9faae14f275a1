#include "programidentity.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

namespace ProgramIdentity {

QIcon installedIcon(const QString &desktopId, const QString &binDir)
{
    // Whatever sizes the installation put there (NxN folders); a file is
    // read only when a window needs that size.
    const QDir icons(QDir(binDir).filePath(QStringLiteral(TARVIX_DATA_FROM_BINDIR "/icons/hicolor")));
    QIcon icon;
    for (const QString &folder : icons.entryList({QStringLiteral("*x*")}, QDir::Dirs)) {
        bool ok = false;
        const int size = folder.section(u'x', 0, 0).toInt(&ok);
        const QString file = icons.filePath(folder + QStringLiteral("/apps/") + desktopId + QStringLiteral(".png"));
        if (ok && folder == QStringLiteral("%1x%1").arg(size) && QFileInfo(file).isFile())
            icon.addFile(file, QSize(size, size));
    }
    return icon;
}

void applyIcon(const QString &desktopId)
{
    QIcon icon = installedIcon(desktopId, QCoreApplication::applicationDirPath());
    if (icon.isNull())
        icon = QIcon::fromTheme(desktopId);
    if (!icon.isNull())
        QApplication::setWindowIcon(icon);
}

void apply(const QString &desktopId)
{
    QGuiApplication::setDesktopFileName(desktopId);
    // The icon waits for the event loop, which the program enters once its
    // form is shown: looking it up (the icon theme, when none is installed
    // beside the program) and reading every size of it, which the window's
    // _NET_WM_ICON carries, took some 9 ms before the window could be mapped.
    // A shown window takes the new icon at once.
    QTimer::singleShot(0, qApp, [desktopId] { applyIcon(desktopId); });
}

} // namespace ProgramIdentity
