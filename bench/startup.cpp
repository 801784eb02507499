// Start-up to a shown window: the editor against a bare Qt window.
//
//   vesk_startup [ROUNDS]
//   vesk_startup --child boxes       a bare window with 72 captioned boxes
//   vesk_startup --child plaintext FILE   a Qt plain-text editor showing FILE
//   vesk_startup --generate LINES FILE
//
// Each round starts this same program twice as a child process, once as the
// editor (the steps of main.cpp: application, toolkit, main window, load of
// the location and configuration files, show) and once as a bare window (a
// QMainWindow with a menu, tabs, a few text boxes, a list and buttons). A
// child writes "shown" when its window has painted for the first time, and
// the time from starting the process to that line is taken. Both children
// are one executable, so process start, dynamic linking and Qt's own start
// weigh the same on both sides; the difference is what the editor adds.
// The rounds alternate the two, so drift in the machine's load hits both.

#include "bench/configgen.h"
#include "toolkit/appicon.h"
#include "toolkit/qttoolkit.h"
#include "window/mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace
{

// The real toolkit, with its files in a folder of the benchmark's own.
class FolderToolkit : public vesk::QtToolkit
{
public:
    explicit FolderToolkit(QString folder) : m_folder(std::move(folder)) {}
    QString appFolder() override { return m_folder; }
    QString dataFolder() override { return m_folder; }

private:
    QString m_folder;
};

// Writes "shown" after the window's first paint, then ends the program.
class ShownProbe : public QObject
{
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_done) {
            m_done = true;
            QTimer::singleShot(0, [] {
                std::fputs("shown\n", stdout);
                std::fflush(stdout);
                // No teardown: bench/fresh-process.sh times the process to its end.
                std::_Exit(0);
            });
        }
        return false;
    }

private:
    bool m_done = false;
};

// A bare window of pages of captioned text boxes, a list, a text box and
// two buttons. The small one (3 pages of 4) is the old baseline; 9 pages of
// 8 is the editor's size, 72 captioned boxes.
std::unique_ptr<QWidget> bareWindow(int pages, int rowsPerPage)
{
    auto w = std::make_unique<QMainWindow>();
    w->setWindowTitle(QStringLiteral("Bare"));
    QMenu *file = w->menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&Save"));
    file->addAction(QStringLiteral("&Quit"));
    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    auto *tabs = new QTabWidget;
    for (int t = 0; t < pages; ++t) {
        auto *page = new QWidget;
        auto *rows = new QFormLayout(page);
        for (int r = 0; r < rowsPerPage; ++r)
            rows->addRow(QStringLiteral("Setting %1").arg(t * rowsPerPage + r),
                         new QLineEdit(QStringLiteral("value")));
        tabs->addTab(page, QStringLiteral("Page %1").arg(t));
    }
    auto *list = new QListWidget;
    list->addItems({QStringLiteral("one"), QStringLiteral("two")});
    tabs->addTab(list, QStringLiteral("List"));
    tabs->addTab(new QPlainTextEdit(QStringLiteral("text")), QStringLiteral("Text"));
    layout->addWidget(tabs);
    layout->addWidget(new QLabel(QStringLiteral("Help line")));
    layout->addWidget(new QPushButton(QStringLiteral("Save")));
    layout->addWidget(new QPushButton(QStringLiteral("Quit")));
    w->setCentralWidget(central);
    return w;
}

int child(int argc, char **argv, const QByteArray &mode, const QString &folder)
{
    QApplication app(argc, argv);
    ShownProbe probe;
    if (mode == "plaintext") {
        // What a general text editor built on Qt does with the same file.
        QFile f(folder);
        if (!f.open(QIODevice::ReadOnly))
            return 1;
        QPlainTextEdit edit;
        edit.setLineWrapMode(QPlainTextEdit::NoWrap);
        edit.setPlainText(QString::fromUtf8(f.readAll()));
        edit.resize(800, 600);
        edit.installEventFilter(&probe);
        edit.show();
        return QApplication::exec();
    }
    if (mode != "editor") {
        std::unique_ptr<QWidget> w = mode == "boxes" ? bareWindow(9, 8) : bareWindow(3, 4);
        w->installEventFilter(&probe);
        w->show();
        return QApplication::exec();
    }
    // As main.cpp does.
    QApplication::setApplicationName(QStringLiteral("veskfrontend"));
    QGuiApplication::setDesktopFileName(QStringLiteral("veskfrontend"));
    QApplication::setQuitOnLastWindowClosed(false);
    FolderToolkit toolkit(folder);
    vesk::MainWindow window(toolkit);
    vesk::setApplicationIconAfterFirstPaint(&window);
    app.installEventFilter(&probe); // after the icon's filter, so it sees the paint first
    window.load();
    window.show();
    return QApplication::exec();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    if (argc >= 3 && QByteArray(argv[1]) == "--child")
        return child(argc, argv, QByteArray(argv[2]), argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString());

    if (argc == 4 && QByteArray(argv[1]) == "--generate") {
        QFile out(QString::fromLocal8Bit(argv[3]));
        const QByteArray bytes = vesk::gen::configLines(QByteArray(argv[2]).toLongLong());
        return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size() ? 0 : 1;
    }
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 20;

    // The editor's folder: a location file and the sample configuration.
    QTemporaryDir dir;
    const QString cfg = dir.filePath(QStringLiteral("vesk.cfg"));
    QFile sample(QStringLiteral(VESK_SAMPLE_CFG));
    if (!sample.copy(cfg)) {
        std::fprintf(stderr, "cannot copy %s\n", VESK_SAMPLE_CFG);
        return 1;
    }
    QFile ini(dir.filePath(QStringLiteral("veskfrontend.ini")));
    if (!ini.open(QIODevice::WriteOnly) || ini.write("Path=" + cfg.toUtf8() + "\r\n") < 0)
        return 1;
    ini.close();

    auto once = [&](const char *mode) {
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer t;
        t.start();
        p.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--child"), QString::fromLatin1(mode), dir.path()});
        QByteArray out;
        while (!out.contains("shown") && p.waitForReadyRead(30000))
            out += p.readAllStandardOutput();
        const double ms = t.nsecsElapsed() / 1e6;
        p.waitForFinished(30000);
        if (!out.contains("shown")) {
            std::fprintf(stderr, "the %s window never showed\n", mode);
            std::exit(1);
        }
        return ms;
    };
    once("bare"); // warm the file cache for both
    once("editor");
    std::vector<double> bare, editor;
    for (int i = 0; i < rounds; ++i) {
        bare.push_back(once("bare"));
        editor.push_back(once("editor"));
    }
    const double b = median(bare);
    const double e = median(editor);
    std::printf("start-up to a shown window, median of %d runs each:\n", rounds);
    std::printf("  bare Qt window  %7.1f ms\n  editor          %7.1f ms\n  ratio           %7.2f\n", b, e,
                e / b);
    return 0;
}
