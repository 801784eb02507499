#include "config/category.h"

#include "config/textcodec.h"

#include <algorithm>
#include <bit>

namespace vesk
{
namespace
{

int compareItems(const Category &a, const Category &b)
{
    // Compare name + TAB + image without building the strings.
    if (const int c = compareIgnoringCase(a.name, b.name); c != 0) {
        // A shorter name that is a prefix of the other is followed by TAB,
        // which sorts before any printable character.
        const qsizetype common = std::min(a.name.size(), b.name.size());
        if (compareIgnoringCase(QStringView(a.name).first(common), QStringView(b.name).first(common)) == 0) {
            const QChar ca = a.name.size() > common ? a.name[common] : QChar(u'\t');
            const QChar cb = b.name.size() > common ? b.name[common] : QChar(u'\t');
            // A name read from a file may itself hold a TAB just there; then
            // only the whole texts can tell.
            if (ca == cb)
                return a.itemText().compare(b.itemText(), Qt::CaseInsensitive);
            return QStringView(&ca, 1).compare(QStringView(&cb, 1), Qt::CaseInsensitive);
        }
        return c;
    }
    return compareIgnoringCase(a.image, b.image);
}

// The first 16 characters of an item text (name, TAB, image), ASCII letters
// folded to lower case, a byte each, big-endian: comparing two keys as
// numbers compares those characters in order. Missing characters are 0.
// `known` is how many leading characters the key may decide by: it stops
// at the first character beyond ASCII, where Qt's own folding decides.
struct SortKey {
    quint64 high = 0, low = 0;
    int known = 16;
    quint32 index = 0;
};

SortKey sortKeyOf(const Category &c, quint32 index)
{
    SortKey k;
    k.index = index;
    int at = 0;
    auto put = [&](char16_t ch) {
        if (at >= k.known)
            return;
        if (ch >= 0x80) {
            k.known = at;
            return;
        }
        if (char16_t(ch - u'A') < 26)
            ch += 32;
        quint64 &word = at < 8 ? k.high : k.low;
        word |= quint64(ch) << (8 * (7 - at % 8));
        ++at;
    };
    for (qsizetype i = 0; i < c.name.size() && at < k.known; ++i)
        put(c.name[i].unicode());
    put(u'\t');
    for (qsizetype i = 0; i < c.image.size() && at < k.known; ++i)
        put(c.image[i].unicode());
    return k;
}

// Whether the keys tell a from b: they differ at a character both know.
// Then the first difference is between two ASCII characters after equal
// ones, or between an end and a character, just as the texts would say.
bool keysDecide(const SortKey &a, const SortKey &b)
{
    const quint64 high = a.high ^ b.high;
    const int first = high            ? std::countl_zero(high) / 8
                      : a.low ^ b.low ? 8 + std::countl_zero(a.low ^ b.low) / 8
                                      : 16;
    return first < std::min(a.known, b.known);
}

} // namespace

void sortCategories(std::vector<Category> &items)
{
    std::vector<SortKey> keys;
    keys.reserve(items.size());
    for (size_t i = 0; i < items.size(); ++i)
        keys.push_back(sortKeyOf(items[i], quint32(i)));
    std::stable_sort(keys.begin(), keys.end(), [&](const SortKey &a, const SortKey &b) {
        if (keysDecide(a, b))
            return a.high != b.high ? a.high < b.high : a.low < b.low;
        return categoryLess(items[a.index], items[b.index]);
    });
    std::vector<Category> sorted;
    sorted.reserve(items.size());
    for (const SortKey &k : keys)
        sorted.push_back(std::move(items[k.index]));
    items = std::move(sorted);
}

Result<void> Category::check() const
{
    const auto hasBreak = [](const QString &t) { return t.contains(u'\r') || t.contains(u'\n'); };
    if (name.contains(u'|') || hasBreak(name))
        return Failure::of(
            Fault::BadValue,
            QStringLiteral("A category name cannot contain \"|\" or a line break: the cfg file "
                           "keeps the name and the image file on one line, separated by \"|\". "
                           "Please type the name without it."));
    if (hasBreak(image))
        return Failure::of(
            Fault::BadValue,
            QStringLiteral("An image file name cannot contain a line break: the cfg file keeps the "
                           "name and the image file on one line."));
    return {};
}

QString Category::itemText() const
{
    return name + QLatin1Char('\t') + image;
}

QString Category::value() const
{
    return name + QLatin1Char('|') + image;
}

std::optional<Category> Category::fromValue(QStringView value)
{
    const qsizetype bar = value.indexOf(u'|');
    if (bar < 0)
        return std::nullopt;
    return Category{value.first(bar).toString(), value.sliced(bar + 1).toString()};
}

Category Category::fromItemText(QStringView item)
{
    const qsizetype tab = item.indexOf(u'\t');
    if (tab < 0)
        return Category{item.toString(), QString()};
    return Category{item.first(tab).toString(), item.sliced(tab + 1).toString()};
}

bool categoryLess(const Category &a, const Category &b)
{
    return compareItems(a, b) < 0;
}

} // namespace vesk
