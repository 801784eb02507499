#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace vesk
{

inline const char kLocationFileName[] = "veskfrontend.ini";
inline const char kDefaultConfigName[] = "vesk.cfg";

// The configuration path a location file's bytes record: its first line
// less the first five characters ("Path="). Nothing when the first line is
// shorter than five characters, or the path longer than any the system can
// open.
std::optional<QString> locationIn(QByteArrayView bytes);

// A location file recording configPath: the single line "Path=" + configPath.
QByteArray locationFileBytes(const QString &configPath);

} // namespace vesk
