// The baseline of the start-up benchmark: the least a Qt Widgets program can
// show, one label in a window of its own, titled as any program's window is.
#include <QApplication>
#include <QLabel>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("Tarvix"));
    label.setWindowTitle(QStringLiteral("Bare Qt window"));
    label.show();
    return app.exec();
}
