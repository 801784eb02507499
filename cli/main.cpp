#include "cli/commands.h"
#include "config/textcodec.h"
#include "document/appfolder.h"
#include "store/fileaccess.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char *argv[])
{
    // An argument is text: bytes that are not UTF-8 would reach the file as
    // replacement characters.
    for (int i = 1; i < argc; ++i) {
        if (!vesk::isValidUtf8(QByteArrayView(argv[i]))) {
            std::fprintf(stderr,
                         "veskcfg: argument %d is not valid UTF-8; give values in UTF-8, and the file "
                         "keeps its own encoding\n",
                         i);
            return vesk::cli::kUsage;
        }
    }
    QCoreApplication app(argc, argv);
    // The editor's name: its per-user folder, and so its location file, is
    // found under it.
    QCoreApplication::setApplicationName(QStringLiteral("veskfrontend"));
    vesk::DiskFileAccess files;
    const vesk::cli::Environment env{files,
                                     [] { return vesk::chooseDataFolders(vesk::runningFolderFacts()).read; }};
    QTextStream out(stdout);
    QTextStream err(stderr);
    return vesk::cli::run(QCoreApplication::arguments(), env, out, err);
}
