#include "programidentity.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

namespace ProgramIdentity {

QIcon installedIcon(const QString &desktopId, const QString &binDir)
{
    // The sizes the installation puts there; a file is read only when a
    // window needs that size.
    static constexpr int sizes[] = {16, 32, 48, 64, 128, 256};
    const QDir icons(QDir(binDir).filePath(QStringLiteral(TARVIX_DATA_FROM_BINDIR "/icons/hicolor")));
    QIcon icon;
    for (const int size : sizes) {
        const QString file =
            icons.filePath(QStringLiteral("%1x%1/apps/%2.png").arg(size).arg(desktopId));
        if (QFileInfo(file).isFile())
            icon.addFile(file, QSize(size, size));
    }
    return icon;
}

void apply(const QString &desktopId)
{
    QGuiApplication::setDesktopFileName(desktopId);
    QIcon icon = installedIcon(desktopId, QCoreApplication::applicationDirPath());
    if (icon.isNull())
        icon = QIcon::fromTheme(desktopId);
    if (!icon.isNull())
        QApplication::setWindowIcon(icon);
}

} // namespace ProgramIdentity
