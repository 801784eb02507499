#include "config/safesave.h"

#include "config/configfile.h"

#include <QCryptographicHash>

#include <cerrno>
#include <new>
#include <unistd.h>

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

QString aboutBackup(const QString &backupPath, const QString &reason)
{
    return u"the backup "_s + backupPath + u": "_s + reason;
}

FileResult notRegular(const FileStatus &st)
{
    if (st.symlink)
        return FileResult::failure(ELOOP, u"another program put a symbolic link in its place"_s);
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

// Another file took the name between the check and the step.
bool raced(int code)
{
    return code == ESTALE || code == EEXIST;
}

QByteArray fingerprint(QByteArrayView data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex();
}

// The folder holding the backup: the one the path names, unless the backup
// is asked for elsewhere.
Result<std::shared_ptr<Folder>> backupFolderOf(FileAccess &files, const Place &place, const QString &path,
                                               const QString &backupPath)
{
    const QString folder = splitPath(backupPath).first;
    if (folder == splitPath(path).first)
        return place.given;
    Result<std::unique_ptr<Folder>> opened = files.openFolder(folder);
    if (!opened.ok())
        return opened.error();
    return std::shared_ptr<Folder>(std::move(*opened));
}

// Both folders' locks, always in the same order, so two saves that need
// both cannot each wait for the other.
Result<FolderLock> lockBoth(Folder &a, Folder &b, int waitMs)
{
    const bool same = a.self().device == b.self().device && a.self().inode == b.self().inode;
    const bool aFirst =
        std::pair(a.self().device, a.self().inode) < std::pair(b.self().device, b.self().inode);
    Folder &first = aFirst ? a : b;
    Result<FolderLock> one = first.lock(waitMs);
    if (!one.ok() || same)
        return one;
    Result<FolderLock> two = (aFirst ? b : a).lock(waitMs);
    if (!two.ok())
        return two;
    return FolderLock(std::make_shared<std::pair<FolderLock, FolderLock>>(*one, *two));
}

// ---- leftovers ----------------------------------------------------------------

bool isOurTemporary(const QString &name)
{
    static const QString prefix = u".veskfrontend-"_s, suffix = u".tmp"_s;
    if (name.size() != prefix.size() + 12 + suffix.size() || !name.startsWith(prefix)
        || !name.endsWith(suffix))
        return false;
    for (QChar c : QStringView(name).sliced(prefix.size(), 12))
        if (c.unicode() > 127 || !c.isLetterOrNumber())
            return false;
    return true;
}

// Removes the temporaries a save cut short left: only names of this
// program's pattern, only regular files one of its saves could have made
// (its own, or given to the file's or the folder's owner). Under the lock,
// no save of another copy is using one.
void clearTemporaries(Folder &folder, const FileStatus &target)
{
    const Result<QStringList> names = folder.names();
    if (!names.ok())
        return;
    for (const QString &n : *names) {
        if (!isOurTemporary(n))
            continue;
        const FileStatus st = folder.status(n);
        const uint me = uint(::geteuid());
        if (st.regular
            && (st.owner == me || (target.exists && st.owner == target.owner)
                || st.owner == folder.self().owner))
            (void)folder.remove(n);
    }
}

// The older backup kept aside (".keep") by a save cut short goes back where
// the save did not get to replacing the file, and away where it did.
FileResult recoverKeep(Folder &folder, const QString &name, Folder &backups, const QString &backupName)
{
    const QString keep = backupName + u".keep"_s;
    const FileStatus kept = backups.status(keep);
    if (!kept.exists)
        return kept.error.isEmpty() ? FileResult{} : FileResult::failure(EIO, kept.error);
    const FileStatus backup = backups.status(backupName);
    if (!backup.error.isEmpty())
        return FileResult::failure(EIO, backup.error);
    // Two names of one file: renaming one over the other does nothing.
    if (backup.exists && backup.device == kept.device && backup.inode == kept.inode)
        return backups.remove(keep);
    bool putBack = !backup.exists;
    if (!putBack && kept.regular && backup.regular) {
        // The backup equal to the file: the save stopped after making the
        // backup and before replacing the file.
        const ReadResult b = backups.read(backupName, kMaxConfigBytes);
        const ReadResult t = folder.read(name, kMaxConfigBytes);
        if (!b.ok() || !t.ok())
            return FileResult::failure(EIO, b.ok() ? t.reason() : b.reason());
        putBack = b->bytes == t->bytes;
    }
    return putBack ? backups.rename(keep, backupName) : backups.remove(keep);
}

// A backup that is a second name of the file is a save cut short between
// placing the backup and replacing the file: the file itself. Left, it
// would make every later save take the file for one with other names, and
// rewrite it in place.
void dropBackupThatIsTheFile(Folder &folder, const QString &name, Folder &backups, const QString &backupName)
{
    const FileStatus target = folder.status(name), backup = backups.status(backupName);
    if (target.regular && backup.regular && target.device == backup.device && target.inode == backup.inode)
        (void)backups.remove(backupName);
}

// A mark left by a rewrite in place: the file is whole if it holds what the
// rewrite was writing, or still what its backup holds.
Result<bool> isTorn(Folder &folder, const QString &name, Folder &backups, const QString &backupName)
{
    const Result<std::optional<QByteArray>> mark = folder.rewriteMark(name);
    if (!mark.ok() || !*mark)
        return mark.ok() ? Result<bool>(false) : Result<bool>(mark.error());
    const ReadResult now = folder.read(name, kMaxConfigBytes);
    bool whole = !now.ok() && now.code() == ENOENT;
    if (now.ok()) {
        whole = fingerprint(now->bytes) == (*mark)->trimmed();
        const ReadResult backup = backups.read(backupName, kMaxConfigBytes);
        whole = whole || (backup.ok() && backup->bytes == now->bytes);
    }
    if (!whole)
        return true;
    (void)folder.clearRewriteMark(name);
    return false;
}

Result<Leftovers> recoverLocked(const Place &place, Folder &backups, const QString &backupName)
{
    Folder &folder = *place.folder;
    clearTemporaries(folder, folder.status(place.name));
    if (&backups != &folder)
        clearTemporaries(backups, folder.status(place.name));
    FileResult kept = recoverKeep(folder, place.name, backups, backupName);
    if (kept)
        dropBackupThatIsTheFile(folder, place.name, backups, backupName);
    const Result<bool> torn = isTorn(folder, place.name, backups, backupName);
    if (!torn.ok())
        return torn.error();
    if (!kept)
        return kept.error();
    return Leftovers{*torn};
}

// ---- the save -----------------------------------------------------------------

// The new file becomes the old one in all but its bytes: whoever could read
// or change it before can do so after, and nobody else.
FileResult adopt(SaveFile &file, const FileStatus &old, Folder &from, const QString &name)
{
    FileResult r = file.setOwner(old.owner, old.group);
    if (r)
        r = file.setPermissions(old.mode); // after chown, which may clear bits
    if (r)
        r = file.copyAttributes(from, name);
    return r;
}

// The backup holds the same data, so as much of the same protection as the
// saver can give. Without the file's group, the group gets no more than
// everyone else.
void adoptForBackup(SaveFile &file, const FileStatus &old, Folder &from, const QString &name)
{
    uint mode = old.mode;
    if (!file.setOwner(old.owner, old.group) && !file.setOwner(uint(-1), old.group))
        mode = (mode & ~070u) | (mode & ((mode & 07u) << 3));
    (void)file.setPermissions(mode); // failing that, it stays private
    (void)file.copyAttributes(from, name);
}

struct Rewrite {
    FileResult result;
    bool damaged = false; // the old bytes could not be put back either
    FileStatus written;   // the file afterwards
};

// Writes data into the file itself, which must still be `st`. Space is
// claimed first where the file system allows, so a full disk usually stops
// it before any byte changes; if it fails part way, the old bytes go back.
Rewrite rewriteInPlace(Folder &folder, const QString &name, const FileStatus &st, QByteArrayView data,
                       QByteArrayView old)
{
    const auto file = folder.rewriteFile(name, st);
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
        if (w.result) {
            w.result = file->commit();
            w.written = file->written();
            return w;
        }
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
        if (back)
            back = file->commit();
    } catch (const std::bad_alloc &) {
        back = FileResult::failure(ENOMEM, outOfMemory());
    }
    w.written = file->written();
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
    Save(Folder &folder, const QString &name, Folder &backups, const QString &backupName)
        : m_folder(folder), m_name(name), m_backups(backups), m_backupName(backupName),
          m_keepName(backupName + u".keep"_s)
    {
    }

    // `checked` is the file as the caller examined it, before leftovers
    // were cleared.
    SaveOutcome run(const QByteArray &data, qint64 maxBackupBytes, const FileStatus &checked, bool torn);
    // Puts back whatever a failed save changed. Never throws.
    void undo() noexcept;
    // What the failure left, once undone.
    SaveOutcome outcome(const FileResult &r);

private:
    // The steps of run(), in order; each failure has already been undone.
    FileResult steps(const QByteArray &data, qint64 maxBackupBytes, bool torn);
    FileResult firstSave(const QByteArray &data);
    FileResult checkBackupName();
    FileResult stageNewFile(const QByteArray &data, bool *inPlace);
    FileResult readCurrent(qint64 maxBytes);
    FileResult stageBackup(bool inPlace, qint64 maxBackupBytes);
    FileResult placeBackup(bool hadBackup);
    FileResult placeNewFile(const QByteArray &data, bool inPlace);

    FileResult fail(const FileResult &r)
    {
        if (raced(r.code()))
            m_raced = true;
        undo();
        return r.reason().isEmpty() ? FileResult::failure(r.code(), u"unknown error"_s) : r;
    }
    FileResult fail(const QString &reason) { return fail(FileResult::failure(-1, reason)); }
    QString backupPath() const { return m_backups.pathOf(m_backupName); }
    // Past the point of no return: the older backup is no longer needed.
    void dropKept() noexcept
    {
        try {
            if (m_kept)
                (void)m_backups.remove(m_keepName); // a leftover is cleared by the next save
        } catch (...) {
        }
        m_kept = false;
    }

    Folder &m_folder;
    QString m_name;
    Folder &m_backups;
    QString m_backupName, m_keepName;
    FileStatus m_target, m_older;
    QByteArray m_current;    // the file's bytes, read only where a copy of them is needed
    QByteArray m_olderBytes; // for a backup rewritten in place
    QByteArrayView m_data;   // what is being saved
    std::unique_ptr<SaveFile> m_newFile, m_backupFile;
    FileStatus m_written;          // the new file, once in place
    FileStatus m_backupWritten;    // the backup rewritten in place
    bool m_kept = false;           // the older backup also has the .keep name
    bool m_backupInPlace = false;  // the folder takes no new file; the backup is rewritten
    bool m_backupReplaced = false; // the backup name holds the new backup
    bool m_targetReplaced = false; // the target name holds the new file
    bool m_damaged = false;        // the file is neither old nor new; the backup is the copy
    bool m_restored = false;       // a failed rewrite in place put the old bytes back
    bool m_raced = false;          // another program changed the file meanwhile
};

SaveOutcome Save::run(const QByteArray &data, qint64 maxBackupBytes, const FileStatus &checked, bool torn)
{
    m_data = data;
    m_target = m_folder.status(m_name);
    if (!m_target.error.isEmpty())
        return outcome(fail(m_target.error));
    if (!m_target.sameFileAs(checked))
        return outcome(fail(
            FileResult::failure(ESTALE, u"another program changed the file while it was being saved"_s)));
    if (m_target.exists && !m_target.regular)
        return outcome(fail(notRegular(m_target)));
    const FileResult r = steps(data, maxBackupBytes, torn);
    if (!r)
        return outcome(r);
    SaveOutcome out;
    out.state = SaveState::Saved;
    out.stamp = DiskStamp::of(m_written, data);
    return out;
}

FileResult Save::steps(const QByteArray &data, qint64 maxBackupBytes, bool torn)
{
    if (!m_target.exists)
        return firstSave(data);
    // The backup is no copy now, but what could not be read back (a file
    // the editor refused to open) is still not saved over.
    if (m_target.size > maxBackupBytes)
        return fail(u"the file is larger than %1 bytes"_s.arg(maxBackupBytes));
    if (FileResult r = checkBackupName(); !r)
        return r;
    // Other names linking to the file keep seeing it only if it is
    // rewritten where it is.
    bool inPlace = m_target.links > 1;
    FileResult r = stageNewFile(data, &inPlace);
    // A file rewritten in place needs its old bytes to put back if the
    // write fails, and its backup must be a copy.
    if (r && inPlace)
        r = readCurrent(maxBackupBytes);
    // A file whose rewrite was cut short is never made the backup: the
    // backup is its last complete version.
    if (r && !torn)
        r = stageBackup(inPlace, maxBackupBytes);
    if (r && !torn)
        r = placeBackup(m_older.exists);
    if (r)
        r = placeNewFile(data, inPlace);
    if (r) {
        dropKept();
        if (torn)
            (void)m_folder.clearRewriteMark(m_name);
    }
    return r;
}

SaveOutcome Save::outcome(const FileResult &r)
{
    SaveOutcome out;
    out.failure = r.error();
    if (m_damaged)
        out.state = SaveState::Damaged;
    else if (m_targetReplaced)
        out.state = SaveState::Unconfirmed;
    else if (m_raced)
        out.state = SaveState::Changed;
    if (m_targetReplaced && !m_damaged) {
        out.stamp = DiskStamp::of(m_written, m_data);
        return out;
    }
    // Otherwise the file is as it was (but for the editor's own second
    // names and put-back bytes), damaged by the editor, or another
    // program's: in each case what it is now is what the next save may
    // overwrite without asking, except a change the check did not see.
    const FileStatus now = m_folder.status(m_name);
    if (m_raced || m_damaged || m_restored || now.sameFileAs(m_target))
        out.stamp = DiskStamp::take(m_folder, m_name);
    return out;
}

// A first save: there is nothing to back up, and an older backup stays as
// it is. Should another program create the file meanwhile, its file stays.
FileResult Save::firstSave(const QByteArray &data)
{
    m_newFile = m_folder.saveFile(m_name);
    FileResult r = m_newFile->open(0666);
    if (r)
        r = m_newFile->write(data);
    if (r)
        r = m_newFile->flush();
    if (r)
        r = m_newFile->commitReplacing(m_target);
    if (!r)
        return fail(r);
    m_targetReplaced = true;
    m_written = m_newFile->written();
    if (FileResult synced = m_folder.sync(); !synced)
        return fail(synced);
    return {};
}

// Whatever is at the backup's name is replaced, never written through: a
// link there may lead anywhere. Anything but a file or a link there is
// refused.
FileResult Save::checkBackupName()
{
    m_older = m_backups.status(m_backupName);
    if (m_older.symlink)
        return {};
    if (!m_older.error.isEmpty())
        return fail(aboutBackup(backupPath(), m_older.error));
    if (m_older.exists && !m_older.regular)
        return fail(aboutBackup(backupPath(), notRegular(m_older).reason()));
    return {};
}

// 1. The new file, complete and on the disk under a temporary name, as the
//    old one's double. Where it cannot be that, the old file itself is
//    rewritten later (*inPlace).
FileResult Save::stageNewFile(const QByteArray &data, bool *inPlace)
{
    if (*inPlace)
        return {};
    m_newFile = m_folder.saveFile(m_name);
    FileResult r = m_newFile->open(0600);
    if (!r && !folderRefuses(r.code()))
        return fail(r);
    if (r)
        r = adopt(*m_newFile, m_target, m_folder, m_name);
    if (!r) {
        m_newFile.reset();
        *inPlace = true;
        return {};
    }
    r = m_newFile->write(data);
    if (r)
        r = m_newFile->flush();
    return r ? FileResult{} : fail(r);
}

FileResult Save::readCurrent(qint64 maxBytes)
{
    ReadResult current = m_folder.read(m_name, maxBytes);
    if (current.ok() && !current->status.sameFileAs(m_target))
        return fail(
            FileResult::failure(ESTALE, u"another program changed the file while it was being saved"_s));
    if (!current.ok())
        return fail(current.error());
    m_current = std::move(current->bytes);
    return {};
}

// 2. The coming backup. Where the file is going to be replaced by the new
//    one, that is the file itself under a second name: nothing is read or
//    written, and it keeps owner, mode and attributes by being the same
//    file. Where that cannot be (another file system, no hard links, a
//    file that is rewritten in place), a complete copy.
FileResult Save::stageBackup(bool inPlace, qint64 maxBackupBytes)
{
    if (!inPlace) {
        m_backupFile = m_backups.saveFile(m_backupName);
        const FileResult named = m_backupFile->openAsNameOf(m_folder, m_name, m_target);
        if (named)
            return {};
        if (raced(named.code()))
            return fail(named);
        // Whatever kept the second name from being made, a copy may still
        // be; if not, its own failure says why.
        if (FileResult r = readCurrent(maxBackupBytes); !r)
            return r;
    }
    m_backupFile = m_backups.saveFile(m_backupName);
    if (FileResult r = m_backupFile->open(0600); !r) {
        m_backupFile.reset();
        // A folder that takes no new file can still have its backup
        // rewritten, if it is a plain file of its own.
        if (!folderRefuses(r.code()) || !m_older.regular || m_older.links != 1)
            return fail(aboutBackup(backupPath(), r.reason()));
        const ReadResult older = m_backups.read(m_backupName, maxBackupBytes);
        if (!older.ok())
            return fail(aboutBackup(backupPath(), older.reason()));
        m_olderBytes = older->bytes;
        m_older = older->status;
        m_backupInPlace = true;
        return {};
    }
    adoptForBackup(*m_backupFile, m_target, m_folder, m_name);
    FileResult r = m_backupFile->write(m_current);
    if (r)
        r = m_backupFile->flush();
    return r ? FileResult{} : fail(r);
}

// 3. The older backup keeps a second name while the new one takes its
//    place, so a complete backup stands under the backup's name at every
//    moment, and the older one can come back if the save fails.
FileResult Save::placeBackup(bool hadBackup)
{
    if (hadBackup && !m_backupInPlace) {
        if (FileResult r = m_backups.link(m_backupName, m_keepName))
            m_kept = true;
        else if (!noHardLinks(r.code()))
            return fail(aboutBackup(m_backups.pathOf(m_keepName), r.reason()));
    }
    if (m_backupInPlace) {
        // On failure it has put the older bytes back itself, as far as it could.
        const Rewrite w = rewriteInPlace(m_backups, m_backupName, m_older, m_current, m_olderBytes);
        m_backupWritten = w.written;
        if (!w.result)
            return fail(aboutBackup(backupPath(), w.result.reason()));
    } else if (FileResult r = m_backupFile->commit(); !r) {
        return fail(aboutBackup(backupPath(), r.reason()));
    }
    m_backupReplaced = true;
    // On the disk before the file is replaced: a crash must not find the
    // new file beside the older backup.
    if (FileResult r = m_backups.sync(); !r)
        return fail(r);
    return {};
}

// 4. The new file takes the target's place, if the target is still the file
//    examined. A rewrite in place is marked while it runs, so that a crash
//    part way is told at the next start and the torn file never becomes
//    the backup.
FileResult Save::placeNewFile(const QByteArray &data, bool inPlace)
{
    if (!inPlace) {
        if (FileResult r = m_newFile->commitReplacing(m_target); !r)
            return fail(r);
        m_targetReplaced = true;
        m_written = m_newFile->written();
        if (FileResult r = m_folder.sync(); !r)
            return fail(r);
        return {};
    }
    const bool marked = m_folder.setRewriteMark(m_name, fingerprint(data) + '\n').ok();
    const Rewrite w = rewriteInPlace(m_folder, m_name, m_target, data, m_current);
    if (w.damaged) {
        // The backup now holds the only complete copy of the file; the mark
        // stays, for the next start to tell.
        m_damaged = m_targetReplaced = true;
        return fail(w.result.reason() + u"; it is kept in "_s + backupPath());
    }
    if (marked)
        (void)m_folder.clearRewriteMark(m_name);
    if (!w.result) {
        m_restored = w.result.code() != ESTALE;
        return fail(w.result);
    }
    m_targetReplaced = true;
    m_written = w.written;
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
        attempt(
            [&] { rewriteInPlace(m_backups, m_backupName, m_backupWritten, m_olderBytes, m_olderBytes); });
    else if (m_kept) {
        attempt([&] {
            if (m_backups.rename(m_keepName, m_backupName))
                m_kept = false;
        });
        // If it could not come back, it stays aside for the next save to
        // put back: the backup equals the unchanged file.
        return;
    } else if (!m_older.exists)
        attempt([&] { (void)m_backups.remove(m_backupName); });
    // Without a second name the older backup is gone, and the backup holds a
    // complete copy of the file, which is unchanged.
    dropKept();
}

struct Opened {
    Place place;
    std::shared_ptr<Folder> backups;
    QString backupName;
};

Result<Opened> open(FileAccess &files, const QString &path, const QString &backupPath)
{
    Result<Place> place = files.locate(path);
    if (!place.ok())
        return place.error();
    Result<std::shared_ptr<Folder>> backups = backupFolderOf(files, *place, path, backupPath);
    if (!backups.ok())
        return backups.error();
    return Opened{std::move(*place), std::move(*backups), splitPath(backupPath).second};
}

SaveOutcome untouched(const Failure &why)
{
    SaveOutcome out;
    out.failure = why;
    return out;
}

} // namespace

SaveOutcome saveWithBackup(FileAccess &files, const QString &path, const QString &backupPath,
                           const QByteArray &data, qint64 maxBackupBytes,
                           const std::optional<DiskStamp> &expected)
{
    try {
        Result<Opened> o = open(files, path, backupPath);
        if (!o.ok())
            return untouched(o.error());
        const Result<FolderLock> held = lockBoth(*o->place.folder, *o->backups, kSaveLockWaitMs);
        if (!held.ok())
            return untouched(held.error());
        Folder &folder = *o->place.folder;
        // Checked before the leftovers are cleared: removing a second name
        // of the file moves its change time.
        if (expected && changedOnDisk(folder, o->place.name, *expected)) {
            SaveOutcome out;
            out.state = SaveState::Changed;
            out.failure = Failure{ESTALE, u"another program changed the file since it was read"_s};
            out.stamp = DiskStamp::take(folder, o->place.name);
            return out;
        }
        const FileStatus checked = folder.status(o->place.name);
        const Result<Leftovers> left = recoverLocked(o->place, *o->backups, o->backupName);
        Save save(folder, o->place.name, *o->backups, o->backupName);
        try {
            return save.run(data, maxBackupBytes, checked, left.ok() && left->torn);
        } catch (const std::bad_alloc &) {
            save.undo();
            return save.outcome(FileResult::failure(ENOMEM, outOfMemory()));
        }
    } catch (const std::bad_alloc &) {
        return untouched(Failure{ENOMEM, outOfMemory()});
    }
}

Result<Leftovers> recoverLeftovers(FileAccess &files, const QString &path, const QString &backupPath)
{
    try {
        Result<Opened> o = open(files, path, backupPath);
        if (!o.ok())
            return o.error();
        const Result<FolderLock> held = lockBoth(*o->place.folder, *o->backups, kSaveLockWaitMs);
        if (!held.ok())
            return held.error();
        return recoverLocked(o->place, *o->backups, o->backupName);
    } catch (const std::bad_alloc &) {
        return Failure{ENOMEM, outOfMemory()};
    }
}

Result<FolderLock> lockForSave(FileAccess &files, const QString &path, int waitMs)
{
    Result<Place> place = files.locate(path);
    if (!place.ok())
        return place.error();
    return lockBoth(*place->folder, *place->given, waitMs);
}

} // namespace vesk
