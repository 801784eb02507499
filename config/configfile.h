#pragma once

#include "config/catalogue.h"
#include "config/category.h"
#include "config/diskstamp.h"
#include "config/result.h"
#include "config/textcodec.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>
#include <vector>

namespace vesk
{

// The largest configuration file the editor opens. Real files are a few
// kilobytes; the limit keeps a wrong path (a disk image, say) from eating
// the machine.
inline constexpr qint64 kMaxConfigBytes = qint64(64) * 1024 * 1024;

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

class FileAccess;

// A configuration file read from disk: what it holds and its stamp.
struct ConfigFile {
    ConfigData data;
    DiskStamp stamp;
    // A rewrite of the file in place was cut short: it may be incomplete,
    // and its backup holds the version before that save.
    bool torn = false;
};
// Clears what an earlier save cut short left first. Fails when the file is
// missing, not a regular file, too large, in an encoding the editor does not
// write, or memory ran out.
Result<ConfigFile> readConfigFile(FileAccess &files, const QString &path);
// What the backup of the configuration file at path holds.
Result<ConfigData> readBackupOf(FileAccess &files, const QString &path);

// What the writer needs from the window.
struct ConfigContent {
    std::array<QString, catalogue::kSlotCount> values; // empty = absent
    std::vector<Category> categories;                  // in list order
    QString misc;                                      // lines separated by "\n"
    Encoding encoding = Encoding::Utf8;
    bool bom = false;
};

// What a window that was empty holds after reading data: every value, the
// categories in list order (sorted, equal ones in file order), the misc text.
ConfigContent contentAfterRead(ConfigData data);

// The setting lines, " = ", and numbered category lines in one ascending
// order, letter case ignored; then the misc text; every line ends in CR LF.
QString composeText(const ConfigContent &content);
// The same, encoded. Fails, naming the culprit, when something cannot be
// written in the file's encoding, a value or category holds a line break (it
// would become a line of its own), or the file would be larger than maxBytes
// (the reader would refuse it at the next start).
Result<QByteArray> composeConfig(const ConfigContent &content, qint64 maxBytes = kMaxConfigBytes);

// Why bytes read as a configuration file must not be loaded, or empty: a
// file in an encoding of 16 or 32 bits would be written back as 8-bit text
// with line ends between its code units.
QString refusedEncoding(QByteArrayView bytes);

// The backup of a configuration file: "old" before the extension
// ("vesk.cfg" -> "veskold.cfg"), beside the file.
QString backupPathFor(const QString &configPath);

} // namespace vesk
