#pragma once

#include "store/agentlink.h"
#include "store/configstore.h"

namespace vesk
{

// A configuration file that an agent reads and saves for the editor: on
// another machine over ssh, as another account through sudo, or as the
// administrator through an elevation command. The agent saves with the
// same safe save as a local file, and checks the stamp under its own lock.
class RemoteStore : public ConfigStore
{
public:
    RemoteStore(AgentCommand command, QString where, QString backupWhere, Waiter waiter);

    QString where() const override { return m_where; }
    QString backupWhere() const override { return m_backupWhere; }
    Result<StoredFile> read() override;
    Result<QByteArray> readBackup() override;
    DiskStamp stampNow() override;
    SaveOutcome write(const QByteArray &bytes, const std::optional<DiskStamp> &expected,
                      bool rotateBackup = true) override;
    // The agent takes the lock for each save itself.
    Result<FolderLock> hold() override { return FolderLock(); }

private:
    // After a save whose answer never came: whether the file now holds
    // the bytes that were sent.
    SaveOutcome settle(const QString &sentSha, const Failure &why);

    AgentLink m_link;
    QString m_where, m_backupWhere;
};

} // namespace vesk
