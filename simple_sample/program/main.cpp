#include "form1.h"
#include "programidentity.h"
#include <tarvix/tarvixctlfactory.h>

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ProgramIdentity::apply(QStringLiteral("org.tarvix.TarvixS"));

    ComponentRegistry components;
    components.add(QString::fromLatin1(Tarvix::TarvixCtlClassName), Tarvix::tarvixCtlFactory());

    Form1 form1(components);
    form1.show();
    return app.exec();
}
