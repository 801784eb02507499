#pragma once

#include "base/result.h"

#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

namespace vesk
{

// One torrent category of the tracker: a display name and an image file,
// both free text.
struct Category {
    QString name;
    QString image;

    // The list's item text: name, TAB, image.
    QString itemText() const;
    // The value of a category line: name, "|", image.
    QString value() const;

    // Whether this category can be stored as a line of the file: the file
    // cuts a name at its first "|" when it is read again, and a line break
    // in either part would split the line.
    Result<void> check() const;

    // Splits a category line's value at its first "|"; nullopt when it has none.
    static std::optional<Category> fromValue(QStringView value);
    // Splits an item text at its first TAB (the image keeps any later TABs).
    static Category fromItemText(QStringView item);

    friend bool operator==(const Category &, const Category &) = default;
};

// Ascending order of the item texts, letter case ignored.
bool categoryLess(const Category &a, const Category &b);
// std::stable_sort by categoryLess, faster on many: most comparisons are
// decided by a key of each item text's first characters, held side by side,
// instead of by the texts scattered over the heap.
void sortCategories(std::vector<Category> &items);

} // namespace vesk
