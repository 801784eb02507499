// A real full disk: a 64 KiB tmpfs, filled, then a save into it. The save
// must say it failed and why, and leave the configuration, its backup and
// the folder as they were. Needs the right to mount; without it the suite
// says why it skipped.

#include "config/configwriter.h"
#include "doubles.h"
#include "store/fileaccess.h"
#include "store/safesave.h"
#include "windowfixture.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <memory>
#include <unistd.h>

using namespace vesk;
using namespace vesk::test;
using namespace Qt::StringLiterals;

namespace
{

constexpr qsizetype kPage = 4096;

QString run(const QString &program, const QStringList &args, int *exitCode)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(20000)) {
        *exitCode = -1;
        return p.errorString();
    }
    *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromLocal8Bit(p.readAll()).trimmed();
}

} // namespace

class TstFullDisk : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void saveWithBackupFailsCleanly_data();
    void saveWithBackupFailsCleanly();
    void windowReportsFullDisk();

private:
    QString disk(const QString &name) const { return m_mount + u'/' + name; }
    // Fills the disk with one-page files, then frees `pages` of them.
    void fillLeaving(int pages);
    // What the disk holds besides the filler.
    QStringList leftovers() const
    {
        QStringList l = QDir(m_mount).entryList(QDir::Files | QDir::Hidden | QDir::System);
        l.removeIf([](const QString &n) { return n.startsWith(u"filler"_s); });
        return l;
    }

    QTemporaryDir m_dir;
    QString m_mount;
    bool m_mounted = false;
    int m_fillers = 0;
};

void TstFullDisk::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_mount = m_dir.filePath(u"disk"_s);
    QVERIFY(QDir().mkdir(m_mount));
    int code = 0;
    const QString out =
        run(u"mount"_s, {u"-t"_s, u"tmpfs"_s, u"-o"_s, u"size=64k"_s, u"tmpfs"_s, m_mount}, &code);
    if (code != 0)
        QSKIP(qPrintable(u"cannot mount a small tmpfs to fill (uid %1): %2"_s.arg(::geteuid())
                             .arg(out.isEmpty() ? u"mount failed"_s : out)));
    m_mounted = true;
}

void TstFullDisk::cleanupTestCase()
{
    if (!m_mounted)
        return;
    int code = 0;
    const QString out = run(u"umount"_s, {m_mount}, &code);
    QVERIFY2(code == 0, qPrintable(u"umount: "_s + out));
}

void TstFullDisk::init()
{
    QDir d(m_mount);
    for (const QString &n : d.entryList(QDir::Files | QDir::Hidden | QDir::System))
        QVERIFY(d.remove(n));
    m_fillers = 0;
}

void TstFullDisk::fillLeaving(int pages)
{
    const QByteArray page(kPage, 'f');
    for (;; ++m_fillers) {
        QFile f(disk(u"filler%1"_s.arg(m_fillers)));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        if (f.write(page) != kPage) {
            f.close();
            QVERIFY(f.remove());
            break;
        }
    }
    QVERIFY2(m_fillers >= pages, "the disk filled before it held the files to free");
    for (int i = 0; i < pages; ++i)
        QVERIFY(QFile::remove(disk(u"filler%1"_s.arg(--m_fillers))));
}

// The new file is staged first; the backup is the current file under a
// second name and takes no room. A file with a second name is rewritten in
// place, after its room is claimed.
void TstFullDisk::saveWithBackupFailsCleanly_data()
{
    QTest::addColumn<int>("freePages");
    QTest::addColumn<bool>("secondName");
    QTest::addColumn<bool>("fits");
    QTest::newRow("new file does not fit") << 4 << false << false;
    QTest::newRow("room for the new file is enough") << 11 << false << true;
    QTest::newRow("rewrite in place does not fit") << 4 << true << false;
}

void TstFullDisk::saveWithBackupFailsCleanly()
{
    QFETCH(int, freePages);
    QFETCH(bool, secondName);
    QFETCH(bool, fits);
    const QByteArray current(2 * kPage, 'c'); // two pages
    const QByteArray previous(kPage, 'p');    // one page
    const QByteArray next(10 * kPage, 'n');   // ten pages
    writeBytes(disk(u"vesk.cfg"_s), current);
    writeBytes(disk(u"veskold.cfg"_s), previous);
    QStringList names{u"vesk.cfg"_s, u"veskold.cfg"_s};
    if (secondName) {
        QVERIFY(::link(QFile::encodeName(disk(u"vesk.cfg"_s)), QFile::encodeName(disk(u"second.cfg"_s)))
                == 0);
        names.prepend(u"second.cfg"_s);
    }
    fillLeaving(freePages);

    DiskFileAccess files;
    const SaveOutcome out =
        saveWithBackup(files, disk(u"vesk.cfg"_s), disk(u"veskold.cfg"_s), next, kMaxConfigBytes);
    if (fits) {
        QVERIFY2(out.ok(), qPrintable(out.reason()));
        QCOMPARE(readBytes(disk(u"vesk.cfg"_s)), next);
        QCOMPARE(readBytes(disk(u"veskold.cfg"_s)), current);
        return;
    }
    QVERIFY(!out.ok());
    QCOMPARE(out.reason(), QString::fromLocal8Bit(std::strerror(ENOSPC)));
    QCOMPARE(readBytes(disk(u"vesk.cfg"_s)), current);
    QCOMPARE(readBytes(disk(u"veskold.cfg"_s)), previous);
    QCOMPARE(leftovers(), names);

    // With room again the same save goes through.
    while (m_fillers > 0)
        QVERIFY(QFile::remove(disk(u"filler%1"_s.arg(--m_fillers))));
    QVERIFY(saveWithBackup(files, disk(u"vesk.cfg"_s), disk(u"veskold.cfg"_s), next, kMaxConfigBytes).ok());
    QCOMPARE(readBytes(disk(u"vesk.cfg"_s)), next);
    QCOMPARE(readBytes(disk(u"veskold.cfg"_s)), current);
    if (secondName)
        QCOMPARE(readBytes(disk(u"second.cfg"_s)), next);
}

// Through the window: the "ERROR" message with the system's reason, the
// flag still "1", the edits still there for a later save.
void TstFullDisk::windowReportsFullDisk()
{
    QTemporaryDir app;
    const QString cfg = disk(u"vesk.cfg"_s);
    const QByteArray current = "port = 6969\r\n# " + QByteArray(2000, 'c') + "\r\n"; // one page
    const QByteArray previous = "port = 1\r\n";
    writeBytes(cfg, current);
    writeBytes(disk(u"veskold.cfg"_s), previous);
    writeBytes(app.filePath(u"veskfrontend.ini"_s), "Path=" + cfg.toUtf8() + "\r\n");

    ScriptedToolkit tk(app.path());
    MainWindow w(tk);
    w.load();
    QCOMPARE(w.valueBox(slot(u"port"))->text(), u"6969"_s);
    fillLeaving(3);
    const QString big(6 * kPage, u'v'); // the new file needs seven pages
    w.valueBox(slot(u"vesk_realm"))->setText(big);
    tk.clearPrompts();

    QVERIFY(!w.save());
    QCOMPARE(tk.prompts().size(), size_t(1));
    const auto &p = tk.prompts()[0];
    QCOMPARE(p.title, u"ERROR"_s);
    QCOMPARE(p.icon, Icon::Critical);
    QCOMPARE(p.buttons, Buttons::Ok);
    QCOMPARE(p.text, u"Could not save the cfg file at "_s + cfg + u": "_s
                         + QString::fromLocal8Bit(std::strerror(ENOSPC)));
    QVERIFY(w.isModified());
    QCOMPARE(readBytes(cfg), current);
    QCOMPARE(readBytes(disk(u"veskold.cfg"_s)), previous);
    QCOMPARE(leftovers(), (QStringList{u"vesk.cfg"_s, u"veskold.cfg"_s}));

    while (m_fillers > 0)
        QVERIFY(QFile::remove(disk(u"filler%1"_s.arg(--m_fillers))));
    tk.clearPrompts();
    QVERIFY2(w.save(), qPrintable(tk.prompts().empty() ? QString() : tk.prompts().back().text));
    QVERIFY(!w.isModified());
    QVERIFY(readBytes(cfg).contains("vesk_realm = " + big.toLatin1() + "\r\n"));
    QCOMPARE(readBytes(disk(u"veskold.cfg"_s)), current);
}

QTEST_MAIN(TstFullDisk)
#include "tst_fulldisk.moc"
