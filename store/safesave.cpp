#include "store/safesave.h"

#include "store/savesteps.h"

#include <cerrno>
#include <new>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace vesk
{
namespace
{

using namespace save;

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
    // torn: the file's rewrite was cut short. rotate: the file that is
    // replaced becomes the backup.
    SaveOutcome run(const QByteArray &data, qint64 maxBackupBytes, const FileStatus &checked, bool torn,
                    bool rotate);
    // Puts back whatever a failed save changed. Never throws.
    void undo() noexcept;
    // What the failure left, once undone.
    SaveOutcome outcome(const FileResult &r);

private:
    // The steps of run(), in order; each failure has already been undone.
    FileResult steps(const QByteArray &data, qint64 maxBackupBytes, bool torn, bool rotate);
    FileResult firstSave(const QByteArray &data);
    FileResult checkBackupName();
    FileResult stageNewFile(const QByteArray &data);
    FileResult readCurrent(qint64 maxBytes);
    FileResult stageBackup(qint64 maxBackupBytes);
    FileResult placeBackup(bool hadBackup);
    FileResult placeNewFile(const QByteArray &data);

    FileResult fail(const FileResult &r)
    {
        if (raced(r))
            m_raced = true;
        undo();
        return r;
    }
    FileResult fail(Fault fault, const QString &reason)
    {
        return fail(FileResult(Failure::of(fault, reason)));
    }
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
    bool m_inPlace = false;        // the file is rewritten where it is, not replaced
    bool m_kept = false;           // the older backup also has the .keep name
    bool m_backupInPlace = false;  // the folder takes no new file; the backup is rewritten
    bool m_backupReplaced = false; // the backup name holds the new backup
    bool m_targetReplaced = false; // the target name holds the new file
    bool m_damaged = false;        // the file is neither old nor new; the backup is the copy
    bool m_restored = false;       // a failed rewrite in place put the old bytes back
    bool m_raced = false;          // another program changed the file meanwhile
};

SaveOutcome Save::run(const QByteArray &data, qint64 maxBackupBytes, const FileStatus &checked, bool torn,
                      bool rotate)
{
    m_data = data;
    const Result<FileStatus> target = m_folder.status(m_name);
    if (!target.ok())
        return outcome(fail(FileResult(target.error())));
    m_target = *target;
    if (!m_target.sameFileAs(checked))
        return outcome(fail(changedMeanwhile()));
    if (m_target.exists && !m_target.regular)
        return outcome(fail(notRegular(m_target)));
    const FileResult r = steps(data, maxBackupBytes, torn, rotate);
    if (!r)
        return outcome(r);
    SaveOutcome out;
    out.state = SaveState::Saved;
    out.stamp = DiskStamp::of(m_written, data);
    return out;
}

FileResult Save::steps(const QByteArray &data, qint64 maxBackupBytes, bool torn, bool rotate)
{
    if (!m_target.exists)
        return firstSave(data);
    // The backup is no copy now, but what could not be read back (a file
    // the editor refused to open) is still not saved over.
    if (m_target.size > maxBackupBytes)
        return fail(Fault::Refused, u"the file is larger than %1 bytes"_s.arg(maxBackupBytes));
    if (FileResult r = checkBackupName(); !r)
        return r;
    // Other names linking to the file keep seeing it only if it is
    // rewritten where it is.
    m_inPlace = m_target.links > 1;
    FileResult r = stageNewFile(data);
    // A file rewritten in place needs its old bytes to put back if the
    // write fails, and its backup must be a copy.
    if (r && m_inPlace)
        r = readCurrent(maxBackupBytes);
    // A file whose rewrite was cut short is never made the backup: the
    // backup is its last complete version.
    if (r && !torn && rotate)
        r = stageBackup(maxBackupBytes);
    if (r && !torn && rotate)
        r = placeBackup(m_older.exists);
    if (r)
        r = placeNewFile(data);
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
    const Result<FileStatus> now = m_folder.status(m_name);
    if (m_raced || m_damaged || m_restored || (now.ok() && now->sameFileAs(m_target)))
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
    const Result<FileStatus> older = m_backups.status(m_backupName);
    if (!older.ok())
        return fail(aboutBackup(backupPath(), older.error()));
    m_older = *older;
    if (m_older.symlink)
        return {};
    if (m_older.exists && !m_older.regular)
        return fail(aboutBackup(backupPath(), notRegular(m_older).error()));
    return {};
}

// 1. The new file, complete and on the disk under a temporary name, as the
//    old one's double. Where it cannot be that, the old file itself is
//    rewritten in place later.
FileResult Save::stageNewFile(const QByteArray &data)
{
    if (m_inPlace)
        return {};
    m_newFile = m_folder.saveFile(m_name);
    FileResult r = m_newFile->open(0600);
    if (!r && !folderRefuses(r.code()))
        return fail(r);
    if (r)
        r = adopt(*m_newFile, m_target, m_folder, m_name);
    if (!r) {
        m_newFile.reset();
        m_inPlace = true;
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
        return fail(changedMeanwhile());
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
FileResult Save::stageBackup(qint64 maxBackupBytes)
{
    if (!m_inPlace) {
        m_backupFile = m_backups.saveFile(m_backupName);
        const FileResult named = m_backupFile->openAsNameOf(m_folder, m_name, m_target);
        if (named)
            return {};
        if (raced(named))
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
            return fail(aboutBackup(backupPath(), r.error()));
        const ReadResult older = m_backups.read(m_backupName, maxBackupBytes);
        if (!older.ok())
            return fail(aboutBackup(backupPath(), older.error()));
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
            return fail(aboutBackup(m_backups.pathOf(m_keepName), r.error()));
    }
    if (m_backupInPlace) {
        // On failure it has put the older bytes back itself, as far as it could.
        const Rewrite w = rewriteInPlace(m_backups, m_backupName, m_older, m_current, m_olderBytes);
        m_backupWritten = w.written;
        if (!w.result)
            return fail(aboutBackup(backupPath(), w.result.error()));
    } else if (FileResult r = m_backupFile->commit(); !r) {
        return fail(aboutBackup(backupPath(), r.error()));
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
FileResult Save::placeNewFile(const QByteArray &data)
{
    if (!m_inPlace) {
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
        Failure why = w.result.error();
        why.reason += u"; it is kept in "_s + backupPath();
        return fail(FileResult(why));
    }
    if (marked)
        (void)m_folder.clearRewriteMark(m_name);
    if (!w.result) {
        m_restored = !raced(w.result);
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

SaveOutcome untouched(const Failure &why)
{
    SaveOutcome out;
    out.failure = why;
    return out;
}

} // namespace

SaveOutcome saveWithBackup(FileAccess &files, const QString &path, const QString &backupPath,
                           const QByteArray &data, qint64 maxBackupBytes,
                           const std::optional<DiskStamp> &expected, bool rotateBackup)
{
    try {
        Result<SavePlace> o = openSavePlace(files, path, backupPath);
        if (!o.ok())
            return untouched(o.error());
        const Result<FolderLock> held = lockSavePlace(*o, kSaveLockWaitMs);
        if (!held.ok())
            return untouched(held.error());
        Folder &folder = *o->place.folder;
        // Checked before the leftovers are cleared: removing a second name
        // of the file moves its change time.
        if (expected && changedOnDisk(folder, o->place.name, *expected)) {
            SaveOutcome out;
            out.state = SaveState::Changed;
            out.failure =
                Failure::of(Fault::Changed, u"another program changed the file since it was read"_s);
            out.stamp = DiskStamp::take(folder, o->place.name);
            return out;
        }
        const Result<FileStatus> checked = folder.status(o->place.name);
        if (!checked.ok())
            return untouched(checked.error());
        const Result<Leftovers> left = recoverLocked(*o);
        Save save(folder, o->place.name, *o->backups, o->backupName);
        try {
            return save.run(data, maxBackupBytes, *checked, left.ok() && left->torn, rotateBackup);
        } catch (const std::bad_alloc &) {
            save.undo();
            return save.outcome(FileResult::failure(ENOMEM, outOfMemory()));
        }
    } catch (const std::bad_alloc &) {
        return untouched(Failure::system(ENOMEM, outOfMemory()));
    }
}

Result<FolderLock> lockForSave(FileAccess &files, const QString &path, int waitMs)
{
    Result<Place> place = files.locate(path);
    if (!place.ok())
        return place.error();
    return lockFolders(*place->folder, *place->given, waitMs);
}

QString backupPathFor(const QString &configPath)
{
    const qsizetype slash = configPath.lastIndexOf(u'/');
    const qsizetype dot = configPath.lastIndexOf(u'.');
    if (dot > slash + 1)
        return configPath.first(dot) + u"old"_s + configPath.sliced(dot);
    return configPath + u"old"_s;
}

} // namespace vesk