#include "config/locationfile.h"

#include "config/fileaccess.h"
#include "config/textcodec.h"

using namespace Qt::StringLiterals;

namespace vesk
{
namespace
{

// Only the first line matters; the limit keeps a wrong file (a disk image,
// say) from costing anything.
constexpr qint64 kMaxLocationBytes = qint64(16) * 1024 * 1024;
constexpr qsizetype kMaxPathLength = 4096;

} // namespace

std::optional<QString> readLocationFile(FileAccess &files, const QString &locationFile)
{
    const ReadResult r = files.read(locationFile, kMaxLocationBytes);
    if (!r)
        return std::nullopt;
    const QString text = decodeText(r->bytes).text;
    qsizetype end = 0;
    while (end < text.size() && text[end] != u'\r' && text[end] != u'\n')
        ++end;
    const QStringView first = QStringView(text).first(end);
    if (first.size() < 5)
        return std::nullopt;
    const QStringView path = first.sliced(5);
    if (path.size() > kMaxPathLength)
        return std::nullopt;
    return path.toString();
}

FileResult writeLocationFile(FileAccess &files, const QString &locationFile, const QString &configPath)
{
    return replaceFile(files, locationFile, (u"Path="_s + configPath + u"\r\n"_s).toUtf8());
}

} // namespace vesk
