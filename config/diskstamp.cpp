#include "config/diskstamp.h"

#include "config/configfile.h"
#include "config/fileaccess.h"

#include <QHashFunctions>

using namespace Qt::StringLiterals;

namespace vesk
{
namespace
{

// 128 bits of two seeded hashes. The stamp only has to tell a rewrite by
// another program from the file as read, within one run; SHA-256 took
// ~35 ms a megabyte here and ran three times per load and save.
QByteArray digest(QByteArrayView data)
{
    QByteArray out;
    for (size_t seed : {size_t(0x9E3779B97F4A7C15ull), size_t(0xC2B2AE3D27D4EB4Full)}) {
        const size_t h = qHashBits(data.data(), size_t(data.size()), seed);
        out.append(reinterpret_cast<const char *>(&h), qsizetype(sizeof h));
    }
    return out;
}

QByteArray contentHash(FileAccess &files, const QString &path)
{
    const ReadResult r = files.read(path, kMaxConfigBytes);
    return r ? digest(*r) : QByteArray();
}

} // namespace

DiskStamp DiskStamp::of(const FileStatus &status, QByteArrayView content)
{
    DiskStamp s;
    s.exists = status.exists;
    if (!s.exists)
        return s;
    s.size = status.size;
    s.modified = status.modified;
    s.hash = digest(content);
    return s;
}

DiskStamp DiskStamp::take(FileAccess &files, const QString &path)
{
    DiskStamp s;
    const FileStatus status = files.status(path);
    s.exists = status.exists;
    if (!s.exists)
        return s;
    s.size = status.size;
    s.modified = status.modified;
    s.hash = contentHash(files, path);
    return s;
}

bool changedOnDisk(FileAccess &files, const QString &path, const DiskStamp &stamp)
{
    const FileStatus now = files.status(path);
    if (now.exists != stamp.exists)
        return true;
    if (!now.exists)
        return false;
    // Size and time settle most cases without reading; the hash catches a
    // rewrite within the clock's resolution that kept the size.
    if (now.size != stamp.size || now.modified != stamp.modified)
        return true;
    return contentHash(files, path) != stamp.hash;
}

} // namespace vesk
