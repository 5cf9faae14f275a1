// TarvixS's own Form1 and component, for the README's picture of a long run:
// as the program, but its component pings until stopped instead of the three
// requests its saved state asks for. tests/support/picturetool.cpp runs it.
// With TARVIX_PICTURE_PALETTE=dark it shows the window in a dark palette, as
// a dark desktop gives one.
#include "form1.h"
#include <tarvix/tarvixctlfactory.h>

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (qEnvironmentVariable("TARVIX_PICTURE_PALETTE") == QLatin1String("dark")) {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QPalette dark;
        dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
        dark.setColor(QPalette::WindowText, QColor(0xe6, 0xe6, 0xe6));
        dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
        dark.setColor(QPalette::AlternateBase, QColor(0x35, 0x35, 0x35));
        dark.setColor(QPalette::Text, QColor(0xe6, 0xe6, 0xe6));
        dark.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
        dark.setColor(QPalette::ButtonText, QColor(0xe6, 0xe6, 0xe6));
        dark.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
        dark.setColor(QPalette::HighlightedText, Qt::white);
        QApplication::setPalette(dark);
    }

    ComponentRegistry components;
    components.add(QString::fromLatin1(Tarvix::TarvixCtlClassName), Tarvix::tarvixCtlFactory());

    Form1 form1(components);
    form1.form().pingControl(QStringLiteral("TarvixCtl1")).setContinuous(1);
    form1.show();
    return app.exec();
}
