#include "toolkit/qttoolkit.h"
#include "window/mainwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("veskfrontend"));
    QApplication::setApplicationDisplayName(QStringLiteral("VESK Front End"));
    // Closing the window runs the Quit command, which decides when to end.
    QApplication::setQuitOnLastWindowClosed(false);

    vesk::QtToolkit toolkit;
    vesk::MainWindow window(toolkit);
    window.load();
    window.show();
    return QApplication::exec();
}
