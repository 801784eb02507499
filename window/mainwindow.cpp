#include "window/mainwindow.h"

#include "categories/addcategory.h"
#include "categories/categorydialog.h"
#include "config/catalogue.h"
#include "config/categorylist.h"
#include "config/configwriter.h"
#include "document/configdocument.h"
#include "document/location.h"
#include "toolkit/accessible.h"
#include "toolkit/toolkit.h"
#include "window/fileprompts.h"
#include "window/findsetting.h"
#include "window/keyboardwalk.h"
#include "window/rawtext.h"
#include "window/reviewchanges.h"
#include "window/tabcontrol.h"
#include "window/valuemarks.h"

#include <QAccessible>
#include <QAction>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace vesk
{
namespace
{

// Review Changes, which lists the values that do not fit.
const QString kReviewKey = u"Ctrl+D"_s;

} // namespace

MainWindow::MainWindow(Toolkit &toolkit, QWidget *parent)
    : QMainWindow(parent), m_toolkit(toolkit), m_document(std::make_unique<ConfigDocument>(toolkit.files())),
      m_categories(new CategoryList(this))
{
    // Before any control exists: a screen reader gets the program's own
    // interfaces from the first question on.
    installAccessibleInterfaces();
    setObjectName(u"Form1"_s);
    setWindowTitle(u"VESK Front End"_s);
    QFont f = font();
    // The first of these that is installed, looked up once: a missing family
    // in the font itself is looked for again by every font made from it.
    for (const QString &family : {u"Microsoft Sans Serif"_s, u"Liberation Sans"_s, u"Arial"_s})
        if (QFontDatabase::hasFamily(family)) {
            f.setFamily(family);
            break;
        }
    f.setPointSizeF(8.25);
    setFont(f);
    buildWindow();
    buildMenu();
    m_walk = std::make_unique<KeyboardWalk>(m_form);
}

MainWindow::~MainWindow()
{
    delete m_categoryDialog;
}

QLineEdit *MainWindow::valueBox(int slot) const
{
    return slot >= 0 && slot < int(m_form.boxes.size()) ? m_form.boxes[size_t(slot)] : nullptr;
}

RawTextEdit *MainWindow::rawText() const
{
    m_form.rawText->fill();
    return m_form.rawText;
}

QLabel *MainWindow::captionLabel(int slot) const
{
    return slot >= 0 && slot < int(m_form.captions.size()) ? m_form.captions[size_t(slot)] : nullptr;
}

void MainWindow::buildWindow()
{
    auto *client = new QWidget(this);
    client->setObjectName(u"client"_s);
    setCentralWidget(client);
    m_form = buildForm(*client, *m_categories, *this);

    connect(m_form.saveButton, &QPushButton::clicked, this, [this] { save(); });
    connect(m_form.quitButton, &QPushButton::clicked, this, [this] { quit(); });
    for (QLineEdit *box : m_form.boxes)
        if (box)
            connect(box, &QLineEdit::textChanged, this, [this] { markChanged(); });
    connect(m_form.addCategoryButton, &QPushButton::clicked, this, &MainWindow::addCategory);
    connect(m_form.categoryView, &QListView::doubleClicked, this,
            [this](const QModelIndex &i) { openCategoryDialog(i.row()); });
    connect(m_form.rawText, &RawTextEdit::edited, this, [this] { markChanged(); });
}

void MainWindow::buildMenu()
{
    QMenu *file = menuBar()->addMenu(u"&File"_s);
    file->setObjectName(u"menFile"_s);
    auto add = [&](const char *name, const QString &text, const QKeySequence &key, auto slot) {
        QAction *a = file->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcut(key);
        // Text boxes claim the standard editing keys (Ctrl+X cuts there);
        // everywhere else in the window the menu's keys apply.
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    add("menChangecfg", u"&Change cfg Location"_s, QKeySequence(), [this] { changeCfgLocation(); });
    add("menSave", u"&Save"_s, QKeySequence(u"Ctrl+S"_s), [this] { save(); });
    add("menSaveQuit", u"&Quit with Save"_s, QKeySequence(u"Ctrl+Q"_s), [this] { saveAndQuit(); });
    add("menExit", u"E&xit without save"_s, QKeySequence(u"Ctrl+X"_s), [this] { exitWithoutSave(); });

    // Page switching from anywhere in the window, as tabbed programs do.
    const std::pair<QKeySequence, int> pageKeys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_Tab), 1},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), -1},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), -1},
        {QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1},
        {QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1}};
    for (const auto &[key, step] : pageKeys) {
        auto *a = new QAction(this);
        a->setShortcut(key);
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, [this, step = step] { m_walk->switchPage(step); });
        addAction(a);
    }

    file = menuBar()->addMenu(u"&Edit"_s); // add() fills the menu named by file
    file->setObjectName(u"menEdit"_s);
    auto *finder = new FindSetting(m_toolkit, *this);
    add("menFind", u"&Find Setting..."_s, QKeySequence(u"Ctrl+F"_s), [finder] { finder->find(); });
    add("menFindNext", u"Find &Next"_s, QKeySequence(Qt::Key_F3), [finder] { finder->findNext(); });
    add("menReview", u"&Review Changes..."_s, QKeySequence(kReviewKey),
        [this] { reviewChanges(*this, *m_document, content()); });
}

const std::vector<QWidget *> &MainWindow::focusOrder() const
{
    return m_walk->order();
}

bool MainWindow::focusNextPrevChild(bool next)
{
    // The Tab key walks every setting across the pages; the category
    // dialog, and controls outside the walk, keep Qt's own order.
    if ((m_categoryDialog && m_categoryDialog->isVisible()) || !m_walk->step(focusWidget(), next))
        return QMainWindow::focusNextPrevChild(next);
    return true;
}

namespace
{

// Focus the user moved: not the window's own first focus, nor focus coming
// back when the window is activated again, which would replace the line.
bool isKeyboardFocus(const QEvent *event)
{
    if (event->type() != QEvent::FocusIn)
        return false;
    const Qt::FocusReason r = static_cast<const QFocusEvent *>(event)->reason();
    return r == Qt::TabFocusReason || r == Qt::BacktabFocusReason || r == Qt::ShortcutFocusReason
           || r == Qt::MouseFocusReason;
}

} // namespace

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_form.categoryView && event->type() == QEvent::FocusIn)
        tellCurrentCategory();
    if (watched == m_form.categoryView && event->type() == QEvent::FocusOut
        && static_cast<QFocusEvent *>(event)->reason() != Qt::ActiveWindowFocusReason)
        m_categoryTold = false;
    if (event->type() == QEvent::MouseMove || isKeyboardFocus(event)) {
        // The pointer over a caption or box, or the keyboard's focus on a
        // box, shows that setting's help.
        const QVariant slot = watched->property("slot");
        if (slot.isValid())
            showHelp(slot.toInt());
    } else if (watched == m_form.categoryView && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            openCategoryDialog();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::showHelp(int slot)
{
    m_form.helpLine->setHelp(helpWithProblem(slot, valueBox(slot)));
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    if (QScreen *s = screen())
        move(s->availableGeometry().center() - frameGeometry().center() + pos());
    m_form.tabs->setCurrentIndex(0);
    m_walk->order().front()->setFocus(Qt::OtherFocusReason);
    // Ask for the keyboard: without a window manager to hand it over, the
    // window would take typing but never become active, and its menu
    // shortcuts would not fire.
    activateWindow();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Closing through the frame asks about unsaved changes, as Quit does.
    if (m_ended || quit())
        event->accept();
    else
        event->ignore();
}

// ---- loading ---------------------------------------------------------------

QString MainWindow::locationFilePath() const
{
    return ConfigLocation(m_toolkit.files(), m_toolkit.dataFolder()).locationFile();
}

QString MainWindow::configPath() const
{
    return m_document->path();
}

void MainWindow::load(const QString &file)
{
    const QString path = file.isEmpty() ? recordedConfigPath(m_toolkit) : file;
    if (!openConfig(path)) {
        // Whatever is there (or that nothing is) is what a save overwrites.
        (void)m_document->adopt(path); // a place that names no file was said by openConfig
        changeCfgLocation();
    }
    m_changed = false;
    m_form.helpLine->setHelp(openingHelp());
}

bool MainWindow::openConfig(const QString &path)
{
    std::optional<ConfigData> loaded = readConfig(m_toolkit, *m_document, path);
    if (!loaded)
        return false;
    // Only a file that was read replaces what the window shows.
    apply(std::move(*loaded));
    m_changed = false;
    // A file on another machine says where it is.
    setWindowTitle(m_document->remote() ? u"VESK Front End - "_s + m_document->shortName()
                                        : u"VESK Front End"_s);
    return true;
}

void MainWindow::apply(ConfigData &&data)
{
    m_encoding = data.encoding;
    m_bom = data.bom;
    for (int slot = 0; slot < catalogue::kSlotCount; ++slot) {
        if (QLineEdit *box = m_form.boxes[size_t(slot)]) {
            box->setText(data.values[size_t(slot)].value_or(QString()));
            box->setCursorPosition(0); // a value longer than its box shows its beginning
        }
    }
    m_categories->clear();
    m_categories->addMany(std::move(data.categories));
    m_form.rawText->setTextAsRead(std::move(data.misc));
}

void MainWindow::changeCfgLocation()
{
    QString answer = m_toolkit.inputBox(u"What is the path and filename of your cfg file?"_s,
                                        u"Change cfg Location"_s, configPath());
    if (answer.isEmpty())
        return;
    if (m_changed) {
        const Answer a =
            m_toolkit.messageBox(u"Would you like to save the cfg file before opening another one?"_s,
                                 Buttons::YesNoCancel, Icon::None, u"Save changes?"_s, Answer::Yes);
        if (a != Answer::Yes && a != Answer::No)
            return;
        if (a == Answer::Yes && !save())
            return;
    }
    // A path that cannot be read changes nothing: the window, its edits,
    // the path and the location file stay as they were while the user is
    // asked again.
    for (;;) {
        const QString path = ConfigLocation(m_toolkit.files(), m_toolkit.dataFolder()).absolute(answer);
        if (openConfig(path)) {
            recordConfigPath(m_toolkit, path);
            return;
        }
        answer = m_toolkit.inputBox(u"What is the path and filename of your cfg file?"_s,
                                    u"Change cfg Location"_s, answer);
        if (answer.isEmpty())
            return;
    }
}

// ---- saving and quitting ---------------------------------------------------

ConfigContent MainWindow::content() const
{
    ConfigContent c;
    for (int slot = 0; slot < catalogue::kSlotCount; ++slot)
        if (m_form.boxes[size_t(slot)])
            c.values[size_t(slot)] = m_form.boxes[size_t(slot)]->text();
    c.categories = m_categories->items();
    c.misc = m_form.rawText->textToWrite();
    c.encoding = m_encoding;
    c.bom = m_bom;
    return c;
}

bool MainWindow::save()
{
    if (!saveConfig(m_toolkit, *m_document, [this] { return content(); }))
        return false;
    m_changed = false;
    QString saved = u"Tracker must be restarted for changes to take effect"_s;
    // Saving is never refused for them, but the user hears of them here.
    if (const int bad = valueProblemCount(content()); bad > 0)
        saved += bad == 1
                     ? u"\n1 value does not fit its setting; %1 lists it."_s.arg(kReviewKey)
                     : u"\n%1 values do not fit their settings; %2 lists them."_s.arg(bad).arg(kReviewKey);
    m_toolkit.messageBox(saved, Buttons::Ok, Icon::None, u"Config file saved"_s);
    return true;
}

bool MainWindow::quit()
{
    if (m_changed) {
        const Answer a = m_toolkit.messageBox(u"Would you like to save the cfg file before quitting?"_s,
                                              Buttons::YesNo, Icon::None, u"Save changes?"_s, Answer::Yes);
        // Only No ends without saving: a question withdrawn (Escape, its
        // close button) and a save that failed keep the editor open with
        // the edits.
        if (a != Answer::Yes && a != Answer::No)
            return false;
        if (a == Answer::Yes && !save())
            return false;
    }
    end();
    return true;
}

bool MainWindow::saveAndQuit()
{
    return save() && quit();
}

void MainWindow::exitWithoutSave()
{
    end();
}

void MainWindow::end()
{
    m_ended = true;
    if (m_categoryDialog)
        m_categoryDialog->hide();
    m_toolkit.end();
}

// ---- categories ------------------------------------------------------------

void MainWindow::addCategory()
{
    int added = -1;
    const auto watch = connect(m_categories, &QAbstractItemModel::rowsInserted, this,
                               [&added](const QModelIndex &, int first, int) { added = first; });
    const bool done = addNewCategory(m_toolkit, *m_categories);
    disconnect(watch);
    if (!done)
        return;
    markChanged();
    if (added >= 0)
        m_form.announcer->announce(m_categories->at(added).name + u" added"_s);
}

void MainWindow::tellCurrentCategory()
{
    // Focus coming to the list is told by Qt for the list alone; its
    // current item is told once that has been heard. (An item Qt makes
    // current on the way in, Qt tells itself.) Focus that went with its
    // window and comes back with it (a dialog closing may do that after
    // the focus was put here) is told once.
    if (!m_form.categoryView->currentIndex().isValid() || m_categoryTold)
        return;
    m_categoryTold = true;
    QTimer::singleShot(0, m_form.categoryView, [this] {
        const QModelIndex current = m_form.categoryView->currentIndex();
        if (!m_form.categoryView->hasFocus() || !current.isValid())
            return;
        QAccessibleEvent event(m_form.categoryView, QAccessible::Focus);
        event.setChild(current.row());
        tellScreenReaders(&event);
    });
}

void MainWindow::openCategoryDialog()
{
    // The current item, which the keyboard moves, selected or not: tabbing
    // into the list makes an item current without selecting it.
    const QModelIndex current = m_form.categoryView->currentIndex();
    if (current.isValid())
        openCategoryDialog(current.row());
}

void MainWindow::openCategoryDialog(int row)
{
    if (row < 0 || row >= m_categories->count())
        return;
    if (!m_categoryDialog) {
        m_categoryDialog = new CategoryDialog(m_toolkit, *m_categories, this);
        connect(m_categoryDialog, &CategoryDialog::categoryChanged, this, [this](const QString &news) {
            markChanged();
            m_form.announcer->announce(news);
        });
        // The keyboard goes back to the list, on the item edited (or the one
        // that took a deleted item's place), not to the tab strip.
        connect(m_categoryDialog, &CategoryDialog::closed, this, [this](int closedRow) {
            const int at = std::min(closedRow, m_categories->count() - 1);
            if (at >= 0)
                m_form.categoryView->setCurrentIndex(m_categories->index(at));
            m_form.categoryView->setFocus(Qt::OtherFocusReason);
        });
    }
    m_categoryDialog->openFor(row);
}

} // namespace vesk
