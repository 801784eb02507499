// Writing a configuration file: line order, category numbering, values as
// typed, the misc block, encodings and the backup's name.

#include "config/categorylist.h"
#include "config/configwriter.h"
#include "store/safesave.h"

#include <QTest>

using namespace vesk;
using namespace Qt::StringLiterals;

namespace
{

QStringList fileLines(const QString &text)
{
    QStringList l = text.split(u"\r\n"_s);
    if (!l.isEmpty() && l.back().isEmpty())
        l.removeLast(); // after the final CR LF
    return l;
}

// A setting's entry in what was read or is to be written, by its key.
decltype(auto) valueOf(auto &&config, QStringView key)
{
    return (config.values[size_t(catalogue::slotOf(key))]);
}

int indexOfPrefix(const QStringList &lines, const QString &prefix)
{
    for (int i = 0; i < lines.size(); ++i)
        if (lines[i].startsWith(prefix))
            return i;
    return -1;
}

} // namespace

class TstWriter : public QObject
{
    Q_OBJECT
private slots:
    void sortedOrder();
    void categoryLinesStandTogether();
    void twelveCategories();
    void readingRenumbersCategories();
    void emptyBoxesAreLeftOut();
    void valuesAreWrittenUnchanged_data();
    void valuesAreWrittenUnchanged();
    void miscBlockFollows_data();
    void miscBlockFollows();
    void allEmptyGivesEmptyFile();
    void barInName();
    void unencodableText_data();
    void unencodableText();
    void tooLargeToOpenAgain();
    void latin1FileKeepsLatin1();
    void backupPath_data();
    void backupPath();
};

void TstWriter::sortedOrder()
{
    ConfigContent c;
    valueOf(c, u"vesk_realm") = u"r"_s;
    valueOf(c, u"port") = u"6969"_s;
    valueOf(c, u"allowed_dir") = u"/t"_s;
    valueOf(c, u"vesk_allow_search") = u"1"_s;
    valueOf(c, u"dfile") = u"d"_s;
    QCOMPARE(
        composeText(c),
        u"allowed_dir = /t\r\ndfile = d\r\nport = 6969\r\nvesk_allow_search = 1\r\nvesk_realm = r\r\n"_s);
}

void TstWriter::categoryLinesStandTogether()
{
    ConfigContent c;
    for (const Setting &s : catalogue::settings())
        c.values[size_t(s.slot)] = u"v"_s;
    c.categories = {{u"a"_s, u"1"_s}, {u"b"_s, u"2"_s}, {u"c"_s, u"3"_s}};
    const QStringList lines = fileLines(composeText(c));
    QCOMPARE(lines.size(), catalogue::kSettingCount + 3);
    const int style = lines.indexOf(u"vesk_style_sheet = v"_s);
    const int upload = lines.indexOf(u"vesk_upload_dir = v"_s);
    const int tagFile = lines.indexOf(u"vesk_tag_file = v"_s);
    const int first = indexOfPrefix(lines, u"vesk_tag1 "_s);
    QVERIFY(style >= 0 && upload >= 0 && tagFile >= 0 && first >= 0);
    QCOMPARE(lines.mid(first, 3),
             (QStringList{u"vesk_tag1 = a|1"_s, u"vesk_tag2 = b|2"_s, u"vesk_tag3 = c|3"_s}));
    QVERIFY(style < first && first + 3 <= upload);
    // The tag file setting sits right beside the group, on one side.
    QVERIFY(tagFile == first - 1 || tagFile == first + 3);
    // Everything else in one ascending order.
    for (int i = 1; i < lines.size(); ++i)
        QVERIFY2(lines[i - 1].compare(lines[i], Qt::CaseInsensitive) < 0, qPrintable(lines[i]));
}

void TstWriter::twelveCategories()
{
    ConfigContent c;
    for (int i = 1; i <= 12; ++i)
        c.categories.push_back({u"c%1"_s.arg(i, 2, 10, QLatin1Char('0')), u"i"_s});
    valueOf(c, u"port") = u"1"_s;
    valueOf(c, u"vesk_realm") = u"r"_s;
    const QStringList expected = {u"port = 1"_s,           u"vesk_realm = r"_s,     u"vesk_tag1 = c01|i"_s,
                                  u"vesk_tag10 = c10|i"_s, u"vesk_tag11 = c11|i"_s, u"vesk_tag12 = c12|i"_s,
                                  u"vesk_tag2 = c02|i"_s,  u"vesk_tag3 = c03|i"_s,  u"vesk_tag4 = c04|i"_s,
                                  u"vesk_tag5 = c05|i"_s,  u"vesk_tag6 = c06|i"_s,  u"vesk_tag7 = c07|i"_s,
                                  u"vesk_tag8 = c08|i"_s,  u"vesk_tag9 = c09|i"_s};
    QCOMPARE(fileLines(composeText(c)), expected);
}

void TstWriter::readingRenumbersCategories()
{
    // Read as the window does: into the sorted list, then written back.
    const ConfigData d = parseConfig(u"vesk_tag3 = B|b.png\r\nvesk_tag7 = A|a.png\r\n"_s);
    CategoryList list;
    list.addMany(d.categories);
    ConfigContent c;
    c.categories = list.items();
    QCOMPARE(composeText(c), u"vesk_tag1 = A|a.png\r\nvesk_tag2 = B|b.png\r\n"_s);
}

void TstWriter::emptyBoxesAreLeftOut()
{
    ConfigContent c;
    valueOf(c, u"port") = u"6969"_s;
    valueOf(c, u"vesk_debug") = QString();
    valueOf(c, u"dfile") = u""_s;
    QCOMPARE(composeText(c), u"port = 6969\r\n"_s);
}

void TstWriter::valuesAreWrittenUnchanged_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("blanks around") << u"  x  "_s;
    QTest::newRow("equals inside") << u"a=b"_s;
    QTest::newRow("leading equals") << u"= x"_s;
    QTest::newRow("tab") << u"\t"_s;
    QTest::newRow("one blank") << u" "_s;
    QTest::newRow("bar") << u"a|b"_s;
    QTest::newRow("non-ASCII") << u"Zürich €"_s;
}

void TstWriter::valuesAreWrittenUnchanged()
{
    QFETCH(QString, value);
    ConfigContent c;
    valueOf(c, u"vesk_realm") = value;
    const QString text = composeText(c);
    QCOMPARE(text, QString(u"vesk_realm = "_s + value + u"\r\n"_s));
    // And it reads back the same.
    QCOMPARE(valueOf(parseConfig(text), u"vesk_realm"), std::optional<QString>(value));
}

void TstWriter::miscBlockFollows_data()
{
    QTest::addColumn<QString>("misc");
    QTest::addColumn<QString>("written");
    QTest::newRow("as read") << u"# a\n# b\n"_s << u"# a\r\n# b\r\n\r\n"_s;
    QTest::newRow("typed, no final break") << u"# a\n# b"_s << u"# a\r\n# b\r\n"_s;
    QTest::newRow("blank lines inside") << u"a\n\n\nb"_s << u"a\r\n\r\n\r\nb\r\n"_s;
    QTest::newRow("key-like line") << u"port = 1\n"_s << u"port = 1\r\n\r\n"_s;
}

void TstWriter::miscBlockFollows()
{
    QFETCH(QString, misc);
    QFETCH(QString, written);
    ConfigContent c;
    c.misc = misc;
    QCOMPARE(composeText(c), written);
    valueOf(c, u"vesk_realm") = u"z"_s;
    QCOMPARE(composeText(c), QString(u"vesk_realm = z\r\n"_s + written));
    QCOMPARE(*composeConfig(c), QString(u"vesk_realm = z\r\n"_s + written).toUtf8());
}

void TstWriter::allEmptyGivesEmptyFile()
{
    ConfigContent c;
    QCOMPARE(composeText(c), QString());
    const Result<QByteArray> r = composeConfig(c);
    QVERIFY(r);
    QVERIFY(r->isEmpty());
    QVERIFY(r.reason().isEmpty());
}

void TstWriter::barInName()
{
    ConfigContent c;
    c.categories = {{u"a|b"_s, u"c|d"_s}, {u"  lead"_s, u"x"_s}};
    const QString text = composeText(c);
    QCOMPARE(text, u"vesk_tag1 = a|b|c|d\r\nvesk_tag2 =   lead|x\r\n"_s);
    // Read back, the name ends at its first "|"; the image keeps its own;
    // leading blanks of a name survive.
    const ConfigData d = parseConfig(text);
    QCOMPARE(d.categories, (std::vector<Category>{{u"a"_s, u"b|c|d"_s}, {u"  lead"_s, u"x"_s}}));
}

void TstWriter::unencodableText_data()
{
    QTest::addColumn<int>("encoding");
    QTest::addColumn<int>("where"); // 0 setting, 1 category name, 2 category image, 3 misc
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("named");
    const int latin1 = int(Encoding::Latin1);
    const int utf8 = int(Encoding::Utf8);
    QTest::newRow("euro in a setting")
        << latin1 << 0 << u"5 €"_s << QStringList{u"\"Realm\""_s, u"vesk_realm"_s, u"ISO-8859-1"_s};
    QTest::newRow("euro in a name") << latin1 << 1 << u"€uro"_s << QStringList{u"€uro"_s};
    QTest::newRow("euro in an image") << latin1 << 2 << u"€.png"_s << QStringList{u"Films"_s};
    QTest::newRow("euro in the Raw text") << latin1 << 3 << u"# €"_s << QStringList{u"Raw"_s};
    QTest::newRow("lone surrogate") << utf8 << 0 << QString(QChar(0xD800))
                                    << QStringList{u"\"Realm\""_s, u"vesk_realm"_s};
    // A break would make a line of its own, read back as another setting or
    // category; a "|" would cut the name when read back.
    QTest::newRow("LF in a setting") << utf8 << 0 << u"1\nvesk_tag99 = Injected|x"_s
                                     << QStringList{u"\"Realm\""_s, u"vesk_realm"_s, u"line break"_s};
    QTest::newRow("CR in a setting") << utf8 << 0 << u"1\rport = 1"_s
                                     << QStringList{u"vesk_realm"_s, u"line break"_s};
    QTest::newRow("bar in a name") << utf8 << 1 << u"a|b"_s << QStringList{u"a|b"_s, u"\"|\""_s};
    QTest::newRow("LF in a name") << utf8 << 1 << u"a\nb"_s << QStringList{u"line break"_s};
    QTest::newRow("CR LF in an image")
        << utf8 << 2 << u"f.png\r\nport = 1"_s << QStringList{u"Films"_s, u"line break"_s};
}

void TstWriter::unencodableText()
{
    QFETCH(int, encoding);
    QFETCH(int, where);
    QFETCH(QString, text);
    QFETCH(QStringList, named);
    ConfigContent c;
    c.encoding = Encoding(encoding);
    valueOf(c, u"port") = u"6969"_s;
    Category cat{u"Films"_s, u"f.png"_s};
    switch (where) {
    case 0: valueOf(c, u"vesk_realm") = text; break;
    case 1: cat.name = text; break;
    case 2: cat.image = text; break;
    case 3: c.misc = text; break;
    }
    c.categories.push_back(cat);
    const Result<QByteArray> r = composeConfig(c);
    QVERIFY(!r);
    for (const QString &n : named)
        QVERIFY2(r.reason().contains(n), qPrintable(r.reason()));
}

// Line ends grow by a CR each when written: a file that would outgrow what
// the reader opens is refused instead of written.
void TstWriter::tooLargeToOpenAgain()
{
    ConfigContent c;
    c.misc = QString(1000, u'\n');
    QCOMPARE(composeConfig(c, 2002)->size(), 2002);
    const Result<QByteArray> r = composeConfig(c, 2001);
    QVERIFY(!r);
    QVERIFY2(r.reason().contains(u"2002 bytes"_s) && r.reason().contains(u"2001 bytes"_s),
             qPrintable(r.reason()));
}

void TstWriter::latin1FileKeepsLatin1()
{
    ConfigContent c;
    c.encoding = Encoding::Latin1;
    valueOf(c, u"vesk_realm") = u"café"_s;
    c.categories = {{u"Ñ"_s, u"ü"_s}};
    c.misc = u"# ÿ"_s;
    const Result<QByteArray> r = composeConfig(c);
    QVERIFY2(r, qPrintable(r.reason()));
    QCOMPARE(*r, QByteArray("vesk_realm = caf\xE9\r\nvesk_tag1 = \xD1|\xFC\r\n# \xFF\r\n"));
    c.encoding = Encoding::Utf8;
    QCOMPARE(*composeConfig(c),
             QByteArray("vesk_realm = caf\xC3\xA9\r\nvesk_tag1 = \xC3\x91|\xC3\xBC\r\n# \xC3\xBF\r\n"));
}

void TstWriter::backupPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("backup");
    QTest::newRow("default") << u"/app/vesk.cfg"_s << u"/app/veskold.cfg"_s;
    QTest::newRow("relative") << u"vesk.cfg"_s << u"veskold.cfg"_s;
    QTest::newRow("dotted folder") << u"/etc/tracker.d/vesk.cfg"_s << u"/etc/tracker.d/veskold.cfg"_s;
    QTest::newRow("dotted folder, bare name") << u"/etc/tracker.d/vesk"_s << u"/etc/tracker.d/veskold"_s;
    QTest::newRow("no extension") << u"/app/config"_s << u"/app/configold"_s;
    QTest::newRow("two dots") << u"/app/vesk.conf.cfg"_s << u"/app/vesk.confold.cfg"_s;
    QTest::newRow("hidden file") << u"/home/u/.veskrc"_s << u"/home/u/.veskrcold"_s;
    QTest::newRow("trailing dot") << u"/app/vesk."_s << u"/app/veskold."_s;
}

void TstWriter::backupPath()
{
    QFETCH(QString, path);
    QFETCH(QString, backup);
    QCOMPARE(backupPathFor(path), backup);
}

QTEST_APPLESS_MAIN(TstWriter)
#include "tst_writer.moc"
