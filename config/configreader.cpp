#include "config/configreader.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

using namespace Qt::StringLiterals;

namespace vesk
{

QString lineValue(QStringView line)
{
    const qsizetype eq = line.indexOf(u'=');
    QStringView v = eq < 0 ? line : line.sliced(eq + 1);
    if (v.startsWith(u' '))
        v = v.sliced(1);
    return v.toString();
}

namespace
{

// The reader's keys as a tree of their characters: a line is matched in one
// walk over its first characters instead of once per key (73 tries a line
// made the reader the slowest part of loading a big file).
class KeyTree
{
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

namespace
{

// Sorts lines into their places; fed the text whole or in pieces that end
// at line ends.
class Reading
{
public:
    void take(QStringView text)
    {
        const auto keys = catalogue::readerKeys();
        forEachLine(text, [&](QStringView line) {
            const int k = matchReaderKey(line);
            if (k >= 0 && keys[k].slot >= 0) {
                m_data.values[keys[k].slot] = lineValue(line);
                return;
            }
            if (k >= 0) {
                // A category line; one without "|" is no category and is
                // kept as it stands among the other lines.
                if (auto c = Category::fromValue(lineValue(line))) {
                    m_numbered.emplace_back(categoryNumber(line), std::move(*c));
                    return;
                }
            }
            if (line.isEmpty())
                return;
            m_data.misc.append(line);
            m_data.misc.append(u'\n');
        });
    }

    ConfigData finish()
    {
        // The list sorts by name and image, letter case ignored; among items
        // equal that way the numbers keep the order the file was saved in.
        // (In file order they would swap at every save: lines are written
        // sorted as text, 1, 10, 11, 2, ...)
        std::stable_sort(m_numbered.begin(), m_numbered.end(),
                         [](const auto &a, const auto &b) { return a.first < b.first; });
        m_data.categories.reserve(m_numbered.size());
        for (auto &[n, c] : m_numbered)
            m_data.categories.push_back(std::move(c));
        m_numbered.clear();
        return std::move(m_data);
    }

private:
    ConfigData m_data;
    std::vector<std::pair<quint64, Category>> m_numbered;
};

} // namespace

ConfigData parseConfig(QStringView text)
{
    Reading r;
    r.take(text);
    return r.finish();
}

ConfigData parseConfigBytes(QByteArrayView bytes)
{
    // As decodeText() decodes, but a piece at a time: a big file is never
    // held whole as text besides its bytes and its misc lines.
    const DetectedEncoding found = detectEncoding(bytes);
    const bool utf8 = found.encoding == Encoding::Utf8;
    QByteArrayView rest = bytes.sliced(found.textStart);
    QStringDecoder toText(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    constexpr qsizetype kPiece = qsizetype(1024) * 1024;
    Reading r;
    QString piece;
    while (!rest.isEmpty()) {
        // Cut after a line feed, so that no line and no CR LF is split.
        qsizetype cut = rest.size();
        if (cut > kPiece) {
            const qsizetype nl = rest.first(kPiece).lastIndexOf('\n');
            const qsizetype later = nl >= 0 ? nl : rest.indexOf('\n', kPiece);
            cut = later >= 0 ? later + 1 : rest.size();
        }
        const QByteArrayView part = rest.first(cut);
        if (utf8) {
            piece.resize(toText.requiredSpace(part.size()));
            piece.truncate(toText.appendToBuffer(piece.data(), part) - piece.constData());
        } else {
            piece = QString::fromLatin1(part);
        }
        r.take(piece);
        rest = rest.sliced(cut);
    }
    ConfigData d = r.finish();
    d.encoding = found.encoding;
    d.bom = found.bom;
    return d;
}

namespace
{

// The encoding of 16 or 32 bits a text without a byte order mark is most
// likely in, from where its NUL bytes fall; empty when they fit none.
QString likelyWideEncoding(QByteArrayView bytes)
{
    const qsizetype n = std::min<qsizetype>(bytes.size() & ~qsizetype(3), 4096);
    if (n < 4)
        return {};
    std::array<qsizetype, 4> zeros{};
    for (qsizetype i = 0; i < n; ++i)
        zeros[size_t(i % 4)] += bytes[i] == 0;
    const qsizetype quarter = n / 4;
    auto mostly = [&](qsizetype count) { return count * 10 >= quarter * 9; };
    if (mostly(zeros[1]) && mostly(zeros[2]) && mostly(zeros[3]))
        return u"UTF-32LE"_s;
    if (mostly(zeros[0]) && mostly(zeros[1]) && mostly(zeros[2]))
        return u"UTF-32BE"_s;
    if (mostly(zeros[1]) && mostly(zeros[3]))
        return u"UTF-16LE"_s;
    if (mostly(zeros[0]) && mostly(zeros[2]))
        return u"UTF-16BE"_s;
    return {};
}

} // namespace

Result<void> checkEncoding(QByteArrayView bytes)
{
    const ByteOrderMark mark = byteOrderMark(bytes);
    if (mark == ByteOrderMark::Utf16 || mark == ByteOrderMark::Utf32) {
        const char *name = mark == ByteOrderMark::Utf32 ? "UTF-32" : "UTF-16";
        return Failure::of(
            Fault::Refused,
            u"the file is encoded in %1 (it begins with a %1 byte order mark); the editor reads "
            "and writes UTF-8 and Latin-1 files only, so convert it first (iconv -f %1 -t UTF-8)"_s.arg(
                QLatin1StringView(name)));
    }
    // No line of a configuration holds a NUL: such bytes are text of 16 or
    // 32 bits, or no text at all, and would be written back mangled.
    const qsizetype nul = bytes.indexOf('\0');
    if (nul < 0)
        return {};
    if (const QString wide = likelyWideEncoding(bytes); !wide.isEmpty())
        return Failure::of(
            Fault::Refused,
            u"the file looks encoded in %1 without a byte order mark (it holds NUL bytes between "
            "its characters); the editor reads and writes UTF-8 and Latin-1 files only, so "
            "convert it first (iconv -f %1 -t UTF-8)"_s.arg(wide));
    return Failure::of(
        Fault::Refused,
        u"the file holds a NUL byte (at byte %1), so it is no text file the editor can read; it may "
        "be in an encoding of 16 or 32 bits, or no configuration file at all"_s.arg(nul));
}

} // namespace vesk
