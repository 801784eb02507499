#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFileDevice>
#include <QString>

#include "config/result.h"

#include <memory>

namespace vesk
{

struct FileStatus {
    // Set when the system could not tell whether the file exists (a folder
    // that cannot be searched, an I/O error); the other fields are then unset.
    QString error;
    bool exists = false;  // the name leads to something, after following links
    bool regular = false; // a regular file, after following links
    bool directory = false;
    bool symlink = false; // the name itself is a symbolic link, maybe dangling
    // Where a write to the name lands: the name itself, or for a symbolic
    // link the name it finally leads to (which need not exist yet).
    QString resolved;
    qint64 size = 0;
    QFileDevice::Permissions permissions;
    // Last change of the content, and of the content or the inode, in
    // nanoseconds since the epoch.
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    // Who the file is, and whose: kept by a save.
    quint64 device = 0;
    quint64 inode = 0;
    quint64 links = 0;
    uint owner = 0;
    uint group = 0;
    uint mode = 0; // permission bits, 07777
};

// A whole file's bytes, or why they could not be read.
using ReadResult = Result<QByteArray>;

// A file being written. Made by FileAccess::saveFile(), its bytes go to a
// new file with an unpredictable name in the target's folder, which takes
// the target's name on commit(): the name always holds a complete file. Made
// by FileAccess::rewriteFile(), it writes into the existing file itself,
// which keeps its identity (hard links, owner) but not its old bytes.
// A temporary that is never committed is removed when the object goes.
class SaveFile
{
public:
    virtual ~SaveFile() = default;
    // A temporary is created exclusively, never through a link, with mode
    // (less the umask). An existing file is opened without following a link
    // and must still be the file asked for.
    virtual FileResult open(uint mode) = 0;
    // Instead of open(): the temporary is a second name of the existing file
    // at `existing` (a link there is not followed), and commit() puts that
    // very file, bytes, owner and all, under the target's name. Nothing is
    // written, so nothing but commit() and cancel() may follow.
    virtual FileResult openAsNameOf(const QString &existing) = 0;
    virtual FileResult setOwner(uint owner, uint group) = 0;
    virtual FileResult setPermissions(uint mode) = 0;
    // Gives the file exactly the extended attributes of the file at
    // `from`, which include its access control list.
    virtual FileResult copyAttributes(const QString &from) = 0;
    // Makes sure size bytes fit before any byte is overwritten; succeeds
    // where the file system cannot tell in advance.
    virtual FileResult reserve(qint64 size) = 0;
    // Writes all of data from the start of the file.
    virtual FileResult write(QByteArrayView data) = 0;
    virtual FileResult truncate(qint64 size) = 0;
    // Puts the data on the disk; its failure is a failed save.
    virtual FileResult flush() = 0;
    // A temporary takes the target's name; nothing for a rewrite.
    virtual FileResult commit() = 0;
    virtual void cancel() = 0;
};

// Every file operation the editor performs goes through here, so tests can
// make any single one of them fail.
class FileAccess
{
public:
    virtual ~FileAccess() = default;
    virtual FileStatus status(const QString &path) = 0;
    // Reads a whole regular file; anything else (a directory, a FIFO, a
    // device) or a file larger than maxBytes is refused without blocking.
    virtual ReadResult read(const QString &path, qint64 maxBytes) = 0;
    virtual std::unique_ptr<SaveFile> saveFile(const QString &path) = 0;
    // The file must still be the one with this device and inode.
    virtual std::unique_ptr<SaveFile> rewriteFile(const QString &path, quint64 device, quint64 inode) = 0;
    virtual FileResult rename(const QString &from, const QString &to) = 0;
    virtual FileResult remove(const QString &path) = 0;
    // A second name for what is at `from` (a link itself is not followed).
    virtual FileResult link(const QString &from, const QString &to) = 0;
    // Puts the folder holding path, and so the names in it, on the disk.
    virtual FileResult syncFolder(const QString &path) = 0;
};

// The real file system.
class DiskFileAccess : public FileAccess
{
public:
    FileStatus status(const QString &path) override;
    ReadResult read(const QString &path, qint64 maxBytes) override;
    std::unique_ptr<SaveFile> saveFile(const QString &path) override;
    std::unique_ptr<SaveFile> rewriteFile(const QString &path, quint64 device, quint64 inode) override;
    FileResult rename(const QString &from, const QString &to) override;
    FileResult remove(const QString &path) override;
    FileResult link(const QString &from, const QString &to) override;
    FileResult syncFolder(const QString &path) override;
};

// Replaces the file at path (or, for a symbolic link, the file it leads to)
// with data through a temporary, keeping the old file's permissions. On
// failure the old file is untouched and no temporary is left.
FileResult replaceFile(FileAccess &files, const QString &path, QByteArrayView data);

} // namespace vesk
