#pragma once

#include "config/category.h"

#include <QAbstractListModel>

#include <vector>

namespace vesk
{

// The tracker's categories as the list shows them: kept in ascending order
// of their item texts, letter case ignored. An added item goes to its
// place; a replaced item keeps its index.
class CategoryList : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Roles { NameRole = Qt::UserRole + 1, ImageRole };

    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    int count() const { return int(m_items.size()); }
    const Category &at(int row) const { return m_items[size_t(row)]; }
    const std::vector<Category> &items() const { return m_items; }

    // Inserts at the sorted place, after equal items; returns the row.
    int add(Category c);
    // Adds many at once: one sort and one merge, however many there are.
    void addMany(std::vector<Category> batch);
    void replace(int row, Category c);
    void remove(int row);
    void clear();

private:
    std::vector<Category> m_items;
};

} // namespace vesk
