#pragma once

#include "base/result.h"

#include <QString>

#include <optional>

namespace vesk
{

class FileAccess;

// The configuration path recorded in the location file at locationFile, as
// it stands there; nothing when the file cannot be read or records none.
std::optional<QString> readLocationFile(FileAccess &files, const QString &locationFile);
// Replaces the location file with the single line "Path=" + configPath.
FileResult writeLocationFile(FileAccess &files, const QString &locationFile, const QString &configPath);

// Where the editor keeps which configuration file it edits: the location
// file in a data folder, a relative path in it meaning the same file
// wherever the editor was started from.
class ConfigLocation
{
public:
    ConfigLocation(FileAccess &files, QString folder) : m_files(files), m_folder(std::move(folder)) {}

    QString locationFile() const;
    // The path the location file records (maybe empty), taken from its
    // folder when relative; nothing when the file cannot be read.
    std::optional<QString> recorded() const;
    // A path as the location file means it: relative ones from its folder.
    QString absolute(const QString &path) const;
    // "vesk.cfg" in the folder.
    QString defaultConfig() const;
    FileResult record(const QString &configPath) const;

private:
    FileAccess &m_files;
    QString m_folder;
};

} // namespace vesk
