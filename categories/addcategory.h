#pragma once

namespace vesk {

class CategoryList;
class Toolkit;

// Add New Category: asks for a name, then an image file, and adds the item
// at its sorted place. Returns true when a category was added; an empty
// answer to either question changes nothing.
bool addNewCategory(Toolkit &toolkit, CategoryList &list);

} // namespace vesk
