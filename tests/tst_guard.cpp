// The guard against outside edits: a save asks before it overwrites a
// configuration file that another program changed since it was read or
// last saved.
#include "windowfixture.h"

#include "store/diskstamp.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>

using namespace vesk;
using namespace vesk::test;

namespace
{

const QByteArray kOriginal = "port = 6969\r\nvesk_debug = 0\r\n";

QString changedQuestion(const QString &path)
{
    return message(
        QStringLiteral("File changed"),
        QStringLiteral("The cfg file at ") + path
            + QStringLiteral(" was changed by another program since it was loaded.  Overwrite it?"),
        Buttons::YesNo, Icon::None, Answer::No);
}

void setModified(const QString &path, const QDateTime &when)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(when, QFileDevice::FileModificationTime));
}

QDateTime modifiedOf(const QString &path)
{
    QFile f(path);
    return f.fileTime(QFileDevice::FileModificationTime);
}

// The disk as if every file had last changed ten seconds earlier.
class AgedFiles : public FaultyFiles
{
public:
    AgedFiles() { ageNs = 10'000'000'000; }
};

} // namespace

class GuardTest : public QObject
{
    Q_OBJECT
private slots:
    void eachKindOfOutsideEditIsNoticed_data()
    {
        QTest::addColumn<QByteArray>("outside"); // new content; empty = keep it
        QTest::addColumn<bool>("touch");         // move the modification time
        QTest::addColumn<bool>("keepTime");      // put the old time back
        QTest::newRow("size") << QByteArray("port = 1\r\n") << false << true;
        QTest::newRow("time only") << QByteArray() << true << false;
        // Same size and time: only the content tells.
        QTest::newRow("content only") << QByteArray("port = 6970\r\nvesk_debug = 1\r\n") << false << true;
    }
    void eachKindOfOutsideEditIsNoticed()
    {
        QFETCH(QByteArray, outside);
        QFETCH(bool, touch);
        QFETCH(bool, keepTime);
        Session s;
        s.load(kOriginal);
        const QDateTime loadedTime = modifiedOf(s.cfg());
        if (!outside.isEmpty())
            writeBytes(s.cfg(), outside);
        if (touch)
            setModified(s.cfg(), loadedTime.addSecs(5));
        if (keepTime)
            setModified(s.cfg(), loadedTime);
        const QByteArray onDisk = readBytes(s.cfg());
        s.box(u"port")->setText(QStringLiteral("7000"));

        s.tk.answer(Answer::No);
        QVERIFY(!s.w.save());
        QCOMPARE(shown(s.tk), QStringList{changedQuestion(s.cfg())});
        QCOMPARE(readBytes(s.cfg()), onDisk);
        QVERIFY(!QFile::exists(s.backup()));
        QVERIFY(s.w.isModified());

        s.tk.clearPrompts();
        s.tk.answer(Answer::Yes);
        QVERIFY(s.w.save());
        QCOMPARE(shown(s.tk), (QStringList{changedQuestion(s.cfg()), savedMessage()}));
        QCOMPARE(readBytes(s.cfg()), QByteArray("port = 7000\r\nvesk_debug = 0\r\n"));
        QCOMPARE(readBytes(s.backup()), onDisk); // the outside edit is the backup
        QVERIFY(!s.w.isModified());

        // What the editor wrote is what it knows now: no question next time.
        s.tk.clearPrompts();
        QVERIFY(s.w.save());
        QCOMPARE(shown(s.tk), QStringList{savedMessage()});
    }

    // A failed save's own steps (the file got a second name and lost it)
    // are no outside edit: the next save does not ask.
    void failedSaveIsNoOutsideEdit()
    {
        Session s;
        s.load(kOriginal);
        s.box(u"port")->setText(QStringLiteral("7000"));
        s.tk.faultyFiles().failOn({FaultyFiles::Op::Commit, 1, -1, QStringLiteral("vesk.cfg")});
        QVERIFY(!s.w.save());
        QVERIFY(s.tk.faultyFiles().faultFired());
        QVERIFY(s.w.save());
        QCOMPARE(shown(s.tk), (QStringList{saveFailedMessage(s.cfg(), QStringLiteral("Injected failure")),
                                           savedMessage()}));
    }

    // A file whose rewrite in place a crash cut short: the user is told,
    // and may see its backup instead (withdrawing the question shows the
    // backup too); either way the save keeps the backup.
    void incompleteFileOffersItsBackup_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("port");
        QTest::newRow("Yes") << int(Answer::Yes) << QStringLiteral("6969");
        QTest::newRow("No") << int(Answer::No) << QStringLiteral("7000");
        QTest::newRow("Escape") << int(Answer::Cancel) << QStringLiteral("6969");
    }
    void incompleteFileOffersItsBackup()
    {
        QFETCH(int, answer);
        QFETCH(QString, port);
        Session s;
        writeBytes(s.backup(), kOriginal);
        writeBytes(s.cfg() + QStringLiteral(".rewriting"), "a rewrite that never finished\n");
        s.tk.answer(Answer(answer));
        s.load("port = 7000\r\nvesk_debug = 0\r\nvesk_tor");
        QCOMPARE(s.tk.unusedAnswers(), 0); // it was asked
        QCOMPARE(s.box(u"port")->text(), port);
        QVERIFY(!s.w.isModified());
        s.box(u"vesk_debug")->setText(QStringLiteral("x"));
        QVERIFY(s.w.save());
        QCOMPARE(readBytes(s.backup()), kOriginal);
        QVERIFY(!QFile::exists(s.cfg() + QStringLiteral(".rewriting")));
    }

    void untouchedFileSavesWithoutAsking()
    {
        Session s;
        s.load(kOriginal);
        s.box(u"port")->setText(QStringLiteral("7000"));
        QVERIFY(s.w.save());
        QVERIFY(s.w.save());
        QCOMPARE(shown(s.tk), (QStringList{savedMessage(), savedMessage()}));
    }

    void quitWithSaveAndQuitStayOpenOnNo()
    {
        Session s;
        s.load(kOriginal);
        s.box(u"port")->setText(QStringLiteral("7000"));
        writeBytes(s.cfg(), "port = 1\r\n");

        // Quit with Save, No: nothing written, still running.
        s.tk.answer(Answer::No);
        QVERIFY(!s.w.saveAndQuit());
        QCOMPARE(shown(s.tk), QStringList{changedQuestion(s.cfg())});
        QCOMPARE(s.tk.ends(), 0);
        QVERIFY(!s.w.hasEnded());

        // Quit, Yes to saving, No to overwriting: still running.
        s.tk.clearPrompts();
        s.tk.answer(Answer::Yes);
        s.tk.answer(Answer::No);
        QVERIFY(!s.w.quit());
        QCOMPARE(shown(s.tk), (QStringList{quitQuestion(), changedQuestion(s.cfg())}));
        QCOMPARE(s.tk.ends(), 0);
        QCOMPARE(readBytes(s.cfg()), QByteArray("port = 1\r\n"));
        QVERIFY(s.w.isModified());

        // Quit with Save, Yes: written, and the program ends.
        s.tk.clearPrompts();
        s.tk.answer(Answer::Yes);
        QVERIFY(s.w.saveAndQuit());
        QCOMPARE(shown(s.tk), (QStringList{changedQuestion(s.cfg()), savedMessage()}));
        QCOMPARE(readBytes(s.cfg()), QByteArray("port = 7000\r\nvesk_debug = 0\r\n"));
        QCOMPARE(s.tk.ends(), 1);
    }

    void quitYesYesSavesAndEnds()
    {
        Session s;
        s.load(kOriginal);
        s.box(u"port")->setText(QStringLiteral("7000"));
        QVERIFY(QFile::remove(s.cfg())); // deleted meanwhile counts as changed
        s.tk.answer(Answer::Yes);
        s.tk.answer(Answer::Yes);
        QVERIFY(s.w.quit());
        QCOMPARE(shown(s.tk), (QStringList{quitQuestion(), changedQuestion(s.cfg()), savedMessage()}));
        QCOMPARE(readBytes(s.cfg()), QByteArray("port = 7000\r\nvesk_debug = 0\r\n"));
        QCOMPARE(s.tk.ends(), 1);
    }

    void fileMissingAtLoad()
    {
        // Read fails, the change command is cancelled: the window is empty
        // and the configuration path names no file.
        Session s;
        const QString missing = s.file(QStringLiteral("new.cfg"));
        writeBytes(s.ini(), "Path=" + missing.toUtf8() + "\r\n");
        s.tk.type(QString());
        s.w.load();
        QCOMPARE(s.w.configPath(), missing);
        s.tk.clearPrompts();
        s.box(u"port")->setText(QStringLiteral("6969"));

        // Still missing: nothing to overwrite, no question.
        QVERIFY(s.w.save());
        QCOMPARE(shown(s.tk), QStringList{savedMessage()});
        QCOMPARE(readBytes(missing), QByteArray("port = 6969\r\n"));

        // Missing again, then another program creates it: that is a change.
        Session t;
        writeBytes(t.ini(), "Path=" + missing.toUtf8() + "\r\n");
        QVERIFY(QFile::remove(missing));
        t.tk.type(QString());
        t.w.load();
        t.tk.clearPrompts();
        writeBytes(missing, "# theirs\r\n");
        t.box(u"port")->setText(QStringLiteral("6969"));
        t.tk.answer(Answer::No);
        QVERIFY(!t.w.save());
        QCOMPARE(shown(t.tk), QStringList{changedQuestion(missing)});
        QCOMPARE(readBytes(missing), QByteArray("# theirs\r\n"));
    }

    void changeCfgLocationTakesTheNewFilesStamp()
    {
        Session s;
        s.load(kOriginal);
        const QString other = s.file(QStringLiteral("other.cfg"));
        writeBytes(other, "port = 1234\r\n");
        s.tk.type(other);
        s.w.changeCfgLocation();
        QCOMPARE(s.box(u"port")->text(), QStringLiteral("1234"));
        s.tk.clearPrompts();
        // The first file changing no longer matters; the new one does.
        writeBytes(s.cfg(), "# elsewhere\r\n");
        s.box(u"port")->setText(QStringLiteral("4321"));
        QVERIFY(s.w.save());
        QCOMPARE(shown(s.tk), QStringList{savedMessage()});
        writeBytes(other, "port = 99\r\n");
        s.tk.clearPrompts();
        s.tk.answer(Answer::No);
        QVERIFY(!s.w.save());
        QCOMPARE(shown(s.tk), QStringList{changedQuestion(other)});
    }

    void stampComparesExistenceSizeTimeAndContent()
    {
        QTemporaryDir dir;
        DiskFileAccess files;
        const QString path = dir.filePath(QStringLiteral("a.cfg"));
        const DiskStamp none = DiskStamp::take(files, path);
        QVERIFY(!none.exists);
        QVERIFY(!changedOnDisk(files, path, none));
        writeBytes(path, "abc");
        QVERIFY(changedOnDisk(files, path, none));
        const DiskStamp there = DiskStamp::take(files, path);
        QCOMPARE(there, DiskStamp::of(*files.status(path), QByteArrayView("abc")));
        QVERIFY(!changedOnDisk(files, path, there));
        // A file that cannot be read now is no longer known to hold what it did.
        FaultyFiles faulty;
        faulty.failOn({FaultyFiles::Op::Read, 1, -1, QString(), QStringLiteral("Permission denied")});
        QVERIFY(changedOnDisk(faulty, path, there));
        // Same size and time, other content.
        const QDateTime time = modifiedOf(path);
        writeBytes(path, "abd");
        setModified(path, time);
        QVERIFY(changedOnDisk(files, path, there));
        QVERIFY(QFile::remove(path));
        QVERIFY(changedOnDisk(files, path, there));
    }

    void settledFileIsJudgedByItsTimesAndIdentity()
    {
        // Changed long before the stamp: the times vouch for the content,
        // which is neither kept nor read again.
        QTemporaryDir dir;
        AgedFiles files;
        const QString path = dir.filePath(QStringLiteral("a.cfg"));
        writeBytes(path, "abc");
        const DiskStamp stamp = DiskStamp::take(files, path);
        QVERIFY(stamp.hash.isEmpty());
        files.failOn({FaultyFiles::Op::Read, 1, -1, QString(), QStringLiteral("Permission denied")});
        QVERIFY(!changedOnDisk(files, path, stamp));
        // A rewrite that keeps size and modification time, to the
        // nanosecond, moves the change time.
        const qint64 mtime = DiskFileAccess().status(path)->modifiedNs;
        writeBytes(path, "abd");
        const timespec times[2] = {{0, UTIME_OMIT},
                                   {time_t(mtime / 1'000'000'000), long(mtime % 1'000'000'000)}};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
        QCOMPARE(DiskFileAccess().status(path)->modifiedNs, mtime);
        QVERIFY(changedOnDisk(files, path, stamp));
        // Another file moved in under the name.
        const DiskStamp rewritten = DiskStamp::take(files, path);
        const QString other = dir.filePath(QStringLiteral("b.cfg"));
        writeBytes(other, "abd");
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::rename(other, path));
        const FileStatus moved = *files.status(path);
        QVERIFY(moved.inode != rewritten.inode);
        QVERIFY(changedOnDisk(files, path, rewritten));
    }
};

QTEST_MAIN(GuardTest)
#include "tst_guard.moc"
