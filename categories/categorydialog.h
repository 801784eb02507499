#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vesk
{

class CategoryList;
class Toolkit;

// Edit Category: shows one category's name and image file; Delete (after a
// question), Edit or Cancel. It is created once and hidden between uses;
// the window it serves stays disabled while it is shown.
class CategoryDialog : public QDialog
{
    Q_OBJECT
public:
    CategoryDialog(Toolkit &toolkit, CategoryList &list, QWidget *owner);

    // Fills the boxes from the item at row and shows the dialog without
    // waiting for it; the owner is disabled until the dialog closes.
    void openFor(int row);
    int row() const { return m_row; }

    QLineEdit *nameBox() const { return m_name; }
    QLineEdit *imageBox() const { return m_image; }
    QPushButton *deleteButton() const { return m_delete; }
    QPushButton *editButton() const { return m_edit; }
    QPushButton *cancelButton() const { return m_cancel; }

signals:
    // A category was deleted or edited; news says which, for a screen reader.
    void categoryChanged(const QString &news);
    // The dialog closed, by any button or Escape; row was being edited.
    void closed(int row);

public slots:
    void deleteCategory();
    void editCategory();
    void cancel();

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override { cancel(); }

private:
    void finish();

    Toolkit &m_toolkit;
    CategoryList &m_list;
    QWidget *m_owner;
    QLineEdit *m_name;
    QLineEdit *m_image;
    QPushButton *m_delete;
    QPushButton *m_edit;
    QPushButton *m_cancel;
    int m_row = -1; // the item being edited
    bool m_placed = false;
};

} // namespace vesk
