#include "document/location.h"

#include "config/locationfile.h"
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
    if (path.isEmpty() || !QDir::isRelativePath(path))
        return path;
    return QDir(m_folder).absoluteFilePath(path);
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
