// Saving with a backup: every operation of the save is made to fail in turn,
// and the target and the backup must each still hold a complete file.

#include "config/configfile.h"
#include "config/safesave.h"
#include "doubles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace vesk;
using namespace vesk::test;
using namespace Qt::StringLiterals;

using Op = FaultyFiles::Op;
Q_DECLARE_METATYPE(vesk::test::FaultyFiles::Op)

namespace {

QByteArray filled(const char *tag, int size)
{
    QByteArray b;
    for (int i = 0; b.size() < size; ++i)
        b += tag + QByteArray::number(i) + "\r\n";
    return b;
}

const QByteArray kOlder = filled("older backup line ", 1500);
const QByteArray kOld = filled("current file line ", 3000);
const QByteArray kNew = filled("new contents line ", 6000);

// What a file should hold afterwards.
enum Holds { Absent, Older, Old, New };

QByteArray contentOf(Holds h)
{
    switch (h) {
    case Older: return kOlder;
    case Old: return kOld;
    case New: return kNew;
    case Absent: break;
    }
    return {};
}

QStringList filesIn(const QString &dir)
{
    QStringList l = QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                        QDir::Name);
    return l;
}

} // namespace

class TstSafeSave : public QObject {
    Q_OBJECT
private slots:
    void faults_data();
    void faults();
    void firstSave();
    void twoSavesInARow();
    void permissionsArePreserved();
    void saveThroughSymlink();
    void targetThatIsNoFile();
    void pathWithNul();
};

void TstSafeSave::faults_data()
{
    QTest::addColumn<Op>("op");
    QTest::addColumn<QString>("on");
    QTest::addColumn<qint64>("atByte");
    QTest::addColumn<bool>("hadTarget");
    QTest::addColumn<bool>("hadBackup");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("target");
    QTest::addColumn<int>("backup");
    QTest::addColumn<bool>("keepLeft");

    const QString tgt = u"vesk.cfg"_s;
    const QString bak = u"veskold.cfg"_s;
    const qint64 none = -1;

    // No fault at all, for reference.
    QTest::newRow("no fault") << Op::Status << u"nothing matches"_s << none << true << true << true << int(New)
                              << int(Old) << false;

    // With a target and an older backup.
    struct Row {
        const char *name;
        Op op;
        QString on;
        qint64 at;
    };
    const Row failing[] = {
        {"status of target", Op::Status, tgt, none},
        {"status of backup", Op::Status, bak, none},
        {"open new file", Op::Open, tgt, none},
        {"write new at 0", Op::Write, tgt, 0},
        {"write new at 1", Op::Write, tgt, 1},
        {"write new mid-file", Op::Write, tgt, kNew.size() / 2},
        {"write new last byte", Op::Write, tgt, kNew.size() - 1},
        {"flush new file", Op::Flush, tgt, none},
        {"read current target", Op::Read, tgt, none},
        {"open backup copy", Op::Open, bak, none},
        {"chmod backup copy", Op::SetPermissions, bak, none},
        {"write backup at 0", Op::Write, bak, 0},
        {"write backup mid-file", Op::Write, bak, kOld.size() / 2},
        {"flush backup copy", Op::Flush, bak, none},
        {"rename old backup aside", Op::Rename, bak, none},
        {"commit backup", Op::Commit, bak, none},
        {"commit target", Op::Commit, tgt, none},
    };
    for (const Row &r : failing)
        QTest::newRow(r.name) << r.op << r.on << r.at << true << true << false << int(Old) << int(Older) << false;
    // Once the target is committed the save is done; a kept copy that cannot
    // be removed is a harmless leftover.
    QTest::newRow("remove kept backup") << Op::Remove << u".keep"_s << none << true << true << true << int(New)
                                        << int(Old) << true;

    // With a target but no backup yet.
    const Row firstBackup[] = {
        {"no backup: status of target", Op::Status, tgt, none},
        {"no backup: status of backup", Op::Status, bak, none},
        {"no backup: read current target", Op::Read, tgt, none},
        {"no backup: write backup mid-file", Op::Write, bak, kOld.size() / 2},
        {"no backup: commit backup", Op::Commit, bak, none},
        {"no backup: commit target", Op::Commit, tgt, none},
    };
    for (const Row &r : firstBackup)
        QTest::newRow(r.name) << r.op << r.on << r.at << true << false << false << int(Old) << int(Absent) << false;

    // No target yet: an older backup is left alone whatever happens.
    const Row firstSave[] = {
        {"no target: status", Op::Status, tgt, none},
        {"no target: open", Op::Open, tgt, none},
        {"no target: write mid-file", Op::Write, tgt, kNew.size() / 2},
        {"no target: flush", Op::Flush, tgt, none},
        {"no target: commit", Op::Commit, tgt, none},
    };
    for (const Row &r : firstSave)
        QTest::newRow(r.name) << r.op << r.on << r.at << false << true << false << int(Absent) << int(Older)
                              << false;
}

void TstSafeSave::faults()
{
    QFETCH(Op, op);
    QFETCH(QString, on);
    QFETCH(qint64, atByte);
    QFETCH(bool, hadTarget);
    QFETCH(bool, hadBackup);
    QFETCH(bool, ok);
    QFETCH(int, target);
    QFETCH(int, backup);
    QFETCH(bool, keepLeft);

    QTemporaryDir dir;
    const QString path = dir.filePath(u"vesk.cfg"_s);
    const QString backupPath = dir.filePath(u"veskold.cfg"_s);
    if (hadTarget)
        writeBytes(path, kOld);
    if (hadBackup)
        writeBytes(backupPath, kOlder);

    FaultyFiles files;
    files.failOn({op, 1, atByte, on, u"Injected failure"_s});
    const SaveOutcome out = saveWithBackup(files, path, backupPath, kNew, kMaxConfigBytes);

    if (on != u"nothing matches"_s)
        QVERIFY2(files.faultFired(), "the fault was never reached");
    QCOMPARE(out.ok, ok);
    if (!ok)
        QCOMPARE(out.reason, u"Injected failure"_s);

    QCOMPARE(QFileInfo::exists(path), target != Absent);
    QCOMPARE(readBytes(path), contentOf(Holds(target)));
    QCOMPARE(QFileInfo::exists(backupPath), backup != Absent);
    QCOMPARE(readBytes(backupPath), contentOf(Holds(backup)));

    // No temporary file is left behind.
    QStringList expected;
    if (target != Absent)
        expected << u"vesk.cfg"_s;
    if (backup != Absent)
        expected << u"veskold.cfg"_s;
    if (keepLeft)
        expected << u"veskold.cfg.keep"_s;
    expected.sort();
    QCOMPARE(filesIn(dir.path()), expected);
    if (keepLeft)
        QCOMPARE(readBytes(backupPath + u".keep"_s), kOlder);

    // And the next save, without faults, works from whatever was left.
    files.clearFaults();
    const QByteArray again = "port = 1\r\n";
    QVERIFY(saveWithBackup(files, path, backupPath, again, kMaxConfigBytes).ok);
    QCOMPARE(readBytes(path), again);
    QCOMPARE(readBytes(backupPath), target == Absent ? kOlder : contentOf(Holds(target)));
}

void TstSafeSave::firstSave()
{
    DiskFileAccess files;
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"vesk.cfg"_s);
        QVERIFY(saveWithBackup(files, path, dir.filePath(u"veskold.cfg"_s), kNew, kMaxConfigBytes).ok);
        QCOMPARE(readBytes(path), kNew);
        QCOMPARE(filesIn(dir.path()), QStringList{u"vesk.cfg"_s});
    }
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"vesk.cfg"_s);
        writeBytes(dir.filePath(u"veskold.cfg"_s), kOlder);
        QVERIFY(saveWithBackup(files, path, dir.filePath(u"veskold.cfg"_s), kNew, kMaxConfigBytes).ok);
        QCOMPARE(readBytes(path), kNew);
        QCOMPARE(readBytes(dir.filePath(u"veskold.cfg"_s)), kOlder);
    }
    {
        // An empty new file is a file too.
        QTemporaryDir dir;
        const QString path = dir.filePath(u"vesk.cfg"_s);
        QVERIFY(saveWithBackup(files, path, dir.filePath(u"veskold.cfg"_s), QByteArray(), kMaxConfigBytes).ok);
        QVERIFY(QFileInfo::exists(path));
        QCOMPARE(QFileInfo(path).size(), 0);
    }
}

void TstSafeSave::twoSavesInARow()
{
    QTemporaryDir dir;
    DiskFileAccess files;
    const QString path = dir.filePath(u"vesk.cfg"_s);
    const QString backupPath = dir.filePath(u"veskold.cfg"_s);
    writeBytes(path, kOld);
    writeBytes(backupPath, kOlder);
    QVERIFY(saveWithBackup(files, path, backupPath, "first\r\n", kMaxConfigBytes).ok);
    QVERIFY(saveWithBackup(files, path, backupPath, "second\r\n", kMaxConfigBytes).ok);
    QCOMPARE(readBytes(path), QByteArray("second\r\n"));
    QCOMPARE(readBytes(backupPath), QByteArray("first\r\n"));
    QCOMPARE(filesIn(dir.path()), (QStringList{u"vesk.cfg"_s, u"veskold.cfg"_s}));
}

void TstSafeSave::permissionsArePreserved()
{
    QTemporaryDir dir;
    DiskFileAccess files;
    const QString path = dir.filePath(u"vesk.cfg"_s);
    const QString backupPath = dir.filePath(u"veskold.cfg"_s);
    const auto priv = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
    writeBytes(path, kOld);
    writeBytes(backupPath, kOlder);
    QVERIFY(QFile::setPermissions(path, priv));
    QVERIFY(QFile::setPermissions(backupPath, priv | QFile::ReadGroup | QFile::ReadOther));
    QVERIFY(saveWithBackup(files, path, backupPath, kNew, kMaxConfigBytes).ok);
    QCOMPARE(QFile::permissions(path), priv);
    // The backup holds the same private data, so it gets the same rights.
    QCOMPARE(QFile::permissions(backupPath), priv);
    QCOMPARE(readBytes(backupPath), kOld);
}

void TstSafeSave::saveThroughSymlink()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(u"real"_s));
    const QString real = dir.filePath(u"real/tracker.cfg"_s);
    const QString link = dir.filePath(u"vesk.cfg"_s);
    const QString backupPath = backupPathFor(link);
    writeBytes(real, kOld);
    QVERIFY(QFile::link(u"real/tracker.cfg"_s, link) || QFile::link(real, link));

    DiskFileAccess files;
    const SaveOutcome out = saveWithBackup(files, link, backupPath, kNew, kMaxConfigBytes);
    QVERIFY2(out.ok, qPrintable(out.reason));
    // The link stays a link, and the file it points to gets the contents.
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(QFileInfo(link).symLinkTarget(), QFileInfo(real).absoluteFilePath());
    QCOMPARE(readBytes(real), kNew);
    QCOMPARE(readBytes(backupPath), kOld);
    QVERIFY(!QFileInfo(backupPath).isSymLink());
    QCOMPARE(filesIn(dir.filePath(u"real"_s)), QStringList{u"tracker.cfg"_s});
    QCOMPARE(filesIn(dir.path()), (QStringList{u"real"_s, u"vesk.cfg"_s, u"veskold.cfg"_s}));

    // A link to a file not yet there: the first save creates that file.
    const QString dangling = dir.filePath(u"new.cfg"_s);
    QVERIFY(QFile::link(u"real/new-target.cfg"_s, dangling));
    QVERIFY(saveWithBackup(files, dangling, backupPathFor(dangling), kNew, kMaxConfigBytes).ok);
    QVERIFY(QFileInfo(dangling).isSymLink());
    QCOMPARE(readBytes(dir.filePath(u"real/new-target.cfg"_s)), kNew);
    QVERIFY(!QFileInfo::exists(backupPathFor(dangling)));
}

void TstSafeSave::targetThatIsNoFile()
{
    QTemporaryDir dir;
    DiskFileAccess files;
    const QString path = dir.filePath(u"vesk.cfg"_s);
    QVERIFY(QDir(dir.path()).mkdir(u"vesk.cfg"_s));
    const SaveOutcome out = saveWithBackup(files, path, dir.filePath(u"veskold.cfg"_s), kNew, kMaxConfigBytes);
    QVERIFY(!out.ok);
    QVERIFY(!out.reason.isEmpty());
    QVERIFY(QFileInfo(path).isDir());
    QCOMPARE(filesIn(dir.path()), QStringList{u"vesk.cfg"_s});
}

void TstSafeSave::pathWithNul()
{
    // The system would see the path cut short at the NUL: "vesk.cfg".
    QTemporaryDir dir;
    DiskFileAccess files;
    const QString cut = dir.filePath(u"vesk.cfg"_s);
    writeBytes(cut, kOld);
    const QString path = cut + QChar(0) + u"x"_s;
    const SaveOutcome out = saveWithBackup(files, path, backupPathFor(path), kNew, kMaxConfigBytes);
    QVERIFY(!out.ok);
    QVERIFY(!out.reason.isEmpty());
    QCOMPARE(readBytes(cut), kOld);
    QCOMPARE(filesIn(dir.path()), QStringList{u"vesk.cfg"_s});
}

QTEST_GUILESS_MAIN(TstSafeSave)
#include "tst_safesave.moc"
