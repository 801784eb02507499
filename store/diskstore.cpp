#include "store/diskstore.h"

#include "base/limits.h"

#include <new>

namespace vesk
{

DiskStore::DiskStore(FileAccess &files, QString path) : m_files(files), m_path(std::move(path)) {}

QString DiskStore::backupWhere() const
{
    return backupPathFor(m_path);
}

Result<StoredFile> DiskStore::read()
{
    try {
        // Leftovers are cleared under the lock, which a save in progress
        // holds; where that cannot be, the file is read as it stands.
        const Result<Leftovers> left = recoverLeftovers(m_files, m_path, backupWhere());
        ReadResult read = m_files.read(m_path, kMaxConfigBytes);
        if (!read)
            return read.error();
        StoredFile out;
        out.stamp = DiskStamp::of(read->status, read->bytes);
        out.bytes = std::move(read->bytes);
        out.torn = left.ok() && left->torn;
        out.owner = read->status.owner;
        out.mode = read->status.mode;
        return out;
    } catch (const std::bad_alloc &) {
        return Failure::system(ENOMEM);
    }
}

Result<QByteArray> DiskStore::readBackup()
{
    ReadResult read = m_files.read(backupWhere(), kMaxConfigBytes);
    if (!read)
        return read.error();
    return std::move(read->bytes);
}

DiskStamp DiskStore::stampNow()
{
    return DiskStamp::take(m_files, m_path);
}

SaveOutcome DiskStore::write(const QByteArray &bytes, const std::optional<DiskStamp> &expected,
                             bool rotateBackup)
{
    return saveWithBackup(m_files, m_path, backupWhere(), bytes, kMaxConfigBytes, expected, rotateBackup);
}

Result<FolderLock> DiskStore::hold()
{
    return lockForSave(m_files, m_path);
}

} // namespace vesk
