#include "cli/apply.h"

#include "cli/invocation.h"
#include "config/catalogue.h"
#include "config/categorylist.h"
#include "config/valuecheck.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <set>

using namespace Qt::StringLiterals;

namespace vesk::cli
{
namespace
{

// Collects every problem of a document, so that one run names them all.
class Problems
{
public:
    void add(const QString &where, const QString &what) { m_lines << where + u": "_s + what; }
    bool empty() const { return m_lines.isEmpty(); }
    Failure failure() const
    {
        return Failure::of(Fault::BadValue, u"the document cannot be applied, and nothing was changed:\n  "_s
                                                + m_lines.join(u"\n  "_s));
    }

private:
    QStringList m_lines;
};

bool hasBreak(const QString &text)
{
    return text.contains(u'\r') || text.contains(u'\n');
}

void onlyMembers(const QJsonObject &o, const QStringList &allowed, const QString &where, Problems &problems)
{
    for (const QString &k : o.keys())
        if (!allowed.contains(k))
            problems.add(where,
                         u"unknown member \""_s + k + u"\" (it takes "_s + allowed.join(u", "_s) + u')');
}

void readSettings(const QJsonValue &v, bool force, WantedState &out, Problems &problems)
{
    if (v.isUndefined())
        return;
    if (!v.isObject())
        return problems.add(u"settings"_s, u"must be an object of KEY: VALUE"_s);
    const QJsonObject o = v.toObject();
    for (auto it = o.begin(); it != o.end(); ++it) {
        const QString where = u"settings."_s + it.key();
        const Result<int> slot = slotArgument(it.key());
        if (!slot) {
            problems.add(where, slot.reason());
            continue;
        }
        std::optional<QString> value;
        if (it->isString())
            value = it->toString();
        else if (it->isDouble() && it->toDouble() == double(it->toInteger()))
            value = QString::number(it->toInteger());
        else if (!it->isNull()) {
            problems.add(where, u"a value is a string, a whole number or null"_s);
            continue;
        }
        if (value && hasBreak(*value))
            problems.add(where, u"holds a line break, which would make a line of its own in the file"_s);
        else if (const Result<void> fits = checkValue(*slot, value.value_or(QString()));
                 value && !fits && !force)
            problems.add(where,
                         u"\""_s + *value + u"\" "_s + fits.reason() + u" (--force writes it anyway)"_s);
        out.settings.push_back({*slot, value});
    }
}

void readCategories(const QJsonValue &v, WantedState &out, Problems &problems)
{
    if (v.isUndefined())
        return;
    if (!v.isArray())
        return problems.add(u"categories"_s, u"must be an array of {name, image, state}"_s);
    std::set<QString> named;
    const QJsonArray a = v.toArray();
    for (qsizetype i = 0; i < a.size(); ++i) {
        const QString where = u"categories[%1]"_s.arg(i);
        const QJsonObject o = a[i].toObject();
        onlyMembers(o, {u"name"_s, u"image"_s, u"state"_s}, where, problems);
        WantedState::Category c{o[u"name"_s].toString(), o[u"image"_s].toString(),
                                o[u"state"_s].toString(u"present"_s) == u"present"};
        if (!a[i].isObject() || c.name.isEmpty())
            problems.add(where, u"a category needs a name"_s);
        else if (!named.insert(c.name).second)
            problems.add(where, u"\""_s + c.name + u"\" is named twice"_s);
        const QString state = o[u"state"_s].toString(u"present"_s);
        if (state != u"present" && state != u"absent")
            problems.add(where, u"state is present or absent"_s);
        if (c.present && c.image.isEmpty())
            problems.add(where, u"a present category needs an image file"_s);
        if (const Result<void> fits = vesk::Category{c.name, c.image}.check(); !fits)
            problems.add(where, fits.reason());
        out.categories.push_back(c);
    }
}

} // namespace

Result<WantedState> parseWantedState(QByteArrayView json, bool force)
{
    QJsonParseError error{};
    const QJsonDocument d = QJsonDocument::fromJson(json.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !d.isObject())
        return Failure::of(Fault::BadValue, u"the document is no JSON object ("_s + error.errorString()
                                                + u" at byte "_s + QString::number(error.offset)
                                                + u"), and nothing was changed"_s);
    Problems problems;
    const QJsonObject o = d.object();
    onlyMembers(o, {u"settings"_s, u"categories"_s}, u"the document"_s, problems);
    WantedState out;
    readSettings(o[u"settings"_s], force, out, problems);
    readCategories(o[u"categories"_s], out, problems);
    if (!problems.empty())
        return problems.failure();
    return out;
}

Result<WantedState> readWantedState(const QString &from, bool force)
{
    QFile in;
    const bool opened = from == u"-" ? in.open(stdin, QIODevice::ReadOnly)
                                     : (in.setFileName(from), in.open(QIODevice::ReadOnly));
    if (!opened)
        return Failure::of(Fault::Refused, u"cannot read "_s + from + u": "_s + in.errorString());
    // A wanted state is a few kilobytes; this much is no document.
    constexpr qint64 kMaxDocument = qint64(16) * 1024 * 1024;
    const QByteArray json = in.read(kMaxDocument + 1);
    if (json.size() > kMaxDocument)
        return Failure::of(Fault::BadValue, u"the document is larger than 16 MiB"_s);
    return parseWantedState(json, force);
}

Applied applyWantedState(const WantedState &wanted, ConfigContent &content)
{
    Applied done;
    for (const auto &[slot, value] : wanted.settings) {
        QString &now = content.values[size_t(slot)];
        if (now == value.value_or(QString()))
            continue;
        now = value.value_or(QString());
        done.settings << catalogue::setting(slot)->key;
    }
    // The window's list keeps the order and numbering rules: an added item
    // goes to its sorted place, a changed one keeps its row.
    CategoryList list;
    list.addMany(std::move(content.categories));
    for (const WantedState::Category &c : wanted.categories) {
        int row = -1;
        for (int r = 0; r < list.count() && row < 0; ++r)
            if (list.at(r).name == c.name)
                row = r;
        if (!c.present) {
            for (int r = list.count() - 1; r >= row && row >= 0; --r)
                if (list.at(r).name == c.name)
                    list.remove(r);
            if (row >= 0)
                done.categoriesRemoved << c.name;
        } else if (row < 0) {
            list.add({c.name, c.image});
            done.categoriesAdded << c.name;
        } else if (list.at(row).image != c.image) {
            list.replace(row, {c.name, c.image});
            done.categoriesChanged << c.name;
        }
    }
    content.categories = list.items();
    for (const Setting &s : catalogue::settings())
        if (const Result<void> fits = checkValue(s.slot, content.values[size_t(s.slot)]); !fits)
            done.problems << s.key + u": "_s + fits.reason();
    return done;
}

} // namespace vesk::cli
