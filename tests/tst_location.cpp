// The location file: which configuration path its first line yields, and
// the exact form written.

#include "config/locationfile.h"
#include "document/location.h"
#include "doubles.h"

#include <QDir>
#include <QTest>

using namespace vesk;
using namespace vesk::test;
using namespace Qt::StringLiterals;

class TstLocation : public QObject
{
    Q_OBJECT
private slots:
    void missingFile();
    void firstLine_data();
    void firstLine();
    void notAFile();
    void pathWithNulNamesNoFile();
    void writtenForm_data();
    void writtenForm();
    void failedWriteKeepsTheOldFile();
};

void TstLocation::missingFile()
{
    QTemporaryDir dir;
    DiskFileAccess files;
    QCOMPARE(readLocationFile(files, dir.filePath(u"veskfrontend.ini"_s)), std::nullopt);
}

void TstLocation::firstLine_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<QString>("path");

    QTest::newRow("empty") << QByteArray() << false << QString();
    QTest::newRow("four characters") << QByteArray("Path") << false << QString();
    QTest::newRow("four, then more lines") << QByteArray("Path\r\nPath=/x\r\n") << false << QString();
    QTest::newRow("only a line end") << QByteArray("\r\n") << false << QString();
    QTest::newRow("exactly Path=") << QByteArray("Path=") << true << QString();
    QTest::newRow("Path= CRLF") << QByteArray("Path=\r\n") << true << QString();
    QTest::newRow("plain") << QByteArray("Path=/srv/vesk/vesk.cfg\r\n") << true << u"/srv/vesk/vesk.cfg"_s;
    QTest::newRow("no line end") << QByteArray("Path=/srv/vesk.cfg") << true << u"/srv/vesk.cfg"_s;
    QTest::newRow("CR") << QByteArray("Path=/a.cfg\rPath=/b.cfg\r") << true << u"/a.cfg"_s;
    QTest::newRow("LF") << QByteArray("Path=/a.cfg\nPath=/b.cfg\n") << true << u"/a.cfg"_s;
    QTest::newRow("further lines ignored")
        << QByteArray("Path=/a.cfg\r\nPath=/b.cfg\r\ngarbage\xFF\r\n") << true << u"/a.cfg"_s;
    QTest::newRow("lower case") << QByteArray("path=/a.cfg\r\n") << true << u"/a.cfg"_s;
    QTest::newRow("any five") << QByteArray("XXXXX/a.cfg\r\n") << true << u"/a.cfg"_s;
    QTest::newRow("blanks around =") << QByteArray("Path = /a.cfg\r\n") << true << u"= /a.cfg"_s;
    QTest::newRow("blanks kept") << QByteArray("Path= /a b.cfg  \r\n") << true << u" /a b.cfg  "_s;
    QTest::newRow("UTF-8") << QByteArray("Path=/srv/Z\xC3\xBCrich/vesk.cfg\r\n") << true
                           << u"/srv/Zürich/vesk.cfg"_s;
    QTest::newRow("garbage bytes") << QByteArray("Path=/t/\xFF\xFE\x01x\r\n") << true
                                   << QString(u"/t/"_s + QChar(0xFF) + QChar(0xFE) + QChar(1) + u"x"_s);
    QTest::newRow("NUL") << QByteArray("Path=/a\0b\r\n", 11) << true << QString(u"/a"_s + QChar(0) + u"b"_s);

    QByteArray big = "Path=/a.cfg\r\n";
    while (big.size() < 1024 * 1024)
        big += "some text that is not read at all, line after line\r\n";
    QTest::newRow("1 MB after the first line") << big << true << u"/a.cfg"_s;
    QTest::newRow("1 MB first line") << QByteArray("Path=/" + QByteArray(1024 * 1024, 'a')) << false
                                     << QString();
    const QString longPath = u"/"_s + QString(4095, u'p');
    QTest::newRow("4096 characters") << QByteArray("Path=" + longPath.toUtf8() + "\r\n") << true << longPath;
    QTest::newRow("longer than 4096")
        << QByteArray("Path=/" + QByteArray(4096, 'p') + "\r\n") << false << QString();
}

void TstLocation::firstLine()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, readable);
    QFETCH(QString, path);
    QTemporaryDir dir;
    const QString ini = dir.filePath(u"veskfrontend.ini"_s);
    writeBytes(ini, bytes);
    DiskFileAccess files;
    const std::optional<QString> got = readLocationFile(files, ini);
    QCOMPARE(got.has_value(), readable);
    if (readable)
        QCOMPARE(*got, path);
    // Reading never changes the file.
    QCOMPARE(readBytes(ini), bytes);
}

void TstLocation::notAFile()
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(u"veskfrontend.ini"_s);
    QVERIFY(QDir(dir.path()).mkdir(u"veskfrontend.ini"_s));
    DiskFileAccess files;
    QCOMPARE(readLocationFile(files, ini), std::nullopt);
}

void TstLocation::pathWithNulNamesNoFile()
{
    // Garbage in the location file can put a NUL into the path; the system
    // would see the path cut short there, which names another file.
    QTemporaryDir dir;
    const QString ini = dir.filePath(u"veskfrontend.ini"_s);
    const QString cfg = dir.filePath(u"vesk.cfg"_s);
    writeBytes(cfg, "port = 1\r\n");
    writeBytes(ini, "Path=" + cfg.toUtf8() + QByteArray(1, '\0') + "junk\r\n");
    DiskFileAccess files;
    const std::optional<QString> path = readLocationFile(files, ini);
    QVERIFY(path);
    QCOMPARE(path->size(), cfg.size() + 5);
    const ReadResult r = files.read(*path, 1024);
    QVERIFY(!r.ok());
    QVERIFY(!r.reason().isEmpty());
    QVERIFY(!files.status(*path)->exists);
}

void TstLocation::writtenForm_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("plain") << u"/srv/vesk.cfg"_s << QByteArray("Path=/srv/vesk.cfg\r\n");
    QTest::newRow("empty") << QString() << QByteArray("Path=\r\n");
    QTest::newRow("blanks") << u" /a b "_s << QByteArray("Path= /a b \r\n");
    QTest::newRow("non-ASCII") << u"/srv/Zürich.cfg"_s << QByteArray("Path=/srv/Z\xC3\xBCrich.cfg\r\n");
}

void TstLocation::writtenForm()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString ini = dir.filePath(u"veskfrontend.ini"_s);
    writeBytes(ini, "Path=/old.cfg\r\nsecond line\r\n");
    DiskFileAccess files;
    QVERIFY(writeLocationFile(files, ini, path).ok());
    QCOMPARE(readBytes(ini), bytes);
    // What is written is read back as written.
    QCOMPARE(readLocationFile(files, ini), std::optional<QString>(path));
}

void TstLocation::failedWriteKeepsTheOldFile()
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(u"veskfrontend.ini"_s);
    const QByteArray old = "Path=/old.cfg\r\n";
    for (auto op :
         {FaultyFiles::Op::Open, FaultyFiles::Op::Write, FaultyFiles::Op::Flush, FaultyFiles::Op::Commit}) {
        writeBytes(ini, old);
        FaultyFiles files;
        files.failOn({op, 1, op == FaultyFiles::Op::Write ? 7 : -1, {}, u"disk full"_s});
        const FileResult written = writeLocationFile(files, ini, u"/new/path/vesk.cfg"_s);
        QVERIFY(!written);
        QVERIFY(files.faultFired());
        QCOMPARE(written.reason(), u"disk full"_s);
        QCOMPARE(readBytes(ini), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"veskfrontend.ini"_s});
    }
}

QTEST_GUILESS_MAIN(TstLocation)
#include "tst_location.moc"
