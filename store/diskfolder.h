#pragma once

// The real file system behind FileAccess: what the folder, the file being
// written and the path walk share.

#include "store/fileaccess.h"

#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace vesk::disk
{

// Links followed in a row before a path counts as a loop, as the system
// counts them.
inline constexpr int kMaxLinkHops = 40;

QString systemError(int err);
// The failure errno names.
Failure lastFailure();
FileResult lastError();
FileStatus statusOf(const struct stat &st);

// A file descriptor closed when it goes out of scope, on every way out.
class Descriptor
{
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    Descriptor(Descriptor &&o) noexcept : m_fd(std::exchange(o.m_fd, -1)) {}
    Descriptor &operator=(Descriptor &&o) noexcept
    {
        if (this != &o)
            reset(std::exchange(o.m_fd, -1));
        return *this;
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor() { reset(); }
    bool valid() const { return m_fd >= 0; }
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

// The name as the system takes it; refused when it would name anything but
// one entry of a folder ("", ".", "..", a slash, a NUL).
Result<QByteArray> nativeName(const QString &name);

// Opens the regular file `name` in the folder dirfd with flags. Its type is
// looked at before it is opened, so a link, a FIFO or a device is refused
// without being opened (opening a device can set it off); *st gets its
// status.
Result<Descriptor> openRegular(int dirfd, const QByteArray &name, int flags, struct stat *st);

// "vesk" for uid 1001: the account's name, or its number where it has none.
QString accountName(uint uid);

// Who besides this account and root can change which file `entry` (a name
// in the folder `dir`) leads to; see Folder::controllerOf().
QString controller(const struct stat &dir, const FileStatus &entry);
// Why the link at `link`, in a folder `by` can change, is not followed,
// and what to do instead.
Failure linkRefused(const QString &link, const QString &by, const Result<QString> &target);

class DiskFolder final : public Folder
{
public:
    DiskFolder(QString path, Descriptor fd, const struct stat &self, QString pathController);

    Result<FileStatus> status(const QString &name) override;
    ReadResult read(const QString &name, qint64 maxBytes) override;
    Result<QString> linkTarget(const QString &name) override;
    std::unique_ptr<SaveFile> saveFile(const QString &name) override;
    std::unique_ptr<SaveFile> rewriteFile(const QString &name, const FileStatus &expected) override;
    FileResult rename(const QString &from, const QString &to) override;
    FileResult remove(const QString &name) override;
    FileResult link(const QString &from, const QString &to) override;
    FileResult sync() override;
    Result<QStringList> names() override;
    Result<FolderLock> lock(int waitMs) override;
    FileResult setRewriteMark(const QString &name, const QByteArray &note) override;
    Result<std::optional<QByteArray>> rewriteMark(const QString &name) override;
    FileResult clearRewriteMark(const QString &name) override;
    int descriptor() const override { return m_fd.get(); }

private:
    Descriptor m_fd;
};

// A temporary in the folder (or, rewrite, the file `name` itself, which
// must still be `expected`).
std::unique_ptr<SaveFile> makeSaveFile(int folderFd, const QByteArray &name, bool rewrite,
                                       const FileStatus &expected);

} // namespace vesk::disk
