// veskcfg, the command-line editor: the real program on files in a
// temporary folder, and its save through a file layer that fails.

#include "cli/commands.h"
#include "config/linediff.h"
#include "doubles.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>
#include <QTextStream>

#ifndef VESKCFG_PATH
#error "VESKCFG_PATH must name the veskcfg program"
#endif

using namespace vesk;
using namespace vesk::test;
using namespace Qt::StringLiterals;

namespace
{

// Out of order, numbered out of order, with a line the editor does not know.
const QByteArray kInput = "# note\r\nport = 6969\r\nvesk_tag2 = Anime|/a.png\r\nvesk_tag1 = Music|/m.png\r\n"
                          "vesk_debug = 0\r\n";

// kInput as a save writes it, with these setting lines and categories.
QByteArray saved(const QByteArray &settings, const QByteArray &tags)
{
    return settings + tags + "# note\r\n\r\n";
}
const QByteArray kSettings = "port = 6969\r\nvesk_debug = 0\r\n";
const QByteArray kTags = "vesk_tag1 = Anime|/a.png\r\nvesk_tag2 = Music|/m.png\r\n";

struct Run {
    int code = -1;
    QString out;
    QString err;
};

// The program as a user runs it: no display, its own home.
Run veskcfg(const QStringList &args, const QString &folder,
            const QString &program = QStringLiteral(VESKCFG_PATH))
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    env.insert(u"HOME"_s, folder);
    env.insert(u"XDG_CONFIG_HOME"_s, folder + u"/.config"_s);
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(folder);
    p.start(program, args);
    Run r;
    if (!p.waitForFinished(20000))
        return r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace

class TstVeskcfg : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void edits_data();
    void edits();
    void reads_data();
    void reads();
    void usageErrors_data();
    void usageErrors();
    void fileFromLocation();
    void failedSaveKeepsFiles_data();
    void failedSaveKeepsFiles();
    void fileChangedWhileWorking();
    void argumentThatIsNotUtf8();
    void applyDocuments_data();
    void applyDocuments();
    void unifiedDiff_data();
    void unifiedDiff();

private:
    QString cfg() const { return m_dir->filePath(u"vesk.cfg"_s); }
    QString backup() const { return m_dir->filePath(u"veskold.cfg"_s); }
    Run run(QStringList args)
    {
        return veskcfg(QStringList{u"--file"_s, u"vesk.cfg"_s} + args, m_dir->path());
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TstVeskcfg::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    writeBytes(cfg(), kInput);
}

// A change is one save with the backup; no change touches nothing.
void TstVeskcfg::edits_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QByteArray>("after"); // empty: the file as it was, and no backup

    const QString changed = u"changed\n"_s, unchanged = u"unchanged\n"_s;
    QTest::newRow("set two") << QStringList{u"set"_s, u"port"_s, u"7000"_s, u"vesk_realm"_s, u"My Realm"_s}
                             << 0 << changed
                             << saved("port = 7000\r\nvesk_debug = 0\r\nvesk_realm = My Realm\r\n", kTags);
    QTest::newRow("set, last wins") << QStringList{u"set"_s, u"port"_s, u"1"_s, u"port"_s, u"6969"_s} << 0
                                    << unchanged << QByteArray();
    QTest::newRow("set same") << QStringList{u"set"_s, u"port"_s, u"6969"_s} << 0 << unchanged
                              << QByteArray();
    QTest::newRow("set empty") << QStringList{u"set"_s, u"port"_s, u""_s} << 0 << changed
                               << saved("vesk_debug = 0\r\n", kTags);
    QTest::newRow("set forced") << QStringList{u"--force"_s, u"set"_s, u"vesk_debug"_s, u"yes"_s} << 0
                                << changed << saved("port = 6969\r\nvesk_debug = yes\r\n", kTags);
    QTest::newRow("unset") << QStringList{u"unset"_s, u"vesk_debug"_s, u"vesk_max_hops"_s} << 0 << changed
                           << saved("port = 6969\r\n", kTags);
    QTest::newRow("unset absent") << QStringList{u"unset"_s, u"vesk_max_hops"_s} << 0 << unchanged
                                  << QByteArray();
    QTest::newRow("add sorted") << QStringList{u"category"_s, u"add"_s, u"Books"_s, u"/b.png"_s} << 0
                                << changed
                                << saved(kSettings, "vesk_tag1 = Anime|/a.png\r\nvesk_tag2 = Books|/b.png\r\n"
                                                    "vesk_tag3 = Music|/m.png\r\n");
    QTest::newRow("add duplicate") << QStringList{u"category"_s, u"add"_s, u"Music"_s, u"/m.png"_s} << 0
                                   << changed
                                   << saved(kSettings,
                                            "vesk_tag1 = Anime|/a.png\r\nvesk_tag2 = Music|/m.png\r\n"
                                            "vesk_tag3 = Music|/m.png\r\n");
    QTest::newRow("delete") << QStringList{u"category"_s, u"delete"_s, u"Music"_s} << 0 << changed
                            << saved(kSettings, "vesk_tag1 = Anime|/a.png\r\n");
    // Read categories are sorted; a renamed one keeps its place, as in the
    // window's list.
    QTest::newRow("rename") << QStringList{u"category"_s, u"rename"_s, u"Anime"_s, u"Zeta"_s, u"/z.png"_s}
                            << 0 << changed
                            << saved(kSettings, "vesk_tag1 = Zeta|/z.png\r\nvesk_tag2 = Music|/m.png\r\n");
    QTest::newRow("rename same") << QStringList{u"category"_s, u"rename"_s, u"Music"_s, u"Music"_s} << 0
                                 << unchanged << QByteArray();
    QTest::newRow("delete missing") << QStringList{u"category"_s, u"delete"_s, u"music"_s} << 1 << QString()
                                    << QByteArray();
    QTest::newRow("dry run")
        << QStringList{u"--dry-run"_s, u"set"_s, u"port"_s, u"7000"_s} << 0
        << u"@@ -1,5 +1,6 @@\n+port = 7000\n+vesk_debug = 0\n+vesk_tag1 = Anime|/a.png\n"
           "+vesk_tag2 = Music|/m.png\n # note\n-port = 6969\n-vesk_tag2 = Anime|/a.png\n"
           "-vesk_tag1 = Music|/m.png\n-vesk_debug = 0\n+\n"_s
        << QByteArray();
    QTest::newRow("json") << QStringList{u"--json"_s, u"unset"_s, u"port"_s} << 0 << u"{\"changed\":true}\n"_s
                          << saved("vesk_debug = 0\r\n", kTags);
}

void TstVeskcfg::edits()
{
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, out);
    QFETCH(QByteArray, after);
    const Run r = run(args);
    QVERIFY2(r.code == code, qPrintable(r.err));
    if (out.contains(u"@@"_s)) // a diff: its header names the file
        QCOMPARE(r.out.section(u'\n', 2), out);
    else
        QCOMPARE(r.out, out);
    QCOMPARE(readBytes(cfg()), after.isEmpty() ? kInput : after);
    QCOMPARE(QFile::exists(backup()), !after.isEmpty());
    if (!after.isEmpty()) {
        QCOMPARE(readBytes(backup()), kInput);
        // Again: nothing left to do.
        if (args.contains(u"set"_s) || args.contains(u"unset"_s))
            QCOMPARE(run(args).out,
                     args.contains(u"--json"_s) ? u"{\"changed\":false}\n"_s : u"unchanged\n"_s);
    }
}

void TstVeskcfg::reads_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out");
    QTest::newRow("get") << QStringList{u"get"_s, u"port"_s} << 0 << u"6969\n"_s;
    QTest::newRow("get unset") << QStringList{u"get"_s, u"vesk_realm"_s} << 1 << QString();
    QTest::newRow("get json") << QStringList{u"get"_s, u"vesk_realm"_s, u"--json"_s} << 1
                              << u"{\"key\":\"vesk_realm\",\"value\":null}\n"_s;
    QTest::newRow("categories") << QStringList{u"categories"_s} << 0
                                << u"1\tAnime\t/a.png\n2\tMusic\t/m.png\n"_s;
    QTest::newRow("check fine") << QStringList{u"check"_s} << 0 << QString();
    QTest::newRow("explain") << QStringList{u"explain"_s, u"port"_s} << 0
                             << u"port (Port, Number Options tab; number 1-65535)\n"
                                "Port tracker will listen on (usualy 6969)\n"_s;
    QTest::newRow("diff") << QStringList{u"diff"_s} << 0
                          << u"@@ -1,5 +1,6 @@\n-# note\n port = 6969\n-vesk_tag2 = Anime|/a.png\n"
                             "-vesk_tag1 = Music|/m.png\n vesk_debug = 0\n+vesk_tag1 = Anime|/a.png\n"
                             "+vesk_tag2 = Music|/m.png\n+# note\n+\n"_s;
}

void TstVeskcfg::reads()
{
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, out);
    const Run r = run(args);
    QVERIFY2(r.code == code, qPrintable(r.err));
    QCOMPARE(args[0] == u"diff" ? r.out.section(u'\n', 2) : r.out, out);
    QCOMPARE(readBytes(cfg()), kInput);
    QVERIFY(!QFile::exists(backup()));

    if (QTest::currentDataTag() != "get"_ba)
        return;
    // Once: the listing in JSON, a file with bad values, the licence.
    const QJsonObject list =
        QJsonDocument::fromJson(run({u"list"_s, u"--all"_s, u"--json"_s}).out.toUtf8()).object();
    QCOMPARE(list[u"settings"_s].toArray().size(), 72);
    QCOMPARE(list[u"categories"_s].toArray().size(), 2);
    QCOMPARE(list[u"otherLines"_s].toInt(), 1);
    writeBytes(cfg(), "port = 0\r\nvesk_debug = 2\r\nvesk_realm = x\r\n");
    const Run check = run({u"check"_s});
    QCOMPARE(check.code, 1);
    QCOMPARE(check.out, u"port: \"0\" must be a whole number, 1 to 65535\n"
                        "vesk_debug: \"2\" must be 0 (off) or 1 (on)\n"_s);
    QVERIFY(run({u"--version"_s}).out.contains(u"GPL-3.0-or-later"_s));
}

// Wrong usage says what is wrong, exits 2 and touches nothing.
void TstVeskcfg::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("typo") << QStringList{u"get"_s, u"portt"_s} << u"did you mean port?"_s;
    QTest::newRow("no prefix") << QStringList{u"set"_s, u"max_conns"_s, u"5"_s} << u"vesk_max_conns"_s;
    QTest::newRow("no pair") << QStringList{u"set"_s, u"port"_s} << u"pairs"_s;
    QTest::newRow("out of range") << QStringList{u"set"_s, u"port"_s, u"70000"_s} << u"1 to 65535"_s;
    QTest::newRow("line break") << QStringList{u"set"_s, u"vesk_realm"_s, u"a\nb"_s} << u"line break"_s;
    QTest::newRow("bar in name") << QStringList{u"category"_s, u"add"_s, u"a|b"_s, u"/i.png"_s} << u"\"|\""_s;
    QTest::newRow("break in image") << QStringList{u"category"_s, u"rename"_s, u"Music"_s, u"M"_s, u"a\rb"_s}
                                    << u"line break"_s;
    QTest::newRow("no image") << QStringList{u"category"_s, u"add"_s, u"Games"_s} << u"category add NAME"_s;
    QTest::newRow("command") << QStringList{u"frobnicate"_s} << u"unknown command"_s;
    QTest::newRow("nothing") << QStringList{} << u"no command"_s;
    QTest::newRow("option") << QStringList{u"set"_s, u"port"_s, u"-1"_s} << u"put -- before"_s;
    QTest::newRow("misplaced") << QStringList{u"--dry-run"_s, u"get"_s, u"port"_s} << u"--dry-run"_s;
}

void TstVeskcfg::usageErrors()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    const Run r = run(args);
    QCOMPARE(r.code, 2);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QVERIFY(r.out.isEmpty());
    QCOMPARE(readBytes(cfg()), kInput);
    QVERIFY(!QFile::exists(backup()));
}

// Without --file: the editor's location file beside a portable copy, a
// relative path in it taken from its folder, wherever veskcfg is run from.
void TstVeskcfg::fileFromLocation()
{
    const QString bin = m_dir->filePath(u"bin"_s);
    QVERIFY(QDir().mkpath(bin + u"/conf"_s));
    QVERIFY(QFile::copy(QStringLiteral(VESKCFG_PATH), bin + u"/veskcfg"_s));
    QVERIFY(QFile::setPermissions(bin + u"/veskcfg"_s, QFile::ReadOwner | QFile::ExeOwner));
    Run r = veskcfg({u"get"_s, u"port"_s}, m_dir->path(), bin + u"/veskcfg"_s);
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(u"--file"_s), qPrintable(r.err));

    writeBytes(bin + u"/veskfrontend.ini"_s, "Path=conf/vesk.cfg\r\n");
    writeBytes(bin + u"/conf/vesk.cfg"_s, "port = 1234\r\n");
    r = veskcfg({u"get"_s, u"port"_s}, m_dir->path(), bin + u"/veskcfg"_s);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(r.out, u"1234\n"_s);
}

// A save that fails part way exits 1 with the system's reason and leaves
// the file and its backup as they were.
void TstVeskcfg::failedSaveKeepsFiles_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<int>("occurrence");
    QTest::newRow("write") << int(FaultyFiles::Op::Write) << 1;
    QTest::newRow("flush") << int(FaultyFiles::Op::Flush) << 1;
    QTest::newRow("commit") << int(FaultyFiles::Op::Commit) << 1;
    // The new file is in place, but the folder's sync failed: said so.
    QTest::newRow("sync after the file is replaced") << int(FaultyFiles::Op::SyncFolder) << 2;
}

void TstVeskcfg::failedSaveKeepsFiles()
{
    QFETCH(int, op);
    QFETCH(int, occurrence);
    writeBytes(backup(), "port = 1\r\n");
    FaultyFiles files;
    files.failOn({FaultyFiles::Op(op), occurrence, -1, {}, u"No space left on device"_s, ENOSPC});
    QString out, err;
    QTextStream o(&out), e(&err);
    const int code =
        cli::run({u"veskcfg"_s, u"--file"_s, cfg(), u"set"_s, u"port"_s, u"7000"_s}, {files, {}}, o, e);
    QVERIFY(files.faultFired());
    QCOMPARE(code, 1);
    QVERIFY(out.isEmpty());
    QVERIFY2(err.contains(u"No space left on device"_s), qPrintable(err));
    const bool inPlace = occurrence == 2;
    QCOMPARE(err.contains(u"was saved, but the system could not confirm"_s), inPlace);
    QCOMPARE(err.contains(u"left as it was"_s), !inPlace);
    QCOMPARE(readBytes(cfg()), inPlace ? saved("port = 7000\r\nvesk_debug = 0\r\n", kTags) : kInput);
    QCOMPARE(readBytes(backup()), inPlace ? kInput : "port = 1\r\n"_ba);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{u"vesk.cfg"_s, u"veskold.cfg"_s}));
}

// Bytes that are not UTF-8 would reach the file as replacement characters.
void TstVeskcfg::argumentThatIsNotUtf8()
{
    QProcess p;
    p.setWorkingDirectory(m_dir->path());
    p.start(u"sh"_s, {u"-c"_s, u"exec \"$0\" --file vesk.cfg set vesk_realm \"$(printf 'caf\\351')\""_s,
                      QStringLiteral(VESKCFG_PATH)});
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitCode(), 2);
    QVERIFY(p.readAllStandardError().contains("argument 5 is not valid UTF-8"));
    QCOMPARE(readBytes(cfg()), kInput);
    QVERIFY(!QFile::exists(backup()));
}

// apply: a document of the wanted state, checked whole, then one save; a
// document that fails any check changes nothing, the backup included.
void TstVeskcfg::applyDocuments_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("after"); // empty: unchanged
    QTest::addColumn<QString>("told");
    const QByteArray both = "{\"settings\":{\"port\":7000,\"vesk_debug\":null},"
                            "\"categories\":[{\"name\":\"Games\",\"image\":\"/g.png\"},"
                            "{\"name\":\"Anime\",\"state\":\"absent\"}]}";
    const QByteArray saved7000 =
        saved("port = 7000\r\n", "vesk_tag1 = Games|/g.png\r\nvesk_tag2 = Music|/m.png\r\n");
    QTest::newRow("settings and categories") << both << QStringList() << 0 << saved7000 << u"changed"_s;
    QTest::newRow("json")
        << both << QStringList{u"--json"_s} << 0 << saved7000
        << u"\"categoriesAdded\":[\"Games\"],\"categoriesChanged\":[],\"categoriesRemoved\":[\"Anime\"]"_s;
    QTest::newRow("nothing to do") << QByteArray(R"({"settings":{"port":"6969"}})") << QStringList() << 0
                                   << QByteArray() << u"unchanged"_s;
    QTest::newRow("dry run") << both << QStringList{u"--dry-run"_s} << 0 << QByteArray() << u"+port = 7000"_s;
    QTest::newRow("forced value") << QByteArray(R"({"settings":{"port":"70000"}})")
                                  << QStringList{u"--force"_s} << 0
                                  << saved("port = 70000\r\nvesk_debug = 0\r\n", kTags) << u"changed"_s;
    QTest::newRow("image changed") << QByteArray(R"({"categories":[{"name":"Music","image":"/n.png"}]})")
                                   << QStringList() << 0
                                   << saved(kSettings,
                                            "vesk_tag1 = Anime|/a.png\r\nvesk_tag2 = Music|/n.png\r\n")
                                   << u"changed"_s;
    // Rejected whole: nothing is applied, the good parts neither.
    QTest::newRow("unknown key") << QByteArray(R"({"settings":{"port":"1","portt":"2"}})") << QStringList()
                                 << 2 << QByteArray() << u"did you mean port?"_s;
    QTest::newRow("value out of range") << QByteArray(R"({"settings":{"port":"70000"}})") << QStringList()
                                        << 2 << QByteArray() << u"1 to 65535"_s;
    QTest::newRow("bar in a name") << QByteArray(R"({"categories":[{"name":"a|b","image":"x"}]})")
                                   << QStringList() << 2 << QByteArray() << u"cannot contain"_s;
    QTest::newRow("present without image") << QByteArray(R"({"categories":[{"name":"Games"}]})")
                                           << QStringList() << 2 << QByteArray() << u"needs an image file"_s;
    QTest::newRow("unknown member") << QByteArray(R"({"setting":{}})") << QStringList() << 2 << QByteArray()
                                    << u"unknown member \"setting\""_s;
    QTest::newRow("no JSON") << QByteArray("port = 1") << QStringList() << 2 << QByteArray()
                             << u"no JSON object"_s;
    QTest::newRow("line break") << QByteArray(R"({"settings":{"vesk_realm":"a\nb"}})") << QStringList() << 2
                                << QByteArray() << u"line break"_s;
}

void TstVeskcfg::applyDocuments()
{
    QFETCH(QByteArray, document);
    QFETCH(QStringList, options);
    QFETCH(int, code);
    QFETCH(QByteArray, after);
    QFETCH(QString, told);
    writeBytes(backup(), "older\r\n");
    QProcess p;
    p.setWorkingDirectory(m_dir->path());
    p.start(QStringLiteral(VESKCFG_PATH),
            QStringList{u"--file"_s, u"vesk.cfg"_s} + options + QStringList{u"apply"_s, u"-"_s});
    p.write(document);
    p.closeWriteChannel();
    QVERIFY(p.waitForFinished(20000));
    const QString said = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    QCOMPARE(p.exitCode(), code);
    QVERIFY2(said.contains(told), qPrintable(said));
    QCOMPARE(readBytes(cfg()), after.isEmpty() ? kInput : after);
    QCOMPARE(readBytes(backup()), after.isEmpty() ? QByteArray("older\r\n") : kInput);
}

// Another program writes the file between the read and the save: there is
// no one to ask, so nothing is saved.
void TstVeskcfg::fileChangedWhileWorking()
{
    FaultyFiles files;
    bool read = false;
    files.beforeEach = [&](const QString &entry) {
        if (read && entry.startsWith(u"openfolder"_s))
            writeBytes(cfg(), "port = 1\r\n");
        read = read || entry == u"read "_s + cfg();
    };
    QString out, err;
    QTextStream o(&out), e(&err);
    const int code = cli::run({u"veskcfg"_s, u"--file"_s, cfg(), u"unset"_s, u"port"_s}, {files, {}}, o, e);
    QCOMPARE(code, 1);
    QVERIFY2(err.contains(u"changed on disk"_s), qPrintable(err));
    QCOMPARE(readBytes(cfg()), "port = 1\r\n"_ba);
    QVERIFY(!QFile::exists(backup()));
}

// Hunks as diff -u makes them: three lines of context, joined when at most
// six unchanged lines stand between two changes.
void TstVeskcfg::unifiedDiff_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("diff"); // less the two label lines
    QTest::newRow("same") << u"a b"_s << u"a b"_s << QString();
    QTest::newRow("from nothing") << QString() << u"a"_s << u"@@ -0,0 +1 @@\n+a\n"_s;
    QTest::newRow("to nothing") << u"a b"_s << QString() << u"@@ -1,2 +0,0 @@\n-a\n-b\n"_s;
    QTest::newRow("joined")
        << u"a b c d e f g h i j k l m"_s << u"X a b c d e F g h i j k l"_s
        << u"@@ -1,13 +1,13 @@\n+X\n a\n b\n c\n d\n e\n-f\n+F\n g\n h\n i\n j\n k\n l\n-m\n"_s;
    QTest::newRow("apart") << u"a b c d e f g h i j k l m n"_s << u"a B c d e f g h i j k l M n"_s
                           << u"@@ -1,5 +1,5 @@\n a\n-b\n+B\n c\n d\n e\n"
                              "@@ -10,5 +10,5 @@\n j\n k\n l\n-m\n+M\n n\n"_s;
}

void TstVeskcfg::unifiedDiff()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(QString, diff);
    auto lines = [](const QString &words) {
        std::vector<QString> v;
        for (const QString &w : words.split(u' ', Qt::SkipEmptyParts))
            v.push_back(w);
        return v;
    };
    const QString text = unifiedDiffText(lines(before), lines(after), u"old"_s, u"new"_s);
    QCOMPARE(text, diff.isEmpty() ? diff : u"--- old\n+++ new\n"_s + diff);
}

QTEST_GUILESS_MAIN(TstVeskcfg)
#include "tst_veskcfg.moc"
