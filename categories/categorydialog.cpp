#include "categories/categorydialog.h"

#include "categories/addcategory.h"
#include "config/categorylist.h"
#include "toolkit/keys.h"
#include "toolkit/singleline.h"
#include "toolkit/toolkit.h"
#include "toolkit/twips.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

#include <limits>

using namespace Qt::StringLiterals;

namespace vesk
{

CategoryDialog::CategoryDialog(Toolkit &toolkit, CategoryList &list, QWidget *owner)
    : QDialog(nullptr), m_toolkit(toolkit), m_list(list), m_owner(owner)
{
    // A window of its own (so that disabling the owner does not disable it),
    // kept above the owner by the window manager.
    setObjectName(u"Form2"_s);
    setWindowTitle(u"Edit Category"_s);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowIcon(QIcon()); // no icon, not the program's
    setFont(owner->font());
    const Twips tw(owner->logicalDpiX());
    setFixedSize(tw.px(4680), tw.px(1560));

    auto label = [&](const char *name, const QString &text, QRect r) {
        auto *l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setGeometry(r);
        return l;
    };
    auto box = [&](const char *name, QRect r) {
        auto *e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        e->setMaxLength(std::numeric_limits<int>::max());
        e->setGeometry(r);
        keepSingleLine(e);
        tellFocusBeforeSelection(e);
        return e;
    };
    auto button = [&](const char *name, const QString &text, QRect r) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false); // Enter in a box must not press Delete
        pressOnReturn(b);         // but Enter on a button presses that one
        b->setGeometry(r);
        return b;
    };
    QLabel *nameLabel = label("nameLabel", u"Category Name"_s, tw.rect(-120, 240, 1335, 255));
    m_name = box("nameBox", tw.rect(1320, 240, 2055, 285));
    QLabel *imageLabel = label("imageLabel", u"Image file"_s, tw.rect(360, 720, 855, 255));
    m_image = box("imageBox", tw.rect(1320, 720, 2055, 285));
    nameLabel->setBuddy(m_name);
    imageLabel->setBuddy(m_image);
    m_delete = button("Command1", u"Delete"_s, tw.rect(3480, 120, 1095, 375));
    m_edit = button("Command2", u"Edit"_s, tw.rect(3480, 600, 1095, 375));
    m_cancel = button("Command3", u"Cancel"_s, tw.rect(3480, 1080, 1095, 375));
    m_name->setAccessibleName(u"Category Name"_s);
    m_image->setAccessibleName(u"Image file"_s);

    setTabOrder(m_delete, m_name);
    setTabOrder(m_name, m_image);
    setTabOrder(m_image, m_edit);
    setTabOrder(m_edit, m_cancel);

    connect(m_delete, &QPushButton::clicked, this, &CategoryDialog::deleteCategory);
    connect(m_edit, &QPushButton::clicked, this, &CategoryDialog::editCategory);
    connect(m_cancel, &QPushButton::clicked, this, &CategoryDialog::cancel);
}

void CategoryDialog::openFor(int row)
{
    const Category c = m_list.at(row);
    m_name->setText(c.name);
    m_image->setText(c.image);
    m_row = row;
    m_owner->setEnabled(false);
    if (!m_placed) {
        // Centred on the screen the first time; where the user left it after.
        create();
        if (m_owner->windowHandle())
            windowHandle()->setTransientParent(m_owner->windowHandle());
        windowHandle()->setIcon(QIcon()); // the platform window would take the program's
        if (QScreen *screen = m_owner->screen())
            move(screen->availableGeometry().center() - frameGeometry().center() + pos()); // frame included
        m_placed = true;
    }
    show();
    raise();
    activateWindow();
    // On the name, which a screen reader then reads out with the dialog.
    m_name->setFocus();
}

void CategoryDialog::deleteCategory()
{
    if (m_toolkit.messageBox(u"Do you really want to delete this category?"_s, Buttons::YesNo, Icon::None,
                             u"Delete category"_s, Answer::Yes)
        != Answer::Yes)
        return;
    const QString name = m_list.at(m_row).name;
    m_list.remove(m_row);
    emit categoryChanged(name + u" deleted"_s);
    finish();
}

void CategoryDialog::editCategory()
{
    Category edited{m_name->text(), m_image->text()};
    // Refused: the dialog stays open with what was typed.
    if (const Result<void> fits = edited.check(); !fits) {
        showCategoryProblem(m_toolkit, fits.reason());
        (Category{edited.name, QString()}.check() ? m_image : m_name)->setFocus();
        return;
    }
    const QString name = edited.name;
    m_list.replace(m_row, std::move(edited));
    emit categoryChanged(name + u" edited"_s);
    finish();
}

void CategoryDialog::cancel()
{
    finish();
}

void CategoryDialog::finish()
{
    m_owner->setEnabled(true);
    hide();
    const int row = m_row;
    m_row = -1;
    m_owner->activateWindow();
    emit closed(row);
}

void CategoryDialog::closeEvent(QCloseEvent *event)
{
    // Closing through the frame is Cancel: the owner must never stay disabled.
    if (isVisible())
        finish();
    event->accept();
}

} // namespace vesk
