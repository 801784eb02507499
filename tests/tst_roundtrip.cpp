// Round trip over generated files: reading and writing twice gives the same
// bytes both times, and every line of the input is found again in the output.
// Also the category order and the category list's operations.

#include "config/categorylist.h"
#include "config/configwriter.h"

#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTest>

#include <algorithm>
#include <map>
#include <set>

using namespace vesk;
using namespace Qt::StringLiterals;

namespace
{

const QByteArray kBom = "\xEF\xBB\xBF";

class Generator
{
public:
    explicit Generator(quint32 seed) : m_rng(seed) {}

    int below(int n) { return int(m_rng.bounded(n)); }
    bool chance(int percent) { return below(100) < percent; }

    // One file of random lines; latin1 picks the family of non-ASCII text.
    QByteArray file()
    {
        m_latin1 = chance(35);
        // Some files are mostly categories: many of them, equal but for
        // letter case, numbered past 9.
        m_categoryHeavy = chance(25);
        QByteArray out;
        if (chance(15))
            out += kBom;
        const int lines = below(30);
        for (int i = 0; i < lines; ++i) {
            out += line();
            if (i + 1 < lines || chance(70))
                out += ending();
        }
        return out;
    }

private:
    QByteArray ending()
    {
        switch (below(3)) {
        case 0: return "\r\n";
        case 1: return "\r";
        default: return "\n";
        }
    }

    QByteArray key()
    {
        const auto keys = catalogue::readerKeys();
        // A handful of keys often, so that lines for the same slot repeat.
        if (chance(50)) {
            static const char *const common[] = {
                "port",  "vesk_realm", "vesk_tag_file", "vesk_allow_comment", "vesk_allow_comments",
                "dfile", "allowed_dir"};
            return common[below(int(std::size(common)))];
        }
        return keys[size_t(below(int(keys.size()) - 1))].prefix.toLatin1();
    }

    QByteArray nonAscii()
    {
        if (m_latin1) {
            static const char *const l1[] = {"\xE9", "\xC9", "\xFC", "\xDC", "\xD7",
                                             "\xF7", "\xFF", "\xA0", "\xDF", "\xB5"};
            return l1[below(int(std::size(l1)))];
        }
        static const char *const u8[] = {"\xC3\xA9",    "\xC3\x89",     "\xE2\x82\xAC", "\xF0\x9F\x98\x80",
                                         "\xC3\x9F",    "\xE1\xBA\x9E", "\xEF\xBF\xBF", "\xE2\x80\xA8",
                                         "\xC2\x85",    "\xCE\xA3",     "\xCF\x82",     "\xC4\xB0",
                                         "\xEF\xBB\xBF"};
        return u8[below(int(std::size(u8)))];
    }

    // Text without CR or LF.
    QByteArray text(int maxLen)
    {
        QByteArray t;
        const int n = below(maxLen + 1);
        for (int i = 0; i < n; ++i) {
            const int r = below(100);
            if (r < 55)
                t += char('a' + below(26));
            else if (r < 65)
                t += char('A' + below(26));
            else if (r < 72)
                t += ' ';
            else if (r < 77)
                t += '=';
            else if (r < 82)
                t += '|';
            else if (r < 85)
                t += '\t';
            else if (r < 95)
                t += nonAscii();
            else
                t += char('0' + below(10));
        }
        return t;
    }

    QByteArray garbage()
    {
        QByteArray g;
        const int n = 1 + below(20);
        for (int i = 0; i < n; ++i) {
            char c = char(below(256));
            if (c == '\r' || c == '\n')
                c = '\0';
            g += c;
        }
        return g;
    }

    QByteArray separator()
    {
        switch (below(4)) {
        case 0: return " = ";
        case 1: return "=";
        case 2: return " =";
        default: return " == ";
        }
    }

    QByteArray line()
    {
        switch (m_categoryHeavy && chance(60) ? 8 : below(14)) {
        case 0: return QByteArray();
        case 1: return QByteArray(1 + below(3), ' ');
        case 2: return "# " + text(12);
        case 3: return QByteArray(1 + below(2), below(2) ? ' ' : '\t') + key() + " = " + text(5);
        case 4: return key() + char('a' + below(26)) + separator() + text(8); // 'portal = 5'
        case 5: return key();
        case 6: return key() + "=";
        case 7: {
            // A category line, sometimes without a "|".
            QByteArray v = text(6);
            const int bars = below(4);
            for (int b = 0; b < bars; ++b)
                v += '|' + text(5);
            const QByteArray number = chance(80) ? QByteArray::number(1 + below(15)) : text(2);
            return "vesk_tag" + number + separator() + v;
        }
        case 8: {
            // Categories from a small alphabet, so that equal names, names
            // differing only in letter case, and many categories turn up.
            static const char *const names[] = {"a", "A", "b", "B", "ab", "aB", "", " a"};
            static const char *const images[] = {"x", "X", "", "x|y", "1"};
            return "vesk_tag" + QByteArray::number(below(20)) + " = " + names[below(int(std::size(names)))]
                   + '|' + images[below(int(std::size(images)))];
        }
        case 9: return garbage();
        case 10: return key().toUpper() + " = 1";
        default: return key() + separator() + text(10);
        }
    }

    QRandomGenerator m_rng;
    bool m_latin1 = false;
    bool m_categoryHeavy = false;
};

QByteArray loadAndSave(const QByteArray &bytes)
{
    const Result<QByteArray> r = composeConfig(contentAfterRead(parseConfigBytes(bytes)));
    return r ? *r : QByteArray("compose failed: ") + r.reason().toUtf8();
}

// UTF-8 decoding that keeps a leading byte order mark as a character and
// tells whether the bytes were valid.
QString fromUtf8(QByteArrayView bytes, bool *valid)
{
    QStringDecoder dec(QStringConverter::Utf8,
                       QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
    QString s = dec.decode(bytes);
    *valid = !dec.hasError();
    return s;
}

// The file's text, decoded here independently of the reader.
QString decoded(QByteArray bytes)
{
    bool valid = false;
    QString s = fromUtf8(bytes, &valid);
    if (!valid)
        return QString::fromLatin1(bytes);
    if (s.startsWith(QChar(0xFEFF)))
        s.remove(0, 1);
    return s;
}

// The input's lines, split here independently of the reader.
QStringList inputLines(const QByteArray &input)
{
    const QString text = decoded(input);
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == u'\r' || text[i] == u'\n') {
            lines << text.sliced(start, i - start);
            if (i < text.size() && text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            start = i + 1;
        }
    }
    return lines;
}

// Checks that every non-empty input line turns up in the output; returns
// what is missing.
QString unaccounted(const QByteArray &input, const QByteArray &output)
{
    const QString outText = decoded(output);
    const QStringList outLines = outText.split(u"\r\n"_s);
    if (!outText.isEmpty() && !outText.endsWith(u"\r\n"_s))
        return u"the file does not end with CR LF"_s;
    std::multimap<QString, int> pool; // output lines still unclaimed
    for (const QString &l : outLines)
        pool.emplace(l, 0);
    auto claim = [&](const QString &l) {
        auto it = pool.find(l);
        if (it == pool.end())
            return false;
        pool.erase(it);
        return true;
    };

    const QStringList lines = inputLines(input);
    const auto keys = catalogue::readerKeys();
    // The last line for each slot is the one that counts.
    std::map<int, qsizetype> lastForSlot;
    std::vector<int> slotOf(size_t(lines.size()), -2);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        for (const auto &k : keys) {
            if (lines[i].startsWith(k.prefix)) {
                slotOf[size_t(i)] = k.slot;
                if (k.slot >= 0)
                    lastForSlot[k.slot] = i;
                break;
            }
        }
    }
    // The written category lines: numbered 1 to n, each once.
    auto isCategoryLine = [](const QString &l) {
        return l.startsWith(u"vesk_tag"_s) && !l.startsWith(u"vesk_tag_file"_s)
               && lineValue(l).contains(u'|');
    };
    QStringList categoryValues;
    std::set<int> numbers;
    for (const QString &l : outLines) {
        if (!isCategoryLine(l))
            continue;
        const qsizetype sep = l.indexOf(u" = "_s);
        bool isNumber = false;
        const int n = l.sliced(8, sep - 8).toInt(&isNumber);
        if (!isNumber || !numbers.insert(n).second)
            return u"badly numbered category line: "_s + l;
        categoryValues << l.sliced(sep + 3);
    }
    if (!numbers.empty() && (*numbers.begin() != 1 || *numbers.rbegin() != int(numbers.size())))
        return u"category numbers have gaps"_s;

    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &l = lines[i];
        if (l.isEmpty())
            continue;
        const int slot = slotOf[size_t(i)];
        if (slot >= 0) {
            if (lastForSlot[slot] != i)
                continue; // superseded by a later line
            const QString v = lineValue(l);
            if (v.isEmpty())
                continue; // an empty box writes nothing
            if (!claim(catalogue::setting(slot)->key + u" = "_s + v))
                return u"setting line: "_s + l;
        } else if (slot == -1 && lineValue(l).contains(u'|')) {
            const qsizetype at = categoryValues.indexOf(lineValue(l));
            if (at < 0)
                return u"category line: "_s + l;
            categoryValues.removeAt(at);
        } else if (!claim(l)) {
            return u"misc line: "_s + l;
        }
    }
    if (!categoryValues.isEmpty())
        return u"extra category lines: "_s + categoryValues.join(u", "_s);
    // Nothing else was written: the only blank line is the one that ends
    // the misc block.
    const qsizetype blank = outText.indexOf(u"\r\n\r\n"_s);
    if (blank >= 0 && blank != outText.size() - 4)
        return u"blank line inside the file"_s;
    for (const auto &[l, unused] : pool) {
        if (!l.isEmpty() && !isCategoryLine(l))
            return u"extra line: "_s + l;
    }
    return QString();
}

QString printable(const QByteArray &b)
{
    return QString::fromLatin1(b.toPercentEncoding(" =|#_"));
}

} // namespace

class TstRoundTrip : public QObject
{
    Q_OBJECT
private slots:
    void generatedFiles();
    void knownAwkwardFiles_data();
    void knownAwkwardFiles();
    void categoryOrderIsCaseInsensitiveItemOrder();
    void categoryListKeepsOrder();
};

void TstRoundTrip::generatedFiles()
{
    Generator gen(0x5EED);
    for (int i = 0; i < 4000; ++i) {
        const QByteArray input = gen.file();
        const QByteArray once = loadAndSave(input);
        const QByteArray twice = loadAndSave(once);
        if (once != twice)
            QFAIL(qPrintable(
                u"case %1 changes on the second save\ninput: %2\nonce:  %3\ntwice: %4"_s.arg(i).arg(
                    printable(input), printable(once), printable(twice))));
        const QString missing = unaccounted(input, once);
        if (!missing.isEmpty())
            QFAIL(qPrintable(u"case %1 lost a line (%2)\ninput: %3\nonce:  %4"_s.arg(i).arg(
                missing, printable(input), printable(once))));
    }
}

void TstRoundTrip::knownAwkwardFiles_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("BOM only") << kBom;
    QTest::newRow("Unix file") << QByteArray("port = 1\nvesk_tag1 = A|a\n# c\n");
    QTest::newRow("old Mac file") << QByteArray("port = 1\rvesk_tag1 = A|a\r# c\r");
    QTest::newRow("tag without bar") << QByteArray("vesk_tag5 = Movies\r\nport = 1\r\n");
    QTest::newRow("Latin-1 with BOM") << QByteArray("\xEF\xBB\xBFport = caf\xE9\r\n");
    QTest::newRow("BOM and UTF-8") << QByteArray("\xEF\xBB\xBFport = caf\xC3\xA9\r\n# \xE2\x82\xAC\r\n");
    QTest::newRow("twelve categories") << QByteArray(
        "vesk_tag1 = l|1\r\nvesk_tag2 = k|1\r\nvesk_tag3 = j|1\r\nvesk_tag4 = i|1\r\nvesk_tag5 = h|1\r\n"
        "vesk_tag6 = g|1\r\nvesk_tag7 = f|1\r\nvesk_tag8 = e|1\r\nvesk_tag9 = d|1\r\nvesk_tag10 = c|1\r\n"
        "vesk_tag11 = b|1\r\nvesk_tag12 = a|1\r\n");
    // Names equal but for letter case, with enough of them that the written
    // numbers (1, 10, 11, 2 ...) do not follow the list order.
    QByteArray cases;
    for (int i = 0; i < 12; ++i)
        cases += "vesk_tag" + QByteArray::number(i) + " = " + (i % 2 ? "a" : "A") + "|"
                 + QByteArray::number(i % 3) + "\r\n";
    QTest::newRow("names differing in case") << cases;
}

void TstRoundTrip::knownAwkwardFiles()
{
    QFETCH(QByteArray, input);
    const QByteArray once = loadAndSave(input);
    QCOMPARE(loadAndSave(once), once);
    QCOMPARE(unaccounted(input, once), QString());
}

void TstRoundTrip::categoryOrderIsCaseInsensitiveItemOrder()
{
    // Letter case is ignored; a TAB after a shorter name sorts like the
    // character it is.
    QRandomGenerator rng(77);
    static const char16_t pool[] = {u'a',    u'A',    u'b',      u'B',      u'z',      u'_',     u' ', u'\t',
                                    u'\x01', u'\x08', u'\x0B',   u'\x1F',   u'|',      u'0',     u'9', u'~',
                                    u'\x7F', u'é',    u'É',      u'ß',      u'ẞ',      u'Σ',     u'σ', u'ς',
                                    u'İ',    u'ı',    u'\xD801', u'\xDC00', u'\xDC28', u'\xFFFF'};
    auto str = [&] {
        QString s;
        const int n = int(rng.bounded(5));
        for (int i = 0; i < n; ++i)
            s += QChar(pool[rng.bounded(int(std::size(pool)))]);
        return s;
    };
    auto escaped = [](const QString &s) {
        QString out;
        for (QChar c : s)
            out += c.unicode() >= 0x20 && c.unicode() < 0x7F
                       ? QString(c)
                       : u"\\u%1"_s.arg(c.unicode(), 4, 16, QLatin1Char('0'));
        return out;
    };
    for (int i = 0; i < 200000; ++i) {
        const Category a{str(), str()};
        Category b;
        switch (rng.bounded(4)) {
        case 0: b = {a.name + str(), str()}; break;               // a name that extends the other
        case 1: b = {a.name.toUpper(), a.image.toLower()}; break; // equal but for case
        default: b = {str(), str()}; break;
        }
        const int ref = QString::compare(a.itemText(), b.itemText(), Qt::CaseInsensitive);
        if (categoryLess(a, b) != (ref < 0) || categoryLess(b, a) != (ref > 0))
            QFAIL(qPrintable(u"'%1' | '%2' vs '%3' | '%4'"_s.arg(escaped(a.name), escaped(a.image),
                                                                 escaped(b.name), escaped(b.image))));
    }
    // Sorting many at once agrees with the comparison and keeps ties in
    // order, also where names share a start longer than the sort's keys.
    const QString starts[] = {QString(), u"Category "_s, u"CATEGORY 12"_s, u"abcdefghijklmnO"_s,
                              u"abcdefghijklmnop"_s};
    for (int round = 0; round < 4000; ++round) {
        const QString &start = starts[round % std::size(starts)];
        std::vector<Category> items;
        for (int i = 0; i < 30; ++i)
            items.push_back({start.left(int(rng.bounded(int(start.size()) + 1))) + str(), str()});
        std::vector<Category> expected = items;
        std::stable_sort(expected.begin(), expected.end(), categoryLess);
        sortCategories(items);
        QCOMPARE(items, expected);
    }
}

void TstRoundTrip::categoryListKeepsOrder()
{
    CategoryList list;
    QCOMPARE(list.add({u"Gamma"_s, u"g"_s}), 0);
    QCOMPARE(list.add({u"Alpha"_s, u"a"_s}), 0);
    QCOMPARE(list.add({u"beta"_s, u"b"_s}), 1); // between Alpha and Gamma
    // An item equal to one already there, letter case ignored, goes after it.
    QCOMPARE(list.add({u"ALPHA"_s, u"A"_s}), 1);
    QCOMPARE(list.add({u"alpha"_s, u"a"_s}), 2);
    const std::vector<Category> afterAdd = {{u"Alpha"_s, u"a"_s},
                                            {u"ALPHA"_s, u"A"_s},
                                            {u"alpha"_s, u"a"_s},
                                            {u"beta"_s, u"b"_s},
                                            {u"Gamma"_s, u"g"_s}};
    QCOMPARE(list.items(), afterAdd);

    // Replacing keeps the index and does not sort.
    list.replace(0, {u"zzz"_s, u"z"_s});
    QCOMPARE(list.at(0), (Category{u"zzz"_s, u"z"_s}));
    QCOMPARE(list.at(1), (Category{u"ALPHA"_s, u"A"_s}));
    QCOMPARE(list.count(), 5);
    list.remove(0);

    // Many at once: sorted among themselves, after equal items already
    // there, and in their own order among each other.
    list.addMany({{u"AlPhA"_s, u"a"_s}, {u"Delta"_s, u"d"_s}, {u"alphA"_s, u"a"_s}, {u"a"_s, u"z"_s}});
    const std::vector<Category> afterMany = {{u"a"_s, u"z"_s},     {u"ALPHA"_s, u"A"_s}, {u"alpha"_s, u"a"_s},
                                             {u"AlPhA"_s, u"a"_s}, {u"alphA"_s, u"a"_s}, {u"beta"_s, u"b"_s},
                                             {u"Delta"_s, u"d"_s}, {u"Gamma"_s, u"g"_s}};
    QCOMPARE(list.items(), afterMany);

    // addMany gives what adding one by one gives.
    QRandomGenerator rng(5);
    for (int round = 0; round < 200; ++round) {
        CategoryList one, many;
        std::vector<Category> start, batch;
        auto pick = [&] {
            static const char *const n[] = {"a", "A", "b", "ab", "AB", "", "B "};
            return Category{QString::fromLatin1(n[rng.bounded(7)]), QString::number(rng.bounded(3))};
        };
        for (int k = int(rng.bounded(6)); k > 0; --k)
            start.push_back(pick());
        for (int k = int(rng.bounded(8)); k > 0; --k)
            batch.push_back(pick());
        for (const Category &c : start) {
            one.add(c);
            many.add(c);
        }
        for (const Category &c : batch)
            one.add(c);
        many.addMany(batch);
        QCOMPARE(many.items(), one.items());
    }
}

QTEST_GUILESS_MAIN(TstRoundTrip)
#include "tst_roundtrip.moc"
