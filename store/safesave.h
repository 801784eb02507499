#pragma once

#include "base/result.h"
#include "store/diskstamp.h"
#include "store/fileaccess.h"
#include "store/leftovers.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace vesk
{

// What a save left on the disk.
enum class SaveState {
    Saved,       // the new file is in place and on the disk
    Untouched,   // the file and its backup are as they were
    Unconfirmed, // the new file is in place, but the disk did not confirm it
    Damaged,     // the file could be neither rewritten nor put back: its backup holds the only copy
    Changed,     // another program changed the file since it was read: nothing was written
    Unknown,     // the connection to the file's machine ended, and what it did could not be found out
};

struct SaveOutcome {
    SaveState state = SaveState::Untouched;
    Failure failure; // why, unless saved
    // The file on the disk as the editor may take it from now on: what it
    // saved, the file as it was (the editor's own steps do not count as a
    // change), or another program's version; nothing when it cannot tell.
    std::optional<DiskStamp> stamp;

    bool ok() const { return state == SaveState::Saved; }
    QString reason() const { return ok() ? QString() : failure.reason; }
};

// Writes data to path and keeps the file that was there as the backup at
// backupPath, under the lock of the file's folder. When `expected` is given,
// the file must still be what it describes, or nothing is written and the
// state is Changed; the check and the replacement both happen under the
// lock, and the replaced file is checked again as it goes. Without
// rotateBackup the backup is left as it is.
// The target name always holds a complete file, old or new, and the backup
// name a complete backup; on any failure the target and the backup are left
// as they were, but where the state says otherwise. The file keeps its
// owner, group, permissions, access list and extended attributes; where a
// new file cannot be given them, or other names link to the file, it is
// rewritten in place, marked so while it is. Running out of memory is a
// failed save like any other.
SaveOutcome saveWithBackup(FileAccess &files, const QString &path, const QString &backupPath,
                           const QByteArray &data, qint64 maxBackupBytes,
                           const std::optional<DiskStamp> &expected = std::nullopt, bool rotateBackup = true);

// Keeps every other copy of the editor from saving path (or reading it
// while clearing leftovers) until the lock goes: for a change that reads
// the file, edits and saves it.
Result<FolderLock> lockForSave(FileAccess &files, const QString &path, int waitMs = kSaveLockWaitMs);

// The backup of a configuration file: "old" before the extension
// ("vesk.cfg" -> "veskold.cfg"), beside the file.
QString backupPathFor(const QString &configPath);

} // namespace vesk
