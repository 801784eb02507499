#include "config/configfile.h"

#include "config/fileaccess.h"
#include "config/safesave.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <limits>
#include <new>
#include <string_view>
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

Result<ConfigFile> readConfigFile(FileAccess &files, const QString &path)
{
    try {
        // Leftovers are cleared under the lock, which a save in progress
        // holds; where that cannot be, the file is read as it stands.
        const Result<Leftovers> left = recoverLeftovers(files, path, backupPathFor(path));
        ReadResult read = files.read(path, kMaxConfigBytes);
        if (!read)
            return read.error();
        const QByteArray &bytes = read->bytes;
        if (const QString refused = refusedEncoding(bytes); !refused.isEmpty())
            return Failure{EINVAL, refused};
        ConfigFile out;
        out.stamp = DiskStamp::of(read->status, bytes);
        out.data = parseConfigBytes(bytes);
        out.torn = left.ok() && left->torn;
        return out;
    } catch (const std::bad_alloc &) {
        return Failure{ENOMEM, u"Cannot allocate memory"_s};
    }
}

Result<ConfigData> readBackupOf(FileAccess &files, const QString &path)
{
    try {
        ReadResult read = files.read(backupPathFor(path), kMaxConfigBytes);
        if (!read)
            return read.error();
        if (const QString refused = refusedEncoding(read->bytes); !refused.isEmpty())
            return Failure{EINVAL, refused};
        return parseConfigBytes(read->bytes);
    } catch (const std::bad_alloc &) {
        return Failure{ENOMEM, u"Cannot allocate memory"_s};
    }
}

namespace
{

bool lineLess(const QString &a, const QString &b)
{
    return compareIgnoringCase(a, b) < 0;
}

QString categoryLine(qsizetype number, const Category &c)
{
    const QString &key = catalogue::categoryKey();
    const QString n = QString::number(number);
    QString line;
    line.reserve(key.size() + n.size() + 3 + c.name.size() + 1 + c.image.size());
    line += key;
    line += n;
    line += u" = ";
    line += c.name;
    line += u'|';
    line += c.image;
    return line;
}

// The numbers 1 to n in the order of their decimal texts: 1, 10, 100, 11,
// ..., 2, 20, ... Category lines differ first in their numbers, and a
// shorter number is followed by a space, which sorts before any digit, so
// this is the order in which they come out sorted; no need to sort them.
std::vector<qsizetype> inTextOrder(qsizetype n)
{
    std::vector<qsizetype> out;
    out.reserve(size_t(n));
    qsizetype at = 1;
    for (qsizetype i = 0; i < n; ++i) {
        out.push_back(at);
        if (at <= n / 10) {
            at *= 10;
        } else {
            while (at % 10 == 9 || at + 1 > n)
                at /= 10;
            ++at;
        }
    }
    return out;
}

// The setting lines and the category lines, in the order they are written:
// one ascending order, letter case ignored.
std::vector<QString> sortedLines(const ConfigContent &content)
{
    std::vector<QString> settings;
    for (const Setting &s : catalogue::settings()) {
        const QString &v = content.values[s.slot];
        if (!v.isEmpty())
            settings.push_back(s.key + u" = "_s + v);
    }
    std::stable_sort(settings.begin(), settings.end(), lineLess);
    std::vector<QString> categories;
    categories.reserve(content.categories.size());
    for (qsizetype number : inTextOrder(qsizetype(content.categories.size())))
        categories.push_back(categoryLine(number, content.categories[size_t(number - 1)]));
    std::vector<QString> lines;
    lines.reserve(settings.size() + categories.size());
    std::merge(std::make_move_iterator(settings.begin()), std::make_move_iterator(settings.end()),
               std::make_move_iterator(categories.begin()), std::make_move_iterator(categories.end()),
               std::back_inserter(lines), lineLess);
    return lines;
}

// Hands the file's text to put() piece by piece: the sorted lines, then the
// misc text; every line ends in CR LF.
template <typename Put> void writePieces(const std::vector<QString> &lines, const QString &misc, Put &&put)
{
    for (const QString &l : lines) {
        put(QStringView(l), false);
        put(u"\r\n", false);
    }
    if (misc.isEmpty())
        return;
    // The misc text is written as it stands; only its line breaks take the
    // file's CR LF form, which put(piece, true) gives every LF in the piece.
    // The pieces are large, cut after a line break, so that a file of a
    // million short lines does not cost a million calls.
    constexpr qsizetype kBlock = qsizetype(64) * 1024;
    const QStringView m(misc);
    qsizetype start = 0;
    while (m.size() - start > kBlock) {
        qsizetype cut = m.lastIndexOf(u'\n', start + kBlock - 1);
        cut = cut >= start ? cut + 1 : m.indexOf(u'\n', start + kBlock);
        if (cut < 0)
            break;
        put(m.sliced(start, cut - start), true);
        start = cut;
    }
    put(m.sliced(start), true);
    put(u"\r\n", false);
}

// About the length of what writePieces() hands out, for reserving room: the
// misc text is not searched for its line breaks, one in 16 characters is
// counted on.
qsizetype composedSizeGuess(const std::vector<QString> &lines, const QString &misc)
{
    qsizetype total = misc.size() + misc.size() / 16 + 2;
    for (const QString &l : lines)
        total += l.size() + 2;
    return total;
}

// Appends a piece of the file's text, as characters or encoded, with CR
// before every LF when lfToCrLf (the misc text's line breaks take the
// file's form).
template <typename Buffer, typename Char>
void appendPiece(Buffer &out, std::basic_string_view<Char> piece, bool lfToCrLf)
{
    const qsizetype at = out.size();
    const qsizetype breaks = lfToCrLf ? std::count(piece.begin(), piece.end(), Char('\n')) : 0;
    const qsizetype room = qsizetype(piece.size()) + breaks;
    if (at + room > out.capacity())
        out.reserve(std::max(at + room, 2 * out.capacity()));
    out.resize(at + room);
    Char *to = reinterpret_cast<Char *>(out.data()) + at;
    for (size_t nl; lfToCrLf && (nl = piece.find(Char('\n'))) != piece.npos; piece.remove_prefix(nl + 1)) {
        to = std::copy_n(piece.data(), nl, to);
        *to++ = Char('\r');
        *to++ = Char('\n');
    }
    std::copy(piece.begin(), piece.end(), to);
}

// Encodes the file's text a piece at a time, each into the same buffer.
class PieceEncoder
{
public:
    explicit PieceEncoder(Encoding encoding) : m_encoding(encoding) {}

    // Only for text the encoding holds.
    std::string_view operator()(QStringView piece)
    {
        if (m_encoding == Encoding::Latin1) {
            m_scratch.resize(piece.size());
            char *end = m_scratch.data();
            for (QChar c : piece)
                *end++ = char(c.unicode()); // all below 256: checked
            return {m_scratch.constData(), size_t(piece.size())};
        }
        m_scratch.resize(m_toUtf8.requiredSpace(piece.size()));
        const char *end = m_toUtf8.appendToBuffer(m_scratch.data(), piece);
        return {m_scratch.constData(), size_t(end - m_scratch.constData())};
    }

private:
    Encoding m_encoding;
    QStringEncoder m_toUtf8{QStringEncoder::Utf8};
    QByteArray m_scratch;
};

// Why a setting or category cannot be written to the file, or empty.
QString contentProblem(const ConfigContent &content)
{
    const Encoding enc = content.encoding;
    for (const Setting &s : catalogue::settings()) {
        const QString &v = content.values[s.slot];
        if (v.contains(u'\r') || v.contains(u'\n'))
            return u"the setting \"%1\" (%2) holds a line break, which would make a line of its own in the file"_s
                .arg(s.caption, s.key);
        if (firstUnencodable(v, enc) >= 0)
            return u"the setting \"%1\" (%2) holds characters that cannot be written in the file's encoding (%3)"_s
                .arg(s.caption, s.key, encodingName(enc));
    }
    for (const Category &c : content.categories) {
        if (const QString problem = c.problem(); !problem.isEmpty())
            return u"the category \"%1\" cannot be written: %2"_s.arg(c.name, problem);
        if (firstUnencodable(c.name, enc) >= 0 || firstUnencodable(c.image, enc) >= 0)
            return u"the category \"%1\" holds characters that cannot be written in the file's encoding (%2)"_s
                .arg(c.name, encodingName(enc));
    }
    return {};
}

} // namespace

ConfigContent contentAfterRead(ConfigData data)
{
    ConfigContent c;
    for (size_t s = 0; s < data.values.size(); ++s)
        c.values[s] = std::move(data.values[s]).value_or(QString());
    c.categories = std::move(data.categories);
    sortCategories(c.categories);
    c.misc = std::move(data.misc);
    c.encoding = data.encoding;
    c.bom = data.bom;
    return c;
}

QString composeText(const ConfigContent &content)
{
    const std::vector<QString> lines = sortedLines(content);
    QString out;
    out.reserve(composedSizeGuess(lines, content.misc));
    writePieces(lines, content.misc, [&](QStringView piece, bool misc) {
        appendPiece(out, std::u16string_view(piece.utf16(), size_t(piece.size())), misc);
    });
    return out;
}

Result<QByteArray> composeConfig(const ConfigContent &content, qint64 maxBytes)
{
    if (QString problem = contentProblem(content); !problem.isEmpty())
        return Failure{EINVAL, std::move(problem)};
    // Encoded piece by piece: a big file's text is never held whole in
    // UTF-16 besides the bytes, and the misc text, checked piece by piece
    // too, is read from memory once.
    const Encoding enc = content.encoding;
    const std::vector<QString> lines = sortedLines(content);
    QByteArray bytes;
    bytes.reserve(composedSizeGuess(lines, content.misc) + 3); // and a mark
    // Text that begins with U+FEFF (a misc line, say) would read back as a
    // byte order mark and lose that character; a mark in front keeps it.
    if (content.bom || (enc == Encoding::Utf8 && lines.empty() && content.misc.startsWith(QChar(0xFEFF))))
        bytes.append("\xEF\xBB\xBF", 3);
    PieceEncoder encode(enc);
    bool miscFits = true;
    writePieces(lines, content.misc, [&](QStringView piece, bool misc) {
        if (!miscFits || (misc && firstUnencodable(piece, enc) >= 0)) {
            miscFits = false;
            return;
        }
        appendPiece(bytes, encode(piece), misc);
    });
    if (!miscFits)
        return Failure{
            EILSEQ,
            u"the text on the Raw tab holds characters that cannot be written in the file's encoding (%1)"_s
                .arg(encodingName(enc))};
    if (bytes.size() > maxBytes)
        return Failure{EFBIG,
                       u"the file would be %1 bytes long, more than the %2 bytes the editor can open again"_s
                           .arg(bytes.size())
                           .arg(maxBytes)};
    return bytes;
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

QString refusedEncoding(QByteArrayView bytes)
{
    const ByteOrderMark mark = byteOrderMark(bytes);
    if (mark == ByteOrderMark::Utf16 || mark == ByteOrderMark::Utf32) {
        const char *name = mark == ByteOrderMark::Utf32 ? "UTF-32" : "UTF-16";
        return u"the file is encoded in %1 (it begins with a %1 byte order mark); the editor reads and "
               u"writes "
               "UTF-8 and Latin-1 files only, so convert it first (iconv -f %1 -t UTF-8)"_s.arg(
                   QLatin1StringView(name));
    }
    // No line of a configuration holds a NUL: such bytes are text of 16 or
    // 32 bits, or no text at all, and would be written back mangled.
    const qsizetype nul = bytes.indexOf('\0');
    if (nul < 0)
        return {};
    if (const QString wide = likelyWideEncoding(bytes); !wide.isEmpty())
        return u"the file looks encoded in %1 without a byte order mark (it holds NUL bytes between its "
               "characters); the editor reads and writes UTF-8 and Latin-1 files only, so convert it first "
               "(iconv -f %1 -t UTF-8)"_s.arg(wide);
    return u"the file holds a NUL byte (at byte %1), so it is no text file the editor can read; it may be in "
           u"an "
           "encoding of 16 or 32 bits, or no configuration file at all"_s.arg(nul);
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
