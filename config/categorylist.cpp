#include "config/categorylist.h"

#include <algorithm>

namespace vesk
{

int CategoryList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant CategoryList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    const Category &c = m_items[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole: return c.itemText();
    // Heard instead of the TAB between name and image.
    case Qt::AccessibleTextRole:
        return c.image.isEmpty() ? c.name : c.name + QStringLiteral(", image ") + c.image;
    case NameRole: return c.name;
    case ImageRole: return c.image;
    default: return {};
    }
}

int CategoryList::add(Category c)
{
    const auto it = std::upper_bound(m_items.begin(), m_items.end(), c, categoryLess);
    const int row = int(it - m_items.begin());
    beginInsertRows({}, row, row);
    m_items.insert(it, std::move(c));
    endInsertRows();
    return row;
}

void CategoryList::addMany(std::vector<Category> batch)
{
    if (batch.empty())
        return;
    sortCategories(batch);
    beginResetModel();
    if (m_items.empty()) {
        m_items = std::move(batch);
    } else {
        std::vector<Category> merged;
        merged.reserve(m_items.size() + batch.size());
        std::merge(std::make_move_iterator(m_items.begin()), std::make_move_iterator(m_items.end()),
                   std::make_move_iterator(batch.begin()), std::make_move_iterator(batch.end()),
                   std::back_inserter(merged), categoryLess);
        m_items = std::move(merged);
    }
    endResetModel();
}

void CategoryList::replace(int row, Category c)
{
    m_items[size_t(row)] = std::move(c);
    const QModelIndex i = index(row);
    emit dataChanged(i, i);
}

void CategoryList::remove(int row)
{
    beginRemoveRows({}, row, row);
    m_items.erase(m_items.begin() + row);
    endRemoveRows();
}

void CategoryList::clear()
{
    if (m_items.empty())
        return;
    beginResetModel();
    m_items.clear();
    endResetModel();
}

} // namespace vesk
