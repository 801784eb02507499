#pragma once

#include "toolkit/fileaccess.h"
#include "toolkit/toolkit.h"

namespace vesk {

// The toolkit on top of Qt Widgets: QMessageBox, QInputDialog, the disk.
class QtToolkit : public Toolkit {
public:
    Answer messageBox(const QString &prompt, Buttons buttons, Icon icon, const QString &title,
                      Answer defaultButton = Answer::Yes) override;
    QString inputBox(const QString &prompt, const QString &title,
                     const QString &defaultText) override;
    QString appFolder() override;
    // Chosen once, on first use, from the running program's folder facts.
    QString dataFolder() override;
    FileAccess &files() override { return m_files; }
    void end() override;

private:
    DiskFileAccess m_files;
    QString m_dataFolder;
};

} // namespace vesk
