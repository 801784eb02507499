#include "config/valuecheck.h"

#include "config/catalogue.h"

#include <QUrl>

#include <array>
#include <limits>

using namespace Qt::StringLiterals;

namespace vesk
{
namespace
{

constexpr qint64 kIntMax = std::numeric_limits<qint32>::max();

QString rangeText(const ValueRule &r)
{
    return r.max == kIntMax ? u"%1 or more"_s.arg(r.min) : u"%1 to %2"_s.arg(r.min).arg(r.max);
}

// The whole number the text holds, or -1 (also for one past any range
// that matters here).
qint64 wholeNumber(QStringView text)
{
    if (text.isEmpty() || text.size() > 12)
        return -1;
    qint64 n = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return -1;
        n = n * 10 + (c.unicode() - u'0');
    }
    return n;
}

} // namespace

ValueRule ruleOf(int slot)
{
    const Setting *s = catalogue::setting(slot);
    return s ? s->rule : ValueRule{};
}

QString kindName(ValueKind kind)
{
    switch (kind) {
    case ValueKind::Text: return u"text"_s;
    case ValueKind::Flag: return u"flag"_s;
    case ValueKind::Number: return u"number"_s;
    case ValueKind::Seconds: return u"seconds"_s;
    case ValueKind::Minutes: return u"minutes"_s;
    case ValueKind::Folder: return u"folder"_s;
    case ValueKind::File: return u"file"_s;
    case ValueKind::Url: return u"url"_s;
    }
    return {};
}

QString ruleText(int slot)
{
    const ValueRule r = ruleOf(slot);
    switch (r.kind) {
    case ValueKind::Flag: return u"flag 0/1"_s;
    case ValueKind::Number:
    case ValueKind::Seconds:
    case ValueKind::Minutes: return kindName(r.kind) + u' ' + rangeText(r).replace(u" to "_s, u"-"_s);
    default: return kindName(r.kind);
    }
}

Result<void> checkValue(int slot, QStringView value)
{
    // An empty value leaves the setting out of the file.
    if (value.isEmpty())
        return {};
    const ValueRule r = ruleOf(slot);
    auto bad = [](QString why) { return Result<void>(Failure::of(Fault::BadValue, std::move(why))); };
    // Numbers are read the way the tracker's parser does: spaces around
    // them do not matter.
    const QStringView trimmed = value.trimmed();
    switch (r.kind) {
    case ValueKind::Text: return {};
    case ValueKind::Flag:
        return trimmed == u"0" || trimmed == u"1" ? Result<void>() : bad(u"must be 0 (off) or 1 (on)"_s);
    case ValueKind::Number:
    case ValueKind::Seconds:
    case ValueKind::Minutes: {
        const qint64 n = wholeNumber(trimmed);
        if (n >= r.min && n <= r.max)
            return {};
        const QString unit = r.kind == ValueKind::Seconds   ? u" of seconds"_s
                             : r.kind == ValueKind::Minutes ? u" of minutes"_s
                                                            : QString();
        return bad(u"must be a whole number%1, %2"_s.arg(unit, rangeText(r)));
    }
    case ValueKind::Folder:
    case ValueKind::File:
        for (QChar c : value)
            if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                return bad(u"holds a control character, which no file name should"_s);
        if (r.kind == ValueKind::File && (value.endsWith(u'/') || value.endsWith(u'\\')))
            return bad(u"ends in a folder separator, but names a file"_s);
        return {};
    case ValueKind::Url: {
        for (QChar c : value)
            if (c.isSpace() || c.unicode() < 0x20)
                return bad(u"holds a space or control character; a URL writes a space as %20"_s);
        const QUrl u(value.toString(), QUrl::StrictMode);
        if (!u.isValid())
            return bad(u"is not a valid URL (%1)"_s.arg(u.errorString()));
        return {};
    }
    }
    return {};
}

} // namespace vesk
