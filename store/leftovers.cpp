#include "store/leftovers.h"

#include "base/limits.h"

#include <QCryptographicHash>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace vesk
{
namespace
{

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

} // namespace

Result<FolderLock> lockFolders(Folder &a, Folder &b, int waitMs)
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

namespace
{

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
        const Result<FileStatus> st = folder.status(n);
        const uint me = uint(::geteuid());
        if (st.ok() && st->regular
            && (st->owner == me || (target.exists && st->owner == target.owner)
                || st->owner == folder.self().owner))
            (void)folder.remove(n);
    }
}

// The older backup kept aside (".keep") by a save cut short goes back where
// the save did not get to replacing the file, and away where it did.
FileResult recoverKeep(Folder &folder, const QString &name, Folder &backups, const QString &backupName)
{
    const QString keep = backupName + u".keep"_s;
    const Result<FileStatus> keptNow = backups.status(keep);
    if (!keptNow.ok() || !keptNow->exists)
        return keptNow.ok() ? FileResult{} : FileResult(keptNow.error());
    const Result<FileStatus> backupNow = backups.status(backupName);
    if (!backupNow.ok())
        return backupNow.error();
    const FileStatus &kept = *keptNow, &backup = *backupNow;
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
            return b.ok() ? t.error() : b.error();
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
    const Result<FileStatus> target = folder.status(name), backup = backups.status(backupName);
    if (target.ok() && backup.ok() && target->regular && backup->regular && target->device == backup->device
        && target->inode == backup->inode)
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

} // namespace

QByteArray fingerprint(QByteArrayView data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex();
}

Result<SavePlace> openSavePlace(FileAccess &files, const QString &path, const QString &backupPath)
{
    Result<Place> place = files.locate(path);
    if (!place.ok())
        return place.error();
    Result<std::shared_ptr<Folder>> backups = backupFolderOf(files, *place, path, backupPath);
    if (!backups.ok())
        return backups.error();
    return SavePlace{std::move(*place), std::move(*backups), splitPath(backupPath).second};
}

Result<FolderLock> lockSavePlace(const SavePlace &at, int waitMs)
{
    return lockFolders(*at.place.folder, *at.backups, waitMs);
}

Result<Leftovers> recoverLocked(const SavePlace &at)
{
    const Place &place = at.place;
    Folder &backups = *at.backups;
    const QString &backupName = at.backupName;
    Folder &folder = *place.folder;
    const Result<FileStatus> target = folder.status(place.name);
    const FileStatus none;
    clearTemporaries(folder, target.ok() ? *target : none);
    if (&backups != &folder)
        clearTemporaries(backups, target.ok() ? *target : none);
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

Result<Leftovers> recoverLeftovers(FileAccess &files, const QString &path, const QString &backupPath)
{
    try {
        Result<SavePlace> o = openSavePlace(files, path, backupPath);
        if (!o.ok())
            return o.error();
        const Result<FolderLock> held = lockSavePlace(*o, kSaveLockWaitMs);
        if (!held.ok())
            return held.error();
        return recoverLocked(*o);
    } catch (const std::bad_alloc &) {
        return Failure::system(ENOMEM);
    }
}

} // namespace vesk
