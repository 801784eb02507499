// Reading a configuration file: line ends, the value of a line, which line
// goes where, and how the file's bytes become text.

#include "config/configwriter.h"
#include "config/textcodec.h"

#include <QRandomGenerator>
#include <QTest>

using namespace vesk;
using namespace Qt::StringLiterals;

namespace
{

QStringList linesOf(const QString &text)
{
    QStringList out;
    forEachLine(text, [&](QStringView l) { out.append(l.toString()); });
    return out;
}

// A setting's entry in what was read or is to be written, by its key.
decltype(auto) valueOf(auto &&config, QStringView key)
{
    return (config.values[size_t(catalogue::slotOf(key))]);
}

int filledSlots(const ConfigData &d)
{
    int n = 0;
    for (const auto &v : d.values)
        n += v.has_value();
    return n;
}

} // namespace

class TstReader : public QObject
{
    Q_OBJECT
private slots:
    void lineEnds_data();
    void lineEnds();
    void lineValue_data();
    void lineValue();
    void settingLines_data();
    void settingLines();
    void miscLines_data();
    void miscLines();
    void categoryLines_data();
    void categoryLines();
    void tagWithoutBarIsMiscAndReadingGoesOn();
    void lastLineWins();
    void everyLineEndingReadsTheSame();
    void miscKeepsOrderAndDropsEmptyLines();
    void veryLongLines();

    void utf8Detection_data();
    void utf8Detection();
    void validUtf8StaysUtf8();
    void latin1KeepsEveryByte();
    void randomBytesDecodeAndEncodeBack();
    void byteOrderMark();
    void byteOrderMarkBeforeLatin1KeepsItsBytes();
    void nulBytes();
};

void TstReader::lineEnds_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("empty") << QString() << QStringList();
    QTest::newRow("CRLF") << u"a\r\nb\r\n"_s << QStringList{u"a"_s, u"b"_s};
    QTest::newRow("CR") << u"a\rb\r"_s << QStringList{u"a"_s, u"b"_s};
    QTest::newRow("LF") << u"a\nb\n"_s << QStringList{u"a"_s, u"b"_s};
    QTest::newRow("no ending") << u"a\r\nb"_s << QStringList{u"a"_s, u"b"_s};
    QTest::newRow("single line") << u"abc"_s << QStringList{u"abc"_s};
    QTest::newRow("only CRLF") << u"\r\n"_s << QStringList{QString()};
    QTest::newRow("mixed") << u"a\rb\nc\r\nd"_s << QStringList{u"a"_s, u"b"_s, u"c"_s, u"d"_s};
    QTest::newRow("CR CRLF") << u"a\r\r\nb"_s << QStringList{u"a"_s, QString(), u"b"_s};
    QTest::newRow("LF CR") << u"a\n\rb"_s << QStringList{u"a"_s, QString(), u"b"_s};
    QTest::newRow("CRLF CRLF") << u"a\r\n\r\nb"_s << QStringList{u"a"_s, QString(), u"b"_s};
    QTest::newRow("LF LF") << u"\n\n"_s << QStringList{QString(), QString()};
    QTest::newRow("spaces kept") << u"  \r\n\t"_s << QStringList{u"  "_s, u"\t"_s};
}

void TstReader::lineEnds()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QCOMPARE(linesOf(text), lines);
}

void TstReader::lineValue_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("value");
    QTest::newRow("spaced") << u"port = 6969"_s << u"6969"_s;
    QTest::newRow("tight") << u"port=6969"_s << u"6969"_s;
    QTest::newRow("two spaces") << u"k =  25"_s << u" 25"_s;
    QTest::newRow("trailing") << u"k = 25   "_s << u"25   "_s;
    QTest::newRow("tab") << u"k =\t25"_s << u"\t25"_s;
    QTest::newRow("second =") << u"k = a=b"_s << u"a=b"_s;
    QTest::newRow("==") << u"k == x"_s << u"= x"_s;
    QTest::newRow("empty") << u"k ="_s << QString();
    QTest::newRow("one space") << u"k = "_s << QString();
    QTest::newRow("no =") << u"vesk_debug"_s << u"vesk_debug"_s;
    QTest::newRow("no =, leading space") << u" abc"_s << u"abc"_s;
    QTest::newRow("only =") << u"="_s << QString();
    QTest::newRow("nothing") << QString() << QString();
}

void TstReader::lineValue()
{
    QFETCH(QString, line);
    QFETCH(QString, value);
    QCOMPARE(vesk::lineValue(line), value);
}

void TstReader::settingLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("plain") << u"vesk_allow_search = 1"_s << u"vesk_allow_search"_s << u"1"_s;
    QTest::newRow("no blanks") << u"vesk_allow_search=1"_s << u"vesk_allow_search"_s << u"1"_s;
    QTest::newRow("two spaces") << u"vesk_per_page =  25"_s << u"vesk_per_page"_s << u" 25"_s;
    QTest::newRow("trailing spaces") << u"vesk_per_page = 25   "_s << u"vesk_per_page"_s << u"25   "_s;
    QTest::newRow("key alone") << u"vesk_debug"_s << u"vesk_debug"_s << u"vesk_debug"_s;
    QTest::newRow("a=b") << u"vesk_realm = a=b"_s << u"vesk_realm"_s << u"a=b"_s;
    QTest::newRow("==") << u"vesk_realm == x"_s << u"vesk_realm"_s << u"= x"_s;
    QTest::newRow("=") << u"vesk_realm ="_s << u"vesk_realm"_s << QString();
    QTest::newRow("= ") << u"vesk_realm = "_s << u"vesk_realm"_s << QString();
    QTest::newRow("portal") << u"portal = 5"_s << u"port"_s << u"5"_s;
    QTest::newRow("comments") << u"vesk_allow_comments = 1"_s << u"vesk_allow_comments"_s << u"1"_s;
    QTest::newRow("comment") << u"vesk_allow_comment = 1"_s << u"vesk_allow_comments"_s << u"1"_s;
    QTest::newRow("tag file") << u"vesk_tag_file = tags.dat"_s << u"vesk_tag_file"_s << u"tags.dat"_s;
    QTest::newRow("tag files") << u"vesk_tag_files = t"_s << u"vesk_tag_file"_s << u"t"_s;
    QTest::newRow("file comments") << u"vesk_show_file_comments = 1"_s << u"vesk_show_file_comment"_s
                                   << u"1"_s;
    QTest::newRow("save_dfile") << u"save_dfile_interval = 300"_s << u"save_dfile_interval"_s << u"300"_s;
    QTest::newRow("dfile prefix") << u"dfile.dat"_s << u"dfile"_s << u"dfile.dat"_s;
    QTest::newRow("after the empty slot")
        << u"allowed_dir = /torrents"_s << u"allowed_dir"_s << u"/torrents"_s;
    QTest::newRow("bar in value") << u"vesk_realm = a|b"_s << u"vesk_realm"_s << u"a|b"_s;
    QTest::newRow("non-ASCII") << u"vesk_realm = Zürich €"_s << u"vesk_realm"_s << u"Zürich €"_s;
}

void TstReader::settingLines()
{
    QFETCH(QString, line);
    QFETCH(QString, key);
    QFETCH(QString, value);
    const ConfigData d = parseConfig(QString(line + u"\r\n"_s));
    QCOMPARE(valueOf(d, key), std::optional<QString>(value));
    QCOMPARE(filledSlots(d), 1);
    QVERIFY(d.categories.empty());
    QCOMPARE(d.misc, QString());
}

void TstReader::miscLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::newRow("leading spaces") << u"  vesk_debug = 1"_s;
    QTest::newRow("leading tab") << u"\tport = 1"_s;
    QTest::newRow("upper case") << u"VESK_DEBUG = 1"_s;
    QTest::newRow("capital") << u"Port = 1"_s;
    QTest::newRow("comment") << u"# vesk_debug = 1"_s;
    QTest::newRow("three spaces") << u"   "_s;
    QTest::newRow("tag without bar") << u"vesk_tag5 = Movies"_s;
    QTest::newRow("bare tag") << u"vesk_tag"_s;
    QTest::newRow("short of a key") << u"vesk_ta = a|b"_s;
    QTest::newRow("unknown key") << u"vesk_unknown = 1"_s;
    QTest::newRow("= only") << u"= 1"_s;
}

void TstReader::miscLines()
{
    QFETCH(QString, line);
    const ConfigData d = parseConfig(QString(line + u"\r\n"_s));
    QCOMPARE(d.misc, QString(line + u"\n"_s));
    QCOMPARE(filledSlots(d), 0);
    QVERIFY(d.categories.empty());
}

void TstReader::categoryLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("image");
    QTest::newRow("plain") << u"vesk_tag1 = Movies|movies.png"_s << u"Movies"_s << u"movies.png"_s;
    QTest::newRow("second bar") << u"vesk_tag2 = a|b|c"_s << u"a"_s << u"b|c"_s;
    QTest::newRow("empty name") << u"vesk_tag3 = |x.png"_s << QString() << u"x.png"_s;
    QTest::newRow("empty image") << u"vesk_tag4 = Music|"_s << u"Music"_s << QString();
    QTest::newRow("both empty") << u"vesk_tag4 = |"_s << QString() << QString();
    QTest::newRow("no number") << u"vesk_tag = A|B"_s << u"A"_s << u"B"_s;
    QTest::newRow("letters") << u"vesk_tagfoo = A|B"_s << u"A"_s << u"B"_s;
    QTest::newRow("huge number") << u"vesk_tag99999999999999999999 = A|B"_s << u"A"_s << u"B"_s;
    QTest::newRow("tight") << u"vesk_tag1=A|B"_s << u"A"_s << u"B"_s;
    QTest::newRow("leading spaces") << u"vesk_tag1 =   Lead|img"_s << u"  Lead"_s << u"img"_s;
    QTest::newRow("= in name") << u"vesk_tag1 = a=b|c"_s << u"a=b"_s << u"c"_s;
    QTest::newRow("==") << u"vesk_tag1 == a|b"_s << u"= a"_s << u"b"_s;
    QTest::newRow("tab in name") << u"vesk_tag1 = a\tb|c"_s << u"a\tb"_s << u"c"_s;
}

void TstReader::categoryLines()
{
    QFETCH(QString, line);
    QFETCH(QString, name);
    QFETCH(QString, image);
    const ConfigData d = parseConfig(line);
    QCOMPARE(int(d.categories.size()), 1);
    QCOMPARE(d.categories[0].name, name);
    QCOMPARE(d.categories[0].image, image);
    QCOMPARE(filledSlots(d), 0);
    QCOMPARE(d.misc, QString());
}

void TstReader::tagWithoutBarIsMiscAndReadingGoesOn()
{
    const ConfigData d =
        parseConfig(u"port = 1\r\nvesk_tag5 = Movies\r\ndfile = d.dat\r\nvesk_tag6 = A|a.png\r\n# end\r\n"_s);
    QCOMPARE(valueOf(d, u"port"), std::optional<QString>(u"1"_s));
    QCOMPARE(valueOf(d, u"dfile"), std::optional<QString>(u"d.dat"_s));
    QCOMPARE(int(d.categories.size()), 1);
    QCOMPARE(d.categories[0], (Category{u"A"_s, u"a.png"_s}));
    QCOMPARE(d.misc, u"vesk_tag5 = Movies\n# end\n"_s);
}

void TstReader::lastLineWins()
{
    const ConfigData d =
        parseConfig(u"port = 1\r\nvesk_allow_comments = 0\r\nport = 2\r\nvesk_allow_comment = 1\r\n"_s);
    QCOMPARE(valueOf(d, u"port"), std::optional<QString>(u"2"_s));
    QCOMPARE(valueOf(d, u"vesk_allow_comments"), std::optional<QString>(u"1"_s));
    // A later empty value still replaces the earlier one.
    const ConfigData e = parseConfig(u"vesk_realm = x\nvesk_realm =\n"_s);
    QCOMPARE(valueOf(e, u"vesk_realm"), std::optional<QString>(QString()));
}

void TstReader::everyLineEndingReadsTheSame()
{
    // A Unix file is no longer one long line.
    const QString lines[] = {u"port = 6969"_s, u"# note"_s, u"vesk_tag1 = A|a"_s, u"dfile = x"_s};
    ConfigData reference;
    bool first = true;
    for (const QString &end : {u"\r\n"_s, u"\r"_s, u"\n"_s}) {
        for (bool finalEnd : {true, false}) {
            QString text;
            for (const QString &l : lines)
                text += l + end;
            if (!finalEnd)
                text.chop(end.size());
            const ConfigData d = parseConfig(text);
            QCOMPARE(valueOf(d, u"port"), std::optional<QString>(u"6969"_s));
            QCOMPARE(valueOf(d, u"dfile"), std::optional<QString>(u"x"_s));
            QCOMPARE(d.misc, u"# note\n"_s);
            QCOMPARE(int(d.categories.size()), 1);
            if (!first)
                QCOMPARE(d.categories, reference.categories);
            reference = d;
            first = false;
        }
    }
    // All three mixed in one file.
    const ConfigData m = parseConfig(u"port = 1\rdfile = 2\nsocket_timeout = 3\r\nvesk_realm = 4"_s);
    QCOMPARE(valueOf(m, u"port"), std::optional<QString>(u"1"_s));
    QCOMPARE(valueOf(m, u"dfile"), std::optional<QString>(u"2"_s));
    QCOMPARE(valueOf(m, u"socket_timeout"), std::optional<QString>(u"3"_s));
    QCOMPARE(valueOf(m, u"vesk_realm"), std::optional<QString>(u"4"_s));
}

void TstReader::miscKeepsOrderAndDropsEmptyLines()
{
    const ConfigData d = parseConfig(u"a\r\n\r\n\nb\r\n   \r\n\r\n"_s);
    QCOMPARE(d.misc, u"a\nb\n   \n"_s);
    QVERIFY(parseConfig(QString()).misc.isEmpty());
    QVERIFY(parseConfig(u"\r\n\r\n\n\r"_s).misc.isEmpty());
}

void TstReader::veryLongLines()
{
    // No 16-bit limits: an "=" far beyond position 32767, and a long value.
    const QString farEquals = u"vesk_realm"_s + QString(40000, u'x') + u"= y"_s;
    QCOMPARE(valueOf(parseConfig(farEquals), u"vesk_realm"), std::optional<QString>(u"y"_s));
    const QString longValue(100000, u'v');
    QCOMPARE(valueOf(parseConfig(QString(u"vesk_realm = "_s + longValue)), u"vesk_realm"),
             std::optional<QString>(longValue));
    const QString longCategory = u"vesk_tag1 = "_s + QString(50000, u'n') + u"|"_s + QString(50000, u'i');
    const ConfigData c = parseConfig(longCategory);
    QCOMPARE(int(c.categories.size()), 1);
    QCOMPARE(c.categories[0].name.size(), 50000);
    QCOMPARE(c.categories[0].image.size(), 50000);
    // Many lines.
    QString many;
    for (int i = 0; i < 70000; ++i)
        many += u"# "_s + QString::number(i) + u"\n"_s;
    const ConfigData m = parseConfig(many);
    QCOMPARE(m.misc.count(u'\n'), 70000);
    QVERIFY(m.misc.endsWith(u"# 69999\n"_s));
}

void TstReader::utf8Detection_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");
    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("ASCII") << QByteArray("port = 1\r\n") << true;
    QTest::newRow("2 bytes") << QByteArray("\xC3\xA9") << true;
    QTest::newRow("3 bytes") << QByteArray("\xE2\x82\xAC") << true;
    QTest::newRow("4 bytes") << QByteArray("\xF0\x9F\x98\x80") << true;
    QTest::newRow("U+FFFF") << QByteArray("\xEF\xBF\xBF") << true;
    QTest::newRow("U+10FFFF") << QByteArray("\xF4\x8F\xBF\xBF") << true;
    QTest::newRow("Latin-1 e acute") << QByteArray("caf\xE9") << false;
    QTest::newRow("lone continuation") << QByteArray("\x80") << false;
    QTest::newRow("overlong /") << QByteArray("\xC0\xAF") << false;
    QTest::newRow("overlong 3") << QByteArray("\xE0\x80\xAF") << false;
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << false;
    QTest::newRow("beyond U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << false;
    QTest::newRow("cut at the end") << QByteArray("a\xE2\x82") << false;
    QTest::newRow("cut before ASCII") << QByteArray("\xE2\x82"
                                                    "a")
                                      << false;
    QTest::newRow("FF") << QByteArray("\xFF") << false;
    QTest::newRow("F8") << QByteArray("\xF8\x88\x80\x80\x80") << false;
}

void TstReader::utf8Detection()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    QCOMPARE(isValidUtf8(bytes), valid);
    const DecodedText t = decodeText(bytes);
    QCOMPARE(t.encoding, valid ? Encoding::Utf8 : Encoding::Latin1);
    // Whichever it is, the text encodes back to the same bytes.
    QCOMPARE(encodeText(t.text, t.encoding), bytes);
}

void TstReader::validUtf8StaysUtf8()
{
    const ConfigData d = parseConfigBytes("vesk_realm = Z\xC3\xBCrich \xE2\x82\xAC \xF0\x9F\x98\x80\r\n");
    QCOMPARE(d.encoding, Encoding::Utf8);
    QVERIFY(!d.bom);
    QCOMPARE(valueOf(d, u"vesk_realm"), std::optional<QString>(u"Zürich € 😀"_s));
}

void TstReader::latin1KeepsEveryByte()
{
    // One line holding every byte but CR and LF, after a recognised setting.
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        if (b != '\r' && b != '\n')
            all.append(char(b));
    const QByteArray file = "vesk_realm = caf\xE9\r\n#" + all + "\r\n";
    const ConfigData d = parseConfigBytes(file);
    QCOMPARE(d.encoding, Encoding::Latin1);
    QCOMPARE(valueOf(d, u"vesk_realm"), std::optional<QString>(u"café"_s));
    QCOMPARE(d.misc.size(), 1 + all.size() + 1);

    ConfigContent c;
    valueOf(c, u"vesk_realm") = *valueOf(d, u"vesk_realm");
    c.misc = d.misc;
    c.encoding = d.encoding;
    const Result<QByteArray> r = composeConfig(c);
    QVERIFY2(r, qPrintable(r.reason()));
    QCOMPARE(*r, file + "\r\n");
}

void TstReader::randomBytesDecodeAndEncodeBack()
{
    QRandomGenerator rng(20240611);
    for (int i = 0; i < 2000; ++i) {
        QByteArray bytes(int(rng.bounded(64)), Qt::Uninitialized);
        for (char &ch : bytes)
            ch = char(rng.bounded(256));
        if (i % 3 == 0)
            bytes.prepend("\xEF\xBB\xBF");
        const DecodedText t = decodeText(bytes);
        const QByteArray back =
            (t.bom ? QByteArray("\xEF\xBB\xBF") : QByteArray()) + encodeText(t.text, t.encoding);
        QCOMPARE(back, bytes);
    }
}

void TstReader::byteOrderMark()
{
    const ConfigData d = parseConfigBytes("\xEF\xBB\xBFport = 1\r\n# caf\xC3\xA9\r\n");
    QVERIFY(d.bom);
    QCOMPARE(d.encoding, Encoding::Utf8);
    // The mark is not part of the first line, so the key is recognised.
    QCOMPARE(valueOf(d, u"port"), std::optional<QString>(u"1"_s));
    QCOMPARE(d.misc, u"# café\n"_s);

    ConfigContent c;
    valueOf(c, u"port") = u"1"_s;
    c.misc = d.misc;
    c.encoding = d.encoding;
    c.bom = d.bom;
    QCOMPARE(*composeConfig(c), QByteArray("\xEF\xBB\xBFport = 1\r\n# caf\xC3\xA9\r\n\r\n"));

    const ConfigData only = parseConfigBytes("\xEF\xBB\xBF");
    QVERIFY(only.bom);
    QCOMPARE(filledSlots(only), 0);
    QVERIFY(only.misc.isEmpty());

    // A second mark belongs to the text.
    const ConfigData twice = parseConfigBytes("\xEF\xBB\xBF\xEF\xBB\xBFport = 1");
    QVERIFY(twice.bom);
    QCOMPARE(twice.misc, u"\uFEFFport = 1\n"_s);
}

void TstReader::byteOrderMarkBeforeLatin1KeepsItsBytes()
{
    const QByteArray file = "\xEF\xBB\xBF# caf\xE9\r\n";
    const ConfigData d = parseConfigBytes(file);
    QCOMPARE(d.encoding, Encoding::Latin1);
    QVERIFY(!d.bom);
    QCOMPARE(d.misc, QString(QString::fromLatin1("\xEF\xBB\xBF# caf\xE9") + u"\n"_s));
    ConfigContent c;
    c.misc = d.misc;
    c.encoding = d.encoding;
    c.bom = d.bom;
    QCOMPARE(*composeConfig(c), file + "\r\n");
}

void TstReader::nulBytes()
{
    static const char raw[] = "port = a\0b\r\n\0\r\nvesk_tag1 = \0|\0\r\n";
    const ConfigData d = parseConfigBytes(QByteArray(raw, sizeof raw - 1));
    QCOMPARE(d.encoding, Encoding::Utf8);
    QCOMPARE(valueOf(d, u"port"), std::optional<QString>(QString(u"a\0b"_s)));
    QCOMPARE(valueOf(d, u"port")->size(), 3);
    QCOMPARE(d.misc, QString(u"\0\n"_s));
    QCOMPARE(int(d.categories.size()), 1);
    QCOMPARE(d.categories[0].name, QString(QChar(0)));
    QCOMPARE(d.categories[0].image, QString(QChar(0)));
}

QTEST_APPLESS_MAIN(TstReader)
#include "tst_reader.moc"
