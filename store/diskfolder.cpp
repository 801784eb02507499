#include "store/diskfolder.h"

#include <QByteArrayList>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>

using namespace Qt::StringLiterals;

namespace vesk
{

namespace disk
{

QString systemError(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

Failure lastFailure()
{
    const int err = errno;
    return Failure::system(err);
}

FileResult lastError()
{
    return lastFailure();
}

FileStatus statusOf(const struct stat &st)
{
    FileStatus s;
    s.exists = true;
    s.regular = S_ISREG(st.st_mode);
    s.directory = S_ISDIR(st.st_mode);
    s.symlink = S_ISLNK(st.st_mode);
    s.size = qint64(st.st_size);
    s.modifiedNs = qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    s.changedNs = qint64(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec;
    s.device = quint64(st.st_dev);
    s.inode = quint64(st.st_ino);
    s.links = quint64(st.st_nlink);
    s.owner = uint(st.st_uid);
    s.group = uint(st.st_gid);
    s.mode = uint(st.st_mode & 07777);
    return s;
}

Result<QByteArray> nativeName(const QString &name)
{
    if (name.isEmpty() || name == u"."_s || name == u".."_s || name.contains(u'/') || name.contains(QChar(0)))
        return Failure::of(Fault::BadValue, u"\""_s + name + u"\" is no file name"_s);
    return QFile::encodeName(name);
}

Result<Descriptor> openRegular(int dirfd, const QByteArray &name, int flags, struct stat *st)
{
    // O_PATH opens nothing: it only says what is there.
    Descriptor path(::openat(dirfd, name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!path.valid() || ::fstat(path.get(), st) != 0)
        return lastFailure();
    if (S_ISDIR(st->st_mode))
        return Failure::system(EISDIR);
    if (S_ISLNK(st->st_mode))
        return Failure::of(Fault::Refused, u"it is a symbolic link"_s);
    if (!S_ISREG(st->st_mode))
        return Failure::of(Fault::Refused, u"not a regular file"_s);
    // Opened again through the descriptor, it is the very file looked at.
    const QByteArray again = "/proc/self/fd/" + QByteArray::number(path.get());
    Descriptor fd(::open(again.constData(), flags | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid() && errno == ENOENT) {
        // No /proc: by name, then made sure it is still the same file.
        fd.reset(::openat(dirfd, name.constData(), flags | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        struct stat now {
        };
        if (fd.valid()
            && (::fstat(fd.get(), &now) != 0 || now.st_dev != st->st_dev || now.st_ino != st->st_ino))
            return Failure::of(Fault::Changed, u"another file took its place while it was opened"_s);
    }
    if (!fd.valid())
        return lastFailure();
    return fd;
}

QString accountName(uint uid)
{
    struct passwd pw {
    }, *found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(uid_t(uid), &pw, buffer, sizeof buffer, &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    return u"the account %1"_s.arg(uid);
}

namespace
{

QString groupName(gid_t gid)
{
    struct group gr {
    }, *found = nullptr;
    char buffer[4096];
    if (::getgrgid_r(gid, &gr, buffer, sizeof buffer, &found) == 0 && found)
        return u"the group "_s + QString::fromLocal8Bit(found->gr_name);
    return u"the group %1"_s.arg(gid);
}

bool trusted(uid_t uid)
{
    return uid == 0 || uid == ::geteuid();
}

} // namespace

QString controller(const struct stat &dir, const FileStatus &entry)
{
    // The folder's owner can rename or remove anything in it.
    if (!trusted(dir.st_uid))
        return accountName(dir.st_uid);
    const bool others = dir.st_mode & S_IWOTH;
    const bool group = (dir.st_mode & S_IWGRP) && dir.st_gid != ::getegid() && dir.st_gid != 0;
    if (!others && !group)
        return {};
    // In a sticky folder (/tmp) only an entry's owner can replace it; a
    // name not taken yet anybody can.
    if ((dir.st_mode & S_ISVTX) && entry.exists)
        return trusted(uid_t(entry.owner)) ? QString() : accountName(uid_t(entry.owner));
    return others ? u"any account"_s : groupName(dir.st_gid);
}

DiskFolder::DiskFolder(QString path, Descriptor fd, const struct stat &self, QString pathController)
    : Folder(std::move(path), statusOf(self), std::move(pathController)), m_fd(std::move(fd))
{
}

Result<FileStatus> DiskFolder::status(const QString &name)
{
    const Result<QByteArray> native = nativeName(name);
    if (!native.ok())
        return native.error();
    struct stat st {
    };
    if (::fstatat(m_fd.get(), native->constData(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return statusOf(st);
    // Only "no such file" means absent.
    if (errno != ENOENT)
        return lastFailure();
    return FileStatus{};
}

ReadResult DiskFolder::read(const QString &name, qint64 maxBytes)
{
    const Result<QByteArray> native = nativeName(name);
    if (!native.ok())
        return native.error();
    const auto tooLarge = [&] {
        return Failure::of(Fault::Refused, u"the file is larger than %1 bytes"_s.arg(maxBytes));
    };
    struct stat st {
    };
    Result<Descriptor> fd = openRegular(m_fd.get(), *native, O_RDONLY, &st);
    if (!fd.ok())
        return fd.error();
    // The stamp comes from this descriptor, before the bytes: a write while
    // they are read then shows as a change.
    if (::fstat(fd->get(), &st) != 0)
        return lastFailure();
    FileContent out{QByteArray(), statusOf(st)};
    if (st.st_size > maxBytes)
        return tooLarge();
    QByteArray &data = out.bytes;
    data.resize(qsizetype(st.st_size));
    qsizetype got = 0;
    for (;;) {
        if (got == data.size()) {
            // The file may have grown since fstat; read on, within the limit.
            if (data.size() > maxBytes)
                break;
            data.resize(std::min<qsizetype>(data.size() + 65536, qsizetype(maxBytes) + 1));
        }
        const ssize_t n = ::read(fd->get(), data.data() + got, size_t(data.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return lastFailure();
        if (n == 0)
            break;
        got += n;
    }
    if (got > maxBytes)
        return tooLarge();
    data.truncate(got);
    return out;
}

Result<QString> DiskFolder::linkTarget(const QString &name)
{
    const Result<QByteArray> native = nativeName(name);
    if (!native.ok())
        return native.error();
    QByteArray out;
    for (qsizetype size = 256; size <= 65536; size *= 2) {
        out.resize(size);
        const ssize_t got = ::readlinkat(m_fd.get(), native->constData(), out.data(), size_t(size));
        if (got < 0)
            return lastFailure();
        if (got < size)
            return QFile::decodeName(out.first(got));
    }
    return Failure::system(ENAMETOOLONG);
}

std::unique_ptr<SaveFile> DiskFolder::saveFile(const QString &name)
{
    const Result<QByteArray> native = nativeName(name);
    return makeSaveFile(m_fd.get(), native.ok() ? *native : QByteArray(), false, {});
}

std::unique_ptr<SaveFile> DiskFolder::rewriteFile(const QString &name, const FileStatus &expected)
{
    const Result<QByteArray> native = nativeName(name);
    return makeSaveFile(m_fd.get(), native.ok() ? *native : QByteArray(), true, expected);
}

FileResult DiskFolder::rename(const QString &from, const QString &to)
{
    const Result<QByteArray> a = nativeName(from), b = nativeName(to);
    if (!a.ok() || !b.ok())
        return a.ok() ? b.error() : a.error();
    return ::renameat(m_fd.get(), a->constData(), m_fd.get(), b->constData()) == 0 ? FileResult{}
                                                                                   : lastError();
}

FileResult DiskFolder::remove(const QString &name)
{
    const Result<QByteArray> native = nativeName(name);
    if (!native.ok())
        return native.error();
    return ::unlinkat(m_fd.get(), native->constData(), 0) == 0 ? FileResult{} : lastError();
}

FileResult DiskFolder::link(const QString &from, const QString &to)
{
    const Result<QByteArray> a = nativeName(from), b = nativeName(to);
    if (!a.ok() || !b.ok())
        return a.ok() ? b.error() : a.error();
    return ::linkat(m_fd.get(), a->constData(), m_fd.get(), b->constData(), 0) == 0 ? FileResult{}
                                                                                    : lastError();
}

FileResult DiskFolder::sync()
{
    const int rc = ::fsync(m_fd.get());
    const int err = errno;
    // Some file systems cannot sync a folder at all, and a folder opened
    // without the right to read it cannot be synced: that is no failure.
    return rc == 0 || err == EINVAL || err == EROFS || err == EBADF ? FileResult{} : FileResult::failure(err);
}

Result<QStringList> DiskFolder::names()
{
    DIR *dir = ::fdopendir(::openat(m_fd.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir)
        return lastFailure();
    QStringList out;
    errno = 0;
    while (const dirent *e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            out << QFile::decodeName(e->d_name);
    }
    const int err = errno;
    ::closedir(dir);
    if (err != 0)
        return Failure::system(err);
    return out;
}

} // namespace disk
} // namespace vesk
