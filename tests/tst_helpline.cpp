// The help line under the tabs: what pointer movement over the window's
// controls puts there, and what leaves it alone.

#include "config/catalogue.h"
#include "toolkit/twips.h"
#include "window/tabcontrol.h"
#include "windowfixture.h"

#include <QAbstractScrollArea>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>

using namespace vesk;
using namespace vesk::test;
using namespace Qt::StringLiterals;

namespace
{

const QString kOpening = u"Move your mouse over any of the values or labels and see what they are for."_s;

} // namespace

class HelpLineTest : public QObject
{
    Q_OBJECT

    Session *s = nullptr;

    QString tip() const { return s->w.helpLine()->text(); }

    // Brings the control's tab to the front and moves the pointer over it.
    // QTest::mouseMove moves the platform cursor; the offscreen platform
    // turns that into a real move event for the widget under the pointer,
    // so the event takes the same path as a user's.
    void moveOver(QWidget *target, QPoint at = {})
    {
        QVERIFY(target);
        const int page = s->w.tabs()->indexOfPageHolding(target);
        if (page >= 0 && s->w.tabs()->currentIndex() != page)
            s->w.tabs()->setCurrentIndex(page);
        if (at.isNull())
            at = target->rect().center();
        QCOMPARE(target->window()->childAt(target->mapTo(target->window(), at)), target);
        QTest::mouseMove(target, at);
    }
    void moveOverStrip()
    {
        QTabBar *bar = s->w.tabs()->tabBar();
        moveOver(bar, bar->tabRect(bar->currentIndex()).center());
    }

private slots:
    void init()
    {
        s = new Session;
        s->load("port = 6969\r\nvesk_tag1 = Movies|m.png\r\n# note\r\n");
        QVERIFY(s->show());
    }
    void cleanup()
    {
        delete s;
        s = nullptr;
    }

    void opensWithTheOpeningText() { QCOMPARE(tip(), kOpening); }

    // Every caption and every box shows its own slot's entry, and the same
    // one for both; the strip in between empties the line so each entry is
    // really put there by the move.
    void everySlotShowsItsEntryFromCaptionAndBox()
    {
        int rows = 0;
        for (int slot = 0; slot <= 72; ++slot) {
            if (slot == 37)
                continue;
            const QString entry = catalogue::setting(slot)->key + u" - "_s + catalogue::setting(slot)->help;
            for (QWidget *control : {static_cast<QWidget *>(s->w.captionLabel(slot)),
                                     static_cast<QWidget *>(s->w.valueBox(slot))}) {
                moveOver(control);
                QCOMPARE(tip(), entry);
                moveOverStrip();
                QCOMPARE(tip(), QString());
            }
            ++rows;
        }
        QCOMPARE(rows, 72);
    }

    void exactEntries()
    {
        moveOver(s->w.captionLabel(slot(u"port")));
        QCOMPARE(tip(), u"port - Port tracker will listen on (usualy 6969)"_s);
        moveOver(s->box(u"announce_interval"));
        QVERIFY2(tip().startsWith(u"announce_interval -  the "_s), qPrintable(tip()));
        // Moving again within the same box sets the entry again.
        s->w.helpLine()->setText(u"x"_s);
        QTest::mouseMove(s->box(u"announce_interval"), QPoint(3, 3));
        QVERIFY(tip().startsWith(u"announce_interval - "_s));
    }

    // The page where no control covers it, and the tab strip, empty the line.
    void bareSurfaceEmptiesTheLine_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QPoint>("twips"); // a point on the tab control
        QTest::newRow("Allow Options, right of the rows") << 0 << QPoint(6000, 2500);
        QTest::newRow("Display Options, between the columns") << 1 << QPoint(5000, 4500);
        QTest::newRow("Categories, under the list") << 5 << QPoint(4000, 6000);
        QTest::newRow("About, empty middle") << 8 << QPoint(4000, 4000);
        QTest::newRow("tab strip") << 3 << QPoint(-1, -1);
    }
    void bareSurfaceEmptiesTheLine()
    {
        QFETCH(int, page);
        QFETCH(QPoint, twips);
        moveOver(s->box(u"port"));
        QVERIFY(!tip().isEmpty());
        TabControl *tabs = s->w.tabs();
        tabs->setCurrentIndex(page);
        if (twips.x() < 0) {
            moveOverStrip();
        } else {
            const Twips tw(s->w.logicalDpiX());
            moveOver(tabs->page(page), QPoint(tw.px(twips.x()), tw.px(twips.y())));
        }
        QCOMPARE(tip(), QString());
    }

    // Everything else leaves the line as it was, also when the pointer comes
    // straight from a caption.
    void otherControlsLeaveTheLine_data()
    {
        QTest::addColumn<QString>("name");
        for (const char *n :
             {"Label2", "Label6", "Label12", "Label10", "Label11", "Label7", "bAddCat", "List1", "Label3",
              "Text1", "helplabel_0", "Label8", "Label9", "Label5", "bSave", "bQuit", "TipText"})
            QTest::newRow(n) << QString::fromLatin1(n);
    }
    void otherControlsLeaveTheLine()
    {
        QFETCH(QString, name);
        auto *control = s->w.findChild<QWidget *>(name);
        QVERIFY(control);
        moveOver(s->w.captionLabel(slot(u"vesk_allow_search")));
        const QString entry = tip();
        QVERIFY(entry.startsWith(u"vesk_allow_search - "_s));
        // A scroll area's contents sit in its viewport.
        QWidget *target = control;
        if (auto *area = qobject_cast<QAbstractScrollArea *>(control))
            target = area->viewport();
        moveOver(target);
        QCOMPARE(tip(), entry);
    }

    void savingAndCategoryCommandsLeaveTheLine()
    {
        moveOver(s->box(u"port"));
        const QString entry = tip();
        s->tk.type(u"Films"_s);
        s->tk.type(u"f.png"_s);
        QTest::mouseClick(s->w.addCategoryButton(), Qt::LeftButton);
        QVERIFY(s->w.save());
        // Tabs switched by keyboard under the resting pointer.
        QTabBar *strip = s->w.tabs()->tabBar();
        strip->setFocus();
        QTest::keyClick(strip, Qt::Key_Right);
        QTest::keyClick(strip, Qt::Key_Left);
        QTest::keyClick(strip, Qt::Key_Left);
        QCOMPARE(s->w.tabs()->currentIndex(), 1);
        QCOMPARE(tip(), entry);
    }
};

QTEST_MAIN(HelpLineTest)
#include "tst_helpline.moc"
