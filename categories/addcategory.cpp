#include "categories/addcategory.h"

#include "categories/categorylist.h"
#include "toolkit/toolkit.h"

using namespace Qt::StringLiterals;

namespace vesk {

bool addNewCategory(Toolkit &toolkit, CategoryList &list)
{
    const QString name = toolkit.inputBox(u"Category Name:"_s, u"New Category"_s, QString());
    if (name.isEmpty())
        return false;
    const QString image = toolkit.inputBox(u"Image file:"_s, u"New Category"_s, u"/file/"_s);
    if (image.isEmpty())
        return false;
    list.add(Category{name, image});
    return true;
}

} // namespace vesk
