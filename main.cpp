#include "document/configplace.h"
#include "toolkit/appicon.h"
#include "toolkit/qttoolkit.h"
#include "window/mainwindow.h"
#include "window/tabcontrol.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace
{

// The file named on the command line, if any. Parsed before the window
// system is touched, so --help and --version work without a display.
QString fileArgument(int &argc, char **argv)
{
    const QCoreApplication parsing(argc, argv);
    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral(
        "Edits the configuration file of a vesk BitTorrent tracker.\n"
        "veskfrontend is free software under the GNU General Public License, version 3 or later."));
    options.addHelpOption();
    options.addVersionOption();
    const QCommandLineOption as(QStringLiteral("as"),
                                QStringLiteral("Act as this account where the file is, through sudo (the "
                                               "account that owns the file, say)."),
                                QStringLiteral("account"));
    options.addOption(as);
    options.addPositionalArgument(QStringLiteral("file"),
                                  QStringLiteral("The cfg file to open for this run, instead of the one the "
                                                 "location file names (which stays as it is): a path, "
                                                 "[user@]host:path or ssh://[user@]host[:port]/path."),
                                  QStringLiteral("[file]"));
    options.process(parsing);
    const QStringList files = options.positionalArguments();
    if (files.size() > 1 || (options.isSet(as) && files.isEmpty()))
        options.showHelp(2);
    if (files.isEmpty())
        return {};
    // A path here is relative to where the command was given, as a shell
    // user means it; one on another machine is as the user wrote it. A place
    // that names no file goes as it is, for the window to say so.
    const auto place = vesk::parsePlace(files.first(), [](const QString &p) { return QFileInfo::exists(p); });
    if (!place)
        return files.first();
    vesk::ConfigPlace p = *place;
    if (p.local())
        p.path = QFileInfo(p.path).absoluteFilePath();
    if (options.isSet(as) && p.account.isEmpty())
        p.account = options.value(as);
    return p.text();
}

// VESK_EXIT_AFTER_PAINT=1 (bench/fresh-process.sh): once the window has
// painted, say so and end at once, so a start-up can be timed from outside.
// VESK_EXIT_AFTER_PAINT=raw: once it has painted, bring the Raw tab to the
// front as a click on it would, and end when that has painted, saying how
// long it took.
class ExitAfterPaint : public QObject
{
public:
    explicit ExitAfterPaint(vesk::MainWindow &window) : m_window(window) {}
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::Paint || m_waiting)
            return false;
        m_waiting = true;
        QTimer::singleShot(0, this, [this] {
            if (qgetenv("VESK_EXIT_AFTER_PAINT") == "raw" && !m_clock.isValid()) {
                m_clock.start();
                m_window.tabs()->setCurrentIndex(int(vesk::Page::Raw));
                m_waiting = false;
                return;
            }
            if (m_clock.isValid())
                std::printf("raw tab painted after %.1f ms\n", double(m_clock.nsecsElapsed()) / 1e6);
            std::fputs("painted\n", stdout);
            std::fflush(stdout);
            std::_Exit(0);
        });
        return false;
    }

private:
    vesk::MainWindow &m_window;
    QElapsedTimer m_clock;
    bool m_waiting = false;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("veskfrontend"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VESK_VERSION));
    const QString file = fileArgument(argc, argv);

    QApplication app(argc, argv);
    // No display name: the platform would append it to every window title,
    // and each message box's title must read exactly as given.
    // Ties the windows to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("veskfrontend"));
    // Closing the window runs the Quit command, which decides when to end.
    QApplication::setQuitOnLastWindowClosed(false);

    vesk::QtToolkit toolkit;
    vesk::MainWindow window(toolkit);
    vesk::setApplicationIconAfterFirstPaint(&window);
    // Installed last, so it sees the paint first: the end comes before the icon.
    ExitAfterPaint exitAfterPaint(window);
    if (qEnvironmentVariableIsSet("VESK_EXIT_AFTER_PAINT"))
        QApplication::instance()->installEventFilter(&exitAfterPaint);
    window.load(file);
    window.show();
    return QApplication::exec();
}
