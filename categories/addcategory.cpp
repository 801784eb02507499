#include "categories/addcategory.h"

#include "config/categorylist.h"
#include "toolkit/toolkit.h"

#include <utility>

using namespace Qt::StringLiterals;

namespace vesk
{

void showCategoryProblem(Toolkit &toolkit, const QString &problem)
{
    toolkit.messageBox(problem, Buttons::Ok, Icon::Critical, u"Invalid category"_s);
}

bool addNewCategory(Toolkit &toolkit, CategoryList &list)
{
    // A refused answer is asked for again with what was typed, so that
    // nothing typed is lost; an empty answer ends the command.
    Category c;
    for (QString typed;;) {
        c.name = toolkit.inputBox(u"Category Name:"_s, u"New Category"_s, typed);
        if (c.name.isEmpty())
            return false;
        const Result<void> fits = Category{c.name, QString()}.check();
        if (fits)
            break;
        showCategoryProblem(toolkit, fits.reason());
        typed = c.name;
    }
    for (QString typed = u"/file/"_s;;) {
        c.image = toolkit.inputBox(u"Image file:"_s, u"New Category"_s, typed);
        if (c.image.isEmpty())
            return false;
        const Result<void> fits = c.check();
        if (fits)
            break;
        showCategoryProblem(toolkit, fits.reason());
        typed = c.image;
    }
    list.add(std::move(c));
    return true;
}

} // namespace vesk
