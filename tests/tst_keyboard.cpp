// The window by keyboard alone: from the tab strip into the page it shows,
// page switching, help for the focused box, the category list and its
// dialog, Find Next's word on a lone match, and a big Raw text.

#include "categories/categorydialog.h"
#include "config/catalogue.h"
#include "config/configwriter.h"
#include "windowfixture.h"

#include "window/rawlinesview.h"
#include "window/rawtext.h"

#include <QAccessible>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QPointer>
#include <QTabBar>
#include <QTimer>

using namespace vesk;
using namespace vesk::test;
using namespace Qt::StringLiterals;

namespace
{

const QByteArray kConfig = "port = 6969\r\nvesk_force_announce_url = http://example.org:6969/announce\r\n"
                           "vesk_tag1 = Anime|/file/anime.png\r\nvesk_tag2 = Books|/file/books.png\r\n";

QWidget *focused()
{
    return QApplication::focusWidget();
}

// As a screen reader presses a menu's item.
void pressMenuItem(QWidget *menu, const QString &name)
{
    QAccessibleInterface *m = QAccessible::queryAccessibleInterface(menu);
    for (int i = 0; i < m->childCount(); ++i)
        if (m->child(i)->text(QAccessible::Name) == name)
            m->child(i)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
}

} // namespace

class KeyboardTest : public QObject
{
    Q_OBJECT
    Session *s = nullptr;

    void press(int key, Qt::KeyboardModifiers mods = {}) { QTest::keyClick(focused(), Qt::Key(key), mods); }

private slots:
    void init()
    {
        s = new Session;
        s->load(kConfig);
        QVERIFY(s->show());
    }
    void cleanup()
    {
        delete s;
        s = nullptr;
    }

    // Shift+Tab to the strip, Right three times, Tab: the first box of
    // Times, with its help in the line.
    void stripLeadsIntoThePageShown()
    {
        QCOMPARE(focused(), s->box(u"vesk_allow_search"));
        press(Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(focused(), s->w.tabs()->tabBar());
        for (int i = 0; i < 3; ++i)
            press(Qt::Key_Right);
        QCOMPARE(s->w.tabs()->currentIndex(), int(Page::Times));
        press(Qt::Key_Tab);
        const int first = catalogue::rowsOf(Page::Times)[0];
        QCOMPARE(focused(), s->w.valueBox(first));
        QCOMPARE(s->w.tabs()->currentIndex(), int(Page::Times));
        QCOMPARE(s->w.helpLine()->text(), catalogue::helpEntry(first));
        // A page without controls hands the keyboard to Save.
        s->w.tabs()->tabBar()->setFocus();
        s->w.tabs()->setCurrentIndex(int(Page::About));
        press(Qt::Key_Tab);
        QCOMPARE(focused(), s->w.saveButton());
    }

    // After the walk reached the strip, a page picked there is the one Tab
    // enters (a page without controls hands on to Save).
    void tabEntersThePagePicked_data()
    {
        QTest::addColumn<QString>("pick");
        QTest::addColumn<int>("page");
        QTest::newRow("Left") << u"Left"_s << int(Page::Misc);
        QTest::newRow("Right and back") << u"Right,Left"_s << int(Page::Raw);
        QTest::newRow("Ctrl+Tab") << u"Ctrl+Tab"_s << int(Page::About);
        QTest::newRow("click") << u"click"_s << int(Page::Times);
    }
    void tabEntersThePagePicked()
    {
        QFETCH(QString, pick);
        QFETCH(int, page);
        const std::vector<QWidget *> &order = s->w.focusOrder();
        for (size_t i = 1; i < order.size(); ++i)
            press(Qt::Key_Tab);
        QTabBar *strip = s->w.tabs()->tabBar();
        QCOMPARE(focused(), strip);
        if (pick == u"click"_s)
            QTest::mouseClick(strip, Qt::LeftButton, {}, strip->tabRect(page).center());
        else
            for (const QString &k : pick.split(u','))
                QTest::keySequence(strip, QKeySequence(k));
        QCOMPARE(s->w.tabs()->currentIndex(), page);
        QCOMPARE(focused(), strip);
        press(Qt::Key_Tab);
        const auto first = std::find_if(order.begin(), order.end(), [&](QWidget *w) {
            return s->w.tabs()->indexOfPageHolding(w) == page;
        });
        QCOMPARE(focused(), first != order.end() ? *first : s->w.saveButton());
    }

    // From anywhere in the window; the keyboard goes along to the page's
    // first control, or stays on the strip where a page has none.
    void pageKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("page");
        QTest::newRow("Ctrl+Tab") << int(Qt::Key_Tab) << int(Qt::ControlModifier)
                                  << int(Page::DisplayOptions);
        QTest::newRow("Ctrl+Shift+Tab: About")
            << int(Qt::Key_Backtab) << int(Qt::ControlModifier | Qt::ShiftModifier) << int(Page::About);
        QTest::newRow("Ctrl+PageDown")
            << int(Qt::Key_PageDown) << int(Qt::ControlModifier) << int(Page::DisplayOptions);
        QTest::newRow("Ctrl+PageUp: About")
            << int(Qt::Key_PageUp) << int(Qt::ControlModifier) << int(Page::About);
    }
    void pageKeys()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, page);
        press(key, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(s->w.tabs()->currentIndex(), page);
        QWidget *expected = page == int(Page::About)
                                ? static_cast<QWidget *>(s->w.tabs()->tabBar())
                                : s->w.valueBox(catalogue::rowsOf(Page::DisplayOptions)[0]);
        QCOMPARE(focused(), expected);
        // Moving into the page is moving into a page of tabs named as its tab.
        QAccessibleInterface *pageTab = QAccessible::queryAccessibleInterface(expected)->parent();
        if (page != int(Page::About)) {
            QCOMPARE(pageTab->role(), QAccessible::PageTab);
            QCOMPARE(pageTab->text(QAccessible::Name), s->w.tabs()->tabBar()->tabText(page));
        }
        // And back, also from inside the Raw text, which keeps Tab to move on.
        s->w.tabs()->setCurrentIndex(int(Page::Raw));
        s->w.rawText()->setFocus();
        press(Qt::Key_PageDown, Qt::ControlModifier);
        QCOMPARE(s->w.tabs()->currentIndex(), int(Page::About));
    }

    // Return opens the current item, selected or not; Escape and Edit give
    // the keyboard back to the list on that item.
    void categoryListAndDialog()
    {
        QListView *list = s->w.categoryView();
        s->w.tabs()->setCurrentIndex(int(Page::Categories));
        list->setFocus(Qt::TabFocusReason);
        list->setCurrentIndex(s->w.categories()->index(1));
        list->clearSelection();
        press(Qt::Key_Return);
        CategoryDialog *d = s->w.categoryDialog();
        QVERIFY(d && d->isVisible());
        QCOMPARE(d->nameBox()->text(), u"Books"_s);
        QTest::keyClick(d->focusWidget(), Qt::Key_Escape);
        QVERIFY(!d->isVisible());
        QCOMPARE(focused(), list);
        QCOMPARE(list->currentIndex().row(), 1);
        QCOMPARE(s->w.tabs()->currentIndex(), int(Page::Categories));

        press(Qt::Key_Return);
        d->editButton()->click();
        QCOMPARE(focused(), list);
        QCOMPARE(list->currentIndex().row(), 1);
        press(Qt::Key_Return);
        d->deleteButton()->click(); // the scripted answer: No, nothing deleted
        d->cancelButton()->click();
        QCOMPARE(focused(), list);
    }

    // Find Next that finds the same setting again says so.
    void findNextOnALoneMatch()
    {
        s->tk.type(u"vesk_realm"_s);
        s->action("menFind")->trigger();
        s->tk.clearPrompts();
        s->action("menFindNext")->trigger();
        QCOMPARE(shown(s->tk),
                 QStringList{message(u"Find Setting"_s, u"No other setting matches vesk_realm"_s)});
    }

    // A big Raw text is shown a line per row until a key would change it;
    // then the text box takes over where the user was, with that key.
    void bigRawText_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<bool>("viewAfter");
        QTest::addColumn<QString>("miscStart"); // empty: unchanged
        QTest::addColumn<int>("replaced");      // lines of the text that miscStart stands for
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<QString>("focusAfter");
        const int big = int(RawTextEdit::kLinesForView);
        QTest::newRow("one line less: the text box")
            << big - 1 << u""_s << false << u""_s << 0 << u""_s << u"Text1"_s;
        QTest::newRow("moving and copying")
            << big << u"Down,Down,PgDown,Home,Ctrl+C"_s << true << u""_s << 0 << u"# line 0\n"_s << u"view"_s;
        // A highlighted row is the whole line, its end included, as a text
        // box's line selection: a key replaces it, or removes it entirely.
        QTest::newRow("typing over a highlight")
            << big << u"Down,Down,Q"_s << false << u"# line 0\n# line 1\nq# line 3\n"_s << 4 << u""_s
            << u"Text1"_s;
        QTest::newRow("pasting, nothing highlighted")
            << big << u"Ctrl+V"_s << false << u"pasted# line 0\n"_s << 1 << u"pasted"_s << u"Text1"_s;
        QTest::newRow("pasting over two lines")
            << big << u"Down,Shift+Down,Ctrl+V"_s << false << u"# line 0\npasted\n"_s << 3 << u"pasted\n"_s
            << u"Text1"_s;
        QTest::newRow("Backspace") << big << u"Down,Backspace"_s << false << u"# line 0\n"_s << 2 << u""_s
                                   << u"Text1"_s;
        QTest::newRow("Delete over lines picked upward")
            << big << u"Down,Down,Down,Shift+Up,Shift+Up,Delete"_s << false << u"# line 0\n"_s << 4 << u""_s
            << u"Text1"_s;
        QTest::newRow("cutting") << big << u"Down,Shift+Down,Ctrl+X"_s << false << u"# line 0\n"_s << 3
                                 << u"# line 1\n# line 2\n"_s << u"Text1"_s;
        // The menu opened by the keyboard; Edit picked with E, or pressed by a
        // screen reader, which leaves the menu open.
        QTest::newRow("the menu's Edit keeps the highlight")
            << big << u"Down,MenuE,Delete"_s << false << u"# line 0\n"_s << 2 << u""_s << u"Text1"_s;
        QTest::newRow("the menu's Edit pressed by a screen reader")
            << big << u"Down,MenuPress,Delete"_s << false << u"# line 0\n"_s << 2 << u""_s << u"Text1"_s;
        QTest::newRow("Tab goes on to Save") << big << u"Tab"_s << true << u""_s << 0 << u""_s << u"bSave"_s;
        // A double click edits nothing yet; the caret is where it was.
        QTest::newRow("double click on line 3")
            << big << u"DoubleClick3"_s << false << u""_s << 0 << u""_s << u"Text1"_s;
    }
    void bigRawText()
    {
        QFETCH(int, lines);
        QFETCH(QString, keys);
        QFETCH(bool, viewAfter);
        QFETCH(QString, miscStart);
        QFETCH(int, replaced);
        QFETCH(QString, clipboard);
        QFETCH(QString, focusAfter);
        QByteArray bytes = kConfig;
        QString misc;
        for (int i = 0; i < lines; ++i)
            misc += u"# line %1\n"_s.arg(i);
        bytes += misc.toUtf8().replace("\n", "\r\n");
        s->load(bytes);
        // What a paste takes; otherwise only a copy or a cut fills it.
        QApplication::clipboard()->setText(keys.contains(u"Ctrl+V"_s) ? clipboard : QString());
        auto *raw = s->w.findChild<RawTextEdit *>();
        s->w.tabs()->setCurrentIndex(int(Page::Raw));
        raw->setFocus(Qt::TabFocusReason);
        QCOMPARE(raw->linesView() != nullptr, lines >= RawTextEdit::kLinesForView);
        if (RawLinesView *view = raw->linesView())
            QCOMPARE(view->accessibleName(), raw->accessibleName());
        for (const QString &k : keys.split(u',', Qt::SkipEmptyParts)) {
            if (k.startsWith(u"DoubleClick"_s)) {
                RawLinesView *view = raw->linesView();
                const QRect row = view->visualRect(view->model()->index(k.back().digitValue(), 0));
                QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, row.center());
                QCOMPARE(raw->textCursor().blockNumber(), k.back().digitValue());
            } else if (k.startsWith(u"Menu"_s)) {
                QPointer<RawLinesView> view = raw->linesView();
                const QPoint at = view->visualRect(view->currentIndex()).center();
                QTimer::singleShot(0, [byKey = k == u"MenuE"_s] {
                    QWidget *menu = QApplication::activePopupWidget();
                    if (byKey) {
                        QTest::keyClick(menu, Qt::Key_E);
                        return;
                    }
                    pressMenuItem(menu, u"Edit"_s);
                    // Closed next, as a user would, if it stayed open.
                    QTimer::singleShot(0, [] {
                        if (QWidget *open = QApplication::activePopupWidget())
                            QTest::keyClick(open, Qt::Key_Escape);
                    });
                });
                QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, at, view->viewport()->mapToGlobal(at));
                QApplication::sendEvent(view, &menuKey);
                QVERIFY2(view, "the view was deleted while its menu was open");
                QVERIFY(s->show()); // without a window manager, nothing gives the keyboard back
            } else {
                QTest::keySequence(focused(), QKeySequence(k));
            }
        }
        QApplication::processEvents(); // the view goes later

        QCOMPARE(raw->linesView() != nullptr, viewAfter);
        QVERIFY(!s->w.hasEnded());
        QCOMPARE(s->w.isModified(), !miscStart.isEmpty());
        QStringList rest = misc.split(u'\n');
        QCOMPARE(s->w.content().misc, miscStart + rest.mid(replaced).join(u'\n'));
        QCOMPARE(QApplication::clipboard()->text(), clipboard);
        QWidget *f = focused();
        QCOMPARE(f && f == raw->linesView() ? u"view"_s : f->objectName(), focusAfter);
    }

    // A value longer than its box shows its beginning, again once Tab has
    // been through it; Tab selects it after the focus has moved there, and
    // leaving it changes nothing a screen reader would hear.
    void longValueShowsItsStart()
    {
        QLineEdit *url = s->box(u"vesk_force_announce_url");
        QCOMPARE(url->text(), u"http://example.org:6969/announce"_s);
        QCOMPARE(url->cursorPosition(), 0);
        s->w.tabs()->setCurrentIndex(s->w.tabs()->indexOfPageHolding(url));
        url->setFocus(Qt::TabFocusReason);
        // Selected once the focus has been told: a screen reader hears it once.
        QVERIFY(!url->hasSelectedText());
        QTRY_COMPARE(url->selectedText(), url->text());
        press(Qt::Key_Tab);
        QTest::qWait(0);
        QCOMPARE(url->cursorPosition(), 0);
        // The selection stays, unseen (nothing to hear "unselected").
        QCOMPARE(url->selectedText(), url->text());
        QCOMPARE(url->palette().color(QPalette::Highlight), url->palette().color(QPalette::Base));
    }

    // Return and Enter press the button that has the keyboard, as Space does.
    void returnPressesTheFocusedButton_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("prompt"); // the title of what it asks first
        QTest::newRow("Add New Category") << u"bAddCat"_s << int(Qt::Key_Return) << u"New Category"_s;
        QTest::newRow("Save") << u"bSave"_s << int(Qt::Key_Enter) << u"Config file saved"_s;
        QTest::newRow("Quit") << u"bQuit"_s << int(Qt::Key_Return) << u""_s;
        QTest::newRow("Delete") << u"Command1"_s << int(Qt::Key_Return) << u"Delete category"_s;
        QTest::newRow("Edit") << u"Command2"_s << int(Qt::Key_Return) << u""_s;
        QTest::newRow("Cancel") << u"Command3"_s << int(Qt::Key_Enter) << u""_s;
    }
    void returnPressesTheFocusedButton()
    {
        QFETCH(QString, button);
        QFETCH(int, key);
        QFETCH(QString, prompt);
        s->w.tabs()->setCurrentIndex(int(Page::Categories));
        s->w.categoryView()->setCurrentIndex(s->w.categories()->index(0));
        QWidget *window = &s->w;
        if (button.startsWith(u"Command"_s)) {
            s->w.openCategoryDialog();
            window = s->w.categoryDialog();
            s->w.categoryDialog()->nameBox()->setText(u"Anime Series"_s);
        }
        auto *b = window->findChild<QPushButton *>(button);
        b->setFocus();
        s->tk.clearPrompts();
        QTest::keyClick(b, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        QCOMPARE(s->tk.prompts().empty() ? QString() : s->tk.prompts().front().title, prompt);
        if (button == u"bQuit"_s)
            QVERIFY(s->w.hasEnded());
        if (button == u"Command2"_s || button == u"Command3"_s)
            QVERIFY(!s->w.categoryDialog()->isVisible());
        QCOMPARE(s->w.categories()->at(0).name, button == u"Command2"_s ? u"Anime Series"_s : u"Anime"_s);
    }
};

QTEST_MAIN(KeyboardTest)
#include "tst_keyboard.moc"
