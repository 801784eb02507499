#pragma once

#include "config/configreader.h"
#include "config/configwriter.h"

#include <QString>

#include <functional>
#include <optional>

namespace vesk
{

class ConfigDocument;
class Toolkit;

// What the window asks and tells about the cfg file on its way in and out:
// where it is, a file that could not be read, a torn file's backup, a save
// that failed or would overwrite another program's edits. The window keeps
// what it shows; these only talk and report.

// The path the location file records; when there is none, the default
// path, recorded, and the user told so.
QString recordedConfigPath(Toolkit &toolkit);
// Records path in the location file; a failure is told, and the editor
// goes on with path.
void recordConfigPath(Toolkit &toolkit, const QString &path);

// Opens path in document; nothing, once the user is told why, when it
// cannot be read. For a file whose rewrite was cut short, the user may
// take its backup instead.
std::optional<ConfigData> readConfig(Toolkit &toolkit, ConfigDocument &document, const QString &path);

// Saves content() through document, asking before it overwrites another
// program's edits. False, once a failure is told, or when the user said
// no; running out of memory is a failure like any other.
bool saveConfig(Toolkit &toolkit, ConfigDocument &document, const std::function<ConfigContent()> &content);

} // namespace vesk
