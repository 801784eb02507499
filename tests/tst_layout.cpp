// The main window as laid out: which controls exist, on which tab, where,
// with which texts, and the order the Tab key walks them in.

#include "toolkit/twips.h"
#include "window/tabcontrol.h"
#include "windowfixture.h"

#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTabBar>

#include <vector>

using namespace vesk;
using namespace vesk::test;
using namespace Qt::StringLiterals;

namespace {

struct Row {
    const char *caption;
    int slot;
};

// One column of setting rows on a tab, in twips from the tab control's corner.
struct Column {
    int page;
    int captionRight;
    int boxLeft;
    int boxWidth;
    std::vector<int> tops; // empty: rows 360 apart from firstTop
    int firstTop;
    std::vector<Row> rows;
};

const std::vector<Column> kColumns = {
    {0,
     1815,
     1920,
     2175,
     {},
     480,
     {{"Allow Search", 0},
      {"Allow Sort", 1},
      {"Allow Comments", 11},
      {"Delete Invalid", 14},
      {"Allow Downloads", 25},
      {"Allow Delete", 67},
      {"Allow Info Link", 69},
      {"Nat check", 42},
      {"Debug", 28},
      {"Count Unique Peers", 43},
      {"Allow Scrape", 46},
      {"Parse on Upload", 55},
      {"Force Anounce on DL", 68}}},
    {1,
     1815,
     1920,
     2175,
     {},
     840,
     {{"Display All", 7},
      {"Show Hash", 3},
      {"Show Name", 36},
      {"Show File Comments", 17},
      {"Date Added", 5},
      {"Size", 6},
      {"Show # of Files", 9},
      {"Show Stats", 8},
      {"Show Completed", 56},
      {"Show Transfered", 57},
      {"Show Min Left", 47},
      {"Show Average Left", 26},
      {"Show Max Left", 48},
      {"Show Left as Progress", 49},
      {"Show Uploader", 13}}},
    {1,
     6135,
     6240,
     2175,
     {840, 1320, 2280},
     0,
     {{"Show File Contents", 10}, {"Show Share Ratio", 44}, {"Show Generation Time", 65}}},
    {2,
     1815,
     1920,
     2175,
     {},
     480,
     {{"Compression Level", 21},
      {"Max Torrents", 22},
      {"Port", 27},
      {"Response size", 34},
      {"Max Give", 62},
      {"Torrents Per Page", 2},
      {"Max Connections", 54},
      {"Guest Access", 58},
      {"Member Access", 59},
      {"Users per page", 66},
      {"Max Peers Display", 71}}},
    {3,
     1815,
     2040,
     2175,
     {},
     600,
     {{"Socket timeout", 31},
      {"Downloader Timeout", 32},
      {"Announce interval", 33},
      {"Parse Allowed Interval", 35},
      {"Dump XML Interval", 64},
      {"Save dfile interval", 30},
      {"File Expires", 24},
      {"Log Flush Interval", 20},
      {"Refresh Static Interval", 51}}},
    {4,
     1575,
     1680,
     6375,
     {},
     480,
     {{"Allowed directory", 38},
      {"File Directory", 23},
      {"Access Log Dir", 60},
      {"Error Log Dir", 19},
      {"Tag file", 41},
      {"dfile", 29},
      {"Style Sheet", 4},
      {"Static header", 39},
      {"Static Footer", 50},
      {"Comments File", 12},
      {"Upload Directory", 15},
      {"Image Bar Fill", 52},
      {"Image Bar Trans", 53},
      {"External Torrent Dir", 45},
      {"User Database File", 61},
      {"Dump XML File", 63},
      {"Archive Directory", 70}}},
    {6,
     1815,
     1920,
     2175,
     {},
     480,
     {{"Force Announce URL", 16}, {"Max Hops", 18}, {"Character set", 40}, {"Realm", 72}}},
};

const QString kYesNo = u"For all yes or no options, 1 = yes and 0 = no"_s;

} // namespace

class Layout : public QObject {
    Q_OBJECT

    Session *s = nullptr;

private slots:
    void init()
    {
        s = new Session;
        s->load("port = 6969\r\n");
        QVERIFY(s->show());
    }
    void cleanup()
    {
        delete s;
        s = nullptr;
    }

    void exactlyTheSeventyTwoSettingsHaveControls()
    {
        const auto boxes = s->w.findChildren<QLineEdit *>(QRegularExpression(u"^vesk_\\d+$"_s));
        const auto captions = s->w.findChildren<QLabel *>(QRegularExpression(u"^Label1_\\d+$"_s));
        QCOMPARE(boxes.size(), 72);
        QCOMPARE(captions.size(), 72);
        QVERIFY(!s->w.findChild<QWidget *>(u"vesk_37"_s));
        QVERIFY(!s->w.findChild<QWidget *>(u"Label1_37"_s));
        QVERIFY(!s->w.valueBox(37));
        QVERIFY(!s->w.captionLabel(37));
        int rows = 0;
        for (const Column &c : kColumns)
            rows += int(c.rows.size());
        QCOMPARE(rows, 72);
    }

    // Every row on its tab, in its order, at the grid's geometry.
    void everyRowSitsOnItsGrid()
    {
        const Twips tw(s->w.logicalDpiX());
        TabControl *tabs = s->w.tabs();
        for (const Column &c : kColumns) {
            QWidget *page = tabs->page(c.page);
            for (size_t r = 0; r < c.rows.size(); ++r) {
                const Row &row = c.rows[r];
                const QString what = QString::fromLatin1(row.caption);
                auto *box = s->w.findChild<QLineEdit *>(u"vesk_%1"_s.arg(row.slot));
                auto *caption = s->w.findChild<QLabel *>(u"Label1_%1"_s.arg(row.slot));
                QVERIFY2(box && caption, qPrintable(what));
                QCOMPARE(box, s->w.valueBox(row.slot));
                QCOMPARE(caption, s->w.captionLabel(row.slot));
                QCOMPARE(box->parentWidget(), page);
                QCOMPARE(caption->parentWidget(), page);
                QCOMPARE(caption->text(), what);

                const int top = c.tops.empty() ? c.firstTop + int(r) * 360 : c.tops[r];
                QCOMPARE(box->geometry(), tw.rect(c.boxLeft, top, c.boxWidth, 375));
                QVERIFY2(box->text().isEmpty() || row.slot == 27, qPrintable(what));

                QVERIFY2(caption->alignment() & Qt::AlignRight, qPrintable(what));
                QCOMPARE(caption->geometry().x() + caption->geometry().width(), tw.px(c.captionRight));
                QVERIFY2(std::abs(caption->geometry().height() - tw.px(255)) <= 1, qPrintable(what));
                QVERIFY2(std::abs(caption->geometry().top() - box->geometry().top()) <= tw.px(120),
                         qPrintable(what));
                // Its text ends just left of its box and is not cut.
                QVERIFY2(caption->fontMetrics().horizontalAdvance(what) <= caption->contentsRect().width(),
                         qPrintable(what));
                QVERIFY(caption->geometry().right() < box->geometry().left());
            }
        }
        // The page spans the tab control, so page and control coordinates agree.
        QCOMPARE(tabs->page(0)->geometry(), tabs->rect());
    }

    void tabsInOrderAllowOptionsFirst()
    {
        QTabBar *bar = s->w.tabs()->tabBar();
        const QStringList expected{u"Allow Options"_s,
                                   u"Display Options"_s,
                                   u"Number Options"_s,
                                   u"Times"_s,
                                   u"Files/Directories"_s,
                                   u"Categories"_s,
                                   u"Misc"_s,
                                   u"Raw"_s,
                                   u"About"_s};
        QStringList captions;
        for (int i = 0; i < bar->count(); ++i) {
            captions << bar->tabText(i);
            // Every caption is shown whole: no scroll arrows, no elision.
            QVERIFY(bar->tabRect(i).right() < bar->width());
            QVERIFY(bar->fontMetrics().horizontalAdvance(bar->tabText(i)) <= bar->tabRect(i).width());
        }
        QCOMPARE(captions, expected);
        QCOMPARE(s->w.tabs()->pageCount(), 9);
        QCOMPARE(s->w.tabs()->currentIndex(), 0);
        QVERIFY(s->w.tabs()->page(0)->isVisible());
        QVERIFY(!s->w.tabs()->page(1)->isVisible());
        QCOMPARE(bar->font().families().value(0), u"Microsoft Sans Serif"_s);
        QCOMPARE(bar->font().pointSizeF(), 8.25);
    }

    // The controls that are not setting rows: (name, tab or -1 for the
    // window's client area, left, top, width, height) in twips.
    void otherControls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("page");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<QString>("text");
        auto row = [](const char *n, int page, QRect r, const QString &text) {
            QTest::newRow(n) << QString::fromLatin1(n) << page << r << text;
        };
        row("SSTab1", -1, {120, 0, 8655, 6735}, {});
        row("TipText", -1, {1680, 6840, 6855, 1095},
            u"Move your mouse over any of the values or labels and see what they are for."_s);
        row("bSave", -1, {120, 7200, 1335, 375}, u"Save"_s);
        row("bQuit", -1, {120, 7560, 1335, 375}, u"Quit"_s);
        row("Label2", 0, {3120, 6000, 3135, 255}, kYesNo);
        row("Label6", 1, {3120, 6360, 3135, 255}, kYesNo);
        row("Label7", 5, {1080, 600, 4935, 255}, u"To edit or delete, double click on the category name"_s);
        row("bAddCat", 5, {6240, 600, 1695, 255}, u"Add New Category"_s);
        row("List1", 5, {480, 960, 7695, 4155}, {});
        row("Label3", 7, {1200, 960, 6375, 615},
            u"Any keys that VESK Frontend does not know will go here.  You can add new keys or any other keys that you would like to have in your config file.  This text will be appended to the end of your configuration file as is."_s);
        row("Text1", 7, {1080, 1680, 6495, 3495}, {});
        row("helplabel_0", 8, {1440, 1200, 5655, 495}, u"VESK Frontend for VESK version 7.4b2"_s);
        row("Label9", 8, {1560, 1920, 5175, 255}, {});
        row("Label8", 8, {2640, 2640, 2895, 255}, u"Version 4.0"_s);
        row("Label5", 8, {2280, 5160, 3855, 975}, {});
    }
    void otherControls()
    {
        QFETCH(QString, name);
        QFETCH(int, page);
        QFETCH(QRect, twips);
        QFETCH(QString, text);
        const Twips tw(s->w.logicalDpiX());
        auto *control = s->w.findChild<QWidget *>(name);
        QVERIFY(control);
        QWidget *parent = page < 0 ? s->w.centralWidget() : s->w.tabs()->page(page);
        QCOMPARE(control->parentWidget(), parent);
        const QRect given = tw.rect(twips.x(), twips.y(), twips.width(), twips.height());
        auto *label = qobject_cast<QLabel *>(control);
        if (label && !label->wordWrap()) {
            // A one-line label keeps its place and grows away from the side
            // it is aligned to only as far as its text needs.
            const QRect r = label->geometry();
            const int need = label->fontMetrics().horizontalAdvance(label->text()) + 2;
            QCOMPARE(r.top(), given.top());
            QCOMPARE(r.height(), given.height());
            QCOMPARE(r.width(), std::max(given.width(), need));
            if (label->alignment() & Qt::AlignHCenter)
                QVERIFY(std::abs(r.center().x() - given.center().x()) <= 1);
            else if (label->alignment() & Qt::AlignRight)
                QCOMPARE(r.right(), given.right());
            else
                QCOMPARE(r.left(), given.left());
        } else {
            QCOMPARE(control->geometry(), given);
        }
        if (label) {
            if (text.isEmpty())
                QVERIFY(!label->text().isEmpty());
            else
                QCOMPARE(label->text(), text);
        } else if (auto *button = qobject_cast<QPushButton *>(control)) {
            QCOMPARE(button->text(), text);
        }
    }

    void textsAndFontsWhereGiven()
    {
        auto label = [&](const char *n) { return s->w.findChild<QLabel *>(QString::fromLatin1(n)); };
        QVERIFY(label("Label7")->alignment() & Qt::AlignHCenter);
        QVERIFY(label("TipText")->wordWrap());
        QVERIFY(label("Label3")->wordWrap());
        QCOMPARE(label("helplabel_0")->font().pointSizeF(), 13.5);
        QVERIFY(label("helplabel_0")->font().bold());
        for (const char *n : {"Label9", "Label8"}) {
            QCOMPARE(label(n)->font().pointSizeF(), 9.75);
            QVERIFY(label(n)->alignment() & Qt::AlignHCenter);
        }
        QVERIFY(label("Label5")->alignment() & Qt::AlignHCenter);

        // The Display Options headings: their place is given, their width is ours.
        const Twips tw(s->w.logicalDpiX());
        const struct {
            const char *name;
            QString text;
            QPoint at;
        } headings[] = {{"Label12", u"Index Page"_s, {1560, 480}},
                        {"Label10", u"Stats Page"_s, {6000, 480}},
                        {"Label11", u"All Pages"_s, {6000, 2040}}};
        for (const auto &h : headings) {
            QLabel *l = label(h.name);
            QVERIFY(l);
            QCOMPARE(l->parentWidget(), s->w.tabs()->page(1));
            QCOMPARE(l->text(), h.text);
            QCOMPARE(l->pos(), QPoint(tw.px(h.at.x()), tw.px(h.at.y())));
            QCOMPARE(l->height(), tw.px(h.at.y() + 255) - tw.px(h.at.y()));
        }
        QCOMPARE(s->w.miscText()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    }

    void fileMenu()
    {
        const auto menus = s->w.menuBar()->actions();
        QVERIFY(!menus.isEmpty());
        QCOMPARE(menus[0]->text(), u"&File"_s);
        QMenu *file = menus[0]->menu();
        QVERIFY(file);
        QCOMPARE(file->objectName(), u"menFile"_s);
        QStringList items;
        for (QAction *a : file->actions())
            items << a->objectName() + u" "_s + a->text() + u" "_s + a->shortcut().toString();
        QCOMPARE(items, (QStringList{u"menChangecfg &Change cfg Location "_s, u"menSave &Save Ctrl+S"_s,
                                     u"menSaveQuit &Quit with Save Ctrl+Q"_s,
                                     u"menExit E&xit without save Ctrl+X"_s}));
    }

    void windowOpensCentredWithFocusInTheFirstBox()
    {
        const Twips tw(s->w.logicalDpiX());
        QCOMPARE(s->w.windowTitle(), u"VESK Front End"_s);
        QCOMPARE(s->w.centralWidget()->size(), QSize(tw.px(8850), tw.px(8040)));
        QCOMPARE(QApplication::focusWidget(), s->w.valueBox(0));
        const QPoint off = s->w.frameGeometry().center() - s->w.screen()->availableGeometry().center();
        QVERIFY2(off.manhattanLength() <= 2, qPrintable(u"%1,%2"_s.arg(off.x()).arg(off.y())));
    }

    // The Tab key from vesk_0 visits every control in the required order,
    // bringing each one's tab to the front, and comes back round.
    void tabKeyWalk()
    {
        QStringList expected;
        for (const Column &c : kColumns)
            if (c.page != 6)
                for (const Row &r : c.rows)
                    expected << u"vesk_%1"_s.arg(r.slot);
        expected << u"List1"_s << u"bAddCat"_s;
        for (const Row &r : kColumns.back().rows)
            expected << u"vesk_%1"_s.arg(r.slot);
        expected << u"Text1"_s << u"bSave"_s << u"bQuit"_s << u"SSTab1_tabs"_s;
        QCOMPARE(expected.size(), 78);
        // The walk starts after vesk_0; from the strip it enters the page
        // shown, Raw.
        expected.removeFirst();
        expected << u"Text1"_s;

        QStringList visited;
        QWidget *focus = QApplication::focusWidget();
        QCOMPARE(focus, s->w.valueBox(0));
        for (int i = 0; i < expected.size(); ++i) {
            QTest::keyClick(focus, Qt::Key_Tab);
            focus = QApplication::focusWidget();
            QVERIFY(focus);
            visited << focus->objectName();
            QVERIFY2(focus->isVisible(), qPrintable(focus->objectName()));
            const int page = s->w.tabs()->indexOfPageHolding(focus);
            if (page >= 0)
                QCOMPARE(s->w.tabs()->currentIndex(), page);
        }
        QCOMPARE(visited, expected);
        // Shift+Tab walks back.
        QTest::keyClick(focus, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget()->objectName(), u"vesk_72"_s);
    }

    // At another screen density every twip position scales with it. Runs
    // the geometry check in a child process on a 144 dpi offscreen screen.
    void scalesWithTheScreen()
    {
        if (qEnvironmentVariableIsSet("VESK_LAYOUT_CHILD")) {
            QCOMPARE(s->w.logicalDpiX(), 144);
            QCOMPARE(s->w.centralWidget()->size(), QSize(885, 804)); // 8850 x 8040 twips at 144 dpi
            return;
        }
        QTemporaryDir dir;
        const QString config = dir.filePath(u"screen.json"_s);
        writeBytes(config, R"({"screens": [{"name": "big", "x": 0, "y": 0, "width": 1600, "height": 1400,
                                 "logicalDpi": 144, "logicalBaseDpi": 96, "dpr": 1}]})");
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen:configfile="_s + config);
        env.insert(u"QT_ENABLE_HIGHDPI_SCALING"_s, u"0"_s); // the window sees the screen's own dpi
        env.insert(u"VESK_LAYOUT_CHILD"_s, u"1"_s);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(),
                    {u"scalesWithTheScreen"_s, u"everyRowSitsOnItsGrid"_s, u"otherControls"_s});
        QVERIFY(child.waitForFinished(30000));
        const QByteArray out = child.readAllStandardOutput();
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, out.constData());
        QVERIFY2(out.contains("PASS   : Layout::everyRowSitsOnItsGrid()"), out.constData());
    }
};

QTEST_MAIN(Layout)
#include "tst_layout.moc"
