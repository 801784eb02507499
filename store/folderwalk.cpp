#include "store/diskfolder.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <deque>
#include <fcntl.h>

using namespace Qt::StringLiterals;

namespace vesk
{
namespace disk
{

// Why a link is not followed, and what to do instead.
Failure linkRefused(const QString &link, const QString &by, const Result<QString> &target)
{
    const QString me = accountName(::geteuid());
    const QString text =
        u"%1 is a symbolic link in a folder that %2 can change, so it is not followed for %3: "
        "%2 could make it lead to any file %3 may write."_s.arg(link, by, me);
    QString where;
    if (target.ok())
        where = target->startsWith(u'/') ? *target : QDir::cleanPath(splitPath(link).first + u'/' + *target);
    const QString byPath = target.ok() ? u"open the file it leads to by its own path (%1)"_s.arg(where)
                                       : u"open the file it leads to by its own path"_s;
    const bool oneAccount = !by.startsWith(u"the group "_s) && by != u"any account"_s;
    return Failure::of(Fault::Refused,
                       text
                           + (oneAccount
                                  ? u" Edit it as %1 instead (sudo -u %1 ...), or %2."_s.arg(by, byPath)
                                  : u" Instead, %1."_s.arg(byPath)));
}

} // namespace disk

using namespace disk;

namespace
{

Result<QString> linkTextAt(int dirfd, const QByteArray &name)
{
    QByteArray out;
    for (qsizetype size = 256; size <= 65536; size *= 2) {
        out.resize(size);
        const ssize_t got = ::readlinkat(dirfd, name.constData(), out.data(), size_t(size));
        if (got < 0)
            return lastFailure();
        if (got < size)
            return QFile::decodeName(out.first(got));
    }
    return Failure::system(ENAMETOOLONG);
}

Failure aboutFolder(const QByteArray &at, Failure why)
{
    why.reason = QFile::decodeName(at) + u": "_s + why.reason;
    return why;
}

} // namespace

namespace
{

// A path taken one name at a time from the root, each name opened in the
// folder before it, so that what is checked is what is used.
class Walk
{
public:
    explicit Walk(const QByteArray &path)
    {
        for (const QByteArray &part : path.split('/'))
            m_todo.push_back(part);
    }

    // The folder the whole path leads to.
    Result<Descriptor> run()
    {
        if (FileResult r = restart(); !r)
            return r.error();
        while (!m_todo.empty()) {
            const QByteArray name = m_todo.front();
            m_todo.pop_front();
            if (name.isEmpty() || name == ".")
                continue;
            if (FileResult r = step(name); !r)
                return r.error();
        }
        return std::move(m_fd);
    }
    const struct stat &folder() const { return m_dir; }
    // Who could have changed the way here.
    const QString &chain() const { return m_chain; }

private:
    FileResult restart()
    {
        m_fd.reset(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        m_walked.clear();
        return m_fd.valid() && ::fstat(m_fd.get(), &m_dir) == 0 ? FileResult{} : lastError();
    }
    FileResult step(const QByteArray &name)
    {
        const QByteArray here = m_walked + '/' + name;
        struct stat entry {
        };
        if (::fstatat(m_fd.get(), name.constData(), &entry, AT_SYMLINK_NOFOLLOW) != 0)
            return aboutFolder(here, lastFailure());
        const QString by = m_chain.isEmpty() ? controller(m_dir, statusOf(entry)) : m_chain;
        if (S_ISLNK(entry.st_mode))
            return follow(name, here, by);
        if (!S_ISDIR(entry.st_mode))
            return aboutFolder(here, Failure::system(ENOTDIR));
        Descriptor next(
            ::openat(m_fd.get(), name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next.valid() && errno == EACCES) // may be passed through, not listed
            next.reset(::openat(m_fd.get(), name.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat now {
        };
        if (!next.valid() || ::fstat(next.get(), &now) != 0)
            return aboutFolder(here, lastFailure());
        if (now.st_dev != entry.st_dev || now.st_ino != entry.st_ino)
            return aboutFolder(
                here, Failure::of(Fault::Changed, u"another folder took its place while it was opened"_s));
        m_fd = std::move(next);
        m_dir = now;
        m_chain = by;
        m_walked = here;
        return {};
    }
    // A link on the way is followed only where nobody else could have put it.
    FileResult follow(const QByteArray &name, const QByteArray &here, const QString &by)
    {
        const Result<QString> target = linkTextAt(m_fd.get(), name);
        if (!by.isEmpty())
            return linkRefused(QFile::decodeName(here), by, target);
        if (!target.ok())
            return aboutFolder(here, target.error());
        if (++m_hops > kMaxLinkHops)
            return aboutFolder(here, Failure::system(ELOOP));
        const QByteArray to = QFile::encodeName(*target);
        const QByteArrayList parts = to.split('/');
        for (auto it = parts.rbegin(); it != parts.rend(); ++it)
            m_todo.push_front(*it);
        return to.startsWith('/') ? restart() : FileResult{};
    }

    std::deque<QByteArray> m_todo;
    Descriptor m_fd;
    struct stat m_dir {
    };
    QString m_chain;
    QByteArray m_walked; // the way so far, for messages
    int m_hops = 0;
};

} // namespace

Result<std::unique_ptr<Folder>> DiskFileAccess::openFolder(const QString &path)
{
    if (path.isEmpty() || path.contains(QChar(0)))
        return Failure::system(path.isEmpty() ? ENOENT : EINVAL);
    QByteArray native = QFile::encodeName(path);
    if (!native.startsWith('/')) {
        QByteArray cwd(4096, '\0');
        if (!::getcwd(cwd.data(), size_t(cwd.size())))
            return lastFailure();
        native = QByteArray(cwd.constData()) + '/' + native;
    }
    Walk walk(native);
    Result<Descriptor> fd = walk.run();
    if (!fd.ok())
        return fd.error();
    return std::unique_ptr<Folder>(
        std::make_unique<DiskFolder>(path, std::move(*fd), walk.folder(), walk.chain()));
}

} // namespace vesk
