#pragma once

#include <QString>

#include <functional>

namespace vesk
{

// What decides where the editor keeps its location file and default
// configuration. The running program fills it in with runningFolderFacts();
// tests describe any situation they need.
struct FolderFacts {
    QString programFolder;      // the folder that holds the executable
    QString installedBinFolder; // the bin folder of the prefix this build installs to
    QString perUserFolder;      // the user's own configuration folder for the editor
    std::function<bool(const QString &folder)> canWrite; // may files be created in folder?
};

// Where the location file is read from and where it is written to.
struct DataFolders {
    QString read;
    QString write;
    friend bool operator==(const DataFolders &, const DataFolders &) = default;
};

// A location file beside the executable is read whenever it exists (an
// admin may have put it there for everyone), unless the folder cannot be
// written and the user already has a location file of their own: then the
// user's, which records their own choice, wins. A location file beside a
// folder that cannot be written is replaced by the user's own.
// With no location file beside it, a copy run from the folder it was
// installed to, or from a folder it may not write, keeps its files in the
// per-user folder (created when missing); any other copy is portable and
// keeps them beside itself. A per-user folder that cannot be made still
// gets chosen: writing there then fails with a message, which beats a
// location file that silently never exists.
DataFolders chooseDataFolders(const FolderFacts &facts);

// True when both name the same folder, after following links.
bool sameFolder(const QString &a, const QString &b);

// Whether this process may create files in folder.
bool folderWritable(const QString &folder);

// The facts of the running program; needs a QCoreApplication.
FolderFacts runningFolderFacts();

} // namespace vesk
