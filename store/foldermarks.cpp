#include "store/diskfolder.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <cerrno>
#include <cstdio>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>

using namespace Qt::StringLiterals;

// A folder's lock on its saves, and the mark of a rewrite in place: what one
// save leaves for the next copy of the editor to see.
namespace vesk::disk
{

namespace
{

// "veskcfg, process 1234" for the process holding a lock on the folder, as
// /proc/locks tells; empty where it does not.
QString lockHolder(const FileStatus &folder)
{
    QFile locks(u"/proc/locks"_s);
    if (!locks.open(QIODevice::ReadOnly))
        return {};
    char id[64];
    std::snprintf(id, sizeof id, "%02x:%02x:%llu", ::major(dev_t(folder.device)),
                  ::minor(dev_t(folder.device)), static_cast<unsigned long long>(folder.inode));
    for (const QByteArray &line : locks.readAll().split('\n')) {
        const QByteArrayList f = line.simplified().split(' ');
        // "1: FLOCK ADVISORY WRITE 1234 08:01:5678 0 EOF"; "->" marks a waiter.
        if (f.size() < 6 || f[1] != "FLOCK" || f[5] != QByteArrayView(id))
            continue;
        const QByteArray &pid = f[4];
        QFile comm(u"/proc/"_s + QString::fromLatin1(pid) + u"/comm"_s);
        const QString name = comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll().trimmed())
                                                            : u"a program"_s;
        return name + u", process "_s + QString::fromLatin1(pid);
    }
    return {};
}

// A held lock: closing the descriptor lets go of it.
struct Held {
    Descriptor fd;
};

// The locks this process holds, by folder. One it already holds is shared:
// flock() would make a second one wait for the first.
struct HeldLocks {
    std::mutex mutex;
    std::map<std::pair<quint64, quint64>, std::weak_ptr<Held>> byFolder;
};

HeldLocks &heldLocks()
{
    static HeldLocks held;
    return held;
}

} // namespace

Result<FolderLock> DiskFolder::lock(int waitMs)
{
    HeldLocks &held = heldLocks();
    const std::pair key{self().device, self().inode};
    {
        const std::lock_guard guard(held.mutex);
        if (auto it = held.byFolder.find(key); it != held.byFolder.end()) {
            if (auto h = it->second.lock())
                return FolderLock(h);
            held.byFolder.erase(it);
        }
    }
    // A description of its own: the lock belongs to it, not to the folder's.
    Descriptor fd(::openat(m_fd.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid())
        return FolderLock(); // a folder that cannot be read cannot be locked, nor listed
    const QDeadlineTimer deadline(waitMs);
    for (int pause = 1;; pause = std::min(pause * 2, 50)) {
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0)
            break;
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return FolderLock(); // the file system cannot lock (EBADF, ENOLCK, EOPNOTSUPP)
        if (deadline.hasExpired()) {
            const QString holder = lockHolder(self());
            return Failure::of(Fault::Busy,
                               u"another program%1 is saving in %2 and has not finished after %3 "
                               "seconds; try again when it has"_s
                                   .arg(holder.isEmpty() ? QString() : u" ("_s + holder + u')', path())
                                   .arg(waitMs / 1000));
        }
        QThread::msleep(ulong(pause));
    }
    auto h = std::make_shared<Held>(Held{std::move(fd)});
    const std::lock_guard guard(held.mutex);
    held.byFolder[key] = h;
    return FolderLock(h);
}

namespace
{

QByteArray markName(const QByteArray &name)
{
    return name + ".rewriting";
}

// Where no mark file can be made (a folder that takes no new file), the
// mark rides on the file itself.
constexpr char kMarkAttribute[] = "user.veskfrontend.rewriting";

} // namespace

FileResult DiskFolder::setRewriteMark(const QString &name, const QByteArray &note)
{
    const Result<QByteArray> native = nativeName(name);
    if (!native.ok())
        return native.error();
    const auto mark = makeSaveFile(m_fd.get(), markName(*native), false, {});
    FileResult r = mark->open(0600);
    if (r) {
        r = mark->write(note);
        if (r)
            r = mark->flush();
        if (r)
            r = mark->commit();
        if (r)
            r = sync();
        return r;
    }
    struct stat st {
    };
    const Result<Descriptor> fd = openRegular(m_fd.get(), *native, O_RDONLY, &st);
    if (!fd.ok())
        return r;
    if (::fsetxattr(fd->get(), kMarkAttribute, note.constData(), size_t(note.size()), 0) != 0
        || ::fsync(fd->get()) != 0)
        return r; // the folder's refusal says more than the attribute's
    return {};
}

Result<std::optional<QByteArray>> DiskFolder::rewriteMark(const QString &name)
{
    const Result<QByteArray> native = nativeName(name);
    if (!native.ok())
        return native.error();
    const QString mark = QFile::decodeName(markName(*native));
    if (const Result<FileStatus> st = status(mark); st.ok() && st->exists) {
        ReadResult r = read(mark, 4096);
        if (!r.ok())
            return r.error();
        return std::optional<QByteArray>(r->bytes);
    }
    struct stat st {
    };
    const Result<Descriptor> fd = openRegular(m_fd.get(), *native, O_RDONLY, &st);
    if (!fd.ok())
        return std::optional<QByteArray>();
    QByteArray note(4096, '\0');
    const ssize_t n = ::fgetxattr(fd->get(), kMarkAttribute, note.data(), size_t(note.size()));
    if (n < 0)
        return std::optional<QByteArray>();
    note.truncate(qsizetype(n));
    return std::optional<QByteArray>(note);
}

FileResult DiskFolder::clearRewriteMark(const QString &name)
{
    const Result<QByteArray> native = nativeName(name);
    if (!native.ok())
        return native.error();
    if (::unlinkat(m_fd.get(), markName(*native).constData(), 0) != 0 && errno != ENOENT)
        return lastError();
    struct stat st {
    };
    if (const Result<Descriptor> fd = openRegular(m_fd.get(), *native, O_RDONLY, &st); fd.ok())
        if (::fremovexattr(fd->get(), kMarkAttribute) != 0 && errno != ENODATA && errno != ENOTSUP)
            return lastError();
    return {};
}

} // namespace vesk::disk
