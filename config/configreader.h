#pragma once

#include "base/result.h"
#include "config/catalogue.h"
#include "config/category.h"
#include "config/textcodec.h"

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>
#include <vector>

namespace vesk
{

// The value of a configuration line: everything after its first "=" (the
// whole line when it has none), less one leading space.
QString lineValue(QStringView line);

// Calls f(QStringView line) for every line of text. A line ends at CR LF, a
// lone CR or a lone LF; a last line without an ending is a line too.
template <typename F> void forEachLine(QStringView text, F &&f)
{
    const qsizetype n = text.size();
    const QChar *d = text.data();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = d[i].unicode();
        if (c == u'\r' || c == u'\n') {
            f(text.sliced(start, i - start));
            if (c == u'\r' && i + 1 < n && d[i + 1].unicode() == u'\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        f(text.sliced(start));
}

// What one read of a configuration file yields.
struct ConfigData {
    // Per slot: the value a line set, or nothing when no line named the slot.
    std::array<std::optional<QString>, catalogue::kSlotCount> values;
    std::vector<Category> categories; // by their line numbers, then in file order
    QString misc;                     // unrecognised lines, each followed by "\n"
    Encoding encoding = Encoding::Utf8;
    bool bom = false;
};

// Sorts every line of a decoded file into its place.
ConfigData parseConfig(QStringView text);
ConfigData parseConfigBytes(QByteArrayView bytes);

// Refuses bytes that must not be loaded: a file in an encoding of 16 or 32
// bits (with a byte order mark or without, which shows as NUL bytes) would
// be written back as 8-bit text with line ends between its code units.
Result<void> checkEncoding(QByteArrayView bytes);

} // namespace vesk
