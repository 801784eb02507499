#pragma once

#include "base/result.h"
#include "store/diskstamp.h"
#include "store/fileaccess.h"
#include "store/safesave.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace vesk
{

// A configuration file as it was read: its bytes, its stamp, and whether a
// rewrite of it was cut short.
struct StoredFile {
    QByteArray bytes;
    DiskStamp stamp;
    // The file may be incomplete, and its backup holds the version before
    // the save that was cut short; the next save keeps that backup.
    bool torn = false;
    uint owner = 0; // whose it is, and its permission bits
    uint mode = 0;
};

// Told while a store waits (for another machine, say) how long it has
// waited so far; answers false to give up waiting.
using Waiter = std::function<bool(qint64 waitedMs)>;

// Where the bytes of one configuration file live, and how they are read
// and saved. The document above it knows nothing of disks, folders or
// machines; the grammar below it nothing of bytes on a disk.
class ConfigStore
{
public:
    virtual ~ConfigStore() = default;

    // Where the file is, and its backup, as the user names them.
    virtual QString where() const = 0;
    virtual QString backupWhere() const = 0;
    // The file's bytes and stamp, once what an earlier save cut short is
    // cleared away.
    virtual Result<StoredFile> read() = 0;
    // The bytes of its backup.
    virtual Result<QByteArray> readBackup() = 0;
    // What is there now, for a file that could not be read: what a save
    // would overwrite without asking.
    virtual DiskStamp stampNow() = 0;
    // Saves bytes, keeping the file that was there as the backup, if the
    // file is still the one `expected` describes (without it, whatever is
    // there); the outcome says what is on the disk afterwards. Without
    // rotateBackup the backup stays as it is.
    virtual SaveOutcome write(const QByteArray &bytes, const std::optional<DiskStamp> &expected,
                              bool rotateBackup = true) = 0;
    // Keeps every other copy of the editor from saving the file until the
    // lock goes: for a change that reads, edits and saves with nobody to ask.
    virtual Result<FolderLock> hold() = 0;
};

} // namespace vesk
