#include "toolkit/appicon.h"
#include "toolkit/qttoolkit.h"
#include "window/mainwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("veskfrontend"));
    QApplication::setApplicationDisplayName(QStringLiteral("VESK Front End"));
    // Ties the windows to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("veskfrontend"));
    QApplication::setWindowIcon(vesk::applicationIcon());
    // Closing the window runs the Quit command, which decides when to end.
    QApplication::setQuitOnLastWindowClosed(false);

    vesk::QtToolkit toolkit;
    vesk::MainWindow window(toolkit);
    window.load();
    window.show();
    return QApplication::exec();
}
