#include "config/locationfile.h"

#include "config/textcodec.h"

using namespace Qt::StringLiterals;

namespace vesk
{

std::optional<QString> locationIn(QByteArrayView bytes)
{
    constexpr qsizetype kMaxPathLength = 4096;
    const QString text = decodeText(bytes).text;
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

QByteArray locationFileBytes(const QString &configPath)
{
    return (u"Path="_s + configPath + u"\r\n"_s).toUtf8();
}

} // namespace vesk
