#include "config/safesave.h"

#include "config/configfile.h"
#include "config/fileaccess.h"

#include <cerrno>
#include <new>

using namespace Qt::StringLiterals;

namespace vesk
{
namespace
{

// A literal: building it allocates nothing, so it can be the answer when
// memory has run out.
QString outOfMemory()
{
    return u"Cannot allocate memory"_s;
}

QString keepPathFor(const QString &backupPath)
{
    return backupPath + u".keep"_s;
}

QString aboutBackup(const QString &backupPath, const QString &reason)
{
    return u"the backup "_s + backupPath + u": "_s + reason;
}

FileResult notRegular(const FileStatus &st)
{
    return st.directory ? FileResult::failure(EISDIR) : FileResult::failure(EINVAL, u"not a regular file"_s);
}

// Failures to make a file in the folder that writing into an existing file
// can get around.
bool folderRefuses(int code)
{
    return code == EACCES || code == EPERM || code == EROFS || code == ENOSPC || code == EDQUOT;
}

// File systems without hard links say so in several ways.
bool noHardLinks(int code)
{
    return code == EPERM || code == EOPNOTSUPP || code == ENOSYS || code == EMLINK;
}

// The new file becomes the old one in all but its bytes: whoever could read
// or change it before can do so after, and nobody else.
FileResult adopt(SaveFile &file, const FileStatus &old, const QString &from)
{
    FileResult r = file.setOwner(old.owner, old.group);
    if (r)
        r = file.setPermissions(old.mode); // after chown, which may clear bits
    if (r)
        r = file.copyAttributes(from);
    return r;
}

// The backup holds the same data, so as much of the same protection as the
// saver can give. Without the file's group, the group gets no more than
// everyone else.
void adoptForBackup(SaveFile &file, const FileStatus &old, const QString &from)
{
    uint mode = old.mode;
    if (!file.setOwner(old.owner, old.group) && !file.setOwner(uint(-1), old.group))
        mode = (mode & ~070u) | (mode & ((mode & 07u) << 3));
    file.setPermissions(mode); // failing that, it stays private
    file.copyAttributes(from);
}

struct Rewrite {
    FileResult result;
    bool damaged = false; // the old bytes could not be put back either
};

// Writes data into the file itself. Space is claimed first where the file
// system allows, so a full disk usually stops it before any byte changes;
// if it fails part way, the old bytes go back.
Rewrite rewriteInPlace(FileAccess &files, const QString &path, const FileStatus &st, QByteArrayView data,
                       QByteArrayView old)
{
    const auto file = files.rewriteFile(path, st.device, st.inode);
    Rewrite w;
    try {
        w.result = file->open(0);
        if (w.result)
            w.result = file->reserve(data.size());
        if (!w.result)
            return w; // nothing changed yet
    } catch (const std::bad_alloc &) {
        w.result = FileResult::failure(ENOMEM, outOfMemory());
        return w;
    }
    try {
        w.result = file->write(data);
        if (w.result)
            w.result = file->truncate(data.size());
        if (w.result)
            w.result = file->flush();
        if (w.result)
            return w;
    } catch (const std::bad_alloc &) {
        w.result = FileResult::failure(ENOMEM, outOfMemory());
    }
    FileResult back;
    try {
        back = file->write(old);
        if (back)
            back = file->truncate(old.size());
        if (back)
            back = file->flush();
    } catch (const std::bad_alloc &) {
        back = FileResult::failure(ENOMEM, outOfMemory());
    }
    if (!back) {
        w.damaged = true;
        w.result = FileResult::failure(
            w.result.code(), w.result.reason() + u"; its old contents could not be written back either ("_s
                                 + back.reason() + u')');
    }
    return w;
}

class Save
{
public:
    Save(FileAccess &files, const QString &path, const QString &backupPath)
        : m_files(files), m_path(path), m_backupPath(backupPath), m_keepPath(keepPathFor(backupPath))
    {
    }

    FileResult run(const QByteArray &data, qint64 maxBackupBytes);
    // Puts back whatever a failed save changed. Never throws.
    void undo() noexcept;

private:
    // The steps of run(), in order; each failure has already been undone.
    FileResult firstSave(const QString &real, const QByteArray &data);
    FileResult checkBackupName();
    FileResult stageNewFile(const QString &real, const QByteArray &data, bool *inPlace);
    FileResult readCurrent(const QString &real, qint64 maxBytes);
    FileResult stageBackup(const QString &real, bool inPlace, qint64 maxBackupBytes);
    FileResult placeBackup(bool hadBackup);
    FileResult placeNewFile(const QString &real, const QByteArray &data, bool inPlace);

    FileResult fail(const QString &reason)
    {
        undo();
        return FileResult::failure(-1, reason.isEmpty() ? u"unknown error"_s : reason);
    }
    // Past the point of no return: the older backup is no longer needed.
    void dropKept() noexcept
    {
        try {
            if (m_kept)
                m_files.remove(m_keepPath); // a leftover is cleared by the next save
        } catch (...) {
        }
        m_kept = false;
    }

    FileAccess &m_files;
    QString m_path, m_backupPath, m_keepPath;
    FileStatus m_target, m_older;
    QByteArray m_current;    // the file's bytes, read only where a copy of them is needed
    QByteArray m_olderBytes; // for a backup rewritten in place
    std::unique_ptr<SaveFile> m_newFile, m_backupFile;
    bool m_kept = false;           // the older backup also has the .keep name
    bool m_backupInPlace = false;  // the folder takes no new file; the backup is rewritten
    bool m_backupReplaced = false; // the backup name holds the new backup
    bool m_targetReplaced = false; // the target name holds the new file
};

FileResult Save::run(const QByteArray &data, qint64 maxBackupBytes)
{
    m_target = m_files.status(m_path);
    if (!m_target.error.isEmpty())
        return fail(m_target.error);
    if (m_target.exists && !m_target.regular)
        return fail(notRegular(m_target).reason());
    // A link at the target is the admin's choice: the file it leads to is
    // saved, and the link stays.
    const QString real = m_target.resolved;

    recoverLeftovers(m_files, m_path, m_backupPath);
    if (!m_target.exists)
        return firstSave(real, data);

    // The backup is no copy now, but what could not be read back (a file
    // the editor refused to open) is still not saved over.
    if (m_target.size > maxBackupBytes)
        return fail(u"the file is larger than %1 bytes"_s.arg(maxBackupBytes));
    if (FileResult r = checkBackupName(); !r)
        return r;
    const bool hadBackup = m_older.exists || m_older.symlink;
    // Other names linking to the file keep seeing it only if it is
    // rewritten where it is.
    bool inPlace = m_target.links > 1;
    FileResult r = stageNewFile(real, data, &inPlace);
    // A file rewritten in place needs its old bytes to put back if the
    // write fails, and its backup must be a copy.
    if (r && inPlace)
        r = readCurrent(real, maxBackupBytes);
    if (r)
        r = stageBackup(real, inPlace, maxBackupBytes);
    if (r)
        r = placeBackup(hadBackup);
    if (r)
        r = placeNewFile(real, data, inPlace);
    if (r)
        dropKept();
    return r;
}

// A first save: there is nothing to back up, and an older backup stays as
// it is.
FileResult Save::firstSave(const QString &real, const QByteArray &data)
{
    m_newFile = m_files.saveFile(real);
    FileResult r = m_newFile->open(0666);
    if (r)
        r = m_newFile->write(data);
    if (r)
        r = m_newFile->flush();
    if (r)
        r = m_newFile->commit();
    if (!r)
        return fail(r.reason());
    m_targetReplaced = true;
    if (FileResult synced = m_files.syncFolder(real); !synced)
        return fail(synced.reason());
    return {};
}

// Whatever is at the backup's name is replaced, never written through: a
// link there may lead anywhere. Anything but a file there is refused.
FileResult Save::checkBackupName()
{
    m_older = m_files.status(m_backupPath);
    if (m_older.symlink)
        return {};
    if (!m_older.error.isEmpty())
        return fail(aboutBackup(m_backupPath, m_older.error));
    if (m_older.exists && !m_older.regular)
        return fail(aboutBackup(m_backupPath, notRegular(m_older).reason()));
    return {};
}

// 1. The new file, complete and on the disk under a temporary name, as the
//    old one's double. Where it cannot be that, the old file itself is
//    rewritten later (*inPlace).
FileResult Save::stageNewFile(const QString &real, const QByteArray &data, bool *inPlace)
{
    if (*inPlace)
        return {};
    m_newFile = m_files.saveFile(real);
    FileResult r = m_newFile->open(0600);
    if (!r && !folderRefuses(r.code()))
        return fail(r.reason());
    if (r)
        r = adopt(*m_newFile, m_target, real);
    if (!r) {
        m_newFile.reset();
        *inPlace = true;
        return {};
    }
    r = m_newFile->write(data);
    if (r)
        r = m_newFile->flush();
    return r ? FileResult{} : fail(r.reason());
}

FileResult Save::readCurrent(const QString &real, qint64 maxBytes)
{
    ReadResult current = m_files.read(real, maxBytes);
    if (!current.ok())
        return fail(current.reason());
    m_current = std::move(*current);
    return {};
}

// 2. The coming backup. Where the file is going to be replaced by the new
//    one, that is the file itself under a second name: nothing is read or
//    written, and it keeps owner, mode and attributes by being the same
//    file. Where that cannot be (another file system, no hard links, a
//    file that is rewritten in place), a complete copy.
FileResult Save::stageBackup(const QString &real, bool inPlace, qint64 maxBackupBytes)
{
    if (!inPlace) {
        m_backupFile = m_files.saveFile(m_backupPath);
        if (m_backupFile->openAsNameOf(real))
            return {};
        // Whatever kept the second name from being made, a copy may still
        // be; if not, its own failure says why.
        if (FileResult r = readCurrent(real, maxBackupBytes); !r)
            return r;
    }
    m_backupFile = m_files.saveFile(m_backupPath);
    if (FileResult r = m_backupFile->open(0600); !r) {
        m_backupFile.reset();
        // A folder that takes no new file can still have its backup
        // rewritten, if it is a plain file of its own.
        if (!folderRefuses(r.code()) || !m_older.regular || m_older.symlink || m_older.links != 1)
            return fail(aboutBackup(m_backupPath, r.reason()));
        const ReadResult older = m_files.read(m_backupPath, maxBackupBytes);
        if (!older.ok())
            return fail(aboutBackup(m_backupPath, older.reason()));
        m_olderBytes = *older;
        m_backupInPlace = true;
        return {};
    }
    adoptForBackup(*m_backupFile, m_target, real);
    FileResult r = m_backupFile->write(m_current);
    if (r)
        r = m_backupFile->flush();
    return r ? FileResult{} : fail(r.reason());
}

// 3. The older backup keeps a second name while the new one takes its
//    place, so a complete backup stands under the backup's name at every
//    moment, and the older one can come back if the save fails.
FileResult Save::placeBackup(bool hadBackup)
{
    if (hadBackup && !m_backupInPlace) {
        if (FileResult r = m_files.link(m_backupPath, m_keepPath))
            m_kept = true;
        else if (!noHardLinks(r.code()))
            return fail(aboutBackup(m_keepPath, r.reason()));
    }
    if (m_backupInPlace) {
        // On failure it has put the older bytes back itself, as far as it could.
        const Rewrite w = rewriteInPlace(m_files, m_backupPath, m_older, m_current, m_olderBytes);
        if (!w.result)
            return fail(aboutBackup(m_backupPath, w.result.reason()));
    } else if (FileResult r = m_backupFile->commit(); !r) {
        return fail(aboutBackup(m_backupPath, r.reason()));
    }
    m_backupReplaced = true;
    // On the disk before the file is replaced: a crash must not find the
    // new file beside the older backup.
    if (FileResult r = m_files.syncFolder(m_backupPath); !r)
        return fail(r.reason());
    return {};
}

// 4. The new file takes the target's place.
FileResult Save::placeNewFile(const QString &real, const QByteArray &data, bool inPlace)
{
    if (!inPlace) {
        if (FileResult r = m_newFile->commit(); !r)
            return fail(r.reason());
        m_targetReplaced = true;
        if (FileResult r = m_files.syncFolder(real); !r)
            return fail(r.reason());
        return {};
    }
    const Rewrite w = rewriteInPlace(m_files, real, m_target, data, m_current);
    if (w.damaged) {
        // The backup now holds the only complete copy of the file.
        m_targetReplaced = true;
        return fail(w.result.reason() + u"; it is kept in "_s + m_backupPath);
    }
    if (!w.result)
        return fail(w.result.reason());
    m_targetReplaced = true;
    return {};
}

void Save::undo() noexcept
{
    // Each step on its own: one that fails must not keep the next from
    // running.
    auto attempt = [](auto &&step) {
        try {
            step();
        } catch (...) {
        }
    };
    if (m_newFile)
        m_newFile->cancel();
    if (m_backupFile)
        m_backupFile->cancel();
    if (m_targetReplaced || !m_backupReplaced) {
        dropKept();
        return;
    }
    if (m_backupInPlace)
        attempt([&] { rewriteInPlace(m_files, m_backupPath, m_older, m_olderBytes, m_olderBytes); });
    else if (m_kept) {
        attempt([&] {
            if (m_files.rename(m_keepPath, m_backupPath))
                m_kept = false;
        });
        // If it could not come back, it stays aside for the next save to
        // put back: the backup equals the unchanged file.
        return;
    } else if (!m_older.exists && !m_older.symlink)
        attempt([&] { m_files.remove(m_backupPath); });
    // Without a second name the older backup is gone, and the backup holds a
    // complete copy of the file, which is unchanged.
    dropKept();
}

} // namespace

FileResult saveWithBackup(FileAccess &files, const QString &path, const QString &backupPath,
                          const QByteArray &data, qint64 maxBackupBytes)
{
    Save save(files, path, backupPath);
    try {
        return save.run(data, maxBackupBytes);
    } catch (const std::bad_alloc &) {
        save.undo();
        return FileResult::failure(ENOMEM, outOfMemory());
    }
}

FileResult recoverLeftovers(FileAccess &files, const QString &path, const QString &backupPath)
{
    try {
        const QString keep = keepPathFor(backupPath);
        const FileStatus kept = files.status(keep);
        if (!kept.exists && !kept.symlink)
            return kept.error.isEmpty() ? FileResult{} : FileResult::failure(EIO, kept.error);
        const FileStatus backup = files.status(backupPath);
        if (!backup.error.isEmpty() && !backup.symlink)
            return FileResult::failure(EIO, backup.error);
        bool putBack = !backup.exists && !backup.symlink;
        if (!putBack && kept.regular && !kept.symlink && backup.regular && !backup.symlink) {
            // The backup equal to the file: the save stopped after making
            // the backup and before replacing the file.
            const ReadResult b = files.read(backupPath, kMaxConfigBytes);
            const ReadResult t = files.read(path, kMaxConfigBytes);
            if (!b.ok() || !t.ok())
                return FileResult::failure(EIO, b.ok() ? t.reason() : b.reason());
            putBack = (*b) == (*t);
        }
        return putBack ? files.rename(keep, backupPath) : files.remove(keep);
    } catch (const std::bad_alloc &) {
        return FileResult::failure(ENOMEM, outOfMemory());
    }
}

} // namespace vesk
