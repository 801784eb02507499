#pragma once

#include "base/limits.h"
#include "base/result.h"
#include "config/configreader.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <vector>

namespace vesk
{

// What the writer needs from the window.
struct ConfigContent {
    std::array<QString, catalogue::kSlotCount> values; // empty = absent
    std::vector<Category> categories;                  // in list order
    QString misc;                                      // lines separated by "\n"
    Encoding encoding = Encoding::Utf8;
    bool bom = false;

    friend bool operator==(const ConfigContent &, const ConfigContent &) = default;
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

} // namespace vesk
