#pragma once

// Shared by the window suites: one run of the editor in a temporary
// application folder, and prompts written out for exact comparison.

#include "config/catalogue.h"
#include "config/categorylist.h"
#include "doubles.h"
#include "window/mainwindow.h"
#include "window/tabcontrol.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <QTest>

namespace vesk::test
{

inline QString buttonsName(Buttons b)
{
    switch (b) {
    case Buttons::Ok: return QStringLiteral("OK");
    case Buttons::YesNo: return QStringLiteral("Yes/No");
    case Buttons::YesNoCancel: return QStringLiteral("Yes/No/Cancel");
    }
    return {};
}

inline QString answerName(Answer a)
{
    switch (a) {
    case Answer::Ok: return QStringLiteral("OK");
    case Answer::Yes: return QStringLiteral("Yes");
    case Answer::No: return QStringLiteral("No");
    case Answer::Cancel: return QStringLiteral("Cancel");
    }
    return {};
}

// "message | title | text | buttons | icon | default"
inline QString message(const QString &title, const QString &text, Buttons buttons = Buttons::Ok,
                       Icon icon = Icon::None, Answer defaultButton = Answer::Ok)
{
    return QStringList{QStringLiteral("message"),
                       title,
                       text,
                       buttonsName(buttons),
                       icon == Icon::Critical ? QStringLiteral("critical") : QStringLiteral("no icon"),
                       answerName(defaultButton)}
        .join(QStringLiteral(" | "));
}

// "input | title | prompt | default text"
inline QString input(const QString &title, const QString &prompt, const QString &defaultText)
{
    return QStringList{QStringLiteral("input"), title, prompt, defaultText}.join(QStringLiteral(" | "));
}

inline QString describe(const ScriptedToolkit::Prompt &p)
{
    return p.kind == ScriptedToolkit::Prompt::Input
               ? input(p.title, p.text, p.defaultText)
               : message(p.title, p.text, p.buttons, p.icon, p.defaultButton);
}

inline QStringList shown(const ScriptedToolkit &tk)
{
    QStringList out;
    for (const auto &p : tk.prompts())
        out << describe(p);
    return out;
}

inline QString savedMessage()
{
    return message(QStringLiteral("Config file saved"),
                   QStringLiteral("Tracker must be restarted for changes to take effect"));
}

inline QString quitQuestion()
{
    return message(QStringLiteral("Save changes?"),
                   QStringLiteral("Would you like to save the cfg file before quitting?"), Buttons::YesNo,
                   Icon::None, Answer::Yes);
}

inline QString saveFailedMessage(const QString &path, const QString &reason)
{
    return message(QStringLiteral("ERROR"),
                   QStringLiteral("Could not save the cfg file at ") + path + QStringLiteral(": ") + reason,
                   Buttons::Ok, Icon::Critical);
}

inline QString readFailedMessage(const QString &path,
                                 const QString &reason = QStringLiteral("No such file or directory"))
{
    return message(QStringLiteral("ERROR"),
                   QStringLiteral("Could not find the cfg file at ") + path
                       + QStringLiteral(" or that file contains some type o really bad errors.  Please give "
                                        "me a working cfg file\n\nReason: ")
                       + reason,
                   Buttons::Ok, Icon::Critical);
}

inline QString changeLocationInput(const QString &current)
{
    return input(QStringLiteral("Change cfg Location"),
                 QStringLiteral("What is the path and filename of your cfg file?"), current);
}

// The slot of the setting with key; a key no setting has stops the run.
inline int slot(QStringView key)
{
    const int at = catalogue::slotOf(key);
    if (at < 0)
        qFatal("no setting has the key %s", qPrintable(key.toString()));
    return at;
}

// One run of the editor: a temporary application folder, the scripted
// toolkit and the real main window.
struct Session {
    QTemporaryDir dir;
    ScriptedToolkit tk{dir.path()};
    MainWindow w{tk};

    QString file(const QString &name) const { return dir.filePath(name); }
    QString cfg() const { return file(QStringLiteral("vesk.cfg")); }
    QString backup() const { return file(QStringLiteral("veskold.cfg")); }
    QString ini() const { return file(QStringLiteral("veskfrontend.ini")); }

    // The location file names path.
    void pointAt(const QString &path) { writeBytes(ini(), "Path=" + path.toUtf8() + "\r\n"); }
    // The location file names path (vesk.cfg by default), which gets bytes.
    void setConfig(const QByteArray &bytes, QString path = {})
    {
        if (path.isEmpty())
            path = cfg();
        pointAt(path);
        writeBytes(path, bytes);
    }
    // Runs the load step as it stands on disk; typed answers the input boxes.
    MainWindow &started(const QStringList &typed = {})
    {
        for (const QString &t : typed)
            tk.type(t);
        w.load();
        return w;
    }
    // Loads bytes as the configuration; forgets the load's prompts.
    void load(const QByteArray &bytes, const QString &path = {})
    {
        setConfig(bytes, path);
        w.load();
        tk.clearPrompts();
    }
    // Shows the window and waits until it takes keyboard input.
    [[nodiscard]] bool show()
    {
        w.show();
        w.activateWindow();
        return QTest::qWaitForWindowActive(&w);
    }
    // The value box of the setting with key.
    QLineEdit *box(QStringView key) const { return w.valueBox(slot(key)); }
    QAction *action(const char *name) const { return w.findChild<QAction *>(QString::fromLatin1(name)); }
};

} // namespace vesk::test
