#include "document/appfolder.h"

#include "config/locationfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

#ifndef VESK_INSTALL_BINDIR
#error "VESK_INSTALL_BINDIR must name the bin folder of the install prefix"
#endif

namespace vesk
{
namespace
{

QString resolved(const QString &folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(folder) : canonical;
}

} // namespace

bool sameFolder(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    return resolved(a) == resolved(b);
}

bool folderWritable(const QString &folder)
{
    // access() asks the kernel, so read-only mounts and ACLs count too.
    return !folder.isEmpty() && ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

DataFolders chooseDataFolders(const FolderFacts &facts)
{
    const QString program = QDir::cleanPath(facts.programFolder);
    const auto canWrite = facts.canWrite ? facts.canWrite : folderWritable;
    const bool writable = canWrite(facts.programFolder);
    const QString iniName = QString::fromLatin1(kLocationFileName);
    const bool besideExists = QFileInfo::exists(program + u'/' + iniName);
    if (besideExists && writable)
        return {program, program};
    const bool installed = sameFolder(facts.programFolder, facts.installedBinFolder);
    // Without a per-user folder (no home at all) the program folder is the
    // only place left; its write then fails with the usual message.
    if ((!besideExists && !installed && writable) || facts.perUserFolder.isEmpty())
        return {program, program};
    const QString perUser = QDir::cleanPath(facts.perUserFolder);
    // A folder that cannot be made shows up as a failed write of the
    // location file, with its message; nothing to report here.
    QDir().mkpath(perUser);
    if (besideExists && !QFileInfo::exists(perUser + u'/' + iniName))
        return {program, perUser};
    return {perUser, perUser};
}

FolderFacts runningFolderFacts()
{
    FolderFacts f;
    f.programFolder = QDir::cleanPath(QCoreApplication::applicationDirPath());
    f.installedBinFolder = QString::fromUtf8(VESK_INSTALL_BINDIR);
    f.perUserFolder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    f.canWrite = folderWritable;
    return f;
}

} // namespace vesk
