// Saving with a backup: every operation of the save is made to fail in turn,
// and the target and the backup must each still hold a complete file; then
// the situations a real disk puts before a save: links, owners, access
// lists, names that cannot be, a crash at any moment.

#include "config/configwriter.h"
#include "doubles.h"
#include "store/safesave.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <map>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace vesk;
using namespace vesk::test;
using namespace Qt::StringLiterals;

using Op = FaultyFiles::Op;

// A disk whose flush fails: every fsync and fdatasync in this process,
// Qt's included, answers EIO while it is set; or only fsync of a file, as a
// disk that keeps data but loses an owner or mode given since would.
static bool g_failSync = false;
static bool g_failFileFsync = false;
extern "C" int fdatasync(int fd)
{
    if (g_failSync) {
        errno = EIO;
        return -1;
    }
    static const auto real = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fdatasync"));
    return real(fd);
}
extern "C" int fsync(int fd)
{
    struct stat st {
    };
    if (g_failSync || (g_failFileFsync && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))) {
        errno = EIO;
        return -1;
    }
    static const auto real = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fsync"));
    return real(fd);
}

namespace
{

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
enum Holds { Absent, Older, Old, New, Damaged };

QByteArray contentOf(Holds h)
{
    switch (h) {
    case Older: return kOlder;
    case Old: return kOld;
    case New: return kNew;
    case Absent:
    case Damaged: break;
    }
    return {};
}

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                               QDir::Name);
}

struct stat statOf(const QString &path)
{
    struct stat st {
    };
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st;
}

QByteArray xattr(const QString &path, const char *name)
{
    QByteArray v(4096, '\0');
    const ssize_t n = ::getxattr(QFile::encodeName(path).constData(), name, v.data(), size_t(v.size()));
    return n < 0 ? QByteArray("<none>") : v.first(n);
}

// An access list in the form the kernel keeps it: read for uid 4242 and
// group 4343 besides the owner and group, nothing for others.
QByteArray accessList()
{
    QByteArray b;
    auto u32 = [&](quint32 v) { b.append(reinterpret_cast<const char *>(&v), 4); };
    auto entry = [&](quint16 tag, quint16 perm, quint32 id) {
        b.append(reinterpret_cast<const char *>(&tag), 2);
        b.append(reinterpret_cast<const char *>(&perm), 2);
        u32(id);
    };
    u32(2);
    entry(0x01, 6, quint32(-1)); // owner rw
    entry(0x02, 4, 4242);        // user 4242 r
    entry(0x04, 4, quint32(-1)); // group r
    entry(0x08, 4, 4343);        // group 4343 r
    entry(0x10, 4, quint32(-1)); // mask r
    entry(0x20, 0, quint32(-1)); // others none
    return b;
}

// One failing step and what it must leave.
struct Case {
    Op op;
    QString on;
    int code = EIO;
    qint64 at = -1;
    int occurrence = 1;
    bool ok = false;
    Holds target = Old, backup = Older;
    bool keepLeft = false;
    bool oom = false; // the step runs out of memory instead
    bool hadTarget = true, hadBackup = true;
    bool hardLinked = false; // a second name for the file, elsewhere
    bool sameFile = false;   // the file is rewritten in place
    bool copied = false;     // the backup is a copy: no second name across file systems
    std::optional<FaultyFiles::Fault> also = std::nullopt;
};

const QString kTgt = u"vesk.cfg"_s;
const QString kBak = u"veskold.cfg"_s;

} // namespace

Q_DECLARE_METATYPE(Case)

class TstSafeSave : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void faults_data();
    void faults();
    void firstSave();
    void twoSavesInARow();
    void permissionsArePreserved();
    void saveThroughSymlink();
    void targetThatIsNoFile();
    void pathWithNul();
    void failedFlushIsReported_data();
    void failedFlushIsReported();
    void keepsWhoOwnsAndMayRead_data();
    void keepsWhoOwnsAndMayRead();
    void linkAtBackupIsReplaced_data();
    void linkAtBackupIsReplaced();
    void refusedWithTheReason_data();
    void refusedWithTheReason();
    void crashAtAnyStep_data();
    void crashAtAnyStep();
    void leftoverKeep_data();
    void leftoverKeep();

private:
    QTemporaryDir m_mountDir;
    QString m_tmpfs; // a mounted tmpfs, when root may mount one
};

void TstSafeSave::initTestCase()
{
    const QString at = m_mountDir.filePath(u"tmpfs"_s);
    QVERIFY(QDir().mkdir(at));
    QProcess p;
    p.start(u"mount"_s, {u"-t"_s, u"tmpfs"_s, u"-o"_s, u"size=4m"_s, u"tmpfs"_s, at});
    if (p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
        m_tmpfs = at;
}

void TstSafeSave::cleanupTestCase()
{
    if (!m_tmpfs.isEmpty())
        QCOMPARE(QProcess::execute(u"umount"_s, {m_tmpfs}), 0);
}

void TstSafeSave::faults_data()
{
    QTest::addColumn<Case>("c");
    auto row = [](const QString &name, Case c) {
        QTest::newRow(qPrintable(name)) << c;
        // Running out of memory at a step that fails the save must fail it
        // the same way.
        if (!c.ok && c.at < 0 && !c.also && !c.oom) {
            c.oom = true;
            QTest::newRow(qPrintable(name + u", out of memory"_s)) << c;
        }
    };
    const QString keep = u".keep"_s;
    const Case done{.op = Op::Status, .on = u"nothing matches"_s, .ok = true, .target = New, .backup = Old};

    row(u"no fault"_s, done);
    // With a target and an older backup. The first status on the backup's
    // name looks for a leftover .keep.
    row(u"status of target"_s, {Op::Status, kTgt});
    row(u"status of backup"_s, {.op = Op::Status, .on = kBak, .occurrence = 3});
    row(u"name the file as backup fails: copied"_s,
        {.op = Op::Name, .on = kBak, .ok = true, .target = New, .backup = Old});
    row(u"read current target"_s, {.op = Op::Read, .on = kTgt, .copied = true});
    row(u"open new file"_s, {Op::Open, kTgt});
    for (qint64 at : {qint64(0), qint64(1), kNew.size() / 2, kNew.size() - 1})
        row(u"write new at %1"_s.arg(at), {.op = Op::Write, .on = kTgt, .at = at});
    row(u"sync new file"_s, {Op::Flush, kTgt});
    row(u"open backup copy"_s, {.op = Op::Open, .on = kBak, .copied = true});
    row(u"write backup at 0"_s, {.op = Op::Write, .on = kBak, .at = 0, .copied = true});
    row(u"write backup mid-file"_s, {.op = Op::Write, .on = kBak, .at = kOld.size() / 2, .copied = true});
    row(u"sync backup copy"_s, {.op = Op::Flush, .on = kBak, .copied = true});
    row(u"link older backup aside"_s, {Op::Link, kBak});
    row(u"commit backup"_s, {Op::Commit, kBak});
    row(u"sync folder after backup"_s, {Op::SyncFolder, QString()});
    row(u"commit target"_s, {Op::Commit, kTgt});
    row(u"commit target, older backup not back"_s,
        {.op = Op::Commit, .on = kTgt, .backup = Old, .keepLeft = true, .also = {{Op::Rename, 1, -1, keep}}});
    // Past the point of no return: the file is new, the backup its old self.
    row(u"sync folder after target"_s,
        {.op = Op::SyncFolder, .on = QString(), .occurrence = 2, .target = New, .backup = Old});
    Case c = done;
    c.op = Op::Remove, c.on = keep, c.keepLeft = true;
    row(u"remove kept backup"_s, c);
    c.oom = true;
    row(u"remove kept backup, out of memory"_s, c);

    // What the saver may not do here is worked around, not a failure.
    c = done;
    c.on = kTgt, c.sameFile = true;
    for (auto [op, code] : {std::pair{Op::Open, EACCES},
                            {Op::Chown, EPERM},
                            {Op::SetPermissions, EPERM},
                            {Op::CopyAttributes, ENOTSUP}}) {
        c.op = op, c.code = code;
        row(u"new file: %1 refused, in place"_s.arg(QLatin1StringView(FaultyFiles::name(op))), c);
    }
    c = done;
    c.on = kBak, c.copied = true;
    for (auto [op, code] : {std::pair{Op::Chown, EPERM},
                            {Op::SetPermissions, EPERM},
                            {Op::CopyAttributes, ENOTSUP},
                            {Op::Link, EPERM}}) {
        c.op = op, c.code = code;
        row(u"backup: %1 refused, done without"_s.arg(QLatin1StringView(FaultyFiles::name(op))), c);
    }
    c.op = Op::Chown, c.oom = true, c.ok = false, c.target = Old, c.backup = Older;
    row(u"chown backup, out of memory"_s, c);
    // A folder that takes no new file: the file, and the backup if there is
    // one, are rewritten in place.
    using Fault = FaultyFiles::Fault;
    auto refused = [](const QString &on, int n = 1) {
        return Fault{Op::Open, n, -1, on, u"Permission denied"_s, EACCES};
    };
    c = done;
    c.op = Op::Open, c.on = kTgt, c.code = EACCES, c.sameFile = true, c.also = refused(kBak);
    row(u"read-only folder, writable files"_s, c);
    c = done;
    c.op = Op::Open, c.on = kBak, c.code = EACCES, c.copied = true;
    row(u"backup rewritten in place"_s, c);
    for (Fault also : {Fault{Op::OpenInPlace, 1, -1, kBak}, Fault{Op::Write, 1, 10, kBak},
                       Fault{Op::Commit, 1, -1, kTgt}, Fault{Op::OpenInPlace, 1, -1, kTgt}}) {
        Case f{.op = Op::Open,
               .on = also.pathContains == kTgt && also.op == Op::OpenInPlace ? kTgt : kBak,
               .code = EACCES,
               .copied = true,
               .also = also};
        row(u"rewritten in place, then %1 %2 fails"_s.arg(QLatin1StringView(FaultyFiles::name(also.op)),
                                                          also.pathContains),
            f);
    }

    // A file with a second name is rewritten in place; a failure part way
    // writes the old bytes back.
    Case linked{.op = Op::OpenInPlace, .on = kTgt, .hardLinked = true};
    row(u"in place: open"_s, linked);
    for (Op op : {Op::Reserve, Op::Truncate, Op::Flush}) {
        linked.op = op;
        row(u"in place: %1"_s.arg(QLatin1StringView(FaultyFiles::name(op))), linked);
    }
    linked.op = Op::Write;
    for (qint64 at : {qint64(0), kOld.size() + 1}) {
        linked.at = at;
        row(u"in place: write at %1"_s.arg(at), linked);
    }
    linked.at = -1;
    // The old bytes cannot go back either: the backup holds the only copy.
    linked.op = Op::Flush, linked.target = Damaged, linked.backup = Old,
    linked.also = FaultyFiles::Fault{Op::Truncate, 2, -1, kTgt};
    row(u"in place: sync and then putting back fail"_s, linked);
    Case fine = done;
    fine.hardLinked = fine.sameFile = true;
    row(u"in place: no fault"_s, fine);

    // With a target but no backup yet.
    for (Case c : {Case{.op = Op::Status, .on = kBak, .occurrence = 3},
                   Case{.op = Op::Write, .on = kBak, .at = 100, .copied = true},
                   Case{.op = Op::Open, .on = kBak, .code = EACCES, .copied = true}, Case{Op::Commit, kBak},
                   Case{Op::SyncFolder, QString()}, Case{Op::Commit, kTgt}}) {
        c.hadBackup = false, c.backup = Absent;
        row(u"no backup: %1 %2 #%3"_s.arg(QLatin1StringView(FaultyFiles::name(c.op)), c.on).arg(c.occurrence),
            c);
    }

    // No target yet: an older backup is left alone whatever happens.
    for (Case c : {Case{Op::Status, kTgt}, Case{Op::Open, kTgt}, Case{.op = Op::Write, .on = kTgt, .at = 100},
                   Case{Op::Flush, kTgt}, Case{Op::Commit, kTgt},
                   Case{.op = Op::SyncFolder, .on = QString(), .target = New}}) {
        c.hadTarget = false;
        if (c.target == Old)
            c.target = Absent;
        row(u"no target: %1"_s.arg(QLatin1StringView(FaultyFiles::name(c.op))), c);
    }
}

void TstSafeSave::faults()
{
    QFETCH(Case, c);

    QTemporaryDir dir, elsewhere;
    const QString path = dir.filePath(kTgt);
    const QString backupPath = dir.filePath(kBak);
    const QString second = elsewhere.filePath(u"second-name"_s);
    if (c.hadTarget)
        writeBytes(path, kOld);
    if (c.hadBackup)
        writeBytes(backupPath, kOlder);
    if (c.hardLinked)
        QCOMPARE(::link(QFile::encodeName(path), QFile::encodeName(second)), 0);
    const ino_t inodeBefore = statOf(path).st_ino;

    FaultyFiles files;
    files.failOn({c.op, c.occurrence, c.at, c.on, u"Injected failure"_s, c.code, c.oom});
    if (c.also)
        files.failOn(*c.also);
    if (c.copied)
        files.failOn({Op::Name, 1, -1, kBak, u"Invalid cross-device link"_s, EXDEV});
    const SaveOutcome out = saveWithBackup(files, path, backupPath, kNew, kMaxConfigBytes);

    if (c.on != u"nothing matches"_s)
        QVERIFY2(files.faultFired(), "the fault was never reached");
    if (c.op == Op::SyncFolder && c.on.isEmpty())
        QCOMPARE(out.state, c.target == New ? SaveState::Unconfirmed : SaveState::Untouched);
    QVERIFY2(out.ok() == c.ok, qPrintable(out.reason()));
    if (!c.ok)
        QVERIFY2(out.reason().contains(c.oom ? u"Cannot allocate memory"_s : u"Injected failure"_s),
                 qPrintable(out.reason()));

    QCOMPARE(QFileInfo::exists(path), c.target != Absent);
    if (c.target != Damaged)
        QCOMPARE(readBytes(path), contentOf(c.target));
    QCOMPARE(QFileInfo::exists(backupPath), c.backup != Absent);
    QCOMPARE(readBytes(backupPath), contentOf(c.backup));
    if (c.sameFile || c.hardLinked)
        QCOMPARE(statOf(path).st_ino, inodeBefore);
    if (c.hardLinked)
        QCOMPARE(readBytes(second), readBytes(path));
    // A replaced file is its own backup: nothing was copied.
    if (c.ok && c.hadTarget && !c.sameFile && !c.copied && c.op != Op::Name)
        QCOMPARE(statOf(backupPath).st_ino, inodeBefore);

    // No temporary file is left behind.
    QStringList expected;
    if (c.target != Absent)
        expected << kTgt;
    if (c.backup != Absent)
        expected << kBak;
    if (c.keepLeft)
        expected << u"veskold.cfg.keep"_s;
    if (c.target == Damaged) // the rewrite's mark stays, for the next start to tell
        expected << kTgt + u".rewriting"_s;
    expected.sort();
    QCOMPARE(filesIn(dir.path()), expected);
    if (c.keepLeft)
        QCOMPARE(readBytes(backupPath + u".keep"_s), kOlder);

    // And the next save, without faults, works from whatever was left.
    files.clearFaults();
    const QByteArray again = "port = 1\r\n";
    QVERIFY(saveWithBackup(files, path, backupPath, again, kMaxConfigBytes).ok());
    QCOMPARE(readBytes(path), again);
    // A damaged file is never made the backup.
    QCOMPARE(readBytes(backupPath),
             c.target == Absent ? kOlder : contentOf(c.target == Damaged ? c.backup : c.target));
    QVERIFY(!QFileInfo::exists(backupPath + u".keep"_s));
    QVERIFY(!QFileInfo::exists(path + u".rewriting"_s));
}

void TstSafeSave::firstSave()
{
    DiskFileAccess files;
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"vesk.cfg"_s);
        QVERIFY(saveWithBackup(files, path, dir.filePath(u"veskold.cfg"_s), kNew, kMaxConfigBytes).ok());
        QCOMPARE(readBytes(path), kNew);
        QCOMPARE(filesIn(dir.path()), QStringList{u"vesk.cfg"_s});
    }
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"vesk.cfg"_s);
        writeBytes(dir.filePath(u"veskold.cfg"_s), kOlder);
        QVERIFY(saveWithBackup(files, path, dir.filePath(u"veskold.cfg"_s), kNew, kMaxConfigBytes).ok());
        QCOMPARE(readBytes(path), kNew);
        QCOMPARE(readBytes(dir.filePath(u"veskold.cfg"_s)), kOlder);
    }
    {
        // An empty new file is a file too.
        QTemporaryDir dir;
        const QString path = dir.filePath(u"vesk.cfg"_s);
        QVERIFY(
            saveWithBackup(files, path, dir.filePath(u"veskold.cfg"_s), QByteArray(), kMaxConfigBytes).ok());
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
    QVERIFY(saveWithBackup(files, path, backupPath, "first\r\n", kMaxConfigBytes).ok());
    QVERIFY(saveWithBackup(files, path, backupPath, "second\r\n", kMaxConfigBytes).ok());
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
    QVERIFY(saveWithBackup(files, path, backupPath, kNew, kMaxConfigBytes).ok());
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
    QVERIFY2(out.ok(), qPrintable(out.reason()));
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
    QVERIFY(saveWithBackup(files, dangling, backupPathFor(dangling), kNew, kMaxConfigBytes).ok());
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
    const SaveOutcome out =
        saveWithBackup(files, path, dir.filePath(u"veskold.cfg"_s), kNew, kMaxConfigBytes);
    QVERIFY(!out.ok());
    QVERIFY(!out.reason().isEmpty());
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
    QVERIFY(!out.ok());
    QVERIFY(!out.reason().isEmpty());
    QCOMPARE(readBytes(cut), kOld);
    QCOMPARE(filesIn(dir.path()), QStringList{u"vesk.cfg"_s});
}

void TstSafeSave::failedFlushIsReported_data()
{
    QTest::addColumn<bool>("filesOnly");
    QTest::newRow("every sync fails") << false;
    // The owner and mode given to the new file are metadata, which only
    // fsync promises to keep.
    QTest::newRow("only a file's fsync fails") << true;
}

void TstSafeSave::failedFlushIsReported()
{
    QFETCH(bool, filesOnly);
    // Data that may never reach the disk is no saved file.
    QTemporaryDir dir;
    DiskFileAccess files;
    const QString path = dir.filePath(kTgt);
    writeBytes(path, kOld);
    writeBytes(dir.filePath(kBak), kOlder);
    (filesOnly ? g_failFileFsync : g_failSync) = true;
    const SaveOutcome out = saveWithBackup(files, path, dir.filePath(kBak), kNew, kMaxConfigBytes);
    g_failSync = g_failFileFsync = false;
    QCOMPARE(out.state, SaveState::Untouched);
    QCOMPARE(out.reason(), QString::fromLocal8Bit(std::strerror(EIO)));
    QCOMPARE(readBytes(path), kOld);
    QCOMPARE(readBytes(dir.filePath(kBak)), kOlder);
    QCOMPARE(filesIn(dir.path()), (QStringList{kTgt, kBak}));
}

// A save by root of a file that belongs to someone else, with an access
// list and an attribute of its own, on ext4 and on tmpfs; once replaced,
// once rewritten because it has a second name.
void TstSafeSave::keepsWhoOwnsAndMayRead_data()
{
    QTest::addColumn<bool>("onTmpfs");
    QTest::addColumn<bool>("hardLinked");
    for (bool tmpfs : {false, true})
        for (bool linked : {false, true})
            QTest::addRow("%s%s", tmpfs ? "tmpfs" : "disk", linked ? ", second name" : "") << tmpfs << linked;
}

void TstSafeSave::keepsWhoOwnsAndMayRead()
{
    QFETCH(bool, onTmpfs);
    QFETCH(bool, hardLinked);
    if (::geteuid() != 0)
        QSKIP("giving a file to another owner needs root");
    if (onTmpfs && m_tmpfs.isEmpty())
        QSKIP("cannot mount a tmpfs here");
    QTemporaryDir disk;
    const QString folder = onTmpfs ? m_tmpfs : disk.path();
    const QString path = folder + u"/vesk.cfg"_s, backupPath = folder + u"/veskold.cfg"_s;
    const QString second = folder + u"/second-name"_s;
    auto cleanup = qScopeGuard([&] {
        for (const QString &f : {path, backupPath, second})
            QFile::remove(f);
    });
    writeBytes(path, kOld);
    writeBytes(backupPath, kOlder);
    const QByteArray native = QFile::encodeName(path);
    const QByteArray acl = accessList();
    QCOMPARE(::chown(native, 12345, 12345), 0);
    QCOMPARE(::chmod(native, 0640), 0);
    QCOMPARE(::setxattr(native, "user.vesk.origin", "ops", 3, 0), 0);
    QCOMPARE(::setxattr(native, "system.posix_acl_access", acl.constData(), size_t(acl.size()), 0), 0);
    if (hardLinked)
        QCOMPARE(::link(native, QFile::encodeName(second)), 0);
    const struct stat before = statOf(path);

    DiskFileAccess files;
    const SaveOutcome out = saveWithBackup(files, path, backupPath, kNew, kMaxConfigBytes);
    QVERIFY2(out.ok(), qPrintable(out.reason()));

    QCOMPARE(readBytes(path), kNew);
    QCOMPARE(readBytes(backupPath), kOld);
    for (const QString &f : {path, backupPath}) {
        const struct stat st = statOf(f);
        QCOMPARE(st.st_uid, uid_t(12345));
        QCOMPARE(st.st_gid, gid_t(12345));
        QCOMPARE(st.st_mode & 07777, mode_t(0640));
        QCOMPARE(xattr(f, "user.vesk.origin"), QByteArray("ops"));
        QCOMPARE(xattr(f, "system.posix_acl_access"), acl);
    }
    const struct stat after = statOf(path);
    QCOMPARE(after.st_nlink, before.st_nlink);
    if (hardLinked) {
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(readBytes(second), kNew);
    }
}

// Whatever is planted at the backup's name is replaced, never written
// through.
void TstSafeSave::linkAtBackupIsReplaced_data()
{
    QTest::addColumn<bool>("dangling");
    QTest::newRow("link to another file") << false;
    QTest::newRow("link to nothing yet") << true;
}

void TstSafeSave::linkAtBackupIsReplaced()
{
    QFETCH(bool, dangling);
    QTemporaryDir dir, other;
    const QString path = dir.filePath(kTgt), backupPath = dir.filePath(kBak);
    const QString victim = other.filePath(u"shadow"_s);
    writeBytes(path, kOld);
    if (!dangling) {
        writeBytes(victim, "precious\n");
        QVERIFY(QFile::setPermissions(victim, QFile::ReadOwner));
    }
    QVERIFY(QFile::link(victim, backupPath));

    DiskFileAccess files;
    const SaveOutcome out = saveWithBackup(files, path, backupPath, kNew, kMaxConfigBytes);
    QVERIFY2(out.ok(), qPrintable(out.reason()));
    QCOMPARE(readBytes(path), kNew);
    QVERIFY(!QFileInfo(backupPath).isSymLink());
    QCOMPARE(readBytes(backupPath), kOld);
    QCOMPARE(filesIn(other.path()), dangling ? QStringList() : QStringList{u"shadow"_s});
    if (!dangling) {
        QCOMPARE(readBytes(victim), QByteArray("precious\n"));
        QCOMPARE(statOf(victim).st_mode & 07777, mode_t(0400));
    }
    QCOMPARE(filesIn(dir.path()), (QStringList{kTgt, kBak}));
}

// What cannot be saved is refused with the system's reason, naming the
// backup where the trouble is there; nothing changes. A name that just fits
// is no trouble: the temporaries have short names of their own.
void TstSafeSave::refusedWithTheReason_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("atBackup");
    QTest::addColumn<QString>("reason"); // none: saved
    QTest::newRow("directory at the backup")
        << kTgt << u"dir"_s << u"the backup {backup}: "_s + QString::fromLocal8Bit(strerror(EISDIR));
    QTest::newRow("FIFO at the backup") << kTgt << u"fifo"_s << u"the backup {backup}: not a regular file"_s;
    QTest::newRow("name too long") << QString(300, u'v') << QString()
                                   << QString::fromLocal8Bit(strerror(ENAMETOOLONG));
    QTest::newRow("name that just fits") << QString(255, u'v') << QString() << QString();
}

void TstSafeSave::refusedWithTheReason()
{
    QFETCH(QString, name);
    QFETCH(QString, atBackup);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString path = dir.filePath(name), backupPath = dir.filePath(kBak);
    writeBytes(path, kOld);
    if (atBackup == u"dir"_s)
        QVERIFY(QDir(dir.path()).mkdir(kBak));
    else if (atBackup == u"fifo"_s)
        QCOMPARE(::mkfifo(QFile::encodeName(backupPath), 0600), 0);
    const QStringList before = filesIn(dir.path());

    DiskFileAccess files;
    const SaveOutcome out = saveWithBackup(files, path, backupPath, kNew, kMaxConfigBytes);
    if (reason.isEmpty()) {
        QVERIFY2(out.ok(), qPrintable(out.reason()));
        QCOMPARE(readBytes(path), kNew);
        QCOMPARE(readBytes(backupPath), kOld);
        return;
    }
    QVERIFY(!out.ok());
    QCOMPARE(out.reason(), QString(reason).replace(u"{backup}"_s, backupPath));
    QCOMPARE(filesIn(dir.path()), before);
    if (name == kTgt)
        QCOMPARE(readBytes(path), kOld);
}

// A kill at any moment of a save: the disk as the save left it before each
// operation. The file and the backup are each always complete, and once
// leftovers are dealt with they are the pair before or the pair after.
void TstSafeSave::crashAtAnyStep_data()
{
    QTest::addColumn<bool>("hardLinked");
    QTest::newRow("replacing the file") << false;
    QTest::newRow("rewriting the file") << true;
}

void TstSafeSave::crashAtAnyStep()
{
    QFETCH(bool, hardLinked);
    QTemporaryDir dir, elsewhere;
    const QString path = dir.filePath(kTgt), backupPath = dir.filePath(kBak);
    writeBytes(path, kOld);
    writeBytes(backupPath, kOlder);
    if (hardLinked)
        QCOMPARE(::link(QFile::encodeName(path), QFile::encodeName(elsewhere.filePath(u"second"_s))), 0);

    using Snapshot = std::map<QString, QByteArray>;
    std::vector<std::pair<QString, Snapshot>> snapshots;
    auto snap = [&](const QString &before) {
        Snapshot s;
        for (const QString &n : filesIn(dir.path()))
            s[n] = readBytes(dir.filePath(n));
        snapshots.emplace_back(before, s);
    };
    FaultyFiles files;
    files.beforeEach = snap;
    QVERIFY(saveWithBackup(files, path, backupPath, kNew, kMaxConfigBytes).ok());
    snap(u"the end"_s);
    QVERIFY(snapshots.size() > 10);

    DiskFileAccess disk;
    for (const auto &[step, s] : snapshots) {
        const QString at = u"before "_s + step;
        QVERIFY2(s.count(kTgt) && s.count(kBak), qPrintable(at));
        const QByteArray target = s.at(kTgt), backup = s.at(kBak);
        QVERIFY2(target == kOld || target == kNew, qPrintable(at));
        QVERIFY2(backup == kOlder || backup == kOld, qPrintable(at));
        for (const auto &[name, bytes] : s)
            QVERIFY2(name.startsWith(kTgt) || name.startsWith(kBak) || name.startsWith(u".veskfrontend-"_s),
                     qPrintable(at));

        QTemporaryDir after;
        for (const auto &[name, bytes] : s)
            writeBytes(after.filePath(name), bytes);
        QVERIFY(recoverLeftovers(disk, after.filePath(kTgt), after.filePath(kBak)));
        QVERIFY2(!QFileInfo::exists(after.filePath(kBak + u".keep"_s)), qPrintable(at));
        const bool saved = readBytes(after.filePath(kTgt)) == kNew;
        QCOMPARE(readBytes(after.filePath(kBak)), saved ? kOld : kOlder);
    }
}

// A .keep left by a save cut short, found by the next start or save.
void TstSafeSave::leftoverKeep_data()
{
    QTest::addColumn<int>("backupBefore");
    QTest::addColumn<int>("backupAfter");
    QTest::newRow("backup missing: put back") << int(Absent) << int(Older);
    QTest::newRow("backup equal to the file: put back") << int(Old) << int(Older);
    QTest::newRow("file was replaced: removed") << int(Older) << int(Older);
}

void TstSafeSave::leftoverKeep()
{
    QFETCH(int, backupBefore);
    QFETCH(int, backupAfter);
    QTemporaryDir dir;
    const QString path = dir.filePath(kTgt), backupPath = dir.filePath(kBak);
    writeBytes(path, kOld);
    writeBytes(backupPath + u".keep"_s, backupBefore == Older ? QByteArray("older still") : kOlder);
    if (backupBefore != Absent)
        writeBytes(backupPath, contentOf(Holds(backupBefore)));
    DiskFileAccess files;
    QVERIFY(recoverLeftovers(files, path, backupPath));
    QCOMPARE(readBytes(backupPath), contentOf(Holds(backupAfter)));
    QCOMPARE(filesIn(dir.path()), (QStringList{kTgt, kBak}));

    // A save meets the same leftover and rotates from the recovered state.
    writeBytes(backupPath + u".keep"_s, kOlder);
    QVERIFY(saveWithBackup(files, path, backupPath, kNew, kMaxConfigBytes).ok());
    QCOMPARE(readBytes(backupPath), kOld);
    QCOMPARE(filesIn(dir.path()), (QStringList{kTgt, kBak}));
}

QTEST_GUILESS_MAIN(TstSafeSave)
#include "tst_safesave.moc"
