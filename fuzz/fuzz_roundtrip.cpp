// libFuzzer target: bytes -> read -> write -> read -> write.
//
// The window keeps what the reader found and hands it to the writer, so the
// content built here is the window's: the last value of each slot, the
// categories in the list's stable sorted order, the misc text as read, the
// file's encoding and byte order mark. Checked for every input:
//   - nothing crashes (the sanitizers watch memory and undefined behaviour);
//   - the write of the re-read file equals the first write, byte for byte.
//     One exception is by design: a file that is not valid UTF-8 is read as
//     Latin-1 and written back in Latin-1, but when every byte that made it
//     invalid sat on a line the writer drops (a replaced or empty setting),
//     the written file is valid UTF-8 and the next read sees other
//     characters. Then the second write must be final: a third equals it;
//   - every non-empty input line is found again in the first write: a
//     setting line as its key, " = " and its value, a category line by its
//     value, any other line verbatim. A setting line that a later line for
//     the same slot replaces, or one whose value is empty (an empty box
//     writes nothing), has nothing to be found.
// And the shortcuts the reader and writer take for speed do not show: the
// reader of bytes (which decodes a piece at a time) finds what the reader of
// the decoded text finds, the writer's text is the plainly sorted text, and
// its bytes are that text encoded.

#include "config/catalogue.h"
#include "config/category.h"
#include "config/configwriter.h"
#include "config/textcodec.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace vesk;
using namespace Qt::StringLiterals;

namespace
{

[[noreturn]] void fail(const char *what, const QString &detail = QString())
{
    std::fprintf(stderr, "round trip broken: %s\n", what);
    if (!detail.isEmpty())
        std::fprintf(stderr, "  %s\n", detail.toUtf8().constData());
    std::abort();
}

struct Written {
    QByteArray bytes;
    QString text; // the same, before encoding
    Encoding encoding;
};

// The writer's text built the plain way: every line, one stable sort with
// Qt's own comparison; the writer takes shortcuts that must not show.
QString plainText(const ConfigContent &c)
{
    std::vector<QString> lines;
    for (const Setting &s : catalogue::settings())
        if (!c.values[size_t(s.slot)].isEmpty())
            lines.push_back(s.key + u" = "_s + c.values[size_t(s.slot)]);
    for (size_t i = 0; i < c.categories.size(); ++i)
        lines.push_back(catalogue::categoryKey() + QString::number(i + 1) + u" = "_s
                        + c.categories[i].value());
    std::stable_sort(lines.begin(), lines.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    QString out;
    for (const QString &l : lines)
        out += l + u"\r\n"_s;
    if (!c.misc.isEmpty())
        out += QString(c.misc).replace(u"\n"_s, u"\r\n"_s) + u"\r\n"_s;
    return out;
}

// What a save writes after reading bytes.
Written writeOf(QByteArrayView bytes)
{
    const ConfigContent c = contentAfterRead(parseConfigBytes(bytes));
    const Result<QByteArray> r = composeConfig(c);
    // Text that came from a file always fits the file's own encoding.
    if (!r)
        fail("the writer refused text it had just read", r.reason());
    // The bytes are the text, encoded piece by piece, maybe after a mark.
    QString text = composeText(c);
    if (text != plainText(c))
        fail("the written text is not the plainly sorted text");
    const QByteArray plain = encodeText(text, c.encoding);
    const qsizetype mark = r->size() - plain.size();
    if (!r->endsWith(plain) || (mark != 0 && !(mark == 3 && r->startsWith("\xEF\xBB\xBF"))))
        fail("the written bytes are not the written text");
    return {*r, std::move(text), c.encoding};
}

// The reader's classification of a line: a slot, kCategory, or kMisc.
constexpr int kCategory = -1;
constexpr int kMisc = -2;

int classify(QStringView line)
{
    for (const auto &k : catalogue::readerKeys()) {
        if (!line.startsWith(k.prefix))
            continue;
        if (k.slot >= 0)
            return k.slot;
        return Category::fromValue(lineValue(line)) ? kCategory : kMisc;
    }
    return kMisc;
}

void checkEveryLineKept(QByteArrayView input, const QString &written)
{
    const QString in = decodeText(input).text;

    // What the write holds: category values and all other lines, counted.
    QHash<QString, int> lines;
    QHash<QString, int> categoryValues;
    forEachLine(written, [&](QStringView l) {
        if (classify(l) == kCategory)
            ++categoryValues[lineValue(l)];
        else
            ++lines[l.toString()];
    });

    // The line that decides each slot: the last one naming it.
    std::array<qsizetype, catalogue::kSlotCount> last;
    last.fill(-1);
    qsizetype n = 0;
    forEachLine(in, [&](QStringView l) {
        if (const int c = classify(l); c >= 0)
            last[size_t(c)] = n;
        ++n;
    });

    auto take = [](QHash<QString, int> &from, const QString &what, const char *kind) {
        auto it = from.find(what);
        if (it == from.end() || it.value() == 0)
            fail(kind, what);
        --it.value();
    };
    n = 0;
    forEachLine(in, [&](QStringView l) {
        const qsizetype at = n++;
        if (l.isEmpty())
            return;
        const int c = classify(l);
        if (c >= 0) {
            const QString v = lineValue(l);
            if (last[size_t(c)] == at && !v.isEmpty())
                take(lines, catalogue::setting(c)->key + u" = "_s + v, "a setting line went missing");
        } else if (c == kCategory) {
            take(categoryValues, lineValue(l), "a category line went missing");
        } else {
            take(lines, l.toString(), "a misc line went missing");
        }
    });
}

} // namespace

// The reader of bytes, which decodes a piece at a time, finds what the
// reader of the whole decoded text finds.
void checkReadersAgree(QByteArrayView input)
{
    const ConfigData a = parseConfigBytes(input);
    const DecodedText t = decodeText(input);
    const ConfigData b = parseConfig(t.text);
    if (a.values != b.values || a.categories != b.categories || a.misc != b.misc || a.encoding != t.encoding
        || a.bom != t.bom)
        fail("reading the bytes and reading the decoded text disagree");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char *>(data), qsizetype(size));
    checkReadersAgree(input);
    const Written first = writeOf(input);
    const Written second = writeOf(first.bytes);
    if (second.encoding == first.encoding) {
        if (first.bytes != second.bytes)
            fail("the second write differs from the first", QString::fromLatin1(first.bytes.toHex())
                                                                + u" != "_s
                                                                + QString::fromLatin1(second.bytes.toHex()));
    } else {
        if (first.encoding != Encoding::Latin1 || second.encoding != Encoding::Utf8)
            fail("a written file changed its encoding other than from Latin-1 to UTF-8");
        if (writeOf(second.bytes).bytes != second.bytes)
            fail("the third write differs from the second after a change of encoding");
    }
    checkEveryLineKept(input, first.text);
    return 0;
}
