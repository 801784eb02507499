#include "store/fileaccess.h"

#include "store/diskfolder.h"

#include <QDir>

#include <cerrno>

using namespace Qt::StringLiterals;

namespace vesk
{

QString Folder::pathOf(const QString &name) const
{
    return m_path.endsWith(u'/') ? m_path + name : m_path + u'/' + name;
}

QString Folder::controllerOf(const FileStatus &entry) const
{
    if (!m_pathController.isEmpty())
        return m_pathController;
    struct stat dir {
    };
    dir.st_uid = uid_t(m_self.owner);
    dir.st_gid = gid_t(m_self.group);
    dir.st_mode = mode_t(m_self.mode);
    return disk::controller(dir, entry);
}

std::pair<QString, QString> splitPath(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return {u"."_s, path};
    return {slash == 0 ? u"/"_s : path.first(slash), path.sliced(slash + 1)};
}

Result<Place> FileAccess::locate(const QString &path)
{
    if (path.isEmpty() || path.contains(QChar(0)))
        return Failure::system(path.isEmpty() ? ENOENT : EINVAL);
    Place p;
    QString next = path;
    for (int hops = 0;; ++hops) {
        auto [dir, name] = splitPath(next);
        if (name.isEmpty() || name == u"."_s || name == u".."_s)
            return Failure::system(EISDIR);
        Result<std::unique_ptr<Folder>> folder = openFolder(dir);
        if (!folder.ok())
            return folder.error();
        p.folder = std::shared_ptr<Folder>(std::move(*folder));
        p.name = name;
        if (!p.given) {
            p.given = p.folder;
            p.givenName = name;
        }
        const Result<FileStatus> st = p.folder->status(name);
        if (!st.ok())
            return st.error();
        if (!st->symlink)
            return p;
        // A link of the user's own is followed, as the system would.
        const Result<QString> target = p.folder->linkTarget(name);
        if (const QString by = p.folder->controllerOf(*st); !by.isEmpty())
            return disk::linkRefused(p.folder->pathOf(name), by, target);
        if (!target.ok())
            return target.error();
        if (hops == disk::kMaxLinkHops)
            return Failure::system(ELOOP);
        next = target->startsWith(u'/') ? *target : p.folder->pathOf(*target);
        p.viaLink = true;
    }
}

Result<FileStatus> FileAccess::status(const QString &path)
{
    // A path with a NUL in it names no file at all.
    if (path.contains(QChar(0)))
        return FileStatus{};
    const Result<Place> place = locate(path);
    if (!place.ok()) {
        // Only "no such file" means absent.
        if (place.code() == ENOENT || place.code() == ENOTDIR)
            return FileStatus{};
        return place.error();
    }
    Result<FileStatus> s = place->folder->status(place->name);
    if (s.ok())
        s->symlink = place->viaLink;
    return s;
}

ReadResult FileAccess::read(const QString &path, qint64 maxBytes)
{
    const Result<Place> place = locate(path);
    if (!place.ok())
        return place.error();
    return place->folder->read(place->name, maxBytes);
}

FileResult replaceFile(FileAccess &files, const QString &path, QByteArrayView data)
{
    const Result<Place> place = files.locate(path);
    if (!place.ok())
        return place.error();
    Folder &folder = *place->folder;
    // Other copies of the editor clear temporaries of theirs in this folder
    // only while they hold its lock.
    const Result<FolderLock> held = folder.lock(10'000);
    if (!held.ok())
        return held.error();
    const Result<FileStatus> st = folder.status(place->name);
    if (!st.ok())
        return st.error();
    if (st->exists && !st->regular)
        return st->directory ? Failure::system(EISDIR) : Failure::of(Fault::Refused, u"not a regular file"_s);
    const auto file = folder.saveFile(place->name);
    FileResult r = file->open(0666);
    if (r && st->exists)
        r = file->setPermissions(st->mode);
    if (r)
        r = file->write(data);
    if (r)
        r = file->flush();
    if (r)
        r = file->commit();
    if (!r) {
        file->cancel();
        return r;
    }
    return folder.sync();
}

} // namespace vesk
