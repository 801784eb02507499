#include "store/diskfolder.h"

#include <QByteArrayList>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/xattr.h>

using namespace Qt::StringLiterals;

namespace vesk::disk
{
namespace
{

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

// Rename flags the file system may not know (network file systems, old
// kernels): the caller then does without.
bool flagsUnsupported(int err)
{
    return err == EINVAL || err == ENOSYS || err == EOPNOTSUPP;
}

FileResult stale()
{
    return Failure::of(Fault::Changed,
                       u"another program changed or replaced the file while it was being saved"_s);
}

// ---- the file being written -------------------------------------------------

class DiskSaveFile : public SaveFile
{
public:
    DiskSaveFile(int folderFd, QByteArray name, bool rewrite, FileStatus expected)
        : m_folder(::fcntl(folderFd, F_DUPFD_CLOEXEC, 0)), m_name(std::move(name)), m_rewrite(rewrite),
          m_expected(expected)
    {
    }
    ~DiskSaveFile() override { cancel(); }

    FileResult open(uint mode) override
    {
        if (!m_folder.valid() || m_name.isEmpty())
            return FileResult::failure(m_folder.valid() ? EINVAL : EBADF);
        return m_rewrite ? openExisting() : openTemporary(mode);
    }
    FileResult openAsNameOf(Folder &from, const QString &name, const FileStatus &expected) override
    {
        const Result<QByteArray> source = nativeName(name);
        if (m_rewrite || !source.ok() || from.descriptor() < 0 || !m_folder.valid())
            return FileResult::failure(EINVAL);
        // linkat() never creates through a link at the new name, and does
        // not follow one at the old.
        if (FileResult r = makeTemporary([&](const QByteArray &temp) {
                return ::linkat(from.descriptor(), source->constData(), m_folder.get(), temp.constData(), 0)
                       == 0;
            });
            !r)
            return r;
        // What got the second name must be the file the save examined.
        struct stat st {
        };
        if (::fstatat(m_folder.get(), m_temp.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0
            || !S_ISREG(st.st_mode) || !statusOf(st).sameFileAs(expected)) {
            cancel();
            return stale();
        }
        return {};
    }
    FileResult setOwner(uint owner, uint group) override
    {
        return ::fchown(m_fd.get(), uid_t(owner), gid_t(group)) == 0 ? FileResult{} : lastError();
    }
    FileResult setPermissions(uint mode) override
    {
        return ::fchmod(m_fd.get(), mode_t(mode & 07777)) == 0 ? FileResult{} : lastError();
    }
    FileResult copyAttributes(Folder &from, const QString &name) override
    {
        const Result<QByteArray> source = nativeName(name);
        if (!source.ok())
            return source.error();
        struct stat st {
        };
        const Result<Descriptor> src = openRegular(from.descriptor(), *source, O_RDONLY, &st);
        if (!src.ok())
            return src.error();
        return copyAttributesBetween(src->get(), m_fd.get());
    }
    FileResult reserve(qint64 size) override
    {
        if (size <= 0)
            return {};
        // Keeping the size, so that the file never shows a tail of zeros.
        if (::fallocate(m_fd.get(), FALLOC_FL_KEEP_SIZE, 0, off_t(size)) == 0)
            return {};
        return errno == EOPNOTSUPP || errno == ENOSYS || errno == EINVAL ? FileResult{} : lastError();
    }
    FileResult write(QByteArrayView data) override
    {
        qsizetype done = 0;
        while (done < data.size()) {
            const ssize_t n =
                ::pwrite(m_fd.get(), data.data() + done, size_t(data.size() - done), off_t(done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return lastError();
            if (n == 0)
                return Failure::of(Fault::Refused, u"the disk took none of the bytes written"_s);
            done += qsizetype(n);
        }
        return {};
    }
    FileResult truncate(qint64 size) override
    {
        return ::ftruncate(m_fd.get(), off_t(size)) == 0 ? FileResult{} : lastError();
    }
    // fsync, not fdatasync: the owner and mode given to a new file are
    // metadata that fdatasync does not promise to keep.
    FileResult flush() override { return ::fsync(m_fd.get()) == 0 ? FileResult{} : lastError(); }
    FileResult commit() override
    {
        if (!m_rewrite
            && ::renameat(m_folder.get(), m_temp.constData(), m_folder.get(), m_name.constData()) != 0)
            return lastError();
        return finish();
    }
    FileResult commitReplacing(const FileStatus &expected) override
    {
        if (m_rewrite)
            return finish();
        const int flags = expected.exists ? RENAME_EXCHANGE : RENAME_NOREPLACE;
        if (::renameat2(m_folder.get(), m_temp.constData(), m_folder.get(), m_name.constData(),
                        unsigned(flags))
            != 0) {
            if (!flagsUnsupported(errno))
                return errno == EEXIST
                           ? FileResult(Failure::of(Fault::Changed, u"another program created the file "
                                                                    "while it was being saved"_s))
                           : lastError();
            // Without the flags, the check under the lock has to do.
            return commit();
        }
        if (expected.exists) {
            // The file that was under the name now has the temporary's: it
            // must be the one the save examined, untouched.
            struct stat st {
            };
            const bool same = ::fstatat(m_folder.get(), m_temp.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0
                              && statusOf(st).sameFileAs(expected);
            if (!same) {
                if (::renameat2(m_folder.get(), m_temp.constData(), m_folder.get(), m_name.constData(),
                                RENAME_EXCHANGE)
                    != 0)
                    return lastError(); // ours stays under the name: said as a failure to put it back
                return stale();
            }
            // The name the old file took: it lives on as the backup, if any.
            ::unlinkat(m_folder.get(), m_temp.constData(), 0);
        }
        m_temp.clear();
        return finish();
    }
    FileStatus written() const override { return m_written; }
    // Allocates nothing, so that it can run while memory has run out.
    void cancel() override
    {
        m_fd.reset();
        if (!m_temp.isEmpty()) {
            ::unlinkat(m_folder.get(), m_temp.constData(), 0);
            m_temp.clear();
        }
    }

private:
    // The file's status as written, then its close, whose failure can be
    // the first word of a lost write. (A second name has no descriptor.)
    FileResult finish()
    {
        m_temp.clear();
        if (!m_fd.valid())
            return {};
        struct stat st {
        };
        if (::fstat(m_fd.get(), &st) == 0)
            m_written = statusOf(st);
        if (::close(m_fd.release()) != 0)
            return lastError();
        return {};
    }
    FileResult openTemporary(uint mode)
    {
        return makeTemporary([&](const QByteArray &temp) {
            // A name nobody could guess, made here and now: no link or file
            // planted in advance can be written through.
            m_fd.reset(::openat(m_folder.get(), temp.constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode_t(mode & 0777)));
            return m_fd.valid();
        });
    }
    // Tries fresh unguessable names until make(name) succeeds or fails for
    // another reason than the name being taken.
    template <class Make> FileResult makeTemporary(Make make)
    {
        static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
        for (int tries = 0; tries < 100; ++tries) {
            QByteArray temp = ".veskfrontend-";
            for (int i = 0; i < 12; ++i)
                temp += kChars[QRandomGenerator::system()->bounded(int(sizeof kChars - 1))];
            temp += ".tmp";
            if (make(temp)) {
                m_temp = temp;
                return {};
            }
            if (errno != EEXIST)
                return lastError();
        }
        return FileResult::failure(EEXIST);
    }
    FileResult openExisting()
    {
        struct stat st {
        };
        Result<Descriptor> fd = openRegular(m_folder.get(), m_name, O_WRONLY, &st);
        if (!fd.ok())
            return fd.error();
        if (!statusOf(st).sameFileAs(m_expected))
            return stale();
        m_fd = std::move(*fd);
        return {};
    }

    Descriptor m_folder;
    QByteArray m_name;
    bool m_rewrite;
    FileStatus m_expected;
    QByteArray m_temp; // set while a temporary of ours exists
    Descriptor m_fd;
    FileStatus m_written;
};

} // namespace

std::unique_ptr<SaveFile> makeSaveFile(int folderFd, const QByteArray &name, bool rewrite,
                                       const FileStatus &expected)
{
    return std::make_unique<DiskSaveFile>(folderFd, name, rewrite, expected);
}

} // namespace vesk::disk
