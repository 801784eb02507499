#include "cli/commands.h"
#include "config/appfolder.h"
#include "config/fileaccess.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char *argv[])
{
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
