#pragma once

#include "store/configstore.h"

namespace vesk
{

// A configuration file on this machine's disk.
class DiskStore : public ConfigStore
{
public:
    DiskStore(FileAccess &files, QString path);

    QString where() const override { return m_path; }
    QString backupWhere() const override;
    Result<StoredFile> read() override;
    Result<QByteArray> readBackup() override;
    DiskStamp stampNow() override;
    SaveOutcome write(const QByteArray &bytes, const std::optional<DiskStamp> &expected,
                      bool rotateBackup = true) override;
    Result<FolderLock> hold() override;

private:
    FileAccess &m_files;
    QString m_path;
};

} // namespace vesk
