#include "toolkit/fileaccess.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace vesk {
namespace {

QString systemError(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

// A path with a NUL in it would reach the system cut short at the NUL and
// name another file; it names no file at all.
bool hasNul(const QString &path) { return path.contains(QChar(0)); }

class DiskSaveFile : public SaveFile {
public:
    explicit DiskSaveFile(const QString &path) : m_file(path) {}
    bool open() override
    {
        if (hasNul(m_file.fileName())) {
            m_error = systemError(EINVAL);
            return false;
        }
        // Unbuffered: when a buffered flush fills the disk part way, Qt
        // drops the system's reason ("Unknown error"); a direct write that
        // runs out reports "No space left on device".
        return m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    qint64 write(QByteArrayView data) override { return m_file.write(data.data(), data.size()); }
    bool flush() override { return m_file.flush(); }
    bool setPermissions(QFileDevice::Permissions permissions) override
    {
        return m_file.setPermissions(permissions);
    }
    bool commit() override { return m_file.commit(); }
    void cancel() override { m_file.cancelWriting(); }
    QString errorString() const override { return m_error.isEmpty() ? m_file.errorString() : m_error; }

private:
    QSaveFile m_file;
    QString m_error;
};

} // namespace

FileStatus DiskFileAccess::status(const QString &path)
{
    FileStatus s;
    struct stat st {};
    if (path.isEmpty() || hasNul(path) || ::stat(QFile::encodeName(path).constData(), &st) != 0) {
        // Only "no such file" means absent: a save that took any other
        // failure for a missing file would write without keeping a backup.
        const int err = path.isEmpty() || hasNul(path) ? ENOENT : errno;
        if (err != ENOENT && err != ENOTDIR)
            s.error = systemError(err);
        return s;
    }
    const QFileInfo info(path);
    s.exists = true;
    s.regular = S_ISREG(st.st_mode);
    s.size = qint64(st.st_size);
    s.permissions = info.permissions();
    s.modified = info.lastModified();
    return s;
}

ReadResult DiskFileAccess::read(const QString &path, qint64 maxBytes)
{
    ReadResult r;
    if (path.isEmpty() || hasNul(path)) {
        r.error = systemError(path.isEmpty() ? ENOENT : EINVAL);
        return r;
    }
    // O_NONBLOCK so that a FIFO cannot stall the editor; the type is checked
    // on the opened descriptor, so the answer cannot change under us.
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        r.error = systemError(errno);
        return r;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        r.error = systemError(errno);
        ::close(fd);
        return r;
    }
    if (!S_ISREG(st.st_mode)) {
        r.error = S_ISDIR(st.st_mode) ? systemError(EISDIR) : u"not a regular file"_s;
        ::close(fd);
        return r;
    }
    if (st.st_size > maxBytes) {
        r.error = u"the file is larger than %1 bytes"_s.arg(maxBytes);
        ::close(fd);
        return r;
    }
    r.data.resize(qsizetype(st.st_size));
    qsizetype got = 0;
    for (;;) {
        if (got == r.data.size()) {
            // The file may have grown since fstat; read on, within the limit.
            if (r.data.size() > maxBytes)
                break;
            r.data.resize(std::min<qsizetype>(r.data.size() + 65536, qsizetype(maxBytes) + 1));
        }
        const ssize_t n = ::read(fd, r.data.data() + got, size_t(r.data.size() - got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            r.error = systemError(errno);
            ::close(fd);
            r.data.clear();
            return r;
        }
        if (n == 0)
            break;
        got += n;
    }
    ::close(fd);
    if (got > maxBytes) {
        r.error = u"the file is larger than %1 bytes"_s.arg(maxBytes);
        r.data.clear();
        return r;
    }
    r.data.truncate(got);
    r.ok = true;
    return r;
}

std::unique_ptr<SaveFile> DiskFileAccess::saveFile(const QString &path)
{
    return std::make_unique<DiskSaveFile>(path);
}

bool DiskFileAccess::rename(const QString &from, const QString &to, QString *error)
{
    if (hasNul(from) || hasNul(to)) {
        if (error)
            *error = systemError(EINVAL);
        return false;
    }
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    if (error)
        *error = systemError(errno);
    return false;
}

bool DiskFileAccess::remove(const QString &path, QString *error)
{
    if (hasNul(path)) {
        if (error)
            *error = systemError(EINVAL);
        return false;
    }
    if (::unlink(QFile::encodeName(path).constData()) == 0)
        return true;
    if (error)
        *error = systemError(errno);
    return false;
}

namespace {
bool failWith(SaveFile &file, QString *error)
{
    if (error) {
        *error = file.errorString();
        if (error->isEmpty())
            *error = u"unknown error"_s;
    }
    file.cancel();
    return false;
}
} // namespace

bool stage(SaveFile &file, QByteArrayView data, QString *error,
           std::optional<QFileDevice::Permissions> permissions)
{
    if (!file.open())
        return failWith(file, error);
    if (permissions && !file.setPermissions(*permissions))
        return failWith(file, error);
    qsizetype done = 0;
    while (done < data.size()) {
        const qint64 n = file.write(data.sliced(done));
        if (n <= 0)
            return failWith(file, error);
        done += qsizetype(n);
    }
    if (!file.flush())
        return failWith(file, error);
    return true;
}

bool writeAndCommit(SaveFile &file, QByteArrayView data, QString *error)
{
    if (!stage(file, data, error))
        return false;
    if (!file.commit())
        return failWith(file, error);
    return true;
}

} // namespace vesk
