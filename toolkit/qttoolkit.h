#pragma once

#include "document/appfolder.h"
#include "store/fileaccess.h"
#include "toolkit/toolkit.h"

#include <QPointer>
#include <QProgressDialog>

#include <optional>

namespace vesk
{

// The toolkit on top of Qt Widgets: QMessageBox, QInputDialog, the disk.
class QtToolkit : public Toolkit
{
public:
    Answer messageBox(const QString &prompt, Buttons buttons, Icon icon, const QString &title,
                      Answer defaultButton = Answer::Yes) override;
    QString inputBox(const QString &prompt, const QString &title, const QString &defaultText) override;
    QString appFolder() override;
    // Chosen once, on first use, from the running program's folder facts.
    QString dataFolder() override;
    QString writableDataFolder() override;
    FileAccess &files() override { return m_files; }
    bool keepWaiting(const QString &what, qint64 waitedMs) override;
    void doneWaiting() override;
    void end() override;

private:
    QPointer<QProgressDialog> m_progress;
    qint64 m_lastWaited = 0;
    DiskFileAccess m_files;
    const DataFolders &dataFolders();
    std::optional<DataFolders> m_dataFolders;
};

} // namespace vesk
