// Where the editor keeps its location file and default configuration: beside
// a portable copy, in the per-user folder for an installed copy or one whose
// folder cannot be written, and what happens when that file cannot be written.
#include "document/appfolder.h"
#include "doubles.h"
#include "toolkit/appicon.h"
#include "toolkit/qttoolkit.h"
#include "windowfixture.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTest>

#include <unistd.h>

using namespace vesk;
using namespace vesk::test;
using namespace Qt::StringLiterals;

namespace
{

const QString kIni = u"veskfrontend.ini"_s;
const QString kCfg = u"vesk.cfg"_s;

QStringList titles(const ScriptedToolkit &tk)
{
    QStringList t;
    for (const auto &p : tk.prompts())
        t << p.title;
    return t;
}

} // namespace

class TstAppFolder : public QObject
{
    Q_OBJECT
private slots:
    void choice_data();
    void choice();
    void installedFolderReachedThroughALink();
    void noPerUserFolderAtAll();
    void writableFolders();
    void aBuildFolderCopyIsPortable();

    void firstStartCreatesTheLocationFileInTheDataFolder();
    void anExistingLocationFileInTheDataFolderWins();
    void failedLocationWriteOnStartShowsOneMessageAndGoesOn();
    void failedLocationWriteOnChangeShowsOneMessageEachTime();
    void unreachablePerUserFolderOnDisk();

    void windowIconIsCompiledIn();
    void windowIconComesBeforeAnyQuestionOrAfterThePaint();
};

// ---- the choice --------------------------------------------------------------

void TstAppFolder::choice_data()
{
    QTest::addColumn<bool>("inInstalledBin");
    QTest::addColumn<bool>("writable");
    QTest::addColumn<bool>("besideIni"); // a location file beside the program
    QTest::addColumn<bool>("userIni");   // one in the per-user folder
    QTest::addColumn<QString>("read");   // "program" or "user"
    QTest::addColumn<QString>("write");

    QTest::newRow("portable: writable, elsewhere")
        << false << true << false << false << u"program"_s << u"program"_s;
    QTest::newRow("installed, writable (root)") << true << true << false << false << u"user"_s << u"user"_s;
    QTest::newRow("installed, read-only") << true << false << false << false << u"user"_s << u"user"_s;
    QTest::newRow("unwritable portable copy") << false << false << false << false << u"user"_s << u"user"_s;
    // A location file beside the program is read where it stands.
    QTest::newRow("installed, writable, ini beside")
        << true << true << true << true << u"program"_s << u"program"_s;
    QTest::newRow("read-only, ini beside") << true << false << true << false << u"program"_s << u"user"_s;
    QTest::newRow("read-only, ini beside, user's own")
        << false << false << true << true << u"user"_s << u"user"_s;
}

void TstAppFolder::choice()
{
    QFETCH(bool, inInstalledBin);
    QFETCH(bool, writable);
    QFETCH(bool, besideIni);
    QFETCH(bool, userIni);
    QFETCH(QString, read);
    QFETCH(QString, write);

    QTemporaryDir tmp;
    const QString program = tmp.filePath(u"bin"_s);
    QVERIFY(QDir().mkpath(program));
    // Nested two deep: the per-user folder's parent need not exist either.
    const QString userFolder = tmp.filePath(u"home/.config/veskfrontend"_s);
    if (besideIni)
        writeBytes(program + u'/' + kIni, "Path=/srv/vesk.cfg\r\n");
    if (userIni) {
        QVERIFY(QDir().mkpath(userFolder));
        writeBytes(userFolder + u'/' + kIni, "Path=/home/me/vesk.cfg\r\n");
    }

    FolderFacts facts;
    facts.programFolder = program;
    facts.installedBinFolder = inInstalledBin ? program : tmp.filePath(u"usr/bin"_s);
    facts.perUserFolder = userFolder;
    QStringList asked;
    facts.canWrite = [&](const QString &folder) {
        asked << folder;
        return writable;
    };

    const DataFolders chosen = chooseDataFolders(facts);
    auto folder = [&](const QString &which) { return which == u"user"_s ? userFolder : program; };
    QCOMPARE(chosen.read, folder(read));
    QCOMPARE(chosen.write, folder(write));
    // The program's folder is the one that must be writable.
    for (const QString &f : asked)
        QCOMPARE(f, program);
    // The per-user folder is made when it is chosen, and only then.
    QCOMPARE(QFileInfo(userFolder).isDir(), userIni || read == u"user"_s || write == u"user"_s);
}

void TstAppFolder::installedFolderReachedThroughALink()
{
    // With a merged /usr, /bin/x and /usr/bin/x are one program; the folder
    // the system reports and the one compiled in may differ only by a link.
    QTemporaryDir tmp;
    const QString real = tmp.filePath(u"usr/bin"_s);
    QVERIFY(QDir().mkpath(real));
    QVERIFY(QFile::link(real, tmp.filePath(u"bin"_s)));

    FolderFacts facts;
    facts.programFolder = real;
    facts.installedBinFolder = tmp.filePath(u"bin"_s);
    facts.perUserFolder = tmp.filePath(u"user"_s);
    facts.canWrite = [](const QString &) { return true; };
    QCOMPARE(chooseDataFolders(facts).read, tmp.filePath(u"user"_s));

    facts.programFolder = tmp.filePath(u"bin/"_s);
    facts.installedBinFolder = real + u"/../bin"_s;
    QCOMPARE(chooseDataFolders(facts).read, tmp.filePath(u"user"_s));
}

void TstAppFolder::noPerUserFolderAtAll()
{
    // Never the file system's root: with nowhere else, the program's folder.
    QTemporaryDir tmp;
    FolderFacts facts;
    facts.programFolder = tmp.path();
    facts.installedBinFolder = tmp.path();
    facts.canWrite = [](const QString &) { return false; };
    QCOMPARE(chooseDataFolders(facts).read, tmp.path());
}

void TstAppFolder::writableFolders()
{
    QTemporaryDir tmp;
    QVERIFY(folderWritable(tmp.path()));
    QVERIFY(!folderWritable(tmp.filePath(u"missing"_s)));
    QVERIFY(!folderWritable(QString()));
    if (::geteuid() == 0)
        QSKIP("root may write any folder; the remaining check needs an ordinary user");
    const QString ro = tmp.filePath(u"ro"_s);
    QVERIFY(QDir().mkpath(ro));
    QVERIFY(QFile::setPermissions(ro, QFile::ReadOwner | QFile::ExeOwner));
    QVERIFY(!folderWritable(ro));
    QFile::setPermissions(ro, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TstAppFolder::aBuildFolderCopyIsPortable()
{
    // This test runs from the build folder, which is never the install
    // prefix's bin folder: its files stay beside it, as before.
    QtToolkit toolkit;
    QCOMPARE(toolkit.dataFolder(), toolkit.appFolder());
}

// ---- the window on a separate data folder ------------------------------------

void TstAppFolder::firstStartCreatesTheLocationFileInTheDataFolder()
{
    QTemporaryDir app, data;
    ScriptedToolkit tk(app.path());
    tk.setDataFolder(data.path());
    MainWindow w(tk);
    w.load();

    const QString ini = data.filePath(kIni);
    const QString cfg = data.filePath(kCfg);
    QCOMPARE(w.locationFilePath(), ini);
    QCOMPARE(readBytes(ini), "Path=" + cfg.toUtf8() + "\r\n");
    QCOMPARE(w.configPath(), cfg);
    // The same messages as a portable copy, naming the per-user path.
    QCOMPARE(titles(tk), (QStringList{u"INI File Not Found"_s, u"ERROR"_s, u"Change cfg Location"_s}));
    QVERIFY(tk.prompts()[1].text.startsWith(u"Could not find the cfg file at "_s + cfg + u" or"_s));
    QCOMPARE(tk.prompts()[2].defaultText, cfg);
    // Nothing lands beside the program.
    QCOMPARE(QDir(app.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

void TstAppFolder::anExistingLocationFileInTheDataFolderWins()
{
    QTemporaryDir app, data, elsewhere;
    const QString cfg = elsewhere.filePath(kCfg);
    writeBytes(cfg, "port = 7001\r\n");
    writeBytes(data.filePath(kIni), "Path=" + cfg.toUtf8() + "\r\n");
    // A stray location file beside an installed program is not read.
    writeBytes(app.filePath(kIni), "Path=" + app.filePath(kCfg).toUtf8() + "\r\n");
    ScriptedToolkit tk(app.path());
    tk.setDataFolder(data.path());
    MainWindow w(tk);
    w.load();
    QCOMPARE(w.configPath(), cfg);
    QCOMPARE(w.valueBox(slot(u"port"))->text(), u"7001"_s);
    QVERIFY(tk.prompts().empty());

    // Read from one folder, written to another (a location file beside a
    // program in a folder it may not write): a change goes to the writable
    // one and the file read stays as it was.
    QTemporaryDir user;
    tk.setWritableDataFolder(user.path());
    const QByteArray readOne = readBytes(data.filePath(kIni));
    writeBytes(elsewhere.filePath(u"other.cfg"_s), "port = 7002\r\n");
    tk.type(elsewhere.filePath(u"other.cfg"_s));
    w.changeCfgLocation();
    QCOMPARE(w.valueBox(slot(u"port"))->text(), u"7002"_s);
    QCOMPARE(readBytes(data.filePath(kIni)), readOne);
    QCOMPARE(readBytes(user.filePath(kIni)), "Path=" + elsewhere.filePath(u"other.cfg"_s).toUtf8() + "\r\n");
}

void TstAppFolder::failedLocationWriteOnStartShowsOneMessageAndGoesOn()
{
    QTemporaryDir dir;
    writeBytes(dir.filePath(kCfg), "port = 6881\r\n");
    ScriptedToolkit tk(dir.path());
    tk.faultyFiles().failOn({FaultyFiles::Op::Commit, 1, -1, kIni, u"Read-only file system"_s});
    MainWindow w(tk);
    w.load();

    QVERIFY(tk.faultyFiles().faultFired());
    QCOMPARE(titles(tk), (QStringList{u"INI File Not Found"_s, u"ERROR"_s}));
    const auto &error = tk.prompts()[1];
    QCOMPARE(error.icon, Icon::Critical);
    QCOMPARE(error.buttons, Buttons::Ok);
    // What failed, where, why, and what the editor goes on with.
    QCOMPARE(error.text, u"Could not record the cfg file's location in "_s + dir.filePath(kIni)
                             + u": Read-only file system. The editor goes on with "_s + dir.filePath(kCfg)
                             + u'.');
    // It goes on with the default configuration, read and shown.
    QCOMPARE(w.configPath(), dir.filePath(kCfg));
    QCOMPARE(w.valueBox(slot(u"port"))->text(), u"6881"_s);
    QVERIFY(!w.hasEnded());
    QCOMPARE(tk.ends(), 0);
    QVERIFY(!QFile::exists(dir.filePath(kIni)));
}

void TstAppFolder::failedLocationWriteOnChangeShowsOneMessageEachTime()
{
    QTemporaryDir dir, other;
    const QString first = dir.filePath(kCfg);
    writeBytes(first, "port = 1\r\n");
    writeBytes(dir.filePath(kIni), "Path=" + first.toUtf8() + "\r\n");
    const QString second = other.filePath(u"a.cfg"_s);
    const QString third = other.filePath(u"b.cfg"_s);
    writeBytes(second, "port = 2\r\n");
    writeBytes(third, "port = 3\r\n");

    ScriptedToolkit tk(dir.path());
    MainWindow w(tk);
    w.load();
    QVERIFY(tk.prompts().empty());

    for (const QString &next : {second, third}) {
        tk.faultyFiles().clearFaults();
        tk.faultyFiles().failOn({FaultyFiles::Op::Commit, 1, -1, kIni, u"No space left on device"_s});
        tk.clearPrompts();
        tk.type(next);
        w.changeCfgLocation();
        QCOMPARE(titles(tk), (QStringList{u"Change cfg Location"_s, u"ERROR"_s}));
        QVERIFY(tk.prompts()[1].text.contains(u"Could not record"_s));
        QCOMPARE(w.configPath(), next);
    }
    QCOMPARE(w.valueBox(slot(u"port"))->text(), u"3"_s);
    // The old record is untouched, and edits reach the file in use.
    QCOMPARE(readBytes(dir.filePath(kIni)), "Path=" + first.toUtf8() + "\r\n");
    w.valueBox(slot(u"port"))->setText(u"33"_s);
    tk.clearPrompts();
    QVERIFY(w.save());
    QVERIFY(readBytes(third).startsWith("port = 33\r\n"));
    QCOMPARE(readBytes(first), QByteArray("port = 1\r\n"));
}

void TstAppFolder::unreachablePerUserFolderOnDisk()
{
    // No injected fault: the per-user folder lies under a regular file, so
    // it can be neither made nor written, not even by root.
    QTemporaryDir app, tmp;
    writeBytes(tmp.filePath(u"blocker"_s), "not a folder");
    FolderFacts facts;
    facts.programFolder = app.path();
    facts.installedBinFolder = app.path();
    facts.perUserFolder = tmp.filePath(u"blocker/veskfrontend"_s);
    facts.canWrite = [](const QString &) { return true; };
    const QString data = chooseDataFolders(facts).read;
    QCOMPARE(data, facts.perUserFolder);

    const QString cfg = tmp.filePath(kCfg);
    writeBytes(cfg, "port = 4242\r\n");
    ScriptedToolkit tk(app.path());
    tk.setDataFolder(data);
    tk.type(cfg); // the answer to Change cfg Location after the default is missing
    MainWindow w(tk);
    w.load();

    // Each failed write of the location file is one ERROR; nothing is lost.
    QCOMPARE(titles(tk), (QStringList{u"INI File Not Found"_s, u"ERROR"_s, u"ERROR"_s,
                                      u"Change cfg Location"_s, u"ERROR"_s}));
    QVERIFY(tk.prompts()[1].text.startsWith(u"Could not record the cfg file's location in "_s + data + u'/'
                                            + kIni));
    QVERIFY(tk.prompts()[2].text.startsWith(u"Could not find the cfg file at "_s));
    QVERIFY(tk.prompts()[4].text.contains(u"The editor goes on with "_s + cfg));
    QCOMPARE(w.configPath(), cfg);
    QCOMPARE(w.valueBox(slot(u"port"))->text(), u"4242"_s);
    QVERIFY(!w.hasEnded());
}

// ---- the icon ------------------------------------------------------------------

void TstAppFolder::windowIconIsCompiledIn()
{
    // Read from the program's own resources, not the disk: a copy on its own
    // shows it too.
    const QIcon icon = applicationIcon();
    const QList<QSize> sizes = icon.availableSizes();
    for (int s : {16, 32, 48, 256}) {
        QVERIFY2(sizes.contains(QSize(s, s)), qPrintable(QString::number(s)));
        const QImage image = icon.pixmap(QSize(s, s)).toImage();
        QCOMPARE(image.size(), QSize(s, s));
        // Drawn, not blank: the corner is clear, the middle is not.
        QCOMPARE(qAlpha(image.pixel(0, s - 1)), 0);
        QVERIFY(qAlpha(image.pixel(s / 2, s / 2)) > 0);
    }
}

void TstAppFolder::windowIconComesBeforeAnyQuestionOrAfterThePaint()
{
    // A question asked during the load shows before the main window: it
    // carries the icon from the start.
    QApplication::setWindowIcon(QIcon());
    QWidget main;
    setApplicationIconAfterFirstPaint(&main);
    QWidget question;
    question.show();
    QVERIFY(!QApplication::windowIcon().isNull());
    question.hide();

    // Otherwise the main window's first paint comes first, then the icon.
    QApplication::setWindowIcon(QIcon());
    QWidget second;
    setApplicationIconAfterFirstPaint(&second);
    second.show();
    QVERIFY(QTest::qWaitForWindowExposed(&second));
    QTRY_VERIFY(!QApplication::windowIcon().isNull());
}

QTEST_MAIN(TstAppFolder)
#include "tst_appfolder.moc"
