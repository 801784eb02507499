#include "window/form.h"

#include "toolkit/accessible.h"
#include "toolkit/keys.h"
#include "toolkit/singleline.h"
#include "toolkit/twips.h"
#include "window/helpline.h"
#include "window/rawtext.h"
#include "window/tabcontrol.h"
#include "window/valuemarks.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>

#include <limits>

using namespace Qt::StringLiterals;

namespace vesk
{
namespace
{

const QString kYesNoNote = u"For all yes or no options, 1 = yes and 0 = no"_s;

// Where the rows of a setting tab sit, in twips from the tab control's corner.
struct Grid {
    int captionLeft;
    int captionRight;
    int boxLeft;
    int boxWidth;
    int firstTop;
};
constexpr int kRowPitch = 360;
constexpr int kBoxHeight = 375;
constexpr int kCaptionHeight = 255;

struct SettingPage {
    Page page;
    Grid grid;
};

constexpr SettingPage kSettingPages[] = {
    {Page::AllowOptions, {120, 1815, 1920, 2175, 480}},
    {Page::DisplayOptions, {120, 1815, 1920, 2175, 840}},
    {Page::NumberOptions, {120, 1815, 1920, 2175, 480}},
    {Page::Times, {120, 1815, 2040, 2175, 600}},
    {Page::FilesDirectories, {120, 1575, 1680, 6375, 480}},
    {Page::Misc, {120, 1815, 1920, 2175, 480}},
};

// Display Options has a second column, its last rows, each at its own top
// under the headings; its captions start where the left column's boxes end.
constexpr Grid kDisplayRight = {4200, 6135, 6240, 2175, 840};
struct RightRow {
    int top;
    const char16_t *heading; // the heading above it
};
constexpr RightRow kDisplayRightRows[] = {{840, u"Stats Page"}, {1320, u"Stats Page"}, {2280, u"All Pages"}};
constexpr char16_t kDisplayLeftHeading[] = u"Index Page";

// Makes the controls in the order they have always been made, which is
// also the order their event filters and signals were set up in.
class Builder
{
public:
    Builder(QWidget &client, QObject &watcher)
        : m_client(client), m_watcher(watcher), m_tw(client.logicalDpiX())
    {
    }

    void frame();
    void settingPages();
    void categoriesPage(QAbstractItemModel &categories);
    void rawPage();
    void aboutPage();

    Form form;

private:
    void addRow(QWidget *page, int slot, const Grid &g, int top);
    // The Display Options headings say which web page a setting is for: a
    // screen reader hears the heading with the setting's help.
    void underHeading(int slot, const char16_t *heading);
    QLabel *note(QWidget *page, const char *name, const QString &text, QRect r);
    QLabel *aboutLabel(const char *name, const QString &text, QRect r, qreal points, bool bold);

    QWidget &m_client;
    QObject &m_watcher;
    const Twips m_tw;
};

void Builder::frame()
{
    m_client.setFixedSize(m_tw.px(8850), m_tw.px(8040));

    form.tabs = new TabControl(&m_client);
    form.tabs->setObjectName(u"SSTab1"_s);
    form.tabs->setGeometry(m_tw.rect(120, 0, 8655, 6735));

    form.helpLine = new HelpLine(&m_client);
    form.helpLine->setObjectName(u"TipText"_s);
    form.helpLine->setGeometry(m_tw.rect(1680, 6840, 6855, 1095));
    form.helpLine->setHelp(openingHelp());
    QObject::connect(form.tabs, &TabControl::surfacePointerMoved, form.helpLine,
                     [help = form.helpLine] { help->setHelp(QString()); });

    form.saveButton = new QPushButton(u"Save"_s, &m_client);
    form.saveButton->setObjectName(u"bSave"_s);
    form.saveButton->setGeometry(m_tw.rect(120, 7200, 1335, 375));

    form.quitButton = new QPushButton(u"Quit"_s, &m_client);
    form.quitButton->setObjectName(u"bQuit"_s);
    form.quitButton->setGeometry(m_tw.rect(120, 7560, 1335, 375));
    pressOnReturn(form.saveButton);
    pressOnReturn(form.quitButton);
    form.announcer = new Announcer(&m_client);
}

void Builder::addRow(QWidget *page, int slot, const Grid &g, int top)
{
    const Setting *s = catalogue::setting(slot);
    auto *box = new QLineEdit(page);
    box->setObjectName(u"vesk_%1"_s.arg(slot));
    box->setMaxLength(std::numeric_limits<int>::max()); // values of any length
    box->setGeometry(m_tw.rect(g.boxLeft, top, g.boxWidth, kBoxHeight));
    box->setMouseTracking(true);
    box->setProperty("slot", slot);
    tellFocusBeforeSelection(box); // first: the watcher sees the focus's reason
    box->installEventFilter(&m_watcher);
    box->setAccessibleName(s->caption);
    box->setAccessibleDescription(catalogue::helpEntry(slot));
    keepSingleLine(box);
    markValueProblems(box, slot, &m_watcher, form.helpLine, form.announcer);

    auto *caption = new QLabel(s->caption, page);
    caption->setObjectName(u"Label1_%1"_s.arg(slot));
    caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    caption->setGeometry(m_tw.rect(g.captionLeft, top + (kBoxHeight - kCaptionHeight) / 2,
                                   g.captionRight - g.captionLeft, kCaptionHeight));
    caption->setMouseTracking(true);
    caption->setProperty("slot", slot);
    caption->installEventFilter(&m_watcher);
    caption->setBuddy(box);

    form.boxes[size_t(slot)] = box;
    form.captions[size_t(slot)] = caption;
}

void Builder::underHeading(int slot, const char16_t *heading)
{
    QLineEdit *box = form.boxes[size_t(slot)];
    box->setAccessibleDescription(QString::fromUtf16(heading) + u": "_s + box->accessibleDescription());
}

QLabel *Builder::note(QWidget *page, const char *name, const QString &text, QRect r)
{
    auto *l = new QLabel(text, page);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(r);
    return l;
}

void Builder::settingPages()
{
    // Pages in strip order; the setting pages are filled here, the others
    // by their own steps. Object names as the pages have always had;
    // captions from the catalogue.
    const char *const objectNames[kPageCount] = {
        "AllowOptions", "DisplayOptions", "NumberOptions", "Times", "FilesDirectories",
        "Categories",   "MiscOptions",    "Raw",           "About"};
    for (int p = 0; p < kPageCount; ++p)
        form.tabs->addPage(catalogue::pageCaption(Page(p)), QString::fromLatin1(objectNames[p]));

    for (const SettingPage &sp : kSettingPages) {
        QWidget *page = form.page(sp.page);
        const auto rows = catalogue::rowsOf(sp.page);
        const bool display = sp.page == Page::DisplayOptions;
        const size_t left = rows.size() - (display ? std::size(kDisplayRightRows) : 0);
        for (size_t row = 0; row < rows.size(); ++row) {
            if (row < left) {
                addRow(page, rows[row], sp.grid, sp.grid.firstTop + int(row) * kRowPitch);
                if (display)
                    underHeading(rows[row], kDisplayLeftHeading);
            } else {
                const RightRow &r = kDisplayRightRows[row - left];
                addRow(page, rows[row], kDisplayRight, r.top);
                underHeading(rows[row], r.heading);
            }
        }
    }

    note(form.page(Page::AllowOptions), "Label2", kYesNoNote, m_tw.rect(3120, 6000, 3135, 255));
    QWidget *display = form.page(Page::DisplayOptions);
    note(display, "Label6", kYesNoNote, m_tw.rect(3120, 6360, 3135, 255));
    QFont heading = m_client.font();
    heading.setBold(true);
    note(display, "Label12", u"Index Page"_s, m_tw.rect(1560, 480, 2400, 255))->setFont(heading);
    note(display, "Label10", u"Stats Page"_s, m_tw.rect(6000, 480, 2400, 255))->setFont(heading);
    note(display, "Label11", u"All Pages"_s, m_tw.rect(6000, 2040, 2400, 255))->setFont(heading);
}

void Builder::categoriesPage(QAbstractItemModel &categories)
{
    QWidget *cats = form.page(Page::Categories);
    auto *hint = new QLabel(u"To edit or delete, double click on the category name"_s, cats);
    hint->setObjectName(u"Label7"_s);
    hint->setAlignment(Qt::AlignCenter);
    hint->setGeometry(m_tw.rect(1080, 600, 4935, 255));
    form.addCategoryButton = new QPushButton(u"Add New Category"_s, cats);
    form.addCategoryButton->setObjectName(u"bAddCat"_s);
    form.addCategoryButton->setGeometry(m_tw.rect(6240, 600, 1695, 255));
    pressOnReturn(form.addCategoryButton);
    QListView *view = form.categoryView = new QListView(cats);
    view->setObjectName(u"List1"_s);
    view->setGeometry(m_tw.rect(480, 960, 7695, 4155));
    view->setModel(&categories);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setUniformItemSizes(true); // keeps long lists fast
    view->setAccessibleName(u"Categories"_s);
    view->installEventFilter(&m_watcher);
}

void Builder::rawPage()
{
    QWidget *raw = form.page(Page::Raw);
    auto *rawNote = new QLabel(
        u"Any keys that VESK Frontend does not know will go here.  You can add new keys or any other keys that you would like to have in your config file.  This text will be appended to the end of your configuration file as is."_s,
        raw);
    rawNote->setObjectName(u"Label3"_s);
    rawNote->setWordWrap(true);
    rawNote->setGeometry(m_tw.rect(1200, 960, 6375, 615));
    RawTextEdit *text = form.rawText = new RawTextEdit(raw);
    text->setObjectName(u"Text1"_s);
    text->setGeometry(m_tw.rect(1080, 1680, 6495, 3495));
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text->setTabChangesFocus(true);
    text->setAccessibleName(u"Other lines of the cfg file"_s);
    rawNote->setBuddy(text); // the note explains the box
}

QLabel *Builder::aboutLabel(const char *name, const QString &text, QRect r, qreal points, bool bold)
{
    auto *l = new QLabel(text, form.page(Page::About));
    l->setObjectName(QString::fromLatin1(name));
    l->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    if (points > 0) {
        QFont f = m_client.font();
        f.setPointSizeF(points);
        f.setBold(bold);
        l->setFont(f);
    }
    // Only a label with room for several lines wraps; a one-line label
    // grows instead (see growLabels), so no word is ever cut.
    l->setWordWrap(r.height() >= 2 * l->fontMetrics().height());
    l->setGeometry(r);
    return l;
}

void Builder::aboutPage()
{
    aboutLabel("helplabel_0", u"VESK Frontend for VESK version 7.4b2"_s, m_tw.rect(1440, 1200, 5655, 495),
               13.5, true);
    aboutLabel("Label9", u"By the VESK Frontend authors, for the VESK 7.4 tracker edition"_s,
               m_tw.rect(1560, 1920, 5175, 255), 9.75, false);
    aboutLabel("Label8", u"Version 4.0"_s, m_tw.rect(2640, 2640, 2895, 255), 9.75, false);
    aboutLabel(
        "Label5",
        u"Thanks to the icon's artist, the tracker's authors and the makers of its edition, the inventor of the BitTorrent protocol, and the torrent community that tested it all."_s,
        m_tw.rect(2280, 5160, 3855, 975), 0, false);
}

// A label never cuts its text: one line that needs more room than its
// place gives grows, away from the side it is aligned to.
void growLabels(QWidget &client)
{
    for (QLabel *l : client.findChildren<QLabel *>()) {
        if (l->wordWrap())
            continue;
        const int need = l->fontMetrics().horizontalAdvance(l->text()) + 2;
        if (need <= l->width())
            continue;
        QRect r = l->geometry();
        if (l->alignment() & Qt::AlignRight)
            r.setLeft(r.right() - need + 1);
        else if (l->alignment() & Qt::AlignHCenter)
            r.adjust(-(need - r.width()) / 2, 0, (need - r.width() + 1) / 2, 0);
        else
            r.setWidth(need);
        l->setGeometry(r);
    }
}

} // namespace

QString openingHelp()
{
    return u"Move your mouse over any of the values or labels and see what they are for."_s;
}

QWidget *Form::page(Page p) const
{
    return tabs->page(int(p));
}

Form buildForm(QWidget &client, QAbstractItemModel &categories, QObject &watcher)
{
    Builder b(client, watcher);
    b.frame();
    b.settingPages();
    b.categoriesPage(categories);
    b.rawPage();
    b.aboutPage();
    growLabels(client);

    // Controls on the pages keep pointer movement to themselves, so that
    // only the tab control's bare surface empties the help line.
    for (int p = 0; p < b.form.tabs->pageCount(); ++p)
        for (QObject *child : b.form.tabs->page(p)->children())
            if (auto *w = qobject_cast<QWidget *>(child))
                w->setAttribute(Qt::WA_NoMousePropagation);
    return b.form;
}

} // namespace vesk
