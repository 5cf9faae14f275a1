// TarvixS's own Form1 and component, for the README's picture of a long run:
// as the program, but its component pings until stopped instead of the three
// requests its saved state asks for. tests/support/picturetool.cpp runs it.
#include "form1.h"
#include <tarvix/tarvixctlfactory.h>

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);

    ComponentRegistry components;
    components.add(QString::fromLatin1(Tarvix::TarvixCtlClassName), Tarvix::tarvixCtlFactory());

    Form1 form1(components);
    form1.form().pingControl(QStringLiteral("TarvixCtl1")).setContinuous(1);
    form1.show();
    return app.exec();
}
