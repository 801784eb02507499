#include "config/fileaccess.h"

#include <QByteArrayList>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace vesk
{

namespace
{

QString systemError(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

// A file descriptor closed when it goes out of scope, on every way out.
class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool valid() const { return m_fd >= 0; }
    int get() const { return m_fd; }

private:
    int m_fd;
};

// A path with a NUL in it would reach the system cut short at the NUL and
// name another file; it names no file at all.
bool hasNul(const QString &path)
{
    return path.contains(QChar(0));
}

QByteArray folderOf(const QByteArray &native)
{
    const qsizetype slash = native.lastIndexOf('/');
    if (slash < 0)
        return "."_ba;
    return slash == 0 ? "/"_ba : native.first(slash);
}

FileResult lastError()
{
    return FileResult::failure(errno);
}

bool readLink(const QByteArray &name, QByteArray &out)
{
    for (qsizetype size = 256; size <= 65536; size *= 2) {
        out.resize(size);
        const ssize_t got = ::readlink(name.constData(), out.data(), size_t(size));
        if (got < 0)
            return false;
        if (got < size) {
            out.truncate(qsizetype(got));
            return true;
        }
    }
    errno = ENAMETOOLONG;
    return false;
}

// ---- extended attributes ----------------------------------------------------

// Calls get(buffer, size) until the buffer is large enough; -1 and errno on
// failure.
template <class Get> ssize_t fetch(QByteArray &out, Get get)
{
    for (int tries = 0; tries < 8; ++tries) {
        const ssize_t need = get(nullptr, 0);
        if (need < 0)
            return -1;
        out.resize(qsizetype(need));
        const ssize_t got = get(out.data(), size_t(need));
        if (got >= 0) {
            out.truncate(qsizetype(got));
            return got;
        }
        if (errno != ERANGE) // it grew in between: ask again
            return -1;
    }
    errno = ERANGE;
    return -1;
}

// The names of a file's extended attributes; none where it has no support.
FileResult attributeNames(int fd, QByteArrayList &names)
{
    QByteArray list;
    if (fetch(list, [fd](char *b, size_t n) { return ::flistxattr(fd, b, n); }) < 0)
        return errno == ENOTSUP ? FileResult{} : lastError();
    names = list.split('\0');
    names.removeAll(QByteArray());
    return {};
}

// Makes the attributes of `to` those of `from`. Equal values are left as they
// are, so a file that already carries what it should (a security label set on
// creation) needs no right to change it.
FileResult copyAttributesBetween(int from, int to)
{
    QByteArrayList wanted, present;
    if (FileResult r = attributeNames(from, wanted); !r)
        return r;
    if (FileResult r = attributeNames(to, present); !r)
        return r;
    for (const QByteArray &name : std::as_const(wanted)) {
        QByteArray value, current;
        if (fetch(value, [&](char *b, size_t n) { return ::fgetxattr(from, name.constData(), b, n); }) < 0) {
            if (errno == ENODATA) // removed meanwhile
                continue;
            return lastError();
        }
        if (present.contains(name)
            && fetch(current, [&](char *b, size_t n) { return ::fgetxattr(to, name.constData(), b, n); }) >= 0
            && current == value)
            continue;
        if (::fsetxattr(to, name.constData(), value.constData(), size_t(value.size()), 0) != 0)
            return lastError();
    }
    // What the new file got from its folder (a default access list) but the
    // old one did not have would widen or narrow who may read it.
    for (const QByteArray &name : std::as_const(present))
        if (!wanted.contains(name) && ::fremovexattr(to, name.constData()) != 0 && errno != ENODATA)
            return lastError();
    return {};
}

// ---- the file being written -------------------------------------------------

class DiskSaveFile : public SaveFile
{
public:
    // A temporary beside path, or (rewrite) path itself if it is still the
    // file with this device and inode.
    DiskSaveFile(const QString &path, bool rewrite, quint64 device = 0, quint64 inode = 0)
        : m_path(path), m_rewrite(rewrite), m_device(device), m_inode(inode)
    {
    }
    ~DiskSaveFile() override { cancel(); }

    FileResult open(uint mode) override
    {
        if (m_path.isEmpty() || hasNul(m_path))
            return FileResult::failure(m_path.isEmpty() ? ENOENT : EINVAL);
        m_native = QFile::encodeName(m_path);
        return m_rewrite ? openExisting() : openTemporary(mode);
    }
    FileResult openAsNameOf(const QString &existing) override
    {
        if (m_rewrite || m_path.isEmpty() || hasNul(m_path) || hasNul(existing))
            return FileResult::failure(EINVAL);
        m_native = QFile::encodeName(m_path);
        const QByteArray from = QFile::encodeName(existing);
        // linkat() never creates through a link at the new name, and does
        // not follow one at the old.
        return makeTemporary([&](const QByteArray &name) {
            return ::linkat(AT_FDCWD, from.constData(), AT_FDCWD, name.constData(), 0) == 0;
        });
    }
    FileResult setOwner(uint owner, uint group) override
    {
        return ::fchown(m_fd, uid_t(owner), gid_t(group)) == 0 ? FileResult{} : lastError();
    }
    FileResult setPermissions(uint mode) override
    {
        return ::fchmod(m_fd, mode_t(mode & 07777)) == 0 ? FileResult{} : lastError();
    }
    FileResult copyAttributes(const QString &from) override
    {
        if (hasNul(from))
            return FileResult::failure(EINVAL);
        const Descriptor src(
            ::open(QFile::encodeName(from).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (!src.valid())
            return lastError();
        return copyAttributesBetween(src.get(), m_fd);
    }
    FileResult reserve(qint64 size) override
    {
        if (size <= 0)
            return {};
        // Keeping the size, so that the file never shows a tail of zeros.
        if (::fallocate(m_fd, FALLOC_FL_KEEP_SIZE, 0, off_t(size)) == 0)
            return {};
        return errno == EOPNOTSUPP || errno == ENOSYS || errno == EINVAL ? FileResult{} : lastError();
    }
    FileResult write(QByteArrayView data) override
    {
        qsizetype done = 0;
        while (done < data.size()) {
            const ssize_t n = ::pwrite(m_fd, data.data() + done, size_t(data.size() - done), off_t(done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return lastError();
            if (n == 0)
                return FileResult::failure(EIO);
            done += qsizetype(n);
        }
        return {};
    }
    FileResult truncate(qint64 size) override
    {
        return ::ftruncate(m_fd, off_t(size)) == 0 ? FileResult{} : lastError();
    }
    FileResult flush() override { return ::fdatasync(m_fd) == 0 ? FileResult{} : lastError(); }
    FileResult commit() override
    {
        // A failing close can be the first word of a lost write.
        // (A second name has no descriptor.)
        const int fd = std::exchange(m_fd, -1);
        if (fd >= 0 && ::close(fd) != 0)
            return lastError();
        if (m_rewrite)
            return {};
        if (::rename(m_temp.constData(), m_native.constData()) != 0)
            return lastError();
        m_temp.clear();
        return {};
    }
    // Allocates nothing, so that it can run while memory has run out.
    void cancel() override
    {
        if (m_fd >= 0)
            ::close(std::exchange(m_fd, -1));
        if (!m_temp.isEmpty()) {
            ::unlink(m_temp.constData());
            m_temp.clear();
        }
    }

private:
    FileResult openTemporary(uint mode)
    {
        return makeTemporary([&](const QByteArray &name) {
            // A name nobody could guess, made here and now: no link or file
            // planted in advance can be written through.
            m_fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          mode_t(mode & 0777));
            return m_fd >= 0;
        });
    }
    // Tries fresh unguessable names beside the target until make(name)
    // succeeds or fails for another reason than the name being taken.
    template <class Make> FileResult makeTemporary(Make make)
    {
        const QByteArray prefix = folderOf(m_native) + "/.veskfrontend-";
        static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
        for (int tries = 0; tries < 100; ++tries) {
            QByteArray name = prefix;
            for (int i = 0; i < 12; ++i)
                name += kChars[QRandomGenerator::system()->bounded(int(sizeof kChars - 1))];
            name += ".tmp";
            if (make(name)) {
                m_temp = name;
                return {};
            }
            if (errno != EEXIST)
                return lastError();
        }
        return FileResult::failure(EEXIST);
    }
    FileResult openExisting()
    {
        m_fd = ::open(m_native.constData(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0)
            return lastError();
        struct stat st {
        };
        if (::fstat(m_fd, &st) != 0)
            return lastError();
        if (!S_ISREG(st.st_mode) || quint64(st.st_dev) != m_device || quint64(st.st_ino) != m_inode) {
            cancel();
            return FileResult::failure(ESTALE, u"another file took its place while saving"_s);
        }
        return {};
    }

    QString m_path;
    bool m_rewrite;
    quint64 m_device, m_inode;
    QByteArray m_native;
    QByteArray m_temp; // set while a temporary of ours exists
    int m_fd = -1;
};

} // namespace

FileStatus DiskFileAccess::status(const QString &path)
{
    FileStatus s;
    s.resolved = path;
    if (path.isEmpty() || hasNul(path))
        return s;
    QByteArray name = QFile::encodeName(path);
    struct stat st {
    };
    // Only "no such file" means absent: a save that took any other failure
    // for a missing file would write without keeping a backup.
    auto absentOrError = [&] {
        if (errno != ENOENT && errno != ENOTDIR)
            s.error = systemError(errno);
        return s;
    };
    if (::lstat(name.constData(), &st) != 0)
        return absentOrError();
    if (S_ISLNK(st.st_mode)) {
        s.symlink = true;
        // Followed one step at a time, to know the name a write lands on
        // even when it does not exist yet.
        for (int hops = 0; S_ISLNK(st.st_mode); ++hops) {
            QByteArray to;
            if (hops == 40 || !readLink(name, to)) {
                s.error = systemError(hops == 40 ? ELOOP : errno);
                return s;
            }
            name = to.startsWith('/') ? to : folderOf(name) + '/' + to;
            s.resolved = QFile::decodeName(name);
            if (::lstat(name.constData(), &st) != 0)
                return absentOrError();
        }
    }
    const QFileInfo info(path);
    s.exists = true;
    s.regular = S_ISREG(st.st_mode);
    s.directory = S_ISDIR(st.st_mode);
    s.size = qint64(st.st_size);
    s.permissions = info.permissions();
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

ReadResult DiskFileAccess::read(const QString &path, qint64 maxBytes)
{
    if (path.isEmpty() || hasNul(path))
        return Failure{path.isEmpty() ? ENOENT : EINVAL, systemError(path.isEmpty() ? ENOENT : EINVAL)};
    const auto tooLarge = [&] { return Failure{EFBIG, u"the file is larger than %1 bytes"_s.arg(maxBytes)}; };
    // O_NONBLOCK so that a FIFO cannot stall the editor; the type is checked
    // on the opened descriptor, so the answer cannot change under us.
    const Descriptor fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st {
    };
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0)
        return lastError().error();
    if (!S_ISREG(st.st_mode))
        return S_ISDIR(st.st_mode) ? Failure{EISDIR, systemError(EISDIR)}
                                   : Failure{EINVAL, u"not a regular file"_s};
    if (st.st_size > maxBytes)
        return tooLarge();
    QByteArray data(qsizetype(st.st_size), Qt::Uninitialized);
    qsizetype got = 0;
    for (;;) {
        if (got == data.size()) {
            // The file may have grown since fstat; read on, within the limit.
            if (data.size() > maxBytes)
                break;
            data.resize(std::min<qsizetype>(data.size() + 65536, qsizetype(maxBytes) + 1));
        }
        const ssize_t n = ::read(fd.get(), data.data() + got, size_t(data.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return lastError().error();
        if (n == 0)
            break;
        got += n;
    }
    if (got > maxBytes)
        return tooLarge();
    data.truncate(got);
    return data;
}

std::unique_ptr<SaveFile> DiskFileAccess::saveFile(const QString &path)
{
    return std::make_unique<DiskSaveFile>(path, false);
}

std::unique_ptr<SaveFile> DiskFileAccess::rewriteFile(const QString &path, quint64 device, quint64 inode)
{
    return std::make_unique<DiskSaveFile>(path, true, device, inode);
}

FileResult DiskFileAccess::rename(const QString &from, const QString &to)
{
    if (hasNul(from) || hasNul(to))
        return FileResult::failure(EINVAL);
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0
               ? FileResult{}
               : lastError();
}

FileResult DiskFileAccess::remove(const QString &path)
{
    if (hasNul(path))
        return FileResult::failure(EINVAL);
    return ::unlink(QFile::encodeName(path).constData()) == 0 ? FileResult{} : lastError();
}

FileResult DiskFileAccess::link(const QString &from, const QString &to)
{
    if (hasNul(from) || hasNul(to))
        return FileResult::failure(EINVAL);
    return ::linkat(AT_FDCWD, QFile::encodeName(from).constData(), AT_FDCWD,
                    QFile::encodeName(to).constData(), 0)
                   == 0
               ? FileResult{}
               : lastError();
}

FileResult DiskFileAccess::syncFolder(const QString &path)
{
    if (hasNul(path))
        return FileResult::failure(EINVAL);
    const Descriptor fd(
        ::open(folderOf(QFile::encodeName(path)).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid())
        return lastError();
    const int rc = ::fsync(fd.get());
    const int err = errno;
    // Some file systems cannot sync a folder at all; that is no failure.
    return rc == 0 || err == EINVAL || err == EROFS ? FileResult{} : FileResult::failure(err);
}

FileResult replaceFile(FileAccess &files, const QString &path, QByteArrayView data)
{
    const FileStatus st = files.status(path);
    if (!st.error.isEmpty())
        return FileResult::failure(EIO, st.error);
    if (st.exists && !st.regular)
        return st.directory ? FileResult::failure(EISDIR)
                            : FileResult::failure(EINVAL, u"not a regular file"_s);
    const auto file = files.saveFile(st.resolved);
    FileResult r = file->open(0666);
    if (r && st.exists)
        r = file->setPermissions(st.mode);
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
    return files.syncFolder(st.resolved);
}

} // namespace vesk
