#include "config/configwriter.h"

#include <QStringEncoder>

#include <algorithm>
#include <iterator>
#include <string_view>
#include <utility>

using namespace Qt::StringLiterals;

namespace vesk
{

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

// Whether every setting and category can be written to the file.
Result<void> checkContent(const ConfigContent &content)
{
    auto unwritable = [](QString why) { return Failure::of(Fault::Unwritable, std::move(why)); };
    const Encoding enc = content.encoding;
    for (const Setting &s : catalogue::settings()) {
        const QString &v = content.values[s.slot];
        if (v.contains(u'\r') || v.contains(u'\n'))
            return unwritable(
                u"the setting \"%1\" (%2) holds a line break, which would make a line of its own in the file"_s
                    .arg(s.caption, s.key));
        if (firstUnencodable(v, enc) >= 0)
            return unwritable(
                u"the setting \"%1\" (%2) holds characters that cannot be written in the file's encoding (%3)"_s
                    .arg(s.caption, s.key, encodingName(enc)));
    }
    for (const Category &c : content.categories) {
        if (const Result<void> fits = c.check(); !fits)
            return unwritable(u"the category \"%1\" cannot be written: %2"_s.arg(c.name, fits.reason()));
        if (firstUnencodable(c.name, enc) >= 0 || firstUnencodable(c.image, enc) >= 0)
            return unwritable(
                u"the category \"%1\" holds characters that cannot be written in the file's encoding (%2)"_s
                    .arg(c.name, encodingName(enc)));
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
    if (Result<void> fits = checkContent(content); !fits)
        return fits.error();
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
        return Failure::of(
            Fault::Unwritable,
            u"the text on the Raw tab holds characters that cannot be written in the file's encoding (%1)"_s
                .arg(encodingName(enc)));
    if (bytes.size() > maxBytes)
        return Failure::of(
            Fault::Unwritable,
            u"the file would be %1 bytes long, more than the %2 bytes the editor can open again"_s
                .arg(bytes.size())
                .arg(maxBytes));
    return bytes;
}

} // namespace vesk
