#include "config/safesave.h"

#include "toolkit/fileaccess.h"

using namespace Qt::StringLiterals;

namespace vesk {

SaveOutcome saveWithBackup(FileAccess &files, const QString &path, const QString &backupPath,
                           const QByteArray &data, qint64 maxBackupBytes)
{
    SaveOutcome out;
    auto fail = [&](const QString &reason) {
        out.reason = reason.isEmpty() ? u"unknown error"_s : reason;
        return out;
    };

    const FileStatus target = files.status(path);
    if (!target.error.isEmpty())
        return fail(target.error);
    if (target.exists && !target.regular)
        return fail(u"not a regular file"_s);

    // 1. The new contents, complete and flushed under a temporary name.
    QString why;
    auto newFile = files.saveFile(path);
    if (!stage(*newFile, data, &why))
        return fail(why);

    if (!target.exists) {
        // A first save: there is nothing to back up, and an older backup
        // stays as it is.
        if (!newFile->commit())
            return fail(newFile->errorString());
        out.ok = true;
        return out;
    }

    // 2. A complete copy of the file now on disk, staged as the coming
    //    backup, with the file's permissions: a private file stays private.
    const ReadResult current = files.read(path, maxBackupBytes);
    if (!current.ok) {
        newFile->cancel();
        return fail(current.error);
    }
    auto backup = files.saveFile(backupPath);
    if (!stage(*backup, current.data, &why, target.permissions)) {
        newFile->cancel();
        return fail(why);
    }

    // 3. The older backup is put aside, so that it can come back if the
    //    last step fails.
    const QString keep = backupPath + u".keep"_s;
    const FileStatus oldBackup = files.status(backupPath);
    if (!oldBackup.error.isEmpty()) {
        backup->cancel();
        newFile->cancel();
        return fail(oldBackup.error);
    }
    const bool hadBackup = oldBackup.exists;
    if (hadBackup && !files.rename(backupPath, keep, &why)) {
        backup->cancel();
        newFile->cancel();
        return fail(why);
    }
    auto bringBackOldBackup = [&] {
        if (hadBackup)
            files.rename(keep, backupPath, nullptr);
    };
    if (!backup->commit()) {
        why = backup->errorString();
        bringBackOldBackup();
        newFile->cancel();
        return fail(why);
    }

    // 4. The new file takes the target's name in one step.
    if (!newFile->commit()) {
        why = newFile->errorString();
        if (hadBackup)
            bringBackOldBackup(); // replaces the copy just committed
        else
            files.remove(backupPath, nullptr);
        return fail(why);
    }
    if (hadBackup)
        files.remove(keep, nullptr); // a leftover is harmless; the save is done
    out.ok = true;
    return out;
}

} // namespace vesk
