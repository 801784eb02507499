#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include "base/result.h"

#include <memory>
#include <optional>
#include <utility>

namespace vesk
{

struct FileStatus {
    // Something is there. For a folder's own names a link counts as there
    // (and is not regular); for a whole path, what the link leads to.
    bool exists = false;
    bool regular = false;
    bool directory = false;
    bool symlink = false; // the name itself is a symbolic link, maybe dangling
    qint64 size = 0;
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

    // The same file with the same content as far as the system tells
    // without reading it. The change time is left out: the editor's own
    // second names move it.
    bool sameFileAs(const FileStatus &o) const
    {
        return exists == o.exists
               && (!exists
                   || (device == o.device && inode == o.inode && size == o.size && modifiedNs == o.modifiedNs
                       && regular == o.regular));
    }
};

// A whole file's bytes and its status, both taken through the one
// descriptor it was read by (the status before the bytes, so that a write
// during the read shows as a change).
struct FileContent {
    QByteArray bytes;
    FileStatus status;
};
using ReadResult = Result<FileContent>;

class Folder;

// A file being written. Made by Folder::saveFile(), its bytes go to a new
// file with an unpredictable name in the folder, which takes the target's
// name on commit: the name always holds a complete file. Made by
// Folder::rewriteFile(), it writes into the existing file itself, which
// keeps its identity (hard links, owner) but not its old bytes. A temporary
// that is never committed is removed when the object goes.
class SaveFile
{
public:
    virtual ~SaveFile() = default;
    // A temporary is created exclusively, never through a link, with mode
    // (less the umask). An existing file is opened without following a link
    // and must still be the file it was (same file, size and time).
    virtual FileResult open(uint mode) = 0;
    // Instead of open(): the temporary is a second name of the file `name`
    // in `from` (a link there is not followed), which must still be the
    // file `expected` describes; commit() puts that very file, bytes, owner
    // and all, under the target's name. Nothing but commit() and cancel()
    // may follow.
    virtual FileResult openAsNameOf(Folder &from, const QString &name, const FileStatus &expected) = 0;
    virtual FileResult setOwner(uint owner, uint group) = 0;
    virtual FileResult setPermissions(uint mode) = 0;
    // Gives the file exactly the extended attributes of the regular file
    // `name` in `from`, which include its access control list.
    virtual FileResult copyAttributes(Folder &from, const QString &name) = 0;
    // Makes sure size bytes fit before any byte is overwritten; succeeds
    // where the file system cannot tell in advance.
    virtual FileResult reserve(qint64 size) = 0;
    // Writes all of data from the start of the file.
    virtual FileResult write(QByteArrayView data) = 0;
    virtual FileResult truncate(qint64 size) = 0;
    // Puts the data and the owner, mode and size on the disk; its failure
    // is a failed save.
    virtual FileResult flush() = 0;
    // A temporary takes the target's name, whatever is there; a rewrite is
    // closed. A failing close is reported: it can be a lost write's first word.
    virtual FileResult commit() = 0;
    // A temporary takes the target's name only while the name still holds
    // the file `expected` describes (nothing, when it does not exist): if
    // another program replaced or wrote the file since, that file stays
    // under the name and the failure is Fault::Changed.
    virtual FileResult commitReplacing(const FileStatus &expected) = 0;
    // The file written, as it is after commit.
    virtual FileStatus written() const = 0;
    virtual void cancel() = 0;
};

// A held lock on the saves in one folder, shared by every copy; the lock
// goes with the last copy (and with the process, however it ends).
class FolderLock
{
public:
    FolderLock() = default;
    explicit FolderLock(std::shared_ptr<void> hold) : m_hold(std::move(hold)) {}

private:
    std::shared_ptr<void> m_hold;
};

// One open folder. Every operation names a file in it by a single name, so
// that nothing done to the folder's path meanwhile (a folder renamed, a
// link put in its place) can send it elsewhere.
class Folder
{
public:
    virtual ~Folder() = default;

    // The path the folder was opened by, and a name in it, for messages.
    const QString &path() const { return m_path; }
    QString pathOf(const QString &name) const;
    // Who besides this process's account and root can change which file
    // `entry`, a name in this folder, leads to: an account's name, "the
    // group NAME" or "any account"; empty when nobody else can. A link such
    // a one could change is never followed.
    QString controllerOf(const FileStatus &entry) const;
    // The same for a name not there yet.
    QString controller() const { return controllerOf(FileStatus{}); }

    // What is at name, not following a link there; a name that leads
    // nowhere is a status too (exists is false). Fails only where the
    // system could not tell (a folder that cannot be searched, an I/O error):
    // a save that took that for a missing file would write without keeping
    // a backup.
    virtual Result<FileStatus> status(const QString &name) = 0;
    // Reads a whole regular file. A link, a directory, a FIFO or a device
    // is refused before it is opened, so a read never blocks on or arms
    // anything; so is a file larger than maxBytes.
    virtual ReadResult read(const QString &name, qint64 maxBytes) = 0;
    // The text of the link at name.
    virtual Result<QString> linkTarget(const QString &name) = 0;
    virtual std::unique_ptr<SaveFile> saveFile(const QString &name) = 0;
    // The file at name, which must still be the one `expected` describes.
    virtual std::unique_ptr<SaveFile> rewriteFile(const QString &name, const FileStatus &expected) = 0;
    virtual FileResult rename(const QString &from, const QString &to) = 0;
    virtual FileResult remove(const QString &name) = 0;
    // A second name for what is at `from` (a link itself is not followed).
    virtual FileResult link(const QString &from, const QString &to) = 0;
    // Puts the folder's names on the disk.
    virtual FileResult sync() = 0;
    // The names in the folder.
    virtual Result<QStringList> names() = 0;
    // Waits up to waitMs for every other save in this folder (by any copy
    // of the editor) to finish, and keeps them out while the lock is held.
    // A folder whose file system cannot lock gives an empty lock.
    virtual Result<FolderLock> lock(int waitMs) = 0;
    // A mark that the file at name is being rewritten where it is, left on
    // the disk until cleared, so that a crash part way shows to the next
    // reader; `note` says what the rewrite writes.
    virtual FileResult setRewriteMark(const QString &name, const QByteArray &note) = 0;
    // The note of a mark left for name, or nothing.
    virtual Result<std::optional<QByteArray>> rewriteMark(const QString &name) = 0;
    virtual FileResult clearRewriteMark(const QString &name) = 0;
    // The descriptor the system knows the folder by; -1 where there is none.
    virtual int descriptor() const = 0;

    // The folder's own status.
    const FileStatus &self() const { return m_self; }
    // Who could change the folder itself on the way to it (see controllerOf()).
    const QString &pathControlledBy() const { return m_pathController; }

protected:
    Folder(QString path, FileStatus self, QString pathController)
        : m_path(std::move(path)), m_self(std::move(self)), m_pathController(std::move(pathController))
    {
    }

private:
    QString m_path;
    FileStatus m_self;
    QString m_pathController;
};

// Where a path leads: the folder holding the name as given, and the folder
// and name of the file itself (the same, unless a link was followed).
struct Place {
    std::shared_ptr<Folder> given;
    QString givenName;
    std::shared_ptr<Folder> folder;
    QString name;
    bool viaLink = false;
};

// Every file operation the editor performs goes through here, so tests can
// make any single one of them fail.
class FileAccess
{
public:
    virtual ~FileAccess() = default;
    // Opens the folder at path one name at a time, following a link on the
    // way only where nobody but this account and root could have put it
    // there; a link in a folder another account can change is refused,
    // saying why.
    virtual Result<std::unique_ptr<Folder>> openFolder(const QString &path) = 0;

    // The folder and name path leads to, following a link at the name as
    // openFolder() follows one in a folder. Fails for a path that names a
    // folder (or nothing at all).
    Result<Place> locate(const QString &path);
    // What path leads to (symlink: the name itself is a link); a path that
    // leads nowhere, or through a folder that is not there, is absent.
    Result<FileStatus> status(const QString &path);
    ReadResult read(const QString &path, qint64 maxBytes);
};

// The real file system.
class DiskFileAccess : public FileAccess
{
public:
    Result<std::unique_ptr<Folder>> openFolder(const QString &path) override;
};

// Replaces the file at path (or, for a link of the user's own, the file it
// leads to) with data through a temporary, keeping the old file's
// permissions. On failure the old file is untouched and no temporary is left.
FileResult replaceFile(FileAccess &files, const QString &path, QByteArrayView data);

// The name of a file in its folder, and the folder: "/a/b/c" gives "/a/b"
// and "c"; a name alone lies in ".".
std::pair<QString, QString> splitPath(const QString &path);

} // namespace vesk
