// Read, write, window load and window save of generated configurations of
// 1,000 to 1,000,000 lines. Run through the `bench` target, or:
//
//   build/bench/vesk_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// Times are wall-clock; the window runs offscreen.

#include "bench/benchtoolkit.h"
#include "bench/configgen.h"
#include "config/configwriter.h"
#include "store/fileaccess.h"
#include "store/safesave.h"
#include "window/mainwindow.h"
#include "window/tabcontrol.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <map>
#include <memory>

using namespace vesk;

namespace
{

QTemporaryDir &scratch()
{
    static QTemporaryDir dir;
    return dir;
}

// One folder per size, holding the generated vesk.cfg and a location file
// that names it. Built once.
QString folderFor(qsizetype lines)
{
    static std::map<qsizetype, QString> made;
    if (auto it = made.find(lines); it != made.end())
        return it->second;
    const QString folder = scratch().filePath(QString::number(lines));
    QDir().mkpath(folder);
    const QString cfg = folder + QStringLiteral("/vesk.cfg");
    QFile f(cfg);
    const QByteArray bytes = gen::configLines(lines);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(cfg));
    f.close();
    QFile ini(folder + QStringLiteral("/veskfrontend.ini"));
    if (!ini.open(QIODevice::WriteOnly) || ini.write("Path=" + cfg.toUtf8() + "\r\n") < 0)
        qFatal("cannot write the location file");
    made.emplace(lines, folder);
    return folder;
}

QString cfgFor(qsizetype lines)
{
    return folderFor(lines) + QStringLiteral("/vesk.cfg");
}

void setSizeCounters(benchmark::State &state)
{
    state.counters["lines"] = double(state.range(0));
    state.counters["MB"] = double(QFileInfo(cfgFor(state.range(0))).size()) / 1e6;
}

// ---- the file alone ----------------------------------------------------

void readFile(benchmark::State &state)
{
    const QString cfg = cfgFor(state.range(0));
    DiskFileAccess disk;
    for (auto _ : state) {
        ReadResult r = disk.read(cfg, kMaxConfigBytes);
        ConfigData d = parseConfigBytes(r->bytes);
        benchmark::DoNotOptimize(d);
    }
    setSizeCounters(state);
}

void writeFile(benchmark::State &state)
{
    DiskFileAccess disk;
    const ConfigContent content =
        contentAfterRead(parseConfigBytes(disk.read(cfgFor(state.range(0)), kMaxConfigBytes)->bytes));
    const QString out = scratch().filePath(QStringLiteral("write-%1.cfg").arg(state.range(0)));
    for (auto _ : state) {
        const Result<QByteArray> r = composeConfig(content);
        const SaveOutcome o = saveWithBackup(disk, out, backupPathFor(out), *r, kMaxConfigBytes);
        if (!o.ok())
            state.SkipWithError(qPrintable(o.reason()));
    }
    setSizeCounters(state);
}

// ---- the real window ---------------------------------------------------

void windowLoad(benchmark::State &state)
{
    const QString folder = folderFor(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        bench::BenchToolkit tk(folder);
        auto w = std::make_unique<MainWindow>(tk);
        w->show();
        QApplication::processEvents();
        state.ResumeTiming();

        w->load();
        QApplication::processEvents(); // what the load left for the screen

        state.PauseTiming();
        if (tk.errors())
            state.SkipWithError("the window reported an error");
        w.reset();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    setSizeCounters(state);
}

// The Raw tab shows its text when it first comes to the front: in the text
// box under 10,000 lines, in the read-only view from there on.
void windowRawTab(benchmark::State &state)
{
    const QString folder = folderFor(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        bench::BenchToolkit tk(folder);
        auto w = std::make_unique<MainWindow>(tk);
        w->show();
        w->load();
        QApplication::processEvents();
        state.ResumeTiming();

        w->tabs()->setCurrentIndex(7);
        QApplication::processEvents();

        state.PauseTiming();
        w.reset();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    setSizeCounters(state);
}

void windowSave(benchmark::State &state)
{
    // A copy, so the generated file stays as it is for the other benchmarks.
    const QString from = folderFor(state.range(0));
    QTemporaryDir dir;
    QFile::copy(from + QStringLiteral("/vesk.cfg"), dir.filePath(QStringLiteral("vesk.cfg")));
    QFile ini(dir.filePath(QStringLiteral("veskfrontend.ini")));
    if (!ini.open(QIODevice::WriteOnly)
        || ini.write("Path=" + dir.filePath(QStringLiteral("vesk.cfg")).toUtf8() + "\r\n") < 0)
        state.SkipWithError("cannot write the location file");
    ini.close();

    bench::BenchToolkit tk(dir.path());
    MainWindow w(tk);
    w.show();
    w.load();
    QApplication::processEvents();
    for (auto _ : state) {
        if (!w.save())
            state.SkipWithError("the save failed");
    }
    if (tk.errors())
        state.SkipWithError("the window reported an error");
    setSizeCounters(state);
}

void sizes(benchmark::internal::Benchmark *b)
{
    b->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
}

} // namespace

BENCHMARK(readFile)->Apply(sizes);
BENCHMARK(writeFile)->Apply(sizes);
BENCHMARK(windowLoad)->Apply(sizes);
BENCHMARK(windowSave)->Apply(sizes);
BENCHMARK(windowRawTab)->Apply(sizes);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "qt.qpa.*=false");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
