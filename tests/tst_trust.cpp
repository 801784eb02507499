// Saving where other accounts and programs reach the file: root saving in a
// folder another account owns, links and folders swapped at the worst
// moment, several writers at once, and what a crash left behind.

#include "config/configwriter.h"
#include "doubles.h"
#include "store/diskstore.h"
#include "store/safesave.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <pwd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#ifndef VESKCFG_PATH
#error "VESKCFG_PATH must name the veskcfg program"
#endif

using namespace vesk;
using namespace vesk::test;
using namespace Qt::StringLiterals;

namespace
{

const QString kAccount = u"vesktest"_s;
const QByteArray kRoots = "root's own file\r\n";
const QByteArray kOld = "port = 6969\r\n", kOlder = "port = 1\r\n", kNew = "port = 7000\r\n";

// The second account, made the first time it is needed; none without root.
const passwd *otherAccount()
{
    static const bool made = [] {
        if (::geteuid() != 0)
            return false;
        if (!::getpwnam("vesktest"))
            QProcess::execute(u"useradd"_s, {u"--system"_s, u"--no-create-home"_s, u"--shell"_s,
                                             u"/usr/sbin/nologin"_s, kAccount});
        return ::getpwnam("vesktest") != nullptr;
    }();
    return made ? ::getpwnam("vesktest") : nullptr;
}

void giveAway(const QString &path)
{
    const passwd *pw = otherAccount();
    QVERIFY(::lchown(QFile::encodeName(path).constData(), pw->pw_uid, pw->pw_gid) == 0);
}

bool symlinkAt(const QString &target, const QString &at)
{
    return ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(at).constData()) == 0;
}

struct stat statOf(const QString &path)
{
    struct stat st {
    };
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st;
}

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                               QDir::Name);
}

// A shell loop run as the other account until the object goes, and for a
// minute at most.
class Racer
{
public:
    explicit Racer(const QString &loop)
    {
        m_p.start(u"runuser"_s, {u"-u"_s, kAccount, u"--"_s, u"timeout"_s, u"60"_s, u"sh"_s, u"-c"_s,
                                 u"while :; do "_s + loop + u"; done"_s});
        m_p.waitForStarted(5000);
    }
    ~Racer()
    {
        // The shell is runuser's child: every process of the account goes.
        QProcess::execute(u"pkill"_s, {u"-KILL"_s, u"-u"_s, kAccount});
        m_p.waitForFinished(5000);
        for (int i = 0;
             i < 500 && QProcess::execute(u"pgrep"_s, {u"-u"_s, kAccount, u"-r"_s, u"D,R,S,T"_s}) == 0; ++i)
            QTest::qWait(10);
    }

private:
    QProcess m_p;
};

// The real program, run as a user would.
QProcess *veskcfg(const QStringList &args)
{
    auto *p = new QProcess;
    p->start(QStringLiteral(VESKCFG_PATH), args);
    return p;
}

} // namespace

class TstTrust : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void linksInAnotherAccountsFolder_data();
    void linksInAnotherAccountsFolder();
    void racers_data();
    void racers();
    void stampIsOfTheFileRead();
    void typeIsCheckedBeforeOpening_data();
    void typeIsCheckedBeforeOpening();
    void thirtyWritersAtOnce();
    void killedHolderDoesNotBlock();
    void outsideWriterAtTheLastMoment_data();
    void outsideWriterAtTheLastMoment();
    void leftoversOfACrash();
    void keepThatIsTheBackup();
    void tornRewrite_data();
    void tornRewrite();

private:
    // base (root's, open to all): root/ holds root's files, home/ belongs
    // to the other account.
    std::unique_ptr<QTemporaryDir> m_base;
    QString m_root, m_home;
};

void TstTrust::init()
{
    m_base = std::make_unique<QTemporaryDir>();
    QVERIFY(QFile::setPermissions(m_base->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                      | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
                                                      | QFile::ExeOther));
    m_root = m_base->filePath(u"root"_s);
    m_home = m_base->filePath(u"home"_s);
    QVERIFY(QDir().mkdir(m_root) && QDir().mkdir(m_home));
    writeBytes(m_root + u"/victim.cfg"_s, kRoots);
}

// Root saving in the other account's folder follows no link there: the
// account could point it at any of root's files.
void TstTrust::linksInAnotherAccountsFolder_data()
{
    QTest::addColumn<QString>("link");   // where the link is, under home/
    QTest::addColumn<QString>("target"); // what it leads to
    QTest::addColumn<QString>("path");   // what root opens, under home/
    QTest::newRow("at the file, to the account's own file")
        << u"vesk.cfg"_s << u"mine.cfg"_s << u"vesk.cfg"_s;
    QTest::newRow("at the file, to a file of root's")
        << u"vesk.cfg"_s << u"../root/victim.cfg"_s << u"vesk.cfg"_s;
    QTest::newRow("at the file, to nothing yet") << u"vesk.cfg"_s << u"../root/new.cfg"_s << u"vesk.cfg"_s;
    QTest::newRow("in the folder's path") << u"sub"_s << u"../root"_s << u"sub/victim.cfg"_s;
    QTest::newRow("to a setuid program") << u"vesk.cfg"_s << u"../root/program"_s << u"vesk.cfg"_s;
}

void TstTrust::linksInAnotherAccountsFolder()
{
    QFETCH(QString, link);
    QFETCH(QString, target);
    QFETCH(QString, path);
    if (!otherAccount())
        QSKIP("needs root and a second account");
    writeBytes(m_home + u"/mine.cfg"_s, kOld);
    giveAway(m_home + u"/mine.cfg"_s);
    writeBytes(m_root + u"/program"_s, "#!/bin/sh\n");
    QVERIFY(::chmod(QFile::encodeName(m_root + u"/program"_s).constData(), 04755) == 0);
    QVERIFY(symlinkAt(target, m_home + u'/' + link));
    giveAway(m_home + u'/' + link);
    giveAway(m_home);
    const QStringList rootBefore = filesIn(m_root);

    DiskFileAccess files;
    const QString cfg = m_home + u'/' + path;
    const QString why = u"is a symbolic link in a folder that vesktest can change"_s;
    const Result<StoredFile> read = DiskStore(files, cfg).read();
    QVERIFY(!read.ok());
    QVERIFY2(read.reason().contains(why), qPrintable(read.reason()));
    const SaveOutcome saved = saveWithBackup(files, cfg, backupPathFor(cfg), kNew, kMaxConfigBytes);
    QCOMPARE(saved.state, SaveState::Untouched);
    QVERIFY2(saved.reason().contains(why) && saved.reason().contains(u"sudo -u vesktest"_s),
             qPrintable(saved.reason()));

    QCOMPARE(filesIn(m_root), rootBefore);
    QCOMPARE(readBytes(m_root + u"/victim.cfg"_s), kRoots);
    QCOMPARE(statOf(m_root + u"/program"_s).st_nlink, nlink_t(1));
    QCOMPARE(readBytes(m_home + u"/mine.cfg"_s), kOld);
    QVERIFY(!QFileInfo::exists(m_home + u"/veskold.cfg"_s));
}

// The other account swapping things for real, as fast as it can, while
// root saves a hundred times: root's file is never written.
void TstTrust::racers_data()
{
    QTest::addColumn<QString>("path"); // what root saves, under home/
    QTest::addColumn<QString>("loop"); // the account's loop, run in home/
    QTest::newRow("the file's link flipped to root's file")
        << u"vesk.cfg"_s
        << u"ln -sfn mine.cfg l && mv -T l vesk.cfg; ln -sfn ../root/victim.cfg l && mv -T l vesk.cfg"_s;
    QTest::newRow("the folder swapped for a link to root's")
        << u"tracker/victim.cfg"_s
        << u"mv -T tracker t && ln -sfn ../root tracker; rm -f tracker && mv -T t tracker"_s;
}

void TstTrust::racers()
{
    QFETCH(QString, path);
    QFETCH(QString, loop);
    if (!otherAccount())
        QSKIP("needs root and a second account");
    QVERIFY(QDir().mkdir(m_home + u"/tracker"_s));
    for (const QString &f : {u"/mine.cfg"_s, u"/vesk.cfg"_s, u"/tracker/victim.cfg"_s})
        writeBytes(m_home + f, kOld);
    for (const QString &f : {u""_s, u"/tracker"_s, u"/mine.cfg"_s, u"/vesk.cfg"_s, u"/tracker/victim.cfg"_s})
        giveAway(m_home + f);
    const QStringList rootBefore = filesIn(m_root);
    {
        Racer racer(u"cd "_s + m_home + u" && { "_s + loop + u"; }"_s);
        DiskFileAccess files;
        // A hundred saves at least, and on until the racer got in the way
        // ten times (it needs a moment to start), for ten seconds at most.
        int refused = 0;
        QDeadlineTimer bound(10'000);
        for (int i = 0; i < 100 || (refused < 10 && !bound.hasExpired()); ++i)
            refused += saveWithBackup(files, m_home + u'/' + path, backupPathFor(m_home + u'/' + path), kNew,
                                      kMaxConfigBytes)
                           .reason()
                           .contains(u"symbolic link"_s);
        QVERIFY2(refused > 0, "the racer never got in the way");
    }
    QCOMPARE(filesIn(m_root), rootBefore);
    QCOMPARE(readBytes(m_root + u"/victim.cfg"_s), kRoots);
    QCOMPARE(statOf(m_root + u"/victim.cfg"_s).st_uid, uid_t(0));
}

// A link of the user's own is followed; swapped between the read and the
// save, the save sees the other file and writes nothing.
void TstTrust::stampIsOfTheFileRead()
{
    const QString a = m_root + u"/a.cfg"_s, b = m_root + u"/victim.cfg"_s, cfg = m_root + u"/vesk.cfg"_s;
    writeBytes(a, kOld);
    QVERIFY(symlinkAt(u"a.cfg"_s, cfg));
    FaultyFiles files;
    bool read = false, swapped = false;
    files.beforeEach = [&](const QString &entry) {
        if (read && !swapped) {
            QFile::remove(cfg);
            QVERIFY(symlinkAt(u"victim.cfg"_s, cfg));
            swapped = true;
        }
        read = read || entry == u"read "_s + a;
    };
    const Result<StoredFile> loaded = DiskStore(files, cfg).read();
    QVERIFY(loaded.ok());
    const SaveOutcome saved =
        saveWithBackup(files, cfg, backupPathFor(cfg), kNew, kMaxConfigBytes, loaded->stamp);
    QVERIFY(swapped);
    QCOMPARE(saved.state, SaveState::Changed);
    QCOMPARE(readBytes(b), kRoots);
    QCOMPARE(readBytes(a), kOld);
}

// What is not a regular file is refused without being opened: opening a
// device can set it off (a watchdog starts counting).
void TstTrust::typeIsCheckedBeforeOpening_data()
{
    QTest::addColumn<bool>("device");
    QTest::newRow("FIFO") << false;
    QTest::newRow("device") << true;
}

void TstTrust::typeIsCheckedBeforeOpening()
{
    QFETCH(bool, device);
    const QString cfg = m_root + u"/vesk.cfg"_s;
    const QByteArray native = QFile::encodeName(cfg);
    const int made = device ? ::mknod(native.constData(), S_IFCHR | 0600, ::makedev(1, 3))
                            : ::mkfifo(native.constData(), 0600);
    if (made != 0)
        QSKIP("cannot make the node here");
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(watch >= 0 && ::inotify_add_watch(watch, native.constData(), IN_OPEN) >= 0);
    DiskFileAccess files;
    const Result<StoredFile> read = DiskStore(files, cfg).read();
    QVERIFY(!read.ok());
    QCOMPARE(read.reason(), u"not a regular file"_s);
    char events[4096];
    QCOMPARE(::read(watch, events, sizeof events), ssize_t(-1)); // nothing opened it
    ::close(watch);
}

// Thirty copies of veskcfg, each setting a key of its own, started together:
// every one waits its turn and no update is lost, three rounds running.
void TstTrust::thirtyWritersAtOnce()
{
    const QString cfg = m_root + u"/vesk.cfg"_s;
    writeBytes(cfg, "# shared\r\n");
    const auto &settings = catalogue::settings();
    for (int round = 1; round <= 3; ++round) {
        std::vector<std::unique_ptr<QProcess>> runs;
        for (int i = 0; i < 30; ++i)
            runs.emplace_back(veskcfg({u"--file"_s, cfg, u"--force"_s, u"set"_s, settings[size_t(i)].key,
                                       u"r%1w%2"_s.arg(round).arg(i)}));
        for (auto &p : runs) {
            QVERIFY(p->waitForFinished(60000));
            QVERIFY2(p->exitCode() == 0, p->readAllStandardError().constData());
        }
        const ConfigData d = parseConfigBytes(readBytes(cfg));
        for (int i = 0; i < 30; ++i)
            QCOMPARE(d.values[size_t(settings[size_t(i)].slot)].value_or(QString()),
                     u"r%1w%2"_s.arg(round).arg(i));
        QCOMPARE(d.misc, u"# shared\n"_s);
    }
}

// A holder that dies leaves no lock behind; while it lives, a save that gave
// up waiting names it.
void TstTrust::killedHolderDoesNotBlock()
{
    const QString cfg = m_root + u"/vesk.cfg"_s;
    writeBytes(cfg, kOld);
    QProcess holder;
    holder.start(u"flock"_s, {u"-o"_s, m_root, u"sleep"_s, u"60"_s});
    QVERIFY(holder.waitForStarted());
    DiskFileAccess files;
    QString refused;
    for (int i = 0; i < 500 && refused.isEmpty(); ++i) {
        if (const Result<FolderLock> tried = lockForSave(files, cfg, 0); !tried.ok())
            refused = tried.reason();
        else
            QTest::qWait(10);
    }
    QVERIFY2(refused.contains(u"(flock, process %1)"_s.arg(holder.processId())), qPrintable(refused));
    holder.kill(); // SIGKILL: no chance to let go itself
    QVERIFY(holder.waitForFinished());
    const SaveOutcome saved = saveWithBackup(files, cfg, backupPathFor(cfg), kNew, kMaxConfigBytes);
    QVERIFY2(saved.ok(), qPrintable(saved.reason()));
    QCOMPARE(readBytes(cfg), kNew);
}

// Another program writes the file between the save's check and its last
// step, without taking the lock: its file stays, and the save says so.
void TstTrust::outsideWriterAtTheLastMoment_data()
{
    QTest::addColumn<bool>("inPlace");
    QTest::newRow("replaced by a rename") << false;
    QTest::newRow("written in place") << true;
}

void TstTrust::outsideWriterAtTheLastMoment()
{
    QFETCH(bool, inPlace);
    const QString cfg = m_root + u"/vesk.cfg"_s, backup = backupPathFor(cfg);
    writeBytes(cfg, kOld);
    writeBytes(backup, kOlder);
    FaultyFiles files;
    const Result<StoredFile> loaded = DiskStore(files, cfg).read();
    QVERIFY(loaded.ok());
    const QByteArray theirs = "port = 5555\r\n";
    files.beforeEach = [&](const QString &entry) {
        if (entry != u"commit "_s + cfg)
            return;
        if (inPlace) {
            QFile f(cfg);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(theirs) == theirs.size());
        } else {
            writeBytes(cfg + u".theirs"_s, theirs);
            QVERIFY(::rename(QFile::encodeName(cfg + u".theirs"_s), QFile::encodeName(cfg)) == 0);
        }
    };
    const SaveOutcome saved = saveWithBackup(files, cfg, backup, kNew, kMaxConfigBytes, loaded->stamp);
    QCOMPARE(saved.state, SaveState::Changed);
    QCOMPARE(readBytes(cfg), theirs);
    QCOMPARE(readBytes(backup), kOlder);
    QCOMPARE(filesIn(m_root), (QStringList{u"vesk.cfg"_s, u"veskold.cfg"_s, u"victim.cfg"_s}));
    // Told, the user may overwrite exactly that version.
    files.beforeEach = nullptr;
    QVERIFY(saveWithBackup(files, cfg, backup, kNew, kMaxConfigBytes, saved.stamp).ok());
    QCOMPARE(readBytes(backup), theirs);
}

// Temporaries of a save cut short go, but only this program's own; a second
// name of the file left by one no longer makes every save rewrite in place.
void TstTrust::leftoversOfACrash()
{
    if (!otherAccount())
        QSKIP("needs root and a second account");
    const QString cfg = m_root + u"/vesk.cfg"_s;
    writeBytes(cfg, kOld);
    auto at = [&](const char *name) { return m_root + u'/' + QLatin1StringView(name); };
    writeBytes(at(".veskfrontend-AAAAAAAAAAAA.tmp"), QByteArray(1000, 'x'));
    writeBytes(at(".veskfrontend-BBBBBBBBBBBB.tmp"), "someone else's");
    giveAway(at(".veskfrontend-BBBBBBBBBBBB.tmp"));
    writeBytes(at(".veskfrontend-short.tmp"), "not of the pattern");
    QVERIFY(QDir().mkdir(at(".veskfrontend-CCCCCCCCCCCC.tmp")));
    QVERIFY(::link(QFile::encodeName(cfg).constData(),
                   QFile::encodeName(at(".veskfrontend-DDDDDDDDDDDD.tmp")).constData())
            == 0);
    const ino_t before = statOf(cfg).st_ino;

    DiskFileAccess files;
    const SaveOutcome saved = saveWithBackup(files, cfg, backupPathFor(cfg), kNew, kMaxConfigBytes);
    QVERIFY2(saved.ok(), qPrintable(saved.reason()));
    QCOMPARE(filesIn(m_root),
             (QStringList{u".veskfrontend-BBBBBBBBBBBB.tmp"_s, u".veskfrontend-CCCCCCCCCCCC.tmp"_s,
                          u".veskfrontend-short.tmp"_s, u"vesk.cfg"_s, u"veskold.cfg"_s, u"victim.cfg"_s}));
    // Replaced, not rewritten: the old file itself is the backup.
    QVERIFY(statOf(cfg).st_ino != before);
    QCOMPARE(statOf(backupPathFor(cfg)).st_ino, before);
}

// A crash while the older backup had a second name equal to it, and the
// backup equal to the file: the next save goes through.
void TstTrust::keepThatIsTheBackup()
{
    const QString cfg = m_root + u"/vesk.cfg"_s, backup = backupPathFor(cfg);
    writeBytes(cfg, kOld);
    writeBytes(backup, kOld);
    QVERIFY(::link(QFile::encodeName(backup).constData(), QFile::encodeName(backup + u".keep"_s).constData())
            == 0);
    DiskFileAccess files;
    const SaveOutcome saved = saveWithBackup(files, cfg, backup, kNew, kMaxConfigBytes);
    QVERIFY2(saved.ok(), qPrintable(saved.reason()));
    QCOMPARE(readBytes(cfg), kNew);
    QCOMPARE(readBytes(backup), kOld);
    QVERIFY(!QFileInfo::exists(backup + u".keep"_s));
}

// A mark left by a rewrite in place that a crash cut short: the file is
// torn only if it holds neither what was being written nor its backup; a
// torn file is told of at the next read and never becomes the backup.
void TstTrust::tornRewrite_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("torn");
    const QByteArray written = "port = 7000\r\nvesk_debug = 1\r\n";
    QTest::newRow("new text over the old one's tail") << written.first(20) + kOld.sliced(8) << true;
    QTest::newRow("the rewrite had finished") << written << false;
    QTest::newRow("the rewrite had not started") << kOld << false;
}

void TstTrust::tornRewrite()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, torn);
    const QString cfg = m_root + u"/vesk.cfg"_s, backup = backupPathFor(cfg);
    writeBytes(cfg, file);
    writeBytes(backup, kOld);
    const QByteArray written = "port = 7000\r\nvesk_debug = 1\r\n";
    writeBytes(cfg + u".rewriting"_s,
               QCryptographicHash::hash(written, QCryptographicHash::Sha256).toHex() + '\n');

    DiskFileAccess files;
    const Result<StoredFile> loaded = DiskStore(files, cfg).read();
    QVERIFY(loaded.ok());
    QCOMPARE(loaded->torn, torn);
    QCOMPARE(QFileInfo::exists(cfg + u".rewriting"_s), torn);
    QVERIFY(saveWithBackup(files, cfg, backup, kNew, kMaxConfigBytes, loaded->stamp).ok());
    QCOMPARE(readBytes(backup), torn ? kOld : file);
    QVERIFY(!QFileInfo::exists(cfg + u".rewriting"_s));
}

QTEST_GUILESS_MAIN(TstTrust)
#include "tst_trust.moc"
