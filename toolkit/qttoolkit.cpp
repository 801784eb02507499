#include "toolkit/qttoolkit.h"

#include "toolkit/appfolder.h"

#include <QApplication>
#include <QDir>
#include <QInputDialog>
#include <QMessageBox>

namespace vesk {
namespace {

QMessageBox::StandardButton toStandard(Answer a)
{
    switch (a) {
    case Answer::Ok: return QMessageBox::Ok;
    case Answer::Yes: return QMessageBox::Yes;
    case Answer::No: return QMessageBox::No;
    case Answer::Cancel: return QMessageBox::Cancel;
    }
    return QMessageBox::NoButton;
}

} // namespace

Answer QtToolkit::messageBox(const QString &prompt, Buttons buttons, Icon icon,
                             const QString &title, Answer defaultButton)
{
    QMessageBox::StandardButtons set;
    switch (buttons) {
    case Buttons::Ok: set = QMessageBox::Ok; break;
    case Buttons::YesNo: set = QMessageBox::Yes | QMessageBox::No; break;
    case Buttons::YesNoCancel: set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    }
    QMessageBox box(icon == Icon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon, title,
                    prompt, set, QApplication::activeWindow());
    // Texts from files and paths are shown as they are, never as markup.
    box.setTextFormat(Qt::PlainText);
    if (buttons != Buttons::Ok)
        box.setDefaultButton(toStandard(defaultButton));
    switch (box.exec()) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Cancel: return Answer::Cancel;
    default: break;
    }
    // A Yes/No box closed by Escape or its frame counts as No.
    return buttons == Buttons::Ok ? Answer::Ok : (buttons == Buttons::YesNo ? Answer::No : Answer::Cancel);
}

QString QtToolkit::inputBox(const QString &prompt, const QString &title, const QString &defaultText)
{
    bool ok = false;
    const QString text = QInputDialog::getText(QApplication::activeWindow(), title, prompt,
                                               QLineEdit::Normal, defaultText, &ok);
    return ok ? text : QString();
}

QString QtToolkit::appFolder()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath());
}

QString QtToolkit::dataFolder()
{
    if (m_dataFolder.isEmpty())
        m_dataFolder = chooseDataFolder(runningFolderFacts());
    return m_dataFolder;
}

void QtToolkit::end()
{
    QCoreApplication::exit(0);
}

} // namespace vesk
