// Opening and saving a file over ssh against the same file on the local
// disk: the first open (with the connection), then saves on the session
// already open. bench/remote.sh starts a loopback sshd and runs this with
// VESK_SSH and VESKCFG set; the places are given on the command line.
//   vesk_remote LOCALFOLDER REMOTEPLACEPREFIX [rounds]

#include "bench/configgen.h"
#include "document/configdocument.h"
#include "store/fileaccess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace vesk;

namespace
{

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Figures {
    double open = 0; // first open, connection included
    double save = 0; // median of the later saves
};

Figures measure(const QString &where, int rounds)
{
    DiskFileAccess files;
    Figures f;
    QElapsedTimer t;
    t.start();
    ConfigDocument doc(files);
    Result<ConfigData> data = doc.open(where);
    f.open = double(t.nsecsElapsed()) / 1e6;
    if (!data) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(where), qPrintable(data.reason()));
        std::exit(1);
    }
    ConfigContent content = contentAfterRead(std::move(*data));
    std::vector<double> saves;
    for (int i = 0; i < rounds; ++i) {
        content.values[size_t(catalogue::slotOf(u"port"))] = QString::number(6000 + i);
        t.restart();
        const SaveOutcome out = doc.save(content);
        saves.push_back(double(t.nsecsElapsed()) / 1e6);
        if (!out.ok()) {
            std::fprintf(stderr, "cannot save %s: %s\n", qPrintable(where), qPrintable(out.reason()));
            std::exit(1);
        }
    }
    f.save = median(saves);
    return f;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: vesk_remote LOCALFOLDER REMOTEPLACEPREFIX [rounds]\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]), remote = QString::fromLocal8Bit(argv[2]);
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 15;
    std::printf("| file | open, local | open, ssh | save, local | save, ssh | save added by ssh |\n"
                "|---|---:|---:|---:|---:|---:|\n");
    for (qsizetype lines : {qsizetype(100), qsizetype(100'000)}) {
        const QString name = QStringLiteral("/remote-%1.cfg").arg(lines);
        QFile f(folder + name);
        if (!f.open(QIODevice::WriteOnly) || f.write(gen::configLines(lines)) < 0)
            return 1;
        f.close();
        const Figures here = measure(folder + name, rounds);
        const Figures there = measure(remote + folder + name, rounds);
        std::printf("| %lld lines | %.1f ms | %.1f ms | %.1f ms | %.1f ms | %+.1f ms |\n", qlonglong(lines),
                    here.open, there.open, here.save, there.save, there.save - here.save);
    }
    return 0;
}
