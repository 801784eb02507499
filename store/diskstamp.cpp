#include "store/diskstamp.h"

#include "base/limits.h"
#include "store/fileaccess.h"

#include <cstring>
#include <ctime>

using namespace Qt::StringLiterals;

namespace vesk
{
namespace
{

// 128 bits from two multiply-and-shift lanes over the bytes: the stamp only
// has to tell a rewrite by another program from the file as read. It must
// come out the same in every process (Qt's own hash is seeded afresh in
// each, and the editor's and its agent's stamps meet), and be quick: SHA-256
// took ~35 ms a megabyte here, and a stamp is taken at every load and save.
quint64 mix(quint64 h)
{
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ull;
    return h ^ (h >> 33);
}

QByteArray digest(QByteArrayView data)
{
    quint64 a = 0x9E3779B97F4A7C15ull ^ quint64(data.size());
    quint64 b = 0xC2B2AE3D27D4EB4Full + quint64(data.size());
    const char *p = data.data();
    qsizetype n = data.size();
    for (; n >= 8; p += 8, n -= 8) {
        quint64 w;
        std::memcpy(&w, p, 8);
        a = (a ^ w) * 0x9FB21C651E98DF25ull;
        a ^= a >> 29;
        b = (b + w) * 0xD6E8FEB86659FD93ull;
        b ^= b >> 32;
    }
    quint64 tail = 0;
    if (n > 0) // an empty view may have no data at all
        std::memcpy(&tail, p, size_t(n));
    const quint64 h[2] = {mix(a ^ tail), mix(b + tail + a)};
    return QByteArray(reinterpret_cast<const char *>(h), sizeof h);
}

template <class Where> QByteArray contentHash(Where &where, const QString &name)
{
    const ReadResult r = where.read(name, kMaxConfigBytes);
    return r ? digest(r->bytes) : QByteArray();
}

// Any write, truncation or rename moves the change time (ctime), which no
// program can set; so equal times prove equal content, except for an edit
// within the same tick of the clock the times come from as the one the
// stamp saw. That clock ticks every few milliseconds here, every second or
// two on some file systems, and is another machine's on a network share: a
// file changed less than this long before its stamp is compared by content.
constexpr qint64 kClockSlackNs = 2'000'000'000;

qint64 nowNs()
{
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

bool timesProveContent(const FileStatus &status)
{
    constexpr qint64 second = 1'000'000'000;
    // Whole seconds: a coarse clock, trusted for nothing.
    if (status.modifiedNs % second == 0 && status.changedNs % second == 0)
        return false;
    return status.changedNs + kClockSlackNs < nowNs();
}

DiskStamp fromStatus(const FileStatus &status)
{
    DiskStamp s;
    s.exists = status.exists;
    if (!s.exists)
        return s;
    s.size = status.size;
    s.device = status.device;
    s.inode = status.inode;
    s.modifiedNs = status.modifiedNs;
    s.changedNs = status.changedNs;
    s.compareContent = !timesProveContent(status);
    return s;
}

} // namespace

DiskStamp DiskStamp::of(const FileStatus &status, QByteArrayView content)
{
    DiskStamp s = fromStatus(status);
    if (s.compareContent)
        s.hash = digest(content);
    return s;
}

namespace
{

template <class Where> DiskStamp takeStamp(Where &where, const QString &name)
{
    const Result<FileStatus> status = where.status(name);
    DiskStamp s = fromStatus(status.ok() ? *status : FileStatus{});
    if (s.compareContent)
        s.hash = contentHash(where, name);
    return s;
}

template <class Where> bool changed(Where &where, const QString &name, const DiskStamp &stamp)
{
    const Result<FileStatus> status = where.status(name);
    if (!status.ok())
        return true; // what cannot be seen cannot be vouched for
    const FileStatus &now = *status;
    if (now.exists != stamp.exists)
        return true;
    if (!now.exists)
        return false;
    // Another file under the name, another size or time: changed, unread.
    if (now.device != stamp.device || now.inode != stamp.inode || now.size != stamp.size
        || now.modifiedNs != stamp.modifiedNs || now.changedNs != stamp.changedNs)
        return true;
    // The hash catches a rewrite within the clock's tick that kept the size.
    return stamp.compareContent && contentHash(where, name) != stamp.hash;
}

} // namespace

bool DiskStamp::matches(const DiskStamp &now, QByteArrayView content) const
{
    if (exists != now.exists)
        return false;
    if (!exists)
        return true;
    if (device != now.device || inode != now.inode || size != now.size || modifiedNs != now.modifiedNs
        || changedNs != now.changedNs)
        return false;
    // The side that took `now` fingerprinted it the same way as this one,
    // where it did; otherwise the content is fingerprinted here.
    return !compareContent || (now.compareContent ? now.hash : digest(content)) == hash;
}

DiskStamp DiskStamp::take(FileAccess &files, const QString &path)
{
    return takeStamp(files, path);
}

DiskStamp DiskStamp::take(Folder &folder, const QString &name)
{
    return takeStamp(folder, name);
}

bool changedOnDisk(FileAccess &files, const QString &path, const DiskStamp &stamp)
{
    return changed(files, path, stamp);
}

bool changedOnDisk(Folder &folder, const QString &name, const DiskStamp &stamp)
{
    return changed(folder, name, stamp);
}

} // namespace vesk
