#include "store/savesteps.h"

#include <cerrno>
#include <new>

using namespace Qt::StringLiterals;

namespace vesk::save
{

QString outOfMemory()
{
    return u"Cannot allocate memory"_s;
}

FileResult aboutBackup(const QString &backupPath, Failure why)
{
    why.reason = u"the backup "_s + backupPath + u": "_s + why.reason;
    return why;
}

FileResult notRegular(const FileStatus &st)
{
    if (st.symlink)
        return Failure::of(Fault::Changed, u"another program put a symbolic link in its place"_s);
    return st.directory ? Failure::system(EISDIR) : Failure::of(Fault::Refused, u"not a regular file"_s);
}

bool folderRefuses(int code)
{
    return code == EACCES || code == EPERM || code == EROFS || code == ENOSPC || code == EDQUOT;
}

bool noHardLinks(int code)
{
    return code == EPERM || code == EOPNOTSUPP || code == ENOSYS || code == EMLINK;
}

FileResult changedMeanwhile()
{
    return Failure::of(Fault::Changed, u"another program changed the file while it was being saved"_s);
}

bool raced(const FileResult &r)
{
    return !r && r.fault() == Fault::Changed;
}

FileResult adopt(SaveFile &file, const FileStatus &old, Folder &from, const QString &name)
{
    FileResult r = file.setOwner(old.owner, old.group);
    if (r)
        r = file.setPermissions(old.mode); // after chown, which may clear bits
    if (r)
        r = file.copyAttributes(from, name);
    return r;
}

void adoptForBackup(SaveFile &file, const FileStatus &old, Folder &from, const QString &name)
{
    uint mode = old.mode;
    if (!file.setOwner(old.owner, old.group) && !file.setOwner(uint(-1), old.group))
        mode = (mode & ~070u) | (mode & ((mode & 07u) << 3));
    (void)file.setPermissions(mode); // failing that, it stays private
    (void)file.copyAttributes(from, name);
}

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
        Failure why = w.result.error();
        why.reason += u"; its old contents could not be written back either ("_s + back.reason() + u')';
        w.result = why;
    }
    return w;
}

} // namespace vesk::save
