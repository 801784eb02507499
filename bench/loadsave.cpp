// One load and one save of a generated configuration in the real window,
// offscreen, in a fresh process: prints the times and the peak memory.
//
//   vesk_loadsave LINES [--raw]
//
// --raw also brings the Raw tab (the misc text) to the front and paints it.

#include "bench/benchtoolkit.h"
#include "bench/configgen.h"
#include "window/mainwindow.h"
#include "window/tabcontrol.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>

using namespace vesk;

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s LINES [--raw]\n", argv[0]);
        return 2;
    }
    const qsizetype lines = QByteArray(argv[1]).toLongLong();
    const bool raw = argc > 2 && QByteArray(argv[2]) == "--raw";

    QTemporaryDir dir;
    const QString cfg = dir.filePath(QStringLiteral("vesk.cfg"));
    qint64 fileSize = 0;
    {
        const QByteArray bytes = gen::configLines(lines);
        fileSize = bytes.size();
        QFile f(cfg);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return 1;
        QFile ini(dir.filePath(QStringLiteral("veskfrontend.ini")));
        if (!ini.open(QIODevice::WriteOnly) || ini.write("Path=" + cfg.toUtf8() + "\r\n") < 0)
            return 1;
    }

    bench::BenchToolkit tk(dir.path());
    MainWindow w(tk);
    w.show();
    QApplication::processEvents();

    QElapsedTimer t;
    t.start();
    w.load();
    QApplication::processEvents();
    const double loadMs = t.nsecsElapsed() / 1e6;
    double rawMs = 0;
    if (raw) {
        t.restart();
        w.tabs()->setCurrentIndex(7);
        QApplication::processEvents();
        rawMs = t.nsecsElapsed() / 1e6;
    }
    t.restart();
    const bool saved = w.save();
    const double saveMs = t.nsecsElapsed() / 1e6;

    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    // The goal: under four times the file plus 60 MB.
    const double peakMb = ru.ru_maxrss / 1024.0;
    const double goalMb = 4.0 * double(fileSize) / (1024 * 1024) + 60;
    std::printf("lines %lld  file %.1f MB  load %.1f ms  raw tab %.1f ms  save %.1f ms  peak %.1f MB  goal < "
                "%.1f MB%s\n",
                qlonglong(lines), double(fileSize) / (1024 * 1024), loadMs, rawMs, saveMs, peakMb, goalMb,
                saved && tk.errors() == 0 ? "" : "  (FAILED)");
    return saved && tk.errors() == 0 ? 0 : 1;
}
