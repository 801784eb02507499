// The category list on the main window, Add New Category and the Edit
// Category dialog, driven with the mouse and keyboard.

#include "categories/categorydialog.h"
#include "toolkit/twips.h"
#include "windowfixture.h"

#include <QPixmap>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTabBar>

#include <algorithm>

using namespace vesk;
using namespace vesk::test;
using namespace Qt::StringLiterals;

namespace
{

const QByteArray kThree = "vesk_tag1 = Gamma|g.png\r\nvesk_tag2 = Alpha|a.png\r\nvesk_tag3 = Beta|b.png\r\n";

QString nameInput()
{
    return input(u"New Category"_s, u"Category Name:"_s, QString());
}
QString imageInput()
{
    return input(u"New Category"_s, u"Image file:"_s, u"/file/"_s);
}
QString deleteQuestion()
{
    return message(u"Delete category"_s, u"Do you really want to delete this category?"_s, Buttons::YesNo,
                   Icon::None, Answer::Yes);
}

} // namespace

class Categories : public QObject
{
    Q_OBJECT

    Session *s = nullptr;

    QStringList items() const
    {
        QStringList out;
        for (const Category &c : s->w.categories()->items())
            out << c.itemText();
        return out;
    }
    QListView *view() const { return s->w.categoryView(); }
    CategoryDialog *dialog() const { return s->w.categoryDialog(); }
    bool dialogOpen() const { return dialog() && dialog()->isVisible(); }

    void start(const QByteArray &cfg)
    {
        s->load(cfg);
        QVERIFY(s->show());
        s->w.tabs()->setCurrentIndex(5);
    }
    // A click on the item and a double-click, as the user gives them.
    void doubleClick(QPoint at)
    {
        QWidget *vp = view()->viewport();
        // A disabled window takes no input, and QTest says so.
        auto expectRefused = [](const char *event) {
            QTest::ignoreMessage(QtWarningMsg,
                                 qPrintable(u"Mouse event \"%1\" not accepted by receiving widget"_s.arg(
                                     QString::fromLatin1(event))));
        };
        if (!vp->isEnabled())
            for (const char *e : {"MousePress", "MouseRelease", "MouseDClick"})
                expectRefused(e);
        QTest::mouseClick(vp, Qt::LeftButton, {}, at);
        QTest::mouseDClick(vp, Qt::LeftButton, {}, at);
        if (!vp->isEnabled())
            expectRefused("MouseRelease");
        QTest::mouseRelease(vp, Qt::LeftButton, {}, at);
    }
    // Enter on the list's current item.
    void pressEnter()
    {
        QTest::keyPress(view(), Qt::Key_Return);
        if (!view()->isEnabled())
            QTest::ignoreMessage(QtWarningMsg, "Keyboard event not accepted by receiving widget");
        QTest::keyRelease(view(), Qt::Key_Return);
    }
    void doubleClickRow(int row)
    {
        const QRect r = view()->visualRect(s->w.categories()->index(row));
        QVERIFY(view()->viewport()->rect().contains(r.center()));
        doubleClick(r.center());
    }
    // Replaces a box's text by typing, as the user does.
    static void retype(QLineEdit *box, const QString &text)
    {
        box->setFocus();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClicks(box, text);
        QCOMPARE(box->text(), text);
    }
    void click(QPushButton *b) { QTest::mouseClick(b, Qt::LeftButton); }
    QByteArray saved()
    {
        s->tk.clearPrompts();
        if (!s->w.save())
            return "save failed";
        return readBytes(s->cfg());
    }

private slots:
    void init() { s = new Session; }
    void cleanup()
    {
        delete s;
        s = nullptr;
    }

    // ---- Add New Category -------------------------------------------------

    void addCancelledOrEmpty_data()
    {
        QTest::addColumn<QStringList>("typed"); // "" cancels
        QTest::addColumn<QStringList>("prompts");
        QTest::newRow("name cancelled") << QStringList{QString()} << QStringList{nameInput()};
        QTest::newRow("image cancelled")
            << QStringList{u"Books"_s, QString()} << QStringList{nameInput(), imageInput()};
    }
    void addCancelledOrEmpty()
    {
        QFETCH(QStringList, typed);
        QFETCH(QStringList, prompts);
        start(kThree);
        for (const QString &t : typed)
            s->tk.type(t);
        click(s->w.addCategoryButton());
        QCOMPARE(shown(s->tk), prompts);
        QCOMPARE(s->tk.unusedAnswers(), 0);
        QCOMPARE(items(), (QStringList{u"Alpha\ta.png"_s, u"Beta\tb.png"_s, u"Gamma\tg.png"_s}));
        QVERIFY(!s->w.isModified());
    }

    // New items take their place, letter case ignored; equal ones are kept;
    // names and images are stored exactly as typed.
    void addPlacesItemsAndKeepsDuplicates()
    {
        start("vesk_tag1 = Gamma|g.png\r\nvesk_tag2 = Alpha|a.png\r\n");
        auto add = [&](const QString &name, const QString &image) {
            s->tk.clearPrompts();
            s->tk.type(name);
            s->tk.type(image);
            click(s->w.addCategoryButton());
            QCOMPARE(shown(s->tk), (QStringList{nameInput(), imageInput()}));
        };
        add(u"beta"_s, u"/file/"_s);
        QCOMPARE(items(), (QStringList{u"Alpha\ta.png"_s, u"beta\t/file/"_s, u"Gamma\tg.png"_s}));
        QVERIFY(s->w.isModified());
        add(u"Alpha"_s, u"a.png"_s);
        add(u"  Pipe"_s, u"img|x"_s);
        QCOMPARE(items(), (QStringList{u"  Pipe\timg|x"_s, u"Alpha\ta.png"_s, u"Alpha\ta.png"_s,
                                       u"beta\t/file/"_s, u"Gamma\tg.png"_s}));
        QCOMPARE(saved(), QByteArray("vesk_tag1 =   Pipe|img|x\r\n"
                                     "vesk_tag2 = Alpha|a.png\r\n"
                                     "vesk_tag3 = Alpha|a.png\r\n"
                                     "vesk_tag4 = beta|/file/\r\n"
                                     "vesk_tag5 = Gamma|g.png\r\n"));
        // Read back, the image keeps its "|".
        Session again;
        again.load(readBytes(s->cfg()));
        QCOMPARE(again.w.categories()->at(0), (Category{u"  Pipe"_s, u"img|x"_s}));
    }

    // A name holding "|" would be cut there by the next read, and a line
    // break in a name or image would split the line: Add New Category and
    // Edit refuse them, keep what was typed, and leave the list as it was.
    void refusedNameOrImage_data()
    {
        QTest::addColumn<bool>("edit"); // through the dialog, else Add New Category
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("image");
        for (bool edit : {false, true}) {
            const char *how = edit ? "edit: " : "add: ";
            QTest::addRow("%sbar in name", how) << edit << u"Pipe|name"_s << u"p.png"_s;
            QTest::addRow("%sLF in name", how) << edit << u"A\nport = 1"_s << u"p.png"_s;
            QTest::addRow("%sCR in image", how) << edit << u"Pipe"_s << u"p.png\rport = 1"_s;
        }
    }
    void refusedNameOrImage()
    {
        QFETCH(bool, edit);
        QFETCH(QString, name);
        QFETCH(QString, image);
        start(kThree);
        const QStringList before = items();
        const Category typed{name, image};
        const bool badName = !Category{name, QString()}.check();
        const QString refusal =
            message(u"Invalid category"_s, typed.check().reason(), Buttons::Ok, Icon::Critical);
        if (edit) {
            doubleClickRow(0);
            // Pasted text: the boxes keep to one line, a break becomes a space.
            dialog()->nameBox()->setText(name);
            dialog()->imageBox()->setText(image);
            const Category shownInBoxes{QString(name).replace(u'\n', u' '),
                                        QString(image).replace(u'\r', u' ')};
            QCOMPARE(dialog()->nameBox()->text(), shownInBoxes.name);
            QCOMPARE(dialog()->imageBox()->text(), shownInBoxes.image);
            click(dialog()->editButton());
            if (name.contains(u'|')) {
                QCOMPARE(shown(s->tk), QStringList{refusal});
                QVERIFY(dialogOpen());
                QCOMPARE(dialog()->nameBox()->text(), name);
                QCOMPARE(items(), before);
            } else {
                QCOMPARE(shown(s->tk), QStringList());
                QVERIFY(items().contains(shownInBoxes.itemText()));
            }
            return;
        }
        s->tk.type(name);
        if (!badName)
            s->tk.type(image);
        s->tk.type(QString()); // cancels the question asked again
        click(s->w.addCategoryButton());
        QStringList expected{nameInput()};
        if (!badName)
            expected << imageInput();
        expected << refusal
                 << (badName ? input(u"New Category"_s, u"Category Name:"_s, name)
                             : input(u"New Category"_s, u"Image file:"_s, image));
        QCOMPARE(shown(s->tk), expected);
        QCOMPARE(items(), before);
    }

    // The file's numbers are ignored; a save numbers the items in list order.
    void savingRenumbers()
    {
        start("vesk_tag3 = B|b.png\r\nvesk_tag7 = A|a.png\r\n");
        QCOMPARE(items(), (QStringList{u"A\ta.png"_s, u"B\tb.png"_s}));
        QCOMPARE(saved(), QByteArray("vesk_tag1 = A|a.png\r\nvesk_tag2 = B|b.png\r\n"));
    }

    void twelveCategoriesAmongTheSettings()
    {
        QByteArray cfg =
            "vesk_upload_dir = up\r\nvesk_tag_file = tags\r\nport = 1\r\nvesk_style_sheet = s.css\r\n";
        for (int i = 12; i >= 1; --i)
            cfg += "vesk_tag" + QByteArray::number(i) + " = C" + QByteArray::number(100 + i) + "|c.png\r\n";
        start(cfg);
        QByteArray expected = "port = 1\r\nvesk_style_sheet = s.css\r\n";
        for (int n : {1, 10, 11, 12, 2, 3, 4, 5, 6, 7, 8, 9})
            expected +=
                "vesk_tag" + QByteArray::number(n) + " = C" + QByteArray::number(100 + n) + "|c.png\r\n";
        expected += "vesk_tag_file = tags\r\nvesk_upload_dir = up\r\n";
        QCOMPARE(saved(), expected);
    }

    // ---- the Edit Category dialog -----------------------------------------

    void doubleClickOpensTheDialogForTheItem()
    {
        start(kThree);
        doubleClickRow(1);
        QVERIFY(dialogOpen());
        QCOMPARE(dialog()->windowTitle(), u"Edit Category"_s);
        QCOMPARE(dialog()->nameBox()->text(), u"Beta"_s);
        QCOMPARE(dialog()->imageBox()->text(), u"b.png"_s);
        QCOMPARE(dialog()->row(), 1);
        QVERIFY(!s->w.isEnabled());
        // The disabled window takes no double-click meanwhile.
        doubleClickRow(2);
        QCOMPARE(dialog()->nameBox()->text(), u"Beta"_s);
        QCOMPARE(dialog()->row(), 1);
        click(dialog()->cancelButton());
        QVERIFY(!dialogOpen());
        QVERIFY(s->w.isEnabled());
        QVERIFY(!s->w.isModified());
        QCOMPARE(shown(s->tk), QStringList());
    }

    // Edit keeps the item at its index, and a save numbers it by that index.
    void editKeepsTheIndex()
    {
        start(kThree);
        doubleClickRow(0);
        retype(dialog()->nameBox(), u"Zulu"_s);
        click(dialog()->editButton());
        QVERIFY(!dialogOpen());
        QVERIFY(s->w.isEnabled());
        QVERIFY(s->w.isModified());
        QCOMPARE(items(), (QStringList{u"Zulu\ta.png"_s, u"Beta\tb.png"_s, u"Gamma\tg.png"_s}));
        QCOMPARE(saved(), QByteArray("vesk_tag1 = Zulu|a.png\r\nvesk_tag2 = Beta|b.png\r\n"
                                     "vesk_tag3 = Gamma|g.png\r\n"));
    }

    void editUnchangedStillMarksTheWindow()
    {
        start(kThree);
        doubleClickRow(2);
        click(dialog()->editButton());
        QVERIFY(s->w.isModified());
        QCOMPARE(items(), (QStringList{u"Alpha\ta.png"_s, u"Beta\tb.png"_s, u"Gamma\tg.png"_s}));
    }

    void emptiedNameIsWrittenWithALeadingBar()
    {
        start(kThree);
        doubleClickRow(1);
        retype(dialog()->nameBox(), QString());
        click(dialog()->editButton());
        QCOMPARE(items().at(1), u"\tb.png"_s);
        QVERIFY(saved().contains("\r\nvesk_tag2 = |b.png\r\n"));
    }

    // Only the first TAB separates: the rest of the item is the image.
    void itemWithSeveralTabsOpensWithTheRestAsImage()
    {
        start("vesk_tag1 = A|b\tc\r\nvesk_tag2 = |nameless.png\r\n");
        doubleClickRow(1);
        QCOMPARE(dialog()->nameBox()->text(), u"A"_s);
        QCOMPARE(dialog()->imageBox()->text(), u"b\tc"_s);
        click(dialog()->cancelButton());
        doubleClickRow(0);
        QCOMPARE(dialog()->nameBox()->text(), QString());
        QCOMPARE(dialog()->imageBox()->text(), u"nameless.png"_s);
    }

    void deleteAnsweredNoThenCancel()
    {
        start(kThree);
        doubleClickRow(1);
        s->tk.answer(Answer::No);
        click(dialog()->deleteButton());
        QCOMPARE(shown(s->tk), QStringList{deleteQuestion()});
        QVERIFY(dialogOpen());
        QVERIFY(!s->w.isEnabled());
        QCOMPARE(dialog()->nameBox()->text(), u"Beta"_s);
        QCOMPARE(items().size(), 3);
        click(dialog()->cancelButton());
        QVERIFY(!dialogOpen());
        QVERIFY(s->w.isEnabled());
        QCOMPARE(items().size(), 3);
        QVERIFY(!s->w.isModified());
    }

    // Yes removes exactly the item the dialog was opened for, even among equals.
    void deleteAnsweredYes()
    {
        start(kThree + "vesk_tag4 = Beta|b.png\r\n");
        doubleClickRow(2);
        s->tk.answer(Answer::Yes);
        click(dialog()->deleteButton());
        QCOMPARE(shown(s->tk), QStringList{deleteQuestion()});
        QVERIFY(!dialogOpen());
        QVERIFY(s->w.isEnabled());
        QVERIFY(s->w.isModified());
        QCOMPARE(items(), (QStringList{u"Alpha\ta.png"_s, u"Beta\tb.png"_s, u"Gamma\tg.png"_s}));
    }

    // Cancel, and closing through the frame, change nothing; the next opening
    // shows the item then selected, in the same dialog.
    void cancelAndFrameCloseChangeNothing()
    {
        start(kThree);
        doubleClickRow(0);
        CategoryDialog *first = dialog();
        retype(dialog()->nameBox(), u"junk"_s);
        retype(dialog()->imageBox(), u"junk.png"_s);
        click(dialog()->cancelButton());
        QCOMPARE(items(), (QStringList{u"Alpha\ta.png"_s, u"Beta\tb.png"_s, u"Gamma\tg.png"_s}));
        QVERIFY(!s->w.isModified());

        doubleClickRow(2);
        QCOMPARE(dialog(), first);
        QCOMPARE(dialog()->nameBox()->text(), u"Gamma"_s);
        QCOMPARE(dialog()->imageBox()->text(), u"g.png"_s);
        retype(dialog()->nameBox(), u"junk"_s);
        QVERIFY(dialog()->close());
        QVERIFY(!dialogOpen());
        QVERIFY(s->w.isEnabled());
        QCOMPARE(items(), (QStringList{u"Alpha\ta.png"_s, u"Beta\tb.png"_s, u"Gamma\tg.png"_s}));
        QVERIFY(!s->w.isModified());

        doubleClickRow(1);
        QCOMPARE(dialog()->nameBox()->text(), u"Beta"_s);
        QVERIFY(!s->w.isEnabled());
        // Escape is Cancel too.
        QTest::keyClick(dialog()->nameBox(), Qt::Key_Escape);
        QVERIFY(!dialogOpen());
        QVERIFY(s->w.isEnabled());
    }

    void nothingSelectedOpensNothing()
    {
        start("port = 1\r\n");
        doubleClick(QPoint(20, 20)); // an empty list
        QVERIFY(!dialogOpen());
        QVERIFY(s->w.isEnabled());

        Session *old = s;
        s = new Session;
        delete old;
        start(kThree);
        view()->setCurrentIndex(QModelIndex());
        s->w.openCategoryDialog();
        QVERIFY(!dialogOpen());
        // Below the last item.
        doubleClick(QPoint(20, view()->viewport()->height() - 5));
        QVERIFY(!dialogOpen());
        QVERIFY(s->w.isEnabled());
        QVERIFY(!s->w.isModified());
    }

    void enterOnASelectedItemOpensTheDialog()
    {
        start(kThree);
        view()->setFocus();
        view()->setCurrentIndex(s->w.categories()->index(2));
        pressEnter();
        QVERIFY(dialogOpen());
        QCOMPARE(dialog()->nameBox()->text(), u"Gamma"_s);
    }

    // Ending the program while the dialog is open takes the dialog along.
    void closingTheWindowHidesTheDialog()
    {
        start(kThree);
        doubleClickRow(0);
        QVERIFY(s->w.close());
        QCOMPARE(s->tk.ends(), 1);
        QVERIFY(!dialogOpen());
    }

    // A large file: every item is there, in order, and the dialog reaches the
    // last one (no 16-bit index anywhere).
    void hundredThousandCategories()
    {
        constexpr int n = 100000;
        QByteArray cfg;
        QStringList names;
        QRandomGenerator rng(42);
        for (int i = 0; i < n; ++i) {
            const QString name = (i % 3 ? u"cat"_s : u"Cat"_s) + QString::number(rng.bounded(1000000));
            names << name;
            cfg += "vesk_tag" + QByteArray::number(i + 1) + " = " + name.toUtf8() + "|i.png\r\n";
        }
        start(cfg);
        QCOMPARE(s->w.categories()->count(), n);
        QCOMPARE(view()->model()->rowCount(), n);
        const auto &all = s->w.categories()->items();
        const auto unsorted =
            std::is_sorted_until(all.begin(), all.end(), [](const Category &a, const Category &b) {
                return a.itemText().compare(b.itemText(), Qt::CaseInsensitive) < 0;
            });
        QCOMPARE(unsorted - all.begin(), qsizetype(n));
        QStringList loaded;
        for (const Category &c : all)
            loaded << c.name;
        std::sort(names.begin(), names.end());
        std::sort(loaded.begin(), loaded.end());
        QCOMPARE(loaded, names);

        const QModelIndex last = s->w.categories()->index(n - 1);
        view()->setFocus();
        view()->setCurrentIndex(last);
        pressEnter();
        QVERIFY(dialogOpen());
        QCOMPARE(dialog()->row(), n - 1);
        retype(dialog()->nameBox(), u"aaa first"_s);
        click(dialog()->editButton());
        QCOMPARE(s->w.categories()->at(n - 1).name, u"aaa first"_s);
        QVERIFY(saved().contains("vesk_tag100000 = aaa first|i.png\r\n"));
    }

    // ---- the dialog's own layout --------------------------------------------

    void dialogLayoutAndTabOrder()
    {
        QPixmap programIcon(16, 16);
        programIcon.fill(Qt::red);
        QApplication::setWindowIcon(QIcon(programIcon));
        auto forget = qScopeGuard([] { QApplication::setWindowIcon(QIcon()); });
        start(kThree);
        doubleClickRow(0);
        CategoryDialog *d = dialog();
        QVERIFY(d->windowIcon().isNull()); // the dialog has no icon
        QVERIFY(!s->w.windowIcon().isNull());
        // (QWindow::isActive() already holds for a dialog whose owner is
        // active, so wait for the dialog itself to take the keyboard.)
        QTRY_COMPARE(QApplication::activeWindow(), d);
        // Centred on the screen the first time it is shown.
        const QPoint off = d->frameGeometry().center() - d->screen()->availableGeometry().center();
        QVERIFY2(off.manhattanLength() <= 2, qPrintable(u"%1,%2"_s.arg(off.x()).arg(off.y())));
        const Twips tw(s->w.logicalDpiX());
        QCOMPARE(d->size(), QSize(tw.px(4680), tw.px(1560)));
        const struct {
            const char *name;
            QRect twips;
            QString text;
        } controls[] = {
            {"nameLabel", {-120, 240, 1335, 255}, u"Category Name"_s},
            {"nameBox", {1320, 240, 2055, 285}, {}},
            {"imageLabel", {360, 720, 855, 255}, u"Image file"_s},
            {"imageBox", {1320, 720, 2055, 285}, {}},
            {"Command1", {3480, 120, 1095, 375}, u"Delete"_s},
            {"Command2", {3480, 600, 1095, 375}, u"Edit"_s},
            {"Command3", {3480, 1080, 1095, 375}, u"Cancel"_s},
        };
        for (const auto &c : controls) {
            auto *w = d->findChild<QWidget *>(QString::fromLatin1(c.name));
            QVERIFY2(w, c.name);
            QCOMPARE(w->geometry(), tw.rect(c.twips.x(), c.twips.y(), c.twips.width(), c.twips.height()));
            if (auto *l = qobject_cast<QLabel *>(w)) {
                QCOMPARE(l->text(), c.text);
                QVERIFY(l->alignment() & Qt::AlignRight);
                QCOMPARE(l->focusPolicy(), Qt::NoFocus);
                // Its text ends at 1215 twips and is not cut.
                QVERIFY(l->fontMetrics().horizontalAdvance(c.text) <= l->contentsRect().width());
                QCOMPARE(w->geometry().x() + w->geometry().width(), tw.px(1215));
            }
            if (auto *b = qobject_cast<QPushButton *>(w)) {
                QCOMPARE(b->text(), c.text);
                QVERIFY(!b->isDefault());
                QVERIFY(!b->autoDefault());
            }
        }
        QCOMPARE(d->nameBox()->objectName(), u"nameBox"_s);
        QCOMPARE(d->imageBox()->objectName(), u"imageBox"_s);

        QStringList walk;
        d->deleteButton()->setFocus();
        QWidget *focus = d->deleteButton();
        for (int i = 0; i < 5; ++i) {
            QTest::keyClick(focus, Qt::Key_Tab);
            focus = QApplication::focusWidget();
            QVERIFY(focus);
            walk << focus->objectName();
        }
        QCOMPARE(walk,
                 (QStringList{u"nameBox"_s, u"imageBox"_s, u"Command2"_s, u"Command3"_s, u"Command1"_s}));
    }
};

QTEST_MAIN(Categories)
#include "tst_categories.moc"
