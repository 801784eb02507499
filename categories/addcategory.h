#pragma once

#include <QString>

namespace vesk
{

class CategoryList;
class Toolkit;

// Add New Category: asks for a name, then an image file, and adds the item
// at its sorted place. Returns true when a category was added; an empty
// answer to either question changes nothing.
// A name holding "|" or a line break, or an image holding a line break, is
// refused with a message and asked for again.
bool addNewCategory(Toolkit &toolkit, CategoryList &list);

// The message that refuses a category, with Category::problem()'s text.
void showCategoryProblem(Toolkit &toolkit, const QString &problem);

} // namespace vesk
