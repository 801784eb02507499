#pragma once

#include <QByteArray>
#include <QString>

#include "config/result.h"

namespace vesk
{

class FileAccess;

// Writes data to path and keeps the file that was there as the backup at
// backupPath. The target name always holds a complete file, old or new, and
// the backup name a complete backup; on any failure the target and the
// backup are left as they were. The file keeps its owner, group,
// permissions, access list and extended attributes; where a new file cannot
// be given them, or other names link to the file, it is rewritten in place.
// Running out of memory is a failed save like any other.
FileResult saveWithBackup(FileAccess &files, const QString &path, const QString &backupPath,
                          const QByteArray &data, qint64 maxBackupBytes);

// A save cut short (a crash, a power cut) can leave the older backup aside
// as backupPath + ".keep". It goes back under the backup's name where the
// save did not get to replacing the file at path, and is removed where it
// did. saveWithBackup() does this first; call it when a file is opened too.
FileResult recoverLeftovers(FileAccess &files, const QString &path, const QString &backupPath);

} // namespace vesk
