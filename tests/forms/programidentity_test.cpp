// A program's window icon comes from the icons installed under its own
// prefix, in each size there, and it names its desktop entry.
#include "programidentity.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(ProgramIdentity, TheIconIsTheOneInstalledUnderTheProgramsPrefix)
{
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    const QDir root(prefix.path());
    ASSERT_TRUE(root.mkpath(QStringLiteral("bin")));
    for (const int size : {16, 48}) {
        const QString apps = QStringLiteral("share/icons/hicolor/%1x%1/apps").arg(size);
        ASSERT_TRUE(root.mkpath(apps));
        QImage image(size, size, QImage::Format_ARGB32);
        image.fill(Qt::darkGreen);
        ASSERT_TRUE(image.save(root.filePath(apps + QStringLiteral("/org.tarvix.Test.png"))));
    }
    const QString bin = root.filePath(QStringLiteral("bin"));

    const QIcon icon = ProgramIdentity::installedIcon(QStringLiteral("org.tarvix.Test"), bin);
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.availableSizes(), QList<QSize>({QSize(16, 16), QSize(48, 48)}));
    EXPECT_EQ(icon.pixmap(48, 48).toImage().pixelColor(24, 24), QColor(Qt::darkGreen));
    // Another program's id, or another prefix, has none.
    EXPECT_TRUE(ProgramIdentity::installedIcon(QStringLiteral("org.tarvix.Other"), bin).isNull());
    EXPECT_TRUE(ProgramIdentity::installedIcon(QStringLiteral("org.tarvix.Test"), QDir::tempPath()).isNull());

    ProgramIdentity::apply(QStringLiteral("org.tarvix.Test"));
    EXPECT_EQ(QGuiApplication::desktopFileName(), QStringLiteral("org.tarvix.Test"));
}
