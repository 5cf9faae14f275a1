// A form that holds the installed Tarvix::PingWidget, compiled by uic from
// pingform.ui as Designer writes it: the form's settings reach the widget and
// its Pinger, and a property set by name does too. Shows the form (run it
// with QT_QPA_PLATFORM=offscreen) and exits 0 when all holds, 1 saying what
// did not.
#include "ui_pingform.h"

#include <tarvix/pinger.h>
#include <tarvix/pingwidget.h>

#include <QApplication>
#include <QTextStream>

namespace {

int fail(const QString &why)
{
    QTextStream(stderr) << "FAIL: " << why << Qt::endl;
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget form;
    Ui::PingForm ui;
    ui.setupUi(&form);
    form.show();
    QCoreApplication::processEvents();

    Tarvix::PingWidget *ping = ui.ping;
    if (!ping->isVisible() || ping->parentWidget() != &form)
        return fail(QStringLiteral("the widget is not shown on the form"));
    if (!ping->pinger())
        return fail(QStringLiteral("the widget has no Pinger"));
    if (ping->count() != 7 || ping->timeout() != 250 || ping->pinger()->count() != 7
        || ping->pinger()->timeout() != 250)
        return fail(QStringLiteral("the form sets count 7, timeout 250; the widget has %1, %2, its Pinger %3, %4")
                        .arg(ping->count())
                        .arg(ping->timeout())
                        .arg(ping->pinger()->count())
                        .arg(ping->pinger()->timeout()));
    // As Designer's property editor and QUiLoader set it: by name.
    if (!ping->setProperty("interval", 200) || ping->interval() != 200 || ping->pinger()->interval() != 200)
        return fail(QStringLiteral("interval set to 200 by name reads %1").arg(ping->pinger()->interval()));
    if (ping->isActive())
        return fail(QStringLiteral("active without a ping"));
    QTextStream(stdout) << "a form with " << ping->metaObject()->className() << " \"" << ping->objectName()
                        << "\" shown, count " << ping->count() << ", timeout " << ping->timeout() << ", interval "
                        << ping->interval() << Qt::endl;
    return 0;
}
