#include "config/configfile.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace vesk {

QString getVal(QStringView line)
{
    const qsizetype eq = line.indexOf(u'=');
    QStringView v = eq < 0 ? line : line.sliced(eq + 1);
    if (v.startsWith(u' '))
        v = v.sliced(1);
    return v.toString();
}

namespace {

// Index into readerKeys() of the key a line begins with, or -1.
int matchReaderKey(QStringView line)
{
    const auto keys = catalogue::readerKeys();
    for (int k = 0; k < int(keys.size()); ++k)
        if (line.startsWith(keys[k].prefix))
            return k;
    return -1;
}

} // namespace

ConfigData parseConfig(QStringView text)
{
    ConfigData d;
    const auto keys = catalogue::readerKeys();
    forEachLine(text, [&](QStringView line) {
        const int k = matchReaderKey(line);
        if (k >= 0 && keys[k].slot >= 0) {
            d.values[keys[k].slot] = getVal(line);
            return;
        }
        if (k >= 0) {
            // A category line; one without "|" is no category and is kept as
            // it stands among the other lines.
            if (auto c = Category::fromValue(getVal(line))) {
                d.categories.push_back(std::move(*c));
                return;
            }
        }
        if (line.isEmpty())
            return;
        d.misc.append(line);
        d.misc.append(u'\n');
    });
    return d;
}

ConfigData parseConfigBytes(QByteArrayView bytes)
{
    DecodedText t = decodeText(bytes);
    ConfigData d = parseConfig(t.text);
    d.encoding = t.encoding;
    d.bom = t.bom;
    return d;
}

namespace {

bool lineLess(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) < 0;
}

QString categoryLine(qsizetype index, const Category &c)
{
    return catalogue::categoryKey() + QString::number(index + 1) + u" = "_s + c.value();
}

} // namespace

QString composeText(const ConfigContent &content)
{
    std::vector<QString> lines;
    lines.reserve(catalogue::kSettingCount + content.categories.size());
    for (const Setting &s : catalogue::settings()) {
        const QString &v = content.values[s.slot];
        if (!v.isEmpty())
            lines.push_back(s.key + u" = "_s + v);
    }
    for (qsizetype i = 0; i < qsizetype(content.categories.size()); ++i)
        lines.push_back(categoryLine(i, content.categories[i]));
    std::stable_sort(lines.begin(), lines.end(), lineLess);

    qsizetype total = content.misc.size() + 2;
    for (const QString &l : lines)
        total += l.size() + 2;
    QString out;
    out.reserve(total);
    for (const QString &l : lines) {
        out += l;
        out += u"\r\n";
    }
    if (!content.misc.isEmpty()) {
        // The misc text is written as it stands; only its line breaks take
        // the file's CR LF form.
        const QString &m = content.misc;
        qsizetype start = 0;
        for (qsizetype nl = m.indexOf(u'\n'); nl >= 0; nl = m.indexOf(u'\n', start)) {
            out += QStringView(m).sliced(start, nl - start);
            out += u"\r\n";
            start = nl + 1;
        }
        out += QStringView(m).sliced(start);
        out += u"\r\n";
    }
    return out;
}

ComposeResult composeConfig(const ConfigContent &content)
{
    ComposeResult r;
    const Encoding enc = content.encoding;
    const QString encName = encodingName(enc);
    for (const Setting &s : catalogue::settings()) {
        if (firstUnencodable(content.values[s.slot], enc) >= 0) {
            r.problem = u"the setting \"%1\" (%2) holds characters that cannot be written in the file's encoding (%3)"_s
                            .arg(s.caption, s.key, encName);
            return r;
        }
    }
    for (const Category &c : content.categories) {
        if (firstUnencodable(c.name, enc) >= 0 || firstUnencodable(c.image, enc) >= 0) {
            r.problem = u"the category \"%1\" holds characters that cannot be written in the file's encoding (%2)"_s
                            .arg(c.name, encName);
            return r;
        }
    }
    if (firstUnencodable(content.misc, enc) >= 0) {
        r.problem = u"the text on the Raw tab holds characters that cannot be written in the file's encoding (%1)"_s
                        .arg(encName);
        return r;
    }
    QByteArray bytes;
    if (content.bom)
        bytes = "\xEF\xBB\xBF";
    bytes += encodeText(composeText(content), enc);
    r.bytes = std::move(bytes);
    return r;
}

QString backupPathFor(const QString &configPath)
{
    const qsizetype slash = configPath.lastIndexOf(u'/');
    const qsizetype dot = configPath.lastIndexOf(u'.');
    if (dot > slash + 1)
        return configPath.first(dot) + u"old"_s + configPath.sliced(dot);
    return configPath + u"old"_s;
}

} // namespace vesk
