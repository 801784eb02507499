// Start-up, the unsaved-changes flag and the commands that save, quit,
// exit and change the configuration's location, driven through the window.

#include "windowfixture.h"

#include <QDir>

using namespace vesk;
using namespace vesk::test;
using namespace Qt::StringLiterals;

namespace
{

const QByteArray kBase = "port = 696\r\nvesk_realm = Home\r\nvesk_tag1 = Movies|m.png\r\n# a note\r\n";
// kBase with "0" typed after the port, as a save writes it: sorted lines,
// then the misc text.
const QByteArray kEditedSaved =
    "port = 6960\r\nvesk_realm = Home\r\nvesk_tag1 = Movies|m.png\r\n# a note\r\n\r\n";
const QByteArray kOther = "vesk_realm = Away\r\nvesk_tag4 = Music|n.png\r\n# other\r\n";

enum class Edit { None, Box, Misc, Category };

void makeEdit(Session &s, Edit e)
{
    switch (e) {
    case Edit::None: break;
    case Edit::Box:
        s.box(u"port")->end(false); // a loaded value shows its start; type at its end
        QTest::keyClicks(s.box(u"port"), u"0"_s);
        QCOMPARE(s.box(u"port")->text(), u"6960"_s);
        break;
    case Edit::Misc:
        s.w.rawText()->moveCursor(QTextCursor::End);
        QTest::keyClicks(s.w.rawText(), u"x"_s);
        break;
    case Edit::Category:
        s.tk.type(u"Books"_s);
        s.tk.type(u"b.png"_s);
        QTest::mouseClick(s.w.addCategoryButton(), Qt::LeftButton);
        QCOMPARE(s.w.categories()->count(), 2);
        s.tk.clearPrompts();
        break;
    }
}

// The window on kBase, shown, with an edit made; false when it did not
// take the keyboard.
[[nodiscard]] bool start(Session &s, Edit e = Edit::None)
{
    s.load(kBase);
    if (!s.show())
        return false;
    makeEdit(s, e);
    return true;
}

} // namespace

class Commands : public QObject
{
    Q_OBJECT

private slots:
    // First start in an empty folder: the location file's message, the
    // reader's error naming the default path, then the change question.
    void firstStartInAnEmptyFolder()
    {
        Session s;
        const QString defaultPath = s.cfg();
        QByteArray iniWhenReadFailed;
        s.tk.onPrompt = [&](const ScriptedToolkit::Prompt &p) {
            if (p.title == u"ERROR"_s)
                iniWhenReadFailed = readBytes(s.ini());
        };
        s.tk.type(QString()); // cancel the change question
        s.w.load();
        QCOMPARE(shown(s.tk),
                 (QStringList{message(u"INI File Not Found"_s,
                                      u"Could not find ini file so creating one on the fly"_s),
                              readFailedMessage(defaultPath), changeLocationInput(defaultPath)}));
        const QByteArray iniLine = "Path=" + defaultPath.toUtf8() + "\r\n";
        QCOMPARE(iniWhenReadFailed, iniLine);
        QCOMPARE(readBytes(s.ini()), iniLine);
        QCOMPARE(s.w.configPath(), defaultPath);
        QVERIFY(!s.w.isModified());
        QCOMPARE(s.w.helpLine()->text(),
                 u"Move your mouse over any of the values or labels and see what they are for."_s);
        QVERIFY(s.show());
        s.tk.clearPrompts();
        QTest::mouseClick(s.w.quitButton(), Qt::LeftButton);
        QCOMPARE(shown(s.tk), QStringList());
        QCOMPARE(s.tk.ends(), 1);
        QVERIFY(!QFile::exists(defaultPath));
    }

    // What the location file holds decides the path the window reads.
    void startUpWithVariousLocationFiles_data()
    {
        QTest::addColumn<QByteArray>("ini"); // "@" stands for the cfg file's path
        QTest::addColumn<bool>("iniMessage");
        QTest::addColumn<QString>("path"); // what the window reads; "@" as above
        QTest::newRow("empty") << QByteArray() << true << u"@"_s;
        QTest::newRow("too short") << QByteArray("Pat") << true << u"@"_s;
        QTest::newRow("five characters only") << QByteArray("Path=\r\n") << false << QString();
        QTest::newRow("other five characters, more lines")
            << QByteArray("path=@\r\nPath=/x\r\n") << false << u"@"_s;
    }
    void startUpWithVariousLocationFiles()
    {
        QFETCH(QByteArray, ini);
        QFETCH(bool, iniMessage);
        QFETCH(QString, path);
        Session s;
        writeBytes(s.cfg(), kBase);
        ini.replace("@", s.cfg().toUtf8());
        path.replace(u"@"_s, s.cfg());
        writeBytes(s.ini(), ini);
        s.tk.type(QString());
        s.w.load();
        QStringList expected;
        if (iniMessage)
            expected << message(u"INI File Not Found"_s,
                                u"Could not find ini file so creating one on the fly"_s);
        if (path.isEmpty())
            expected << readFailedMessage(path) << changeLocationInput(path);
        QCOMPARE(shown(s.tk), expected);
        QCOMPARE(s.w.configPath(), path);
        QCOMPARE(readBytes(s.ini()), iniMessage ? "Path=" + s.cfg().toUtf8() + "\r\n" : ini);
        QCOMPARE(s.box(u"port")->text(), path.isEmpty() ? QString() : u"696"_s);
        QVERIFY(!s.w.isModified());
    }

    // The Quit button after each kind of edit: asks only when there are
    // unsaved changes, saves only on Yes, and ends in every case.
    void quitButton_data()
    {
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<bool>("saveFirst"); // the Save button before Quit
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("saved");
        QTest::newRow("no edit") << Edit::None << false << Answer::No << false << false;
        QTest::newRow("box, No") << Edit::Box << false << Answer::No << true << false;
        QTest::newRow("box, Yes") << Edit::Box << false << Answer::Yes << true << true;
        QTest::newRow("misc text, No") << Edit::Misc << false << Answer::No << true << false;
        QTest::newRow("category, No") << Edit::Category << false << Answer::No << true << false;
        QTest::newRow("box, saved, Quit") << Edit::Box << true << Answer::No << false << true;
    }
    void quitButton()
    {
        QFETCH(Edit, edit);
        QFETCH(bool, saveFirst);
        QFETCH(Answer, answer);
        QFETCH(bool, asked);
        QFETCH(bool, saved);
        Session s;
        QVERIFY(start(s, edit));
        QCOMPARE(s.w.isModified(), edit != Edit::None);
        QStringList expected;
        if (saveFirst) {
            QTest::mouseClick(s.w.saveButton(), Qt::LeftButton);
            QVERIFY(!s.w.isModified());
            expected << savedMessage();
        }
        s.tk.answer(answer);
        QTest::mouseClick(s.w.quitButton(), Qt::LeftButton);
        if (asked)
            expected << quitQuestion();
        if (asked && answer == Answer::Yes)
            expected << savedMessage();
        QCOMPARE(shown(s.tk), expected);
        QCOMPARE(s.tk.ends(), 1);
        if (saved) {
            QCOMPARE(readBytes(s.cfg()), kEditedSaved);
            QCOMPARE(readBytes(s.backup()), kBase);
        } else {
            QCOMPARE(readBytes(s.cfg()), kBase);
            QVERIFY(!QFile::exists(s.backup()));
        }
    }

    void exitWithoutSaveEndsAndSavesNothing()
    {
        Session s;
        s.load(kBase);
        makeEdit(s, Edit::Category);
        s.action("menExit")->trigger();
        QCOMPARE(shown(s.tk), QStringList());
        QCOMPARE(s.tk.ends(), 1);
        QCOMPARE(readBytes(s.cfg()), kBase);
        QVERIFY(!QFile::exists(s.backup()));
    }

    void typingAndDeletingLeavesTheFlagSet()
    {
        Session s;
        s.load(kBase);
        QTest::keyClick(s.box(u"vesk_allow_search"), Qt::Key_A);
        QTest::keyClick(s.box(u"vesk_allow_search"), Qt::Key_Backspace);
        QCOMPARE(s.box(u"vesk_allow_search")->text(), QString());
        QVERIFY(s.w.isModified());
    }

    // A save that fails says why, keeps the edits unsaved, and keeps the
    // editor open whichever command asked for it.
    // A failed save, a full disk or no memory left (which aborted the
    // program), keeps the editor open with the edits and the file as it was.
    void failedSave_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("outOfMemory");
        for (bool oom : {false, true}) {
            const char *how = oom ? ", out of memory" : "";
            QTest::addRow("Save button%s", how) << u"save"_s << oom;
            QTest::addRow("Quit, Yes%s", how) << u"quit"_s << oom;
            QTest::addRow("Quit with Save%s", how) << u"saveQuit"_s << oom;
            QTest::addRow("closing the window, Yes%s", how) << u"close"_s << oom;
        }
    }
    void failedSave()
    {
        QFETCH(QString, command);
        QFETCH(bool, outOfMemory);
        Session s;
        QVERIFY(start(s, Edit::Box));
        // Out of memory where the save begins, before the file layer's own
        // guard: the window must catch it.
        if (outOfMemory)
            s.tk.faultyFiles().failOn(
                {.op = FaultyFiles::Op::Status, .pathContains = u"vesk.cfg"_s, .outOfMemory = true});
        else
            s.tk.faultyFiles().failOn(
                {FaultyFiles::Op::Commit, 1, -1, u"vesk.cfg"_s, u"No space left on device"_s});
        QStringList expected;
        if (command == u"save"_s) {
            QTest::mouseClick(s.w.saveButton(), Qt::LeftButton);
        } else if (command == u"saveQuit"_s) {
            s.action("menSaveQuit")->trigger();
        } else {
            s.tk.answer(Answer::Yes);
            expected << quitQuestion();
            if (command == u"quit"_s)
                QTest::mouseClick(s.w.quitButton(), Qt::LeftButton);
            else
                QVERIFY(!s.w.close());
        }
        expected << saveFailedMessage(s.cfg(), outOfMemory ? u"Cannot allocate memory"_s
                                                           : u"No space left on device"_s);
        QVERIFY(s.tk.faultyFiles().faultFired());
        QCOMPARE(shown(s.tk), expected);
        QCOMPARE(s.tk.ends(), 0);
        QVERIFY(s.w.isVisible());
        QVERIFY(s.w.isModified());
        QCOMPARE(s.box(u"port")->text(), u"6960"_s);
        QCOMPARE(readBytes(s.cfg()), kBase);
        QVERIFY(!QFile::exists(s.backup()));
        QCOMPARE(QDir(s.dir.path()).entryList(QDir::Files).size(), 2); // no temporary left behind
    }

    // Closing through the frame runs Quit.
    void closingTheWindow()
    {
        {
            Session s;
            QVERIFY(start(s));
            QVERIFY(s.w.close());
            QCOMPARE(shown(s.tk), QStringList());
            QCOMPARE(s.tk.ends(), 1);
        }
        {
            Session s;
            QVERIFY(start(s, Edit::Misc));
            s.tk.answer(Answer::No);
            QVERIFY(s.w.close());
            QCOMPARE(shown(s.tk), QStringList{quitQuestion()});
            QCOMPARE(s.tk.ends(), 1);
            QCOMPARE(readBytes(s.cfg()), kBase);
        }
    }

    // Ctrl+X cuts inside a text box; anywhere else it ends the editor.
    void ctrlX_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<bool>("exits");
        QTest::newRow("value box") << u"vesk_27"_s << false;
        QTest::newRow("misc text") << u"Text1"_s << false;
        QTest::newRow("Save button") << u"bSave"_s << true;
        QTest::newRow("tab strip") << u"SSTab1_tabs"_s << true;
    }
    void ctrlX()
    {
        QFETCH(QString, focus);
        QFETCH(bool, exits);
        Session s;
        QVERIFY(start(s));
        auto *target = s.w.findChild<QWidget *>(focus);
        QVERIFY(target);
        s.w.tabs()->setCurrentIndex(qMax(0, s.w.tabs()->indexOfPageHolding(target)));
        target->setFocus();
        QCOMPARE(QApplication::focusWidget(), target);
        if (auto *box = qobject_cast<QLineEdit *>(target))
            box->setSelection(0, 2);
        if (auto *misc = qobject_cast<QPlainTextEdit *>(target))
            misc->selectAll();
        QTest::keyClick(target, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(s.tk.ends(), exits ? 1 : 0);
        QCOMPARE(shown(s.tk), QStringList());
        if (focus == u"vesk_27"_s)
            QCOMPARE(s.box(u"port")->text(), u"6"_s);
        if (focus == u"Text1"_s)
            QCOMPARE(s.w.rawText()->toPlainText(), QString());
        QCOMPARE(s.w.isModified(), !exits);
        QCOMPARE(readBytes(s.cfg()), kBase);
    }

    void ctrlSSavesAndCtrlQSavesAndQuits()
    {
        Session s;
        QVERIFY(start(s));
        QLineEdit *port = s.box(u"port");
        s.w.tabs()->setCurrentIndex(2);
        port->setFocus();
        QTest::keyClick(port, Qt::Key_End);
        QTest::keyClicks(port, u"0"_s);
        QTest::keyClick(port, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(shown(s.tk), QStringList{savedMessage()});
        QVERIFY(!s.w.isModified());
        QCOMPARE(s.tk.ends(), 0);
        const QByteArray first = readBytes(s.cfg());
        QVERIFY(first.startsWith("port = 6960\r\n"));
        QTest::keyClick(port, Qt::Key_Backspace);
        QTest::keyClick(port, Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(shown(s.tk), (QStringList{savedMessage(), savedMessage()}));
        QCOMPARE(s.tk.ends(), 1);
        QVERIFY(readBytes(s.cfg()).startsWith("port = 696\r\n"));
        QCOMPARE(readBytes(s.backup()), first);
    }

    // Change cfg Location with a clean window: the new file replaces what
    // the window showed.
    void changeLocationOpensTheNewFile()
    {
        Session s;
        s.load(kBase);
        const QString other = s.file(u"other.cfg"_s);
        writeBytes(other, kOther);
        s.tk.type(other);
        s.action("menChangecfg")->trigger();
        QCOMPARE(shown(s.tk), QStringList{changeLocationInput(s.cfg())});
        QCOMPARE(readBytes(s.ini()), "Path=" + other.toUtf8() + "\r\n");
        QCOMPARE(s.w.configPath(), other);
        QCOMPARE(s.box(u"port")->text(), QString());
        QCOMPARE(s.box(u"vesk_realm")->text(), u"Away"_s);
        QCOMPARE(s.w.categories()->count(), 1);
        QCOMPARE(s.w.categories()->at(0).name, u"Music"_s);
        QCOMPARE(s.w.rawText()->toPlainText(), u"# other\n"_s);
        QVERIFY(!s.w.isModified());
        // A save now goes to the new file, with its backup beside it.
        QVERIFY(s.w.save());
        QCOMPARE(readBytes(other),
                 QByteArray("vesk_realm = Away\r\nvesk_tag1 = Music|n.png\r\n# other\r\n\r\n"));
        QCOMPARE(readBytes(s.file(u"otherold.cfg"_s)), kOther);
        QCOMPARE(readBytes(s.cfg()), kBase);
    }

    void cancellingTheChangeChangesNothing()
    {
        Session s;
        s.load(kBase);
        makeEdit(s, Edit::Box);
        const QByteArray ini = readBytes(s.ini());
        s.tk.type(QString());
        s.action("menChangecfg")->trigger();
        QCOMPARE(shown(s.tk), QStringList{changeLocationInput(s.cfg())});
        QCOMPARE(readBytes(s.ini()), ini);
        QCOMPARE(s.w.configPath(), s.cfg());
        QCOMPARE(s.box(u"port")->text(), u"6960"_s);
        QVERIFY(s.w.isModified());
    }

    // With unsaved edits the change asks first.
    void changeLocationWithUnsavedEdits_data()
    {
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<bool>("saveFails");
        QTest::addColumn<bool>("opened");
        QTest::newRow("Yes") << Answer::Yes << false << true;
        QTest::newRow("Yes, save fails") << Answer::Yes << true << false;
        QTest::newRow("No") << Answer::No << false << true;
        QTest::newRow("Cancel") << Answer::Cancel << false << false;
    }
    void changeLocationWithUnsavedEdits()
    {
        QFETCH(Answer, answer);
        QFETCH(bool, saveFails);
        QFETCH(bool, opened);
        Session s;
        s.load(kBase);
        makeEdit(s, Edit::Box);
        const QString other = s.file(u"other.cfg"_s);
        writeBytes(other, kOther);
        const QByteArray ini = readBytes(s.ini());
        if (saveFails)
            s.tk.faultyFiles().failOn({FaultyFiles::Op::Open, 1, -1, u"vesk.cfg"_s, u"Permission denied"_s});
        s.tk.type(other);
        s.tk.answer(answer);
        s.action("menChangecfg")->trigger();

        QStringList expected{changeLocationInput(s.cfg()),
                             message(u"Save changes?"_s,
                                     u"Would you like to save the cfg file before opening another one?"_s,
                                     Buttons::YesNoCancel, Icon::None, Answer::Yes)};
        if (answer == Answer::Yes)
            expected << (saveFails ? saveFailedMessage(s.cfg(), u"Permission denied"_s) : savedMessage());
        QCOMPARE(shown(s.tk), expected);
        const bool saved = answer == Answer::Yes && !saveFails;
        QCOMPARE(readBytes(s.cfg()), saved ? kEditedSaved : kBase);
        if (opened) {
            QCOMPARE(readBytes(s.ini()), "Path=" + other.toUtf8() + "\r\n");
            QCOMPARE(s.w.configPath(), other);
            QCOMPARE(s.box(u"port")->text(), QString());
            QCOMPARE(s.box(u"vesk_realm")->text(), u"Away"_s);
            QVERIFY(!s.w.isModified());
        } else {
            QCOMPARE(readBytes(s.ini()), ini);
            QCOMPARE(s.w.configPath(), s.cfg());
            QCOMPARE(s.box(u"port")->text(), u"6960"_s);
            QCOMPARE(s.box(u"vesk_realm")->text(), u"Home"_s);
            QCOMPARE(s.w.categories()->count(), 1);
            QVERIFY(s.w.isModified());
        }
        QCOMPARE(readBytes(other), kOther);
    }

    // A path that cannot be read changes nothing: not the window, its
    // edits, the path or the location file. The question comes again until
    // a read succeeds or the user cancels.
    void unreadablePathAsksAgain_data()
    {
        QTest::addColumn<QString>("bad");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<Answer>("saveFirst"); // the answer to "save first?"
        QTest::newRow("missing file") << u"missing.cfg"_s << u"No such file or directory"_s << Answer::No;
        QTest::newRow("directory") << u"sub"_s << u"Is a directory"_s << Answer::No;
        QTest::newRow("missing, edits saved first")
            << u"missing.cfg"_s << u"No such file or directory"_s << Answer::Yes;
    }
    void unreadablePathAsksAgain()
    {
        QFETCH(QString, bad);
        QFETCH(QString, reason);
        QFETCH(Answer, saveFirst);
        Session s;
        s.load(kBase);
        makeEdit(s, Edit::Box);
        QVERIFY(QDir(s.dir.path()).mkdir(u"sub"_s));
        const QString badPath = s.file(bad);
        const QString other = s.file(u"other.cfg"_s);
        writeBytes(other, kOther);
        const QByteArray ini = readBytes(s.ini());
        auto unchanged = [&] {
            QCOMPARE(readBytes(s.ini()), ini);
            QCOMPARE(s.w.configPath(), s.cfg());
            QCOMPARE(s.box(u"port")->text(), u"6960"_s);
            QCOMPARE(s.w.categories()->count(), 1);
            QCOMPARE(s.w.rawText()->toPlainText(), u"# a note\n"_s);
        };
        s.tk.onPrompt = [&](const ScriptedToolkit::Prompt &p) {
            if (p.title == u"ERROR"_s)
                unchanged();
        };
        const QStringList asked{changeLocationInput(s.cfg()),
                                message(u"Save changes?"_s,
                                        u"Would you like to save the cfg file before opening another one?"_s,
                                        Buttons::YesNoCancel, Icon::None, Answer::Yes)};
        const QStringList saved = saveFirst == Answer::Yes ? QStringList{savedMessage()} : QStringList();

        // Cancelled after the error: everything as it was, edits included.
        s.tk.type(badPath);
        s.tk.answer(saveFirst);
        s.tk.type(QString());
        s.action("menChangecfg")->trigger();
        const QStringList retried{readFailedMessage(badPath, reason), changeLocationInput(badPath)};
        QCOMPARE(shown(s.tk), asked + saved + retried);
        unchanged();
        QCOMPARE(s.w.isModified(), saveFirst != Answer::Yes);
        QCOMPARE(readBytes(s.cfg()), saveFirst == Answer::Yes ? kEditedSaved : kBase);

        // Answered again with a good file: that one is opened and recorded.
        s.tk.clearPrompts();
        s.tk.type(badPath);
        if (saveFirst == Answer::No)
            s.tk.answer(Answer::No);
        s.tk.type(other);
        s.action("menChangecfg")->trigger();
        QCOMPARE(shown(s.tk).last(), changeLocationInput(badPath));
        QCOMPARE(readBytes(s.ini()), "Path=" + other.toUtf8() + "\r\n");
        QCOMPARE(s.w.configPath(), other);
        QCOMPARE(s.box(u"vesk_realm")->text(), u"Away"_s);
        QCOMPARE(s.w.categories()->count(), 1);
        QVERIFY(!s.w.isModified());
    }

    // A file given on the command line is opened for this run; the location
    // file stays as it was. One that cannot be read is reported and asked
    // for again, as a bad location is.
    void fileGivenOnTheCommandLine()
    {
        Session s;
        s.setConfig(kBase);
        const QByteArray ini = readBytes(s.ini());
        const QString other = s.file(u"other.cfg"_s);
        writeBytes(other, kOther);
        s.w.load(other);
        QCOMPARE(shown(s.tk), QStringList());
        QCOMPARE(s.w.configPath(), other);
        QCOMPARE(s.box(u"vesk_realm")->text(), u"Away"_s);
        QCOMPARE(readBytes(s.ini()), ini);

        Session bad;
        bad.setConfig(kBase);
        bad.w.load(bad.file(u"missing.cfg"_s));
        QCOMPARE(shown(bad.tk), (QStringList{readFailedMessage(bad.file(u"missing.cfg"_s)),
                                             changeLocationInput(bad.file(u"missing.cfg"_s))}));
    }

    // A relative path in the location file or typed as the answer is taken
    // from the location file's folder, wherever the editor was started.
    void relativePathsFromTheLocationFilesFolder()
    {
        Session s;
        QVERIFY(QDir(s.dir.path()).mkdir(u"etc"_s));
        writeBytes(s.file(u"etc/vesk.cfg"_s), kOther);
        writeBytes(s.ini(), "Path=etc/vesk.cfg\r\n");
        s.w.load();
        QCOMPARE(shown(s.tk), QStringList());
        QCOMPARE(s.w.configPath(), s.file(u"etc/vesk.cfg"_s));
        QCOMPARE(s.box(u"vesk_realm")->text(), u"Away"_s);
        // A typed relative answer too, recorded as the full path it named.
        s.tk.type(u"etc/../etc/vesk.cfg"_s);
        s.action("menChangecfg")->trigger();
        QCOMPARE(s.w.configPath(), s.file(u"etc/../etc/vesk.cfg"_s));
        QCOMPARE(readBytes(s.ini()), "Path=" + s.file(u"etc/../etc/vesk.cfg"_s).toUtf8() + "\r\n");
    }

    // A configuration kept in another folder is saved there, with its backup.
    void configurationInAnotherFolder()
    {
        Session s;
        QVERIFY(QDir(s.dir.path()).mkdir(u"etc"_s));
        const QString elsewhere = s.file(u"etc/vesk.cfg"_s);
        s.load(kBase, elsewhere);
        makeEdit(s, Edit::Box);
        QVERIFY(s.w.save());
        QCOMPARE(readBytes(elsewhere), kEditedSaved);
        QCOMPARE(readBytes(s.file(u"etc/veskold.cfg"_s)), kBase);
        QVERIFY(!QFile::exists(s.cfg()));
        QVERIFY(!QFile::exists(s.backup()));
    }

    // Text the file's encoding cannot hold stops the save, naming the setting.
    void unencodableTextStopsTheSave()
    {
        Session s;
        const QByteArray latin1 = "port = 6969\r\nvesk_realm = Caf\xE9\r\n";
        s.load(latin1);
        QCOMPARE(s.box(u"vesk_realm")->text(), u"Caf\u00e9"_s);
        s.w.tabs()->setCurrentIndex(2);
        QTest::keyClick(s.box(u"port"), Qt::Key_End);
        QTest::sendKeyEvent(QTest::Click, s.box(u"port"), Qt::Key_unknown, u"\u20ac"_s, Qt::NoModifier);
        QCOMPARE(s.box(u"port")->text(), u"6969\u20ac"_s);
        QVERIFY(!s.w.save());
        QCOMPARE(
            shown(s.tk),
            QStringList{saveFailedMessage(
                s.cfg(),
                u"the setting \"Port\" (port) holds characters that cannot be written in the file's encoding (ISO-8859-1)"_s)});
        QCOMPARE(readBytes(s.cfg()), latin1);
        QVERIFY(!QFile::exists(s.backup()));
        QVERIFY(s.w.isModified());
        // Without the character the file is written in its own encoding.
        QTest::keyClick(s.box(u"port"), Qt::Key_Backspace);
        QVERIFY(s.w.save());
        QCOMPARE(readBytes(s.cfg()), latin1);
    }
};

QTEST_MAIN(Commands)
#include "tst_commands.moc"
