#pragma once

#include "config/result.h"

#include <QString>

#include <optional>

namespace vesk
{

class FileAccess;

inline const char kLocationFileName[] = "veskfrontend.ini";
inline const char kDefaultConfigName[] = "vesk.cfg";

// The configuration path recorded in the location file: its first line less
// the first five characters ("Path="). Nothing when the file cannot be read,
// is empty, its first line is shorter than five characters, or the path is
// longer than any the system can open.
std::optional<QString> readLocationFile(FileAccess &files, const QString &locationFile);

// Replaces the location file with the single line "Path=" + configPath.
FileResult writeLocationFile(FileAccess &files, const QString &locationFile, const QString &configPath);

} // namespace vesk
