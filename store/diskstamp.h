#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace vesk
{

class FileAccess;
class Folder;
struct FileStatus;

// What the editor last knew of the configuration file on disk, so that a
// save can tell whether another program wrote it in the meantime.
struct DiskStamp {
    bool exists = false;
    qint64 size = 0;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    // Set when equal times would not prove equal content (see diskstamp.cpp);
    // only then is the content fingerprinted, and read again to compare.
    bool compareContent = false;
    QByteArray hash; // fingerprint of the content; empty when it could not be read

    // The stamp of a file whose status and content the caller already has.
    static DiskStamp of(const FileStatus &status, QByteArrayView content);
    // Looks at the file now.
    static DiskStamp take(FileAccess &files, const QString &path);
    static DiskStamp take(Folder &folder, const QString &name);

    // Whether `now`, taken with the content read along with it, is still
    // the file this stamp describes.
    bool matches(const DiskStamp &now, QByteArrayView content) const;

    friend bool operator==(const DiskStamp &, const DiskStamp &) = default;
};

// True when the file at path is no longer what the stamp describes: it
// appeared, vanished, was replaced, or its size, times or content changed.
bool changedOnDisk(FileAccess &files, const QString &path, const DiskStamp &stamp);
bool changedOnDisk(Folder &folder, const QString &name, const DiskStamp &stamp);

} // namespace vesk
