#include "document/location.h"

#include "config/locationfile.h"
#include "document/configplace.h"
#include "store/fileaccess.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace vesk
{

std::optional<QString> readLocationFile(FileAccess &files, const QString &locationFile)
{
    // Only the first line matters; the limit keeps a wrong file (a disk
    // image, say) from costing anything.
    constexpr qint64 kMaxLocationBytes = qint64(16) * 1024 * 1024;
    const ReadResult r = files.read(locationFile, kMaxLocationBytes);
    if (!r)
        return std::nullopt;
    return locationIn(r->bytes);
}

FileResult writeLocationFile(FileAccess &files, const QString &locationFile, const QString &configPath)
{
    return replaceFile(files, locationFile, locationFileBytes(configPath));
}

QString ConfigLocation::locationFile() const
{
    return m_folder + u'/' + QString::fromLatin1(kLocationFileName);
}

std::optional<QString> ConfigLocation::recorded() const
{
    const std::optional<QString> path = readLocationFile(m_files, locationFile());
    if (!path)
        return std::nullopt;
    return absolute(*path);
}

QString ConfigLocation::absolute(const QString &path) const
{
    // A place elsewhere, or reached through an agent, is as written.
    const QDir folder(m_folder);
    const auto place = parsePlace(path, [&](const QString &p) { return folder.exists(p); });
    if (path.isEmpty() || !place || place->throughAgent() || !QDir::isRelativePath(path))
        return path;
    return folder.absoluteFilePath(path);
}

QString ConfigLocation::defaultConfig() const
{
    return m_folder + u'/' + QString::fromLatin1(kDefaultConfigName);
}

FileResult ConfigLocation::record(const QString &configPath) const
{
    return writeLocationFile(m_files, locationFile(), configPath);
}

} // namespace vesk
