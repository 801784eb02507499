// What assistive technology reads from the window, and the keyboard alone
// reaching every command and dialog.
#include "windowfixture.h"

#include "categories/categorydialog.h"
#include "config/catalogue.h"
#include "config/valuecheck.h"
#include "toolkit/accessible.h"
#include "window/rawlinesview.h"
#include "window/rawtext.h"
#include "window/reviewchanges.h"

#include <QAccessible>
#include <QMenuBar>
#include <QScopeGuard>
#include <QToolButton>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

using namespace vesk;
using namespace vesk::test;
using namespace Qt::StringLiterals;

namespace
{

QString accessibleText(QObject *o, QAccessible::Text t)
{
    QAccessibleInterface *i = QAccessible::queryAccessibleInterface(o);
    return i ? i->text(t) : QStringLiteral("<no interface>");
}

const QByteArray kConfig =
    "port = 6969\r\nvesk_tag1 = Anime|/file/anime.png\r\nvesk_tag2 = Books|/file/books.png\r\n";

// What the window itself tells a screen reader, event by event.
struct Heard {
    QAccessible::Event type;
    QObject *object;
    int child;
    QAccessible::Role role;
    QString name;
};
std::vector<Heard> heard;

void hear(QAccessibleEvent *e)
{
    QAccessibleInterface *i = e->accessibleInterface();
    heard.push_back({e->type(), e->object(), e->child(), i ? i->role() : QAccessible::NoRole,
                     i ? i->text(QAccessible::Name) : QString()});
}

// The names of what was told since the last look, of one kind, in order.
QStringList told(QAccessible::Event type, QAccessible::Role role)
{
    QTest::qWait(20); // some is told once the window's own events are through
    QStringList out;
    std::erase_if(heard, [&](const Heard &h) {
        if (h.type != type || h.role != role)
            return false;
        out << h.name;
        return true;
    });
    return out;
}

QStringList news()
{
    return told(QAccessible::ObjectShow, QAccessible::Notification);
}

// The text interface of a box, as a screen reader asks it.
QAccessibleTextInterface *textOf(QObject *box)
{
    return QAccessible::queryAccessibleInterface(box)->textInterface();
}

} // namespace

class AccessibilityTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { watchAccessibilityEvents(hear); }
    void init() { heard.clear(); }

    // Every question about a box's text comes back (Qt 6.4's own answer
    // to the word at the end never did), with the text whole: each piece
    // is where it says, and one run of attributes covers the whole value.
    void boxTextAnswersEveryQuestion_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("words"); // the words at each word start, joined by "|"
        QTest::newRow("port") << u"6969"_s << u"6969"_s;
        QTest::newRow("one character") << u"1"_s << u"1"_s;
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("url") << u"http://example.org:6969/announce"_s
                             << u"http://|example.|org:|6969/|announce"_s;
        QTest::newRow("sentences") << u"Hi there. Bye!"_s << u"Hi |there. |Bye!"_s;
        QTest::newRow("surrogates") << u"caf\u00E9 \U0001D49C!"_s << u"caf\u00E9 |\U0001D49C!"_s;
    }
    void boxTextAnswersEveryQuestion()
    {
        QFETCH(QString, value);
        QFETCH(QString, words);
        Session s;
        QLineEdit *port = s.box(u"port");
        port->setText(value);
        QAccessibleTextInterface *text = textOf(port);
        QVERIFY(text);
        const int n = int(value.size());
        std::atomic<bool> done{false};
        char asked[160] = "";
        std::thread watchdog([&] {
            for (int i = 0; i < 600 && !done; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (!done) {
                std::fprintf(stderr, "FAIL! %s did not return within 60 s\n", asked);
                std::_Exit(1);
            }
        });
        const auto stop = qScopeGuard([&] {
            done = true;
            watchdog.join();
        });
        QStringList wordsSeen;
        // Nothing there may be said as an empty piece anywhere, or at -1.
        auto valid = [n](int start, int end) {
            return (0 <= start && start <= end && end <= n) || (start == -1 && end == -1);
        };
        for (const auto boundary :
             {QAccessible::WordBoundary, QAccessible::SentenceBoundary, QAccessible::LineBoundary,
              QAccessible::ParagraphBoundary, QAccessible::CharBoundary, QAccessible::NoBoundary}) {
            const int b = int(boundary);
            for (int offset = 0; offset <= n; ++offset) {
                int start = -9, end = -9;
                std::snprintf(asked, sizeof asked, "textAtOffset(%d, boundary %d) of \"%s\"", offset, b,
                              qPrintable(value));
                const QString at = text->textAtOffset(offset, boundary, &start, &end);
                QVERIFY2(valid(start, end), asked);
                QCOMPARE(at, start < 0 ? QString() : value.mid(start, end - start));
                if (offset < n && boundary != QAccessible::NoBoundary)
                    QVERIFY2(start <= offset && offset < end, asked);
                if (boundary == QAccessible::LineBoundary)
                    QCOMPARE(at, value);
                if (boundary == QAccessible::WordBoundary && start == offset)
                    wordsSeen << at;
                // Before and after meet the piece at the offset.
                int bs = -9, be = -9, as = -9, ae = -9;
                const QString before = text->textBeforeOffset(offset, boundary, &bs, &be);
                const QString after = text->textAfterOffset(offset, boundary, &as, &ae);
                QVERIFY2(valid(bs, be) && valid(as, ae), asked);
                QCOMPARE(before, bs < 0 ? QString() : value.mid(bs, be - bs));
                QCOMPARE(after, as < 0 ? QString() : value.mid(as, ae - as));
                if (!before.isEmpty() && boundary != QAccessible::NoBoundary)
                    QCOMPARE(be, start);
                if (!after.isEmpty())
                    QCOMPARE(as, end);
            }
        }
        for (int offset = 0; offset <= n; ++offset) {
            int start = -9, end = -9;
            text->attributes(offset, &start, &end);
            QCOMPARE(std::pair(start, end), std::pair(0, n));
        }
        QCOMPARE(wordsSeen.join(u'|'), words);
        QCOMPARE(text->text(0, n), value);
        QCOMPARE(text->characterCount(), n);
    }

    // Name: the caption. Description: the help line's entry, key included,
    // after the heading a Display Options box stands under.
    void valueBoxesReadAsCaptionAndHelp()
    {
        Session s;
        for (const Setting &st : catalogue::settings()) {
            QLineEdit *box = s.w.valueBox(st.slot);
            QCOMPARE(accessibleText(box, QAccessible::Name), st.caption);
            QString heading;
            if (catalogue::pageOf(st.slot) == Page::DisplayOptions)
                heading = st.key == u"vesk_show_gen_time" ? u"All Pages: "_s
                          : st.key == u"vesk_show_file_contents" || st.key == u"vesk_show_share_ratios"
                              ? u"Stats Page: "_s
                              : u"Index Page: "_s;
            QCOMPARE(accessibleText(box, QAccessible::Description), heading + catalogue::helpEntry(st.slot));
            QCOMPARE(QAccessible::queryAccessibleInterface(box)->role(), QAccessible::EditableText);
        }
    }

    // The help line is heard: its name is its text, after the pointer and
    // after the keyboard's focus moved. (The change event it sends reaches
    // a screen reader only through a live platform bridge.)
    void helpLineIsHeard()
    {
        Session s;
        s.load(kConfig);
        QVERIFY(s.show());
        HelpLine *line = s.w.helpLine();
        QCOMPARE(accessibleText(line, QAccessible::Description), u"Help line"_s);
        QTest::mouseMove(s.box(u"vesk_allow_sort"));
        QCOMPARE(accessibleText(line, QAccessible::Name), catalogue::helpEntry(slot(u"vesk_allow_sort")));
        s.box(u"vesk_allow_search")->setFocus();
        QTest::keyClick(s.box(u"vesk_allow_search"), Qt::Key_Tab);
        const int next = s.w.focusOrder()[1]->property("slot").toInt();
        QCOMPARE(accessibleText(line, QAccessible::Name), catalogue::helpEntry(next));
    }

    // Pages by their tabs, the Raw note labels its box, and a category is
    // heard as its name and image rather than with a TAB between them.
    void pagesRelationsAndItems()
    {
        Session s;
        s.load(kConfig);
        QCOMPARE(accessibleText(s.w.tabs()->page(3), QAccessible::Name), u"Times"_s);
        QAccessibleInterface *box = QAccessible::queryAccessibleInterface(s.w.rawText());
        const auto labels = box->relations(QAccessible::Label);
        QCOMPARE(labels.size(), 1);
        QVERIFY(labels.first().first->text(QAccessible::Name).startsWith(u"Any keys that VESK Frontend"_s));
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(s.w.categoryView());
        QCOMPARE(list->child(0)->text(QAccessible::Name), u"Anime, image /file/anime.png"_s);
        QCOMPARE(s.w.categories()->index(0).data().toString(), u"Anime\t/file/anime.png"_s);
    }

    // The text box under a big Raw text's view holds nothing, or an older
    // text: a screen reader's edit of it must not become the Raw text.
    void hiddenRawBoxTakesNoEdit_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::newRow("box held nothing") << QByteArray();
        QTest::newRow("box held an older text") << QByteArray("older = 1\r\n");
    }
    void hiddenRawBoxTakesNoEdit()
    {
        QFETCH(QByteArray, before);
        Session s;
        s.load(before);
        QVERIFY(s.show());
        s.w.tabs()->setCurrentIndex(int(Page::Raw));
        QString misc;
        for (int i = 0; i < RawTextEdit::kLinesForView; ++i)
            misc += u"# line %1\n"_s.arg(i);
        s.load(misc.toUtf8());
        auto *raw = s.w.findChild<RawTextEdit *>(); // rawText() would fill it
        QVERIFY(raw->linesView());
        QAccessibleInterface *box = QAccessible::queryAccessibleInterface(raw);
        box->editableTextInterface()->insertText(0, u"inserted"_s);
        box->editableTextInterface()->replaceText(0, 1, u"replaced"_s);
        box->editableTextInterface()->deleteText(0, 1);
        QCOMPARE(s.w.content().misc, misc);
        box->setText(QAccessible::Value, u"all replaced"_s);
        QCOMPARE(s.w.content().misc, misc);
        QVERIFY(!s.w.isModified());
        QVERIFY(box->state().readOnly);
        // The keyboard still edits it.
        QTest::keyClick(raw->linesView(), Qt::Key_Q);
        QCOMPARE(s.w.content().misc, u"q"_s + misc);
        QVERIFY(s.w.isModified());
    }

    // The Raw page is ready before its first visit, so that the keyboard
    // arriving there is all a screen reader hears; a big text is a
    // read-only text labelled as the box it stands for, its caret on the
    // current line, not a list of thousands of items.
    void rawTextReadyAndReadAsText()
    {
        Session s;
        s.load("port = 6969\r\n# one\r\n");
        QVERIFY(s.show());
        QTest::qWait(0);
        auto *raw = s.w.findChild<RawTextEdit *>(); // rawText() would fill it
        QCOMPARE(raw->toPlainText(), u"# one\n"_s);

        QString misc;
        for (int i = 0; i < 12005; ++i)
            misc += u"# line %1\n"_s.arg(i);
        s.load(misc.toUtf8());
        QTest::qWait(0);
        RawLinesView *view = raw->linesView();
        QVERIFY(view);
        QAccessibleInterface *text = QAccessible::queryAccessibleInterface(view);
        QCOMPARE(text->role(), QAccessible::EditableText);
        QVERIFY(text->state().readOnly && text->state().multiLine);
        QVERIFY(text->childCount() < 10);
        const auto labels = text->relations(QAccessible::Label);
        QCOMPARE(labels.size(), 1);
        QVERIFY(labels.first().first->text(QAccessible::Name).startsWith(u"Any keys that VESK Frontend"_s));
        s.w.tabs()->setCurrentIndex(int(Page::Raw));
        view->setFocus(Qt::TabFocusReason);
        told(QAccessible::TextCaretMoved, QAccessible::EditableText);
        QTest::keyClick(view, Qt::Key_End);
        QCOMPARE(told(QAccessible::TextCaretMoved, QAccessible::EditableText).size(), 1);
        int start, end;
        const int caret = text->textInterface()->cursorPosition();
        QCOMPARE(text->textInterface()->textAtOffset(caret, QAccessible::LineBoundary, &start, &end),
                 u"# line 12004\n"_s);
        QCOMPARE(end, misc.size());
        QCOMPARE(text->textInterface()->textAtOffset(caret + 2, QAccessible::WordBoundary, &start, &end),
                 u"line "_s);
        QTest::keyClick(view, Qt::Key_Up, Qt::ShiftModifier);
        text->textInterface()->selection(0, &start, &end);
        QCOMPARE(text->textInterface()->text(start, end), u"# line 12003\n# line 12004\n"_s);
    }

    void otherControlsAreNamed()
    {
        Session s;
        s.load(kConfig);
        const std::pair<QObject *, QString> named[] = {
            {s.w.categoryView(), QStringLiteral("Categories")},
            {s.w.rawText(), QStringLiteral("Other lines of the cfg file")},
            {s.w.helpLine(),
             QStringLiteral("Move your mouse over any of the values or labels and see what they are for.")},
            {s.w.saveButton(), QStringLiteral("Save")},
            {s.w.quitButton(), QStringLiteral("Quit")},
            {s.w.addCategoryButton(), QStringLiteral("Add New Category")},
        };
        for (const auto &[object, name] : named)
            QCOMPARE(accessibleText(object, QAccessible::Name), name);

        s.w.categoryView()->setCurrentIndex(s.w.categories()->index(0));
        s.w.openCategoryDialog();
        CategoryDialog *d = s.w.categoryDialog();
        QVERIFY(d);
        QCOMPARE(accessibleText(d->nameBox(), QAccessible::Name), QStringLiteral("Category Name"));
        QCOMPARE(accessibleText(d->imageBox(), QAccessible::Name), QStringLiteral("Image file"));
        QCOMPARE(accessibleText(d->deleteButton(), QAccessible::Name), QStringLiteral("Delete"));
        QCOMPARE(accessibleText(d->editButton(), QAccessible::Name), QStringLiteral("Edit"));
        QCOMPARE(accessibleText(d->cancelButton(), QAccessible::Name), QStringLiteral("Cancel"));
        d->cancel();

        ReviewChangesDialog *r = reviewChanges(s.w, s.w.document(), s.w.content());
        QCOMPARE(accessibleText(r, QAccessible::Name), QStringLiteral("Review Changes"));
        QCOMPARE(accessibleText(r->view(), QAccessible::Name), QStringLiteral("Changes"));
        QCOMPARE(accessibleText(r->closeButton(), QAccessible::Name), QStringLiteral("Close"));
    }

    // A value that does not fit its setting is marked in its box, heard in
    // its description, shown in the help line and listed by Review Changes;
    // fixing it takes all of that away. A bad value read from the file is
    // marked as soon as the window opens.
    void badValuesAreMarkedAndExplained()
    {
        Session s;
        s.load("vesk_debug = yes\r\nport = 6969\r\n");
        QVERIFY(s.show());
        // Marked: something is drawn in the end of the box, past the short
        // values used here (a hidden action still leaves a greyed icon).
        auto marked = [&](QStringView key) {
            const QImage box = s.box(key)->grab().toImage();
            const QRect end(box.width() * 2 / 3, 4, box.width() / 3 - 6, box.height() - 8);
            for (int y = end.top(); y <= end.bottom(); ++y)
                for (int x = end.left(); x <= end.right(); ++x)
                    if (box.pixel(x, y) != box.pixel(end.topLeft()))
                        return true;
            return false;
        };
        const QString flagProblem = checkValue(slot(u"vesk_debug"), u"yes").reason();
        QVERIFY(!flagProblem.isEmpty());
        QVERIFY(marked(u"vesk_debug"));
        QVERIFY(!marked(u"port"));
        QVERIFY(accessibleText(s.box(u"vesk_debug"), QAccessible::Description)
                    .startsWith(u"Problem: "_s + flagProblem));

        QLineEdit *port = s.box(u"port");
        s.w.tabs()->setCurrentIndex(s.w.tabs()->indexOfPageHolding(port));
        QTest::mouseMove(port);
        port->setFocus();
        port->selectAll();
        news();
        QTest::keyClicks(port, u"70000"_s);
        const QString why = u"Problem: "_s + checkValue(slot(u"port"), u"70000").reason();
        QVERIFY(marked(u"port"));
        // Told once as it comes, its text marked invalid, the mark named.
        QCOMPARE(news(), QStringList{u"Port "_s + checkValue(slot(u"port"), u"70000").reason()});
        int start, end;
        QCOMPARE(textOf(port)->attributes(2, &start, &end), u"invalid:true;"_s);
        QCOMPARE(accessibleText(port->findChild<QToolButton *>(), QAccessible::Name), why);
        // Saving is not refused, and says how many do not fit, and where.
        s.tk.clearPrompts();
        QVERIFY(s.w.save());
        QCOMPARE(shown(s.tk),
                 QStringList{message(u"Config file saved"_s,
                                     u"Tracker must be restarted for changes to take effect\n"
                                     "2 values do not fit their settings; Ctrl+D lists them."_s)});
        QCOMPARE(accessibleText(port, QAccessible::Description),
                 why + u".\n"_s + catalogue::helpEntry(slot(u"port")));
        QCOMPARE(s.w.helpLine()->text(), catalogue::helpEntry(slot(u"port")) + u'\n' + why);
        // The icon is a widget of its own; the pointer over it still shows why.
        s.w.helpLine()->setHelp(QString());
        QWidget *icon = port->findChild<QToolButton *>();
        QVERIFY(icon);
        QTest::mouseMove(icon);
        QCOMPARE(s.w.helpLine()->text(), catalogue::helpEntry(slot(u"port")) + u'\n' + why);

        const QString note = reviewChanges(s.w, s.w.document(), s.w.content())->noteLabel()->text();
        QVERIFY2(note.contains(u"\nPort (port): "_s + checkValue(slot(u"port"), u"70000").reason()),
                 qPrintable(note));
        QVERIFY2(note.contains(u"\nDebug (vesk_debug): "_s + flagProblem), qPrintable(note));
        s.w.findChild<ReviewChangesDialog *>()->reject();

        port->selectAll();
        QTest::keyClicks(port, u"6970"_s);
        QVERIFY(!marked(u"port"));
        QCOMPARE(news(), QStringList{u"Port fits its setting now"_s});
        QCOMPARE(textOf(port)->attributes(2, &start, &end), QString());
        s.tk.clearPrompts();
        QVERIFY(s.w.save());
        QVERIFY(shown(s.tk).constFirst().contains(
            u"effect\n1 value does not fit its setting; Ctrl+D lists it."_s));
        QCOMPARE(accessibleText(port, QAccessible::Description), catalogue::helpEntry(slot(u"port")));
        QCOMPARE(s.w.helpLine()->text(), catalogue::helpEntry(slot(u"port")));
        s.box(u"vesk_debug")->clear(); // empty is never a problem
        QVERIFY(!marked(u"vesk_debug"));
        QVERIFY(!reviewChanges(s.w, s.w.document(), s.w.content())->noteLabel()->text().contains(u"fit"_s));
    }

    // The list's current item is told when the keyboard comes to the list,
    // also back from the dialog; each change to the list is told.
    void categoriesAreSpoken()
    {
        Session s;
        s.load(kConfig);
        QVERIFY(s.show());
        QListView *list = s.w.categoryView();
        s.w.tabs()->setCurrentIndex(int(Page::Categories));
        auto itemFocus = [] { return told(QAccessible::Focus, QAccessible::ListItem); };
        list->setCurrentIndex(s.w.categories()->index(1));
        s.w.addCategoryButton()->setFocus(Qt::TabFocusReason);
        itemFocus();
        list->setFocus(Qt::BacktabFocusReason);
        QCOMPARE(itemFocus(), QStringList{u"Books, image /file/books.png"_s});

        s.tk.type(u"Games"_s);
        s.tk.type(u"/file/games.png"_s);
        s.w.addCategory();
        QCOMPARE(news(), QStringList{u"Games added"_s});
        list->setCurrentIndex(s.w.categories()->index(0));
        s.w.openCategoryDialog();
        CategoryDialog *d = s.w.categoryDialog();
        d->nameBox()->setText(u"Anime Series"_s);
        d->editCategory();
        QCOMPARE(news(), QStringList{u"Anime Series edited"_s});
        QCOMPARE(itemFocus(), QStringList{u"Anime Series, image /file/anime.png"_s});
        s.tk.answer(Answer::Yes);
        s.w.openCategoryDialog(1);
        d->deleteCategory();
        QCOMPARE(news(), QStringList{u"Books deleted"_s});
        QCOMPARE(s.w.categories()->at(1).name, u"Games"_s);
    }

    void editMenuFollowsFileWithKeysForEveryCommand()
    {
        Session s;
        const QList<QAction *> menus = s.w.menuBar()->actions();
        QCOMPARE(menus.size(), 2);
        QCOMPARE(menus[0]->text(), QStringLiteral("&File"));
        QCOMPARE(menus[1]->text(), QStringLiteral("&Edit"));
        QStringList edit;
        for (QAction *a : menus[1]->menu()->actions())
            edit << a->text() + u'\t' + a->shortcut().toString();
        QCOMPARE(edit, (QStringList{u"&Find Setting...\tCtrl+F"_qs, u"Find &Next\tF3"_qs,
                                    u"&Review Changes...\tCtrl+D"_qs}));
    }

    void categoryDialogByKeyboardAlone()
    {
        Session s;
        s.load(kConfig);
        QVERIFY(s.show());
        QListView *list = s.w.categoryView();
        s.w.tabs()->setCurrentIndex(5);
        list->setFocus();
        QTest::keyClick(list, Qt::Key_End);
        QTest::keyClick(list, Qt::Key_Home); // the first item becomes current and selected
        QCOMPARE(list->currentIndex().row(), 0);

        // Enter opens the dialog on the name; Escape is Cancel and changes nothing.
        QTest::keyClick(list, Qt::Key_Return);
        CategoryDialog *d = s.w.categoryDialog();
        QVERIFY(d && d->isVisible());
        QCOMPARE(d->focusWidget(), d->nameBox());
        QTest::keyClick(d->focusWidget(), Qt::Key_Escape);
        QVERIFY(!d->isVisible());
        QVERIFY(s.w.isEnabled());
        QVERIFY(!s.w.isModified());
        QCOMPARE(s.w.categories()->items().size(), size_t(2));

        // Tab runs name, image, Edit, Cancel, Delete; Space on Edit edits.
        QVERIFY(s.show());
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Return);
        QVERIFY(d->isVisible());
        const QWidget *order[] = {d->imageBox(), d->editButton(), d->cancelButton(), d->deleteButton(),
                                  d->nameBox()};
        for (const QWidget *next : order) {
            QTest::keyClick(d->focusWidget(), Qt::Key_Tab);
            QCOMPARE(d->focusWidget(), next);
        }
        d->nameBox()->selectAll();
        QTest::keyClicks(d->nameBox(), QStringLiteral("Anime Series"));
        QTest::keyClick(d->nameBox(), Qt::Key_Tab);
        QTest::keyClick(d->imageBox(), Qt::Key_Tab);
        QCOMPARE(d->focusWidget(), d->editButton());
        QTest::keyClick(d->editButton(), Qt::Key_Space);
        QVERIFY(!d->isVisible());
        QCOMPARE(s.w.categories()->items().at(0).name, QStringLiteral("Anime Series"));
        QVERIFY(s.w.isModified());
    }
};

QTEST_MAIN(AccessibilityTest)
#include "tst_accessibility.moc"
