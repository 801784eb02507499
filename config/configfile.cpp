#include "config/configfile.h"

#include <algorithm>
#include <limits>
#include <utility>

using namespace Qt::StringLiterals;

namespace vesk {

QString getVal(QStringView line)
{
    const qsizetype eq = line.indexOf(u'=');
    QStringView v = eq < 0 ? line : line.sliced(eq + 1);
    if (v.startsWith(u' '))
        v = v.sliced(1);
    return v.toString();
}

namespace {

// The reader's keys as a tree of their characters: a line is matched in one
// walk over its first characters instead of once per key (73 tries a line
// made the reader the slowest part of loading a big file).
class KeyTree {
public:
    KeyTree()
    {
        const auto keys = catalogue::readerKeys();
        for (int k = 0; k < int(keys.size()); ++k) {
            int at = 0;
            for (QChar c : keys[k].prefix) {
                int next = find(at, c.unicode());
                if (next < 0) {
                    next = int(m_nodes.size());
                    m_nodes[size_t(at)].next.emplace_back(c.unicode(), next);
                    m_nodes.emplace_back();
                }
                at = next;
            }
            if (m_nodes[size_t(at)].key < 0)
                m_nodes[size_t(at)].key = k;
        }
    }

    // Among the keys the line begins with, the first in the list, or -1.
    int match(QStringView line) const
    {
        int best = -1;
        int at = 0;
        for (QChar c : line) {
            at = find(at, c.unicode());
            if (at < 0)
                break;
            const int k = m_nodes[size_t(at)].key;
            if (k >= 0 && (best < 0 || k < best))
                best = k;
        }
        return best;
    }

private:
    struct Node {
        std::vector<std::pair<char16_t, int>> next;
        int key = -1; // the first key that ends here
    };

    int find(int at, char16_t c) const
    {
        for (const auto &[ch, node] : m_nodes[size_t(at)].next)
            if (ch == c)
                return node;
        return -1;
    }

    std::vector<Node> m_nodes = std::vector<Node>(1);
};

// Index into readerKeys() of the key a line begins with, or -1.
int matchReaderKey(QStringView line)
{
    static const KeyTree tree;
    return tree.match(line);
}

// The number a category line carries after its key ("vesk_tag12 = ..."
// gives 12); 0 when there is none, the largest value when too long.
quint64 categoryNumber(QStringView line)
{
    quint64 n = 0;
    for (qsizetype i = catalogue::categoryKey().size(); i < line.size(); ++i) {
        const char16_t c = line[i].unicode();
        if (c < u'0' || c > u'9')
            break;
        const quint64 digit = c - u'0';
        n = n > (std::numeric_limits<quint64>::max() - digit) / 10 ? std::numeric_limits<quint64>::max()
                                                                    : n * 10 + digit;
    }
    return n;
}

} // namespace

ConfigData parseConfig(QStringView text)
{
    ConfigData d;
    std::vector<std::pair<quint64, Category>> numbered;
    const auto keys = catalogue::readerKeys();
    forEachLine(text, [&](QStringView line) {
        const int k = matchReaderKey(line);
        if (k >= 0 && keys[k].slot >= 0) {
            d.values[keys[k].slot] = getVal(line);
            return;
        }
        if (k >= 0) {
            // A category line; one without "|" is no category and is kept as
            // it stands among the other lines.
            if (auto c = Category::fromValue(getVal(line))) {
                numbered.emplace_back(categoryNumber(line), std::move(*c));
                return;
            }
        }
        if (line.isEmpty())
            return;
        d.misc.append(line);
        d.misc.append(u'\n');
    });
    // The list sorts by name and image, letter case ignored; among items
    // equal that way the numbers keep the order the file was saved in. (In
    // file order they would swap at every save: lines are written sorted as
    // text, 1, 10, 11, 2, ...)
    std::stable_sort(numbered.begin(), numbered.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    d.categories.reserve(numbered.size());
    for (auto &[n, c] : numbered)
        d.categories.push_back(std::move(c));
    return d;
}

ConfigData parseConfigBytes(QByteArrayView bytes)
{
    DecodedText t = decodeText(bytes);
    ConfigData d = parseConfig(t.text);
    d.encoding = t.encoding;
    d.bom = t.bom;
    return d;
}

namespace {

bool lineLess(const QString &a, const QString &b)
{
    return compareIgnoringCase(a, b) < 0;
}

QString categoryLine(qsizetype index, const Category &c)
{
    return catalogue::categoryKey() + QString::number(index + 1) + u" = "_s + c.value();
}

} // namespace

QString composeText(const ConfigContent &content)
{
    std::vector<QString> lines;
    lines.reserve(catalogue::kSettingCount + content.categories.size());
    for (const Setting &s : catalogue::settings()) {
        const QString &v = content.values[s.slot];
        if (!v.isEmpty())
            lines.push_back(s.key + u" = "_s + v);
    }
    for (qsizetype i = 0; i < qsizetype(content.categories.size()); ++i)
        lines.push_back(categoryLine(i, content.categories[i]));
    std::stable_sort(lines.begin(), lines.end(), lineLess);

    qsizetype total = content.misc.size() + 2;
    for (const QString &l : lines)
        total += l.size() + 2;
    QString out;
    out.reserve(total);
    for (const QString &l : lines) {
        out += l;
        out += u"\r\n";
    }
    if (!content.misc.isEmpty()) {
        // The misc text is written as it stands; only its line breaks take
        // the file's CR LF form.
        const QString &m = content.misc;
        qsizetype start = 0;
        for (qsizetype nl = m.indexOf(u'\n'); nl >= 0; nl = m.indexOf(u'\n', start)) {
            out += QStringView(m).sliced(start, nl - start);
            out += u"\r\n";
            start = nl + 1;
        }
        out += QStringView(m).sliced(start);
        out += u"\r\n";
    }
    return out;
}

ComposeResult composeConfig(const ConfigContent &content)
{
    ComposeResult r;
    const Encoding enc = content.encoding;
    const QString encName = encodingName(enc);
    for (const Setting &s : catalogue::settings()) {
        if (firstUnencodable(content.values[s.slot], enc) >= 0) {
            r.problem = u"the setting \"%1\" (%2) holds characters that cannot be written in the file's encoding (%3)"_s
                            .arg(s.caption, s.key, encName);
            return r;
        }
    }
    for (const Category &c : content.categories) {
        if (firstUnencodable(c.name, enc) >= 0 || firstUnencodable(c.image, enc) >= 0) {
            r.problem = u"the category \"%1\" holds characters that cannot be written in the file's encoding (%2)"_s
                            .arg(c.name, encName);
            return r;
        }
    }
    if (firstUnencodable(content.misc, enc) >= 0) {
        r.problem = u"the text on the Raw tab holds characters that cannot be written in the file's encoding (%1)"_s
                        .arg(encName);
        return r;
    }
    const QString text = composeText(content);
    QByteArray bytes;
    // Text that begins with U+FEFF (a misc line, say) would read back as a
    // byte order mark and lose that character; a mark in front keeps it.
    if (content.bom || (enc == Encoding::Utf8 && text.startsWith(QChar(0xFEFF))))
        bytes = "\xEF\xBB\xBF";
    bytes += encodeText(text, enc);
    r.bytes = std::move(bytes);
    return r;
}

QString backupPathFor(const QString &configPath)
{
    const qsizetype slash = configPath.lastIndexOf(u'/');
    const qsizetype dot = configPath.lastIndexOf(u'.');
    if (dot > slash + 1)
        return configPath.first(dot) + u"old"_s + configPath.sliced(dot);
    return configPath + u"old"_s;
}

} // namespace vesk
