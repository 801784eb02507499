#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QFileDevice>
#include <QString>

#include <memory>
#include <optional>

namespace vesk {

struct FileStatus {
    // Set when the system could not tell whether the file exists (a folder
    // that cannot be searched, an I/O error); the other fields are then unset.
    QString error;
    bool exists = false;
    bool regular = false; // a regular file, after following symlinks
    qint64 size = 0;
    QFileDevice::Permissions permissions;
    QDateTime modified;
};

struct ReadResult {
    bool ok = false;
    QByteArray data;
    QString error; // the system's reason when !ok
};

// A file written to a temporary name and moved over its target only on
// commit(), so the target always holds a complete file.
class SaveFile {
public:
    virtual ~SaveFile() = default;
    virtual bool open() = 0;
    virtual qint64 write(QByteArrayView data) = 0;
    virtual bool flush() = 0;
    virtual bool setPermissions(QFileDevice::Permissions permissions) = 0;
    virtual bool commit() = 0;
    virtual void cancel() = 0;
    virtual QString errorString() const = 0;
};

// Every file operation the editor performs goes through here, so tests can
// make any single one of them fail.
class FileAccess {
public:
    virtual ~FileAccess() = default;
    virtual FileStatus status(const QString &path) = 0;
    // Reads a whole regular file; anything else (a directory, a FIFO, a
    // device) or a file larger than maxBytes is refused without blocking.
    virtual ReadResult read(const QString &path, qint64 maxBytes) = 0;
    virtual std::unique_ptr<SaveFile> saveFile(const QString &path) = 0;
    virtual bool rename(const QString &from, const QString &to, QString *error) = 0;
    virtual bool remove(const QString &path, QString *error) = 0;
};

// The real file system.
class DiskFileAccess : public FileAccess {
public:
    FileStatus status(const QString &path) override;
    ReadResult read(const QString &path, qint64 maxBytes) override;
    std::unique_ptr<SaveFile> saveFile(const QString &path) override;
    bool rename(const QString &from, const QString &to, QString *error) override;
    bool remove(const QString &path, QString *error) override;
};

// Opens the file, writes all of data and flushes it. QSaveFile::commit()
// alone can report success on a full disk while data was still buffered, so
// every byte written and the flush are checked before any commit. On failure
// the temporary file is discarded and *error holds the reason.
// When permissions are given, the new file gets them instead of those of the
// file it replaces.
bool stage(SaveFile &file, QByteArrayView data, QString *error,
           std::optional<QFileDevice::Permissions> permissions = std::nullopt);

// stage(), then commit().
bool writeAndCommit(SaveFile &file, QByteArrayView data, QString *error);

} // namespace vesk
