#include "config/category.h"

#include "config/textcodec.h"

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

} // namespace

QString Category::problem() const
{
    const auto hasBreak = [](const QString &t) { return t.contains(u'\r') || t.contains(u'\n'); };
    if (name.contains(u'|') || hasBreak(name))
        return QStringLiteral(
            "A category name cannot contain \"|\" or a line break: the cfg file keeps the name "
            "and the image file on one line, separated by \"|\". Please type the name without it.");
    if (hasBreak(image))
        return QStringLiteral(
            "An image file name cannot contain a line break: the cfg file keeps the name and the "
            "image file on one line.");
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
