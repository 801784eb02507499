#pragma once

#include <QByteArray>
#include <QString>

namespace vesk {

class FileAccess;

struct SaveOutcome {
    bool ok = false;
    QString reason; // the system's reason when !ok
};

// Writes data to path and keeps the file that was there as the backup at
// backupPath. The target name always holds a complete file, old or new; on
// any failure the target and the backup are left as they were.
SaveOutcome saveWithBackup(FileAccess &files, const QString &path, const QString &backupPath,
                           const QByteArray &data, qint64 maxBackupBytes);

} // namespace vesk
