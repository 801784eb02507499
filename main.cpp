#include "toolkit/appicon.h"
#include "toolkit/qttoolkit.h"
#include "window/mainwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("veskfrontend"));
    // No display name: the platform would append it to every window title,
    // and each message box's title must read exactly as given.
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
