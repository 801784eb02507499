// Bad and unusual input through the real window and the real disk: every
// case ends in the normal behaviour or a clear message, never a crash or a
// hang, and where the file could be read, a save afterwards loses no line.

#include "bench/configgen.h"
#include "config/categorylist.h"
#include "config/configwriter.h"
#include "windowfixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace vesk;
using namespace vesk::test;
using namespace Qt::StringLiterals;

namespace
{

const QString kReadError =
    u" or that file contains some type o really bad errors.  Please give me a working cfg file"_s;

// "title: text" of every prompt so far.
QStringList prompts(const ScriptedToolkit &tk)
{
    QStringList out;
    for (const auto &p : tk.prompts())
        out << p.title + u": "_s + p.text;
    return out;
}

// Where two reads of a configuration differ, or nothing: the last value of
// each slot (an empty one counts as absent, as an empty box writes
// nothing), the categories as the list holds them, the misc lines.
QString difference(const QByteArray &before, const QByteArray &after)
{
    ConfigData a = parseConfigBytes(before);
    ConfigData b = parseConfigBytes(after);
    for (size_t s = 0; s < a.values.size(); ++s)
        if (a.values[s].value_or(QString()) != b.values[s].value_or(QString()))
            return u"the value of slot %1"_s.arg(s);
    CategoryList la, lb;
    la.addMany(std::move(a.categories));
    lb.addMany(std::move(b.categories));
    if (la.items() != lb.items())
        return u"the categories (%1 before, %2 after)"_s.arg(la.count()).arg(lb.count());
    if (a.misc != b.misc)
        return u"the misc lines (%1 characters before, %2 after)"_s.arg(a.misc.size()).arg(b.misc.size());
    return QString();
}

// A literal with its NUL bytes.
template <size_t N> QByteArray bytesOf(const char (&s)[N])
{
    return QByteArray(s, qsizetype(N - 1));
}

QByteArray garbage(qsizetype n, quint32 seed)
{
    QRandomGenerator rng(seed);
    QByteArray b(n, Qt::Uninitialized);
    for (char &c : b)
        c = char(rng.bounded(256));
    return b;
}

mode_t modeOf(const QString &path)
{
    struct stat st {
    };
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return st.st_mode;
}

} // namespace

class TstBadInput : public QObject
{
    Q_OBJECT
private slots:
    void readableFiles_data();
    void readableFiles();
    void lineEndsBecomeCrLf_data();
    void lineEndsBecomeCrLf();
    void tenMegabyteLine_data();
    void tenMegabyteLine();
    void millionLines();
    void bigFilesReadInPieces_data();
    void bigFilesReadInPieces();
    void latin1FileRefusesWhatItCannotHold();
    void unreadablePaths_data();
    void unreadablePaths();
    void wideEncodingsAreRefused_data();
    void wideEncodingsAreRefused();
    void pathWithSpacesAndNonAscii();
    void badLocationFile_data();
    void badLocationFile();
    void savesThroughSymlink();
    void keepsPermissions_data();
    void keepsPermissions();
};

// Files the editor can read: loaded without a message, saved, read back
// with nothing lost, and saved again to the same bytes.
void TstBadInput::readableFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("only comments") << QByteArray("# vesk tracker\r\n#\r\n# port = 80\r\n;x\r\n");
    QTest::newRow("only blank lines") << QByteArray("\r\n\r\n\n\r");
    QTest::newRow("binary garbage without NULs") << garbage(64 * 1024, 1).replace('\0', '\x01');
    QTest::newRow("invalid UTF-8") << QByteArray(
        "vesk_realm = caf\xE9\r\n# \xC3\x28 \xF0\x9F\r\nvesk_tag1 = \xFF|\xFE\r\n");
    QTest::newRow("CR only") << QByteArray("port = 1\rdfile = d\r# c\rvesk_tag1 = a|b\r");
    QTest::newRow("mixed line ends") << QByteArray("port = 1\r\n# a\n# b\r# c\n\rvesk_debug = 0");
    QTest::newRow("controls and separators") << QByteArray(
        "vesk_realm = a\x1B[0m\x7F\r\n# \xE2\x80\xA8 \xE2\x80\xA9 \xC2\x85\r\n\x0C\x0B\x01\r\n");
    // Found by the fuzzer: the second byte order mark was swallowed as text.
    QTest::newRow("two byte order marks") << QByteArray("\xEF\xBB\xBF"
                                                        "\xEF\xBB\xBF# a\r\nport = 1\r\n");
    // Found by the fuzzer: a misc line starting with U+FEFF written first
    // came back as a byte order mark and vanished.
    QTest::newRow("U+FEFF starts a line") << QByteArray("\r\xEF\xBB\xBF\r\xEF\xBB\xBFx\r\n");
    // Found by the fuzzer: categories equal but for letter case swapped
    // places at every save (lines are written 1, 10, 2, ...).
    QByteArray twins;
    for (int i = 1; i <= 8; ++i)
        twins += "vesk_tag = a|" + QByteArray::number(i) + "\r\n";
    QTest::newRow("categories equal but for case") << twins + "vesk_tag = a|C\r\nvesk_tag = a|c\r\n";
}

void TstBadInput::readableFiles()
{
    QFETCH(QByteArray, bytes);
    Session e;
    const QString cfg = e.file(u"vesk.cfg"_s);
    writeBytes(cfg, bytes);
    e.pointAt(cfg);
    MainWindow &w = e.started();
    QCOMPARE(prompts(e.tk), QStringList());
    QVERIFY(!w.isModified());

    QVERIFY(w.save());
    QCOMPARE(prompts(e.tk).last(),
             u"Config file saved: Tracker must be restarted for changes to take effect"_s);
    const QByteArray once = readBytes(cfg);
    QCOMPARE(readBytes(e.file(u"veskold.cfg"_s)), bytes);
    const QString lost = difference(bytes, once);
    QVERIFY2(lost.isEmpty(), qPrintable(u"the save changed "_s + lost));

    // Read back in a fresh window and saved again: nothing moves.
    Session again;
    const QString cfg2 = again.file(u"vesk.cfg"_s);
    writeBytes(cfg2, once);
    again.pointAt(cfg2);
    QVERIFY(again.started().save());
    QCOMPARE(readBytes(cfg2), once);
}

void TstBadInput::lineEndsBecomeCrLf_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("saved");
    QTest::newRow("CR only") << QByteArray("port = 1\rdfile = d\r# c\rvesk_tag7 = a|b")
                             << QByteArray("dfile = d\r\nport = 1\r\nvesk_tag1 = a|b\r\n# c\r\n\r\n");
    QTest::newRow("LF, CR, CR LF and LF CR")
        << QByteArray("# a\n# b\r# c\r\n\n\r# d\n\r") << QByteArray("# a\r\n# b\r\n# c\r\n# d\r\n\r\n");
}

void TstBadInput::lineEndsBecomeCrLf()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, saved);
    Session e;
    const QString cfg = e.file(u"vesk.cfg"_s);
    writeBytes(cfg, bytes);
    e.pointAt(cfg);
    QVERIFY(e.started().save());
    QCOMPARE(readBytes(cfg), saved);
}

// One line of 10 MB, as an unknown line, as a setting's value and as a
// category's image: shown whole, written whole.
void TstBadInput::tenMegabyteLine_data()
{
    QTest::addColumn<QByteArray>("line");
    const QByteArray big(10 * 1000 * 1000, 'x');
    QTest::newRow("misc line") << "#" + big;
    QTest::newRow("setting value") << "vesk_realm = " + big;
    QTest::newRow("category image") << "vesk_tag1 = name|" + big;
}

void TstBadInput::tenMegabyteLine()
{
    QFETCH(QByteArray, line);
    Session e;
    const QString cfg = e.file(u"vesk.cfg"_s);
    const QByteArray bytes = "port = 6969\r\n" + line + "\r\n# after\r\n";
    writeBytes(cfg, bytes);
    e.pointAt(cfg);
    MainWindow &w = e.started();
    QCOMPARE(prompts(e.tk), QStringList());
    QCOMPARE(w.valueBox(slot(u"port"))->text(), u"6969"_s);
    if (line.startsWith("vesk_realm"))
        QCOMPARE(w.valueBox(slot(u"vesk_realm"))->text().size(), 10 * 1000 * 1000);
    else if (line.startsWith("vesk_tag"))
        QCOMPARE(w.categories()->at(0).image.size(), 10 * 1000 * 1000);
    else
        QCOMPARE(w.rawText()->document()->firstBlock().text().size(), 10 * 1000 * 1000 + 1);

    QVERIFY(w.save());
    const QByteArray once = readBytes(cfg);
    QVERIFY(once.contains(line.startsWith("vesk_realm") ? line : line.sliced(line.indexOf('x'))));
    const QString lost = difference(bytes, once);
    QVERIFY2(lost.isEmpty(), qPrintable(lost));
}

void TstBadInput::millionLines()
{
    Session e;
    const QString cfg = e.file(u"vesk.cfg"_s);
    const QByteArray bytes = gen::configLines(1000 * 1000);
    writeBytes(cfg, bytes);
    e.pointAt(cfg);
    MainWindow &w = e.started();
    QCOMPARE(prompts(e.tk), QStringList());
    // 72 setting lines, then every tenth line (80 to 999,990) a category.
    const int categories = (999990 - 80) / 10 + 1;
    QCOMPARE(w.categories()->count(), categories);
    QCOMPARE(w.valueBox(slot(u"vesk_realm"))->text(), u"value of 72"_s);
    QVERIFY(w.save());
    const QString lost = difference(bytes, readBytes(cfg));
    QVERIFY2(lost.isEmpty(), qPrintable(lost));
    // Every other line is in the text box, which ends in an empty line.
    QCOMPARE(w.rawText()->document()->blockCount(), 1000 * 1000 - 72 - categories + 1);
}

// The reader decodes a big file a piece at a time; what it finds is what
// reading the whole decoded text finds, wherever the pieces are cut.
void TstBadInput::bigFilesReadInPieces_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray lines[] = {"port = 1",
                                "# caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80",
                                "vesk_tag3 = a|b",
                                "vesk_realm = x=y",
                                "",
                                "  indented",
                                "\xEF\xBB\xBF# marked"};
    const QByteArray ends[] = {"\r\n", "\r", "\n", "\n\r"};
    QRandomGenerator rng(11);
    QByteArray mixed;
    while (mixed.size() < 3 * 1024 * 1024)
        mixed += lines[rng.bounded(int(std::size(lines)))] + ends[rng.bounded(int(std::size(ends)))];
    QTest::newRow("UTF-8, every line end") << mixed;
    QTest::newRow("with a byte order mark") << "\xEF\xBB\xBF" + mixed;
    QTest::newRow("Latin-1 (one stray byte)") << mixed + "# \xFF\r\n";
    QTest::newRow("Latin-1 after a mark") << "\xEF\xBB\xBF" + mixed + "\xFF";
    // CR LF and a UTF-8 sequence across the first 1 MiB boundary.
    QByteArray straddle = "# " + QByteArray(1024 * 1024 - 3, 'a') + "\r\n# \xC3\xA9\n";
    QTest::newRow("CR LF across a boundary") << straddle + mixed;
    QTest::newRow("no line feed at all") << QByteArray(mixed).replace('\n', '\r');
    QTest::newRow("one 3 MB line") << "vesk_realm = " + QByteArray(3 * 1024 * 1024, 'z') + "\n# end";
}

void TstBadInput::bigFilesReadInPieces()
{
    QFETCH(QByteArray, bytes);
    const ConfigData a = parseConfigBytes(bytes);
    const DecodedText t = decodeText(bytes);
    const ConfigData b = parseConfig(t.text);
    QCOMPARE(a.encoding, t.encoding);
    QCOMPARE(a.bom, t.bom);
    QVERIFY(a.values == b.values);
    QVERIFY(a.categories == b.categories);
    QCOMPARE(a.misc.size(), b.misc.size());
    QVERIFY(a.misc == b.misc);
}

// A file that is not UTF-8 is written back in Latin-1; what Latin-1 cannot
// hold stops the save with a message naming the setting, and nothing is
// written.
void TstBadInput::latin1FileRefusesWhatItCannotHold()
{
    Session e;
    const QString cfg = e.file(u"vesk.cfg"_s);
    const QByteArray bytes("vesk_realm = caf\xE9\r\n# \xFF\r\n");
    writeBytes(cfg, bytes);
    e.pointAt(cfg);
    MainWindow &w = e.started();
    QCOMPARE(w.valueBox(slot(u"vesk_realm"))->text(), u"caf\u00E9"_s);
    w.valueBox(slot(u"vesk_realm"))
        ->setText(u"caf\u00E9 "_s + QString(200, u'x') + u" \u20AC"_s); // past the first blocks
    QVERIFY(!w.save());
    const auto &p = e.tk.prompts().back();
    QCOMPARE(p.title, u"ERROR"_s);
    QCOMPARE(p.icon, Icon::Critical);
    QVERIFY2(p.text.startsWith(u"Could not save the cfg file at "_s + cfg + u": "_s), qPrintable(p.text));
    QVERIFY2(p.text.contains(u"vesk_realm"_s), qPrintable(p.text));
    QVERIFY(w.isModified());
    QCOMPARE(readBytes(cfg), bytes);
    QVERIFY(!QFile::exists(e.file(u"veskold.cfg"_s)));

    // The same on the Raw tab, in a long text.
    w.valueBox(slot(u"vesk_realm"))->setText(u"caf\u00E9"_s);
    w.rawText()->setPlainText(u"# \u00FF\n"_s.repeated(50000) + u"# \u20AC\n"_s);
    QVERIFY(!w.save());
    QVERIFY2(e.tk.prompts().back().text.contains(u"Raw tab"_s), qPrintable(e.tk.prompts().back().text));
    QCOMPARE(readBytes(cfg), bytes);

    w.valueBox(slot(u"vesk_realm"))->setText(u"caf\u00E9 \u00A4"_s); // Latin-1 has this one
    w.rawText()->setPlainText(u"# \u00FF"_s);
    QVERIFY(w.save());
    QCOMPARE(readBytes(cfg), QByteArray("vesk_realm = caf\xE9 \xA4\r\n# \xFF\r\n"));
}

// Paths that name no readable configuration: the reader's message and the
// change question, at once; cancelled, the window stays empty and a save
// does not touch what the path names.
void TstBadInput::unreadablePaths_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason"); // said after the message's own words
    QTest::newRow("directory") << u"directory"_s << u"Is a directory"_s;
    QTest::newRow("FIFO") << u"fifo"_s << u"not a regular file"_s;
    QTest::newRow("/dev/zero") << u"device"_s << u"not a regular file"_s;
    QTest::newRow("dangling symlink") << u"dangling"_s << u"No such file or directory"_s;
    QTest::newRow("file over 64 MiB") << u"huge"_s << u"the file is larger than 67108864 bytes"_s;
}

// The configuration path of the given kind in the editor's folder.
static QString makeUnreadable(Session &e, const QString &kind)
{
    const QString cfg = e.file(u"vesk.cfg"_s);
    if (kind == u"directory"_s) {
        QDir().mkdir(cfg);
    } else if (kind == u"fifo"_s) {
        ::mkfifo(QFile::encodeName(cfg).constData(), 0644);
    } else if (kind == u"device"_s) {
        return u"/dev/zero"_s;
    } else if (kind == u"dangling"_s) {
        QFile::link(e.file(u"gone.cfg"_s), cfg);
    } else {
        QFile f(cfg);
        if (f.open(QIODevice::WriteOnly) && f.write("port = 1\r\n") > 0)
            f.resize(kMaxConfigBytes + 1); // sparse: costs no disk
    }
    return cfg;
}

void TstBadInput::unreadablePaths()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    Session e;
    const QString cfg = makeUnreadable(e, kind);
    const mode_t modeBefore = modeOf(cfg);
    QVERIFY(modeBefore != 0 || kind == u"dangling"_s);
    e.pointAt(cfg);
    MainWindow &w = e.started(); // nothing typed: the question is cancelled
    QCOMPARE(prompts(e.tk),
             (QStringList{u"ERROR: Could not find the cfg file at "_s + cfg + kReadError + u"\n\nReason: "_s
                              + reason,
                          u"Change cfg Location: What is the path and filename of your cfg file?"_s}));
    QCOMPARE(e.tk.prompts()[0].icon, Icon::Critical);
    QCOMPARE(e.tk.prompts()[1].defaultText, cfg);
    QCOMPARE(w.valueBox(slot(u"port"))->text(), QString());
    QVERIFY(!w.isModified());

    e.tk.clearPrompts();
    const bool saved = w.save();
    if (kind == u"dangling"_s) {
        // The link is kept and the file it names comes into being.
        QVERIFY(saved);
        QVERIFY(QFileInfo(cfg).isSymLink());
        QVERIFY(QFileInfo(e.file(u"gone.cfg"_s)).isFile());
    } else {
        QVERIFY(!saved);
        QCOMPARE(e.tk.prompts().size(), size_t(1));
        QVERIFY2(e.tk.prompts()[0].text.startsWith(u"Could not save the cfg file at "_s + cfg + u": "_s),
                 qPrintable(e.tk.prompts()[0].text));
        QCOMPARE(modeOf(cfg), modeBefore);
        if (kind == u"huge"_s)
            QCOMPARE(QFileInfo(cfg).size(), kMaxConfigBytes + 1);
    }

    // Given a good file instead, the editor reads it.
    Session again;
    const QString good = again.file(u"good.cfg"_s);
    writeBytes(good, "port = 6969\r\n");
    again.pointAt(makeUnreadable(again, kind));
    MainWindow &w2 = again.started({good});
    QCOMPARE(prompts(again.tk).size(), 2);
    QCOMPARE(w2.valueBox(slot(u"port"))->text(), u"6969"_s);
    QCOMPARE(w2.configPath(), good);
    QVERIFY(!w2.isModified());
}

// A file of 16- or 32-bit code units would be read as Latin-1 and written
// back with line ends between its units, and a file with NUL bytes is no
// text: it is refused, naming the likely encoding, and left as it is.
void TstBadInput::wideEncodingsAreRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    const QString marked = u"the file is encoded in "_s, unmarked = u"the file looks encoded in "_s;
    QTest::newRow("UTF-16 LE") << QByteArray("\xFF\xFEp\0o\0r\0t\0\r\0\n\0", 14) << marked + u"UTF-16"_s;
    QTest::newRow("UTF-16 BE") << QByteArray("\xFE\xFF\0p\0\n", 6) << marked + u"UTF-16"_s;
    QTest::newRow("UTF-32 LE") << QByteArray("\xFF\xFE\0\0p\0\0\0", 8) << marked + u"UTF-32"_s;
    QTest::newRow("UTF-32 BE") << QByteArray("\0\0\xFE\xFF\0\0\0p", 8) << marked + u"UTF-32"_s;
    const QByteArray line = "port = 6969\r\n# a note\r\n";
    auto wide = [&](int width, bool little) {
        QByteArray out;
        for (char c : line) {
            QByteArray unit(width, '\0');
            unit[little ? 0 : width - 1] = c;
            out += unit;
        }
        return out;
    };
    QTest::newRow("UTF-16 LE, no mark") << wide(2, true) << unmarked + u"UTF-16LE"_s;
    QTest::newRow("UTF-16 BE, no mark") << wide(2, false) << unmarked + u"UTF-16BE"_s;
    QTest::newRow("UTF-32 LE, no mark") << wide(4, true) << unmarked + u"UTF-32LE"_s;
    QTest::newRow("UTF-32 BE, no mark") << wide(4, false) << unmarked + u"UTF-32BE"_s;
    QTest::newRow("NUL bytes") << bytesOf("port = 69\0"
                                          "69\r\n\0\0\r\nvesk_tag1 = a\0|b\0\r\n\0# c\r\n")
                               << u"the file holds a NUL byte (at byte 9)"_s;
    QTest::newRow("binary garbage") << garbage(64 * 1024, 1) << u"the file holds a NUL byte"_s;
}

void TstBadInput::wideEncodingsAreRefused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    Session e;
    const QString cfg = e.file(u"vesk.cfg"_s);
    writeBytes(cfg, bytes);
    e.pointAt(cfg);
    MainWindow &w = e.started();
    QCOMPARE(prompts(e.tk).size(), 2);
    QVERIFY2(prompts(e.tk)[0].contains(u"Reason: "_s + reason), qPrintable(prompts(e.tk)[0]));
    QCOMPARE(w.rawText()->toPlainText(), QString());
    QCOMPARE(readBytes(cfg), bytes);
}

void TstBadInput::pathWithSpacesAndNonAscii()
{
    Session e;
    const QString folder = e.file(u"my configs/\u00FCn\u00EFc\u00F6d\u00E9 \u8A2D\u5B9A"_s);
    QVERIFY(QDir().mkpath(folder));
    const QString cfg = folder + u"/vesk tracker.cfg"_s;
    writeBytes(cfg, "port = 6969\r\n# \xC3\xA9t\xC3\xA9\r\n");
    e.pointAt(cfg);
    MainWindow &w = e.started();
    QCOMPARE(prompts(e.tk), QStringList());
    QCOMPARE(w.configPath(), cfg);
    w.valueBox(slot(u"port"))->setText(u"7000"_s);
    QVERIFY(w.save());
    QCOMPARE(readBytes(cfg), QByteArray("port = 7000\r\n# \xC3\xA9t\xC3\xA9\r\n\r\n"));
    QCOMPARE(readBytes(folder + u"/vesk trackerold.cfg"_s),
             QByteArray("port = 6969\r\n# \xC3\xA9t\xC3\xA9\r\n"));

    // Chosen through Change cfg Location, the path is recorded so that the
    // next start finds it again.
    Session other;
    other.pointAt(other.file(u"vesk.cfg"_s));
    writeBytes(other.file(u"vesk.cfg"_s), "port = 1\r\n");
    MainWindow &w2 = other.started();
    other.tk.type(cfg);
    w2.changeCfgLocation();
    QCOMPARE(w2.valueBox(slot(u"port"))->text(), u"7000"_s);
    QCOMPARE(readBytes(other.file(u"veskfrontend.ini"_s)), "Path=" + cfg.toUtf8() + "\r\n");
    other.tk.clearPrompts();
    MainWindow w3(other.tk); // the next start
    w3.load();
    QCOMPARE(w3.configPath(), cfg);
    QCOMPARE(prompts(other.tk), QStringList());
}

// A location file that is garbage or huge: a message where the editor gives
// one, the editor goes on, and nothing hangs.
void TstBadInput::badLocationFile_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("outcome");
    QByteArray noise = garbage(4000, 7);
    noise.replace('\r', 'r').replace('\n', 'n').replace('@', 'a'); // one line, no stand-in
    QTest::newRow("binary garbage") << noise << u"unreadable path"_s;
    QTest::newRow("1 MB on one line") << QByteArray(1024 * 1024, 'a') << u"recreated"_s;
    QTest::newRow("1 MB of lines after a good one")
        << QByteArray("Path=@\r\n") + QByteArray(1024 * 1024, '\n') << u"read"_s;
    QTest::newRow("NUL inside the path") << bytesOf("Path=@\0junk\r\n") << u"unreadable path"_s;
    QTest::newRow("short first line") << QByteArray("Pat\r\nPath=@\r\n") << u"recreated"_s;
}

void TstBadInput::badLocationFile()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, outcome);
    Session e;
    const QString cfg = e.file(u"vesk.cfg"_s);
    writeBytes(cfg, "port = 6969\r\n");
    writeBytes(e.ini(), ini.replace("@", cfg.toUtf8()));
    MainWindow &w = e.started();
    const QStringList shown = prompts(e.tk);
    if (outcome == u"read"_s) {
        QCOMPARE(shown, QStringList());
        QCOMPARE(w.valueBox(slot(u"port"))->text(), u"6969"_s);
        QCOMPARE(readBytes(e.file(u"veskfrontend.ini"_s)), ini); // left alone
    } else if (outcome == u"recreated"_s) {
        QCOMPARE(shown,
                 QStringList{u"INI File Not Found: Could not find ini file so creating one on the fly"_s});
        QCOMPARE(readBytes(e.file(u"veskfrontend.ini"_s)), "Path=" + cfg.toUtf8() + "\r\n");
        QCOMPARE(w.valueBox(slot(u"port"))->text(), u"6969"_s);
    } else {
        QVERIFY2(shown.size() == 2, qPrintable(shown.join(u'\n').left(300)));
        QVERIFY2(shown[0].startsWith(u"ERROR: Could not find the cfg file at "_s), qPrintable(shown[0]));
        QVERIFY(shown[0].contains(kReadError + u"\n\nReason: "_s));
        QCOMPARE(shown[1], u"Change cfg Location: What is the path and filename of your cfg file?"_s);
        QCOMPARE(w.valueBox(slot(u"port"))->text(), QString());
    }
}

// Saving through a symbolic link writes the file it points to; the link
// stays a link.
void TstBadInput::savesThroughSymlink()
{
    Session e;
    QVERIFY(QDir().mkdir(e.file(u"real"_s)));
    const QString target = e.file(u"real/tracker.cfg"_s);
    const QString link = e.file(u"vesk.cfg"_s);
    writeBytes(target, "port = 6969\r\n");
    QVERIFY(QFile::link(target, link));
    e.pointAt(link);
    MainWindow &w = e.started();
    w.valueBox(slot(u"port"))->setText(u"7000"_s);
    QVERIFY(w.save());
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(QFileInfo(link).symLinkTarget(), target);
    QCOMPARE(readBytes(target), QByteArray("port = 7000\r\n"));
    QCOMPARE(readBytes(e.file(u"veskold.cfg"_s)), QByteArray("port = 6969\r\n"));
    QVERIFY(QDir(e.file(u"real"_s)).entryList(QDir::Files | QDir::Hidden) == QStringList{u"tracker.cfg"_s});
}

void TstBadInput::keepsPermissions_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("0600") << 0600;
    QTest::newRow("0640") << 0640;
    QTest::newRow("0666") << 0666;
}

void TstBadInput::keepsPermissions()
{
    QFETCH(int, mode);
    Session e;
    const QString cfg = e.file(u"vesk.cfg"_s);
    writeBytes(cfg, "port = 6969\r\n");
    QCOMPARE(::chmod(QFile::encodeName(cfg).constData(), mode_t(mode)), 0);
    e.pointAt(cfg);
    MainWindow &w = e.started();
    w.valueBox(slot(u"port"))->setText(u"7000"_s);
    QVERIFY(w.save());
    QCOMPARE(int(modeOf(cfg) & 07777), mode);
    QCOMPARE(int(modeOf(e.file(u"veskold.cfg"_s)) & 07777), mode);
    w.valueBox(slot(u"port"))->setText(u"7001"_s);
    QVERIFY(w.save()); // the second save replaces the backup too
    QCOMPARE(int(modeOf(cfg) & 07777), mode);
    QCOMPARE(int(modeOf(e.file(u"veskold.cfg"_s)) & 07777), mode);
}

QTEST_MAIN(TstBadInput)
#include "tst_badinput.moc"
