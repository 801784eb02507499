#pragma once

// The pieces a save is made of, each on its own: what a failure means, how
// a new file takes on the old one's owner and rights, and a rewrite in place.

#include "base/result.h"
#include "store/fileaccess.h"

#include <QByteArrayView>
#include <QString>

namespace vesk::save
{

// A literal: building it allocates nothing, so it can be the answer when
// memory has run out.
QString outOfMemory();
// The failure, said of the backup.
FileResult aboutBackup(const QString &backupPath, Failure why);
// Why what is at a name cannot be saved over.
FileResult notRegular(const FileStatus &st);
// Failures to make a file in the folder that writing into an existing file
// can get around.
bool folderRefuses(int code);
// File systems without hard links say so in several ways.
bool noHardLinks(int code);
FileResult changedMeanwhile();
// Another file took the name between the check and the step.
bool raced(const FileResult &r);

// The new file becomes the old one in all but its bytes: whoever could read
// or change it before can do so after, and nobody else.
FileResult adopt(SaveFile &file, const FileStatus &old, Folder &from, const QString &name);
// The backup holds the same data, so as much of the same protection as the
// saver can give. Without the file's group, the group gets no more than
// everyone else.
void adoptForBackup(SaveFile &file, const FileStatus &old, Folder &from, const QString &name);

struct Rewrite {
    FileResult result;
    bool damaged = false; // the old bytes could not be put back either
    FileStatus written;   // the file afterwards
};
// Writes data into the file itself, which must still be `st`. Space is
// claimed first where the file system allows, so a full disk usually stops
// it before any byte changes; if it fails part way, the old bytes go back.
Rewrite rewriteInPlace(Folder &folder, const QString &name, const FileStatus &st, QByteArrayView data,
                       QByteArrayView old);

} // namespace vesk::save
