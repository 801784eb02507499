// The main window as laid out: which controls exist, on which tab, where,
// with which texts, and the order the Tab key walks them in.

#include "config/catalogue.h"
#include "toolkit/twips.h"
#include "window/tabcontrol.h"
#include "windowfixture.h"

#include <QFontDatabase>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTabBar>

using namespace vesk;
using namespace vesk::test;
using namespace Qt::StringLiterals;

namespace
{

// The setting tabs in strip order.
constexpr Page kSettingTabs[] = {Page::AllowOptions, Page::DisplayOptions,   Page::NumberOptions,
                                 Page::Times,        Page::FilesDirectories, Page::Misc};

const QString kYesNo = u"For all yes or no options, 1 = yes and 0 = no"_s;

} // namespace

class Layout : public QObject
{
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
        QCOMPARE(boxes.size(), catalogue::kSettingCount);
        QCOMPARE(captions.size(), catalogue::kSettingCount);
        QVERIFY(!s->w.findChild<QWidget *>(u"vesk_%1"_s.arg(catalogue::kEmptySlot)));
        QVERIFY(!s->w.findChild<QWidget *>(u"Label1_%1"_s.arg(catalogue::kEmptySlot)));
        QVERIFY(!s->w.valueBox(catalogue::kEmptySlot));
        QVERIFY(!s->w.captionLabel(catalogue::kEmptySlot));
    }

    // Each tab's rows on its own page, in strip order, in the catalogue's
    // order: down a column, then on in the next one to the right. A column
    // lines its boxes and captions up, the first one on the row pitch; a
    // caption ends left of its box and shows its whole text.
    void everyRowSitsOnItsGrid()
    {
        const Twips tw(s->w.logicalDpiX());
        TabControl *tabs = s->w.tabs();
        int lastPage = -1;
        for (Page tab : kSettingTabs) {
            const auto rows = catalogue::rowsOf(tab);
            const int page = tabs->indexOfPageHolding(s->w.valueBox(rows[0]));
            QVERIFY(page > lastPage);
            lastPage = page;
            bool firstColumn = true;
            for (size_t r = 0; r < rows.size(); ++r) {
                const QString what = catalogue::setting(rows[r])->caption;
                QLineEdit *box = s->w.valueBox(rows[r]);
                QLabel *caption = s->w.captionLabel(rows[r]);
                QVERIFY2(box && caption, qPrintable(what));
                QCOMPARE(box->objectName(), u"vesk_%1"_s.arg(rows[r]));
                QCOMPARE(caption->objectName(), u"Label1_%1"_s.arg(rows[r]));
                QCOMPARE(box->parentWidget(), tabs->page(page));
                QCOMPARE(caption->parentWidget(), tabs->page(page));
                QCOMPARE(caption->text(), what);
                QVERIFY(tabs->page(page)->rect().contains(box->geometry()));
                QVERIFY2(std::abs(box->height() - tw.px(375)) <= 1, qPrintable(what));
                QCOMPARE(box->text().isEmpty(), rows[r] != catalogue::slotOf(u"port"));

                QVERIFY2(caption->alignment() & Qt::AlignRight, qPrintable(what));
                QVERIFY2(std::abs(caption->height() - tw.px(255)) <= 1, qPrintable(what));
                QVERIFY2(std::abs(caption->geometry().top() - box->geometry().top()) <= tw.px(120),
                         qPrintable(what));
                QVERIFY2(caption->fontMetrics().horizontalAdvance(what) <= caption->contentsRect().width(),
                         qPrintable(what));
                QVERIFY(caption->geometry().right() < box->geometry().left());
                if (r == 0)
                    continue;
                QLineEdit *above = s->w.valueBox(rows[r - 1]);
                if (box->x() > above->x()) {
                    firstColumn = false;
                    continue;
                }
                QCOMPARE(box->x(), above->x());
                QCOMPARE(box->width(), above->width());
                QCOMPARE(caption->geometry().right(), s->w.captionLabel(rows[r - 1])->geometry().right());
                QVERIFY2(box->y() > above->y(), qPrintable(what));
                const int fromFirst = box->y() - s->w.valueBox(rows[0])->y();
                QVERIFY2(!firstColumn || std::abs(fromFirst - tw.px(360 * int(r))) <= 1, qPrintable(what));
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
        // The first of the preferred families that is installed.
        const QStringList preferred{u"Microsoft Sans Serif"_s, u"Liberation Sans"_s, u"Arial"_s};
        const auto installed = std::find_if(preferred.begin(), preferred.end(),
                                            [](const QString &f) { return QFontDatabase::hasFamily(f); });
        if (installed != preferred.end())
            QCOMPARE(bar->font().family(), *installed);
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
        QCOMPARE(s->w.rawText()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
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
        QCOMPARE(QApplication::focusWidget(), s->w.valueBox(catalogue::rowsOf(kSettingTabs[0])[0]));
        const QPoint off = s->w.frameGeometry().center() - s->w.screen()->availableGeometry().center();
        QVERIFY2(off.manhattanLength() <= 2, qPrintable(u"%1,%2"_s.arg(off.x()).arg(off.y())));
    }

    // The Tab key from the first box visits every control in the order the pages
    // show them, bringing each one's tab to the front, and comes back round.
    void tabKeyWalk()
    {
        QStringList expected;
        for (Page tab : kSettingTabs) {
            if (tab == Page::Misc) // after the Categories page
                expected << u"List1"_s << u"bAddCat"_s;
            for (int slot : catalogue::rowsOf(tab))
                expected << u"vesk_%1"_s.arg(slot);
        }
        expected << u"Text1"_s << u"bSave"_s << u"bQuit"_s << u"SSTab1_tabs"_s;
        QCOMPARE(expected.size(), 78);
        // The walk starts after the first box; from the strip it goes on to
        // the first box again, not into the page it brought to the front.
        const QString first = expected.takeFirst();
        const QStringList again{first, expected[0], expected[1]};
        expected << again;

        QStringList visited;
        QWidget *focus = QApplication::focusWidget();
        QCOMPARE(focus->objectName(), first);
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
        QCOMPARE(QApplication::focusWidget()->objectName(), again[1]);
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
