#pragma once

#include "base/result.h"
#include "store/fileaccess.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace vesk
{

// How long a save, or a read that clears a save's leftovers, waits for
// another copy of the editor to finish saving in the same folder.
inline constexpr int kSaveLockWaitMs = 10'000;

// What the leftovers of earlier saves said.
struct Leftovers {
    // A rewrite in place was cut short: the file may be new text followed
    // by the tail of the old. Its backup is the last complete version, and
    // the next save leaves the backup as it is.
    bool torn = false;
};

// Clears what a save cut short (a crash, a power cut) left, under the
// folder's lock: the older backup kept aside as backupPath + ".keep" goes
// back or away, this program's own temporaries go, and a mark of a rewrite
// in place tells whether the file is whole. A save does this first; so does
// a read of the configuration.
Result<Leftovers> recoverLeftovers(FileAccess &files, const QString &path, const QString &backupPath);

// Where a save works: the file (and the folder of the name it was given
// by), and the folder and name of its backup.
struct SavePlace {
    Place place;
    std::shared_ptr<Folder> backups;
    QString backupName;
};
Result<SavePlace> openSavePlace(FileAccess &files, const QString &path, const QString &backupPath);
// The locks of both folders, taken always in the same order, so two saves
// that need both cannot each wait for the other.
Result<FolderLock> lockFolders(Folder &a, Folder &b, int waitMs);
Result<FolderLock> lockSavePlace(const SavePlace &at, int waitMs);
// recoverLeftovers() for a place whose lock is held.
Result<Leftovers> recoverLocked(const SavePlace &at);

// What a rewrite's mark holds of the bytes it writes.
QByteArray fingerprint(QByteArrayView data);

} // namespace vesk
