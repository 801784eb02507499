#include "toolkit/qttoolkit.h"

#include "toolkit/appfolder.h"

#include <QApplication>
#include <QDir>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>

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

// Gives the keyboard back to the window that had it once a prompt closes.
// A window manager does this by itself; without one the keyboard would go
// nowhere and the window's shortcuts would stop working.
class KeyboardReturns {
public:
    KeyboardReturns() : m_window(QApplication::activeWindow()) {}
    ~KeyboardReturns()
    {
        if (m_window && m_window->isVisible())
            m_window->activateWindow();
    }
    QWidget *window() const { return m_window; }

private:
    QPointer<QWidget> m_window;
};

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
    const KeyboardReturns keyboard;
    QMessageBox box(icon == Icon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon, title,
                    prompt, set, keyboard.window());
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
    const KeyboardReturns keyboard;
    bool ok = false;
    const QString text = QInputDialog::getText(keyboard.window(), title, prompt,
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
