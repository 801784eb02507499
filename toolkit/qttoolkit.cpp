#include "toolkit/qttoolkit.h"

#include "document/appfolder.h"
#include "toolkit/singleline.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>

namespace vesk
{
namespace
{

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
class KeyboardReturns
{
public:
    // Without a window manager the window that a closing prompt activated
    // may not be active yet when the next prompt opens; the main window is
    // then the one to return to.
    KeyboardReturns() : m_window(QApplication::activeWindow())
    {
        if (m_window)
            return;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<QMainWindow *>(w) && w->isVisible())
                m_window = w;
    }
    ~KeyboardReturns()
    {
        if (m_window && m_window->isVisible())
            m_window->activateWindow();
    }
    QWidget *window() const { return m_window; }

private:
    QPointer<QWidget> m_window;
};

// A message box that Escape and its close button withdraw. Qt makes No the
// escape button of a Yes/No box, so dismissing "Save changes?" would answer
// No and end the program without saving.
class WithdrawableBox : public QMessageBox
{
public:
    using QMessageBox::QMessageBox;
    bool withdrawn() const { return m_withdrawn; }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->matches(QKeySequence::Cancel)) {
            withdraw();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent *event) override
    {
        // Qt's own handler would click the escape button (No), so this one
        // is passed over on purpose.
        if (!m_withdrawn && !clickedButton())
            m_withdrawn = true;
        QDialog::closeEvent(event); // NOLINT(bugprone-parent-virtual-call)
    }

private:
    void withdraw()
    {
        m_withdrawn = true;
        QDialog::reject();
    }
    bool m_withdrawn = false;
};

} // namespace

Answer QtToolkit::messageBox(const QString &prompt, Buttons buttons, Icon icon, const QString &title,
                             Answer defaultButton)
{
    QMessageBox::StandardButtons set;
    switch (buttons) {
    case Buttons::Ok: set = QMessageBox::Ok; break;
    case Buttons::YesNo: set = QMessageBox::Yes | QMessageBox::No; break;
    case Buttons::YesNoCancel: set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    }
    const KeyboardReturns keyboard;
    WithdrawableBox box(icon == Icon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon, title, prompt,
                        set, keyboard.window());
    // Texts from files and paths are shown as they are, never as markup.
    box.setTextFormat(Qt::PlainText);
    if (buttons != Buttons::Ok)
        box.setDefaultButton(toStandard(defaultButton));
    const int result = box.exec();
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    if (box.withdrawn())
        return Answer::Cancel;
    switch (result) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: return Answer::Cancel;
    }
}

QString QtToolkit::inputBox(const QString &prompt, const QString &title, const QString &defaultText)
{
    const KeyboardReturns keyboard;
    QInputDialog dialog(keyboard.window());
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultText);
    // The answers become lines of a file (a path, a category): one line each.
    if (auto *line = dialog.findChild<QLineEdit *>())
        keepSingleLine(line);
    return dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
}

QString QtToolkit::appFolder()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath());
}

const DataFolders &QtToolkit::dataFolders()
{
    if (!m_dataFolders)
        m_dataFolders = chooseDataFolders(runningFolderFacts());
    return *m_dataFolders;
}

QString QtToolkit::dataFolder()
{
    return dataFolders().read;
}

QString QtToolkit::writableDataFolder()
{
    return dataFolders().write;
}

bool QtToolkit::keepWaiting(const QString &what, qint64 waitedMs)
{
    // A new wait after a cancelled one starts afresh.
    if (waitedMs < m_lastWaited && m_progress && m_progress->wasCanceled())
        doneWaiting();
    m_lastWaited = waitedMs;
    if (waitedMs < 500)
        return true;
    if (!m_progress) {
        m_progress = new QProgressDialog(what, QStringLiteral("Cancel"), 0, 0);
        m_progress->setWindowTitle(QStringLiteral("Please wait"));
        m_progress->setWindowModality(Qt::ApplicationModal);
        m_progress->setMinimumDuration(0);
        m_progress->setAutoClose(false);
        m_progress->show();
    }
    m_progress->setLabelText(what);
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    return !m_progress->wasCanceled();
}

void QtToolkit::doneWaiting()
{
    delete m_progress;
    m_lastWaited = 0;
}

void QtToolkit::end()
{
    QCoreApplication::exit(0);
}

} // namespace vesk
