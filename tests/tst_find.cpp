// Find Setting and Find Next: which setting is shown, how, and what the
// user is told when nothing matches.
#include "windowfixture.h"

#include "config/catalogue.h"
#include "window/findsetting.h"

using namespace vesk;
using namespace vesk::test;

namespace
{

const QString kTitle = QStringLiteral("Find Setting");
const QString kPrompt = QStringLiteral("Caption, key or words from the help text:");

// Page indexes of the tab strip.
constexpr int kNumberPage = 2;
constexpr int kTimesPage = 3;
constexpr int kFilesPage = 4;
constexpr int kMiscPage = 6;

} // namespace

class FindTest : public QObject
{
    Q_OBJECT

    // The window shows the setting with key as found: its tab in front, its
    // box focused with all its text selected, its help entry on the help line.
    static void verifyShown(Session &s, QStringView key, int page)
    {
        QLineEdit *box = s.box(key);
        QCOMPARE(s.w.tabs()->currentIndex(), page);
        QVERIFY(box->isVisible());
        QCOMPARE(s.w.focusWidget(), box);
        QVERIFY(box->hasFocus());
        QTRY_COMPARE(box->selectedText(), box->text()); // once the focus has been told
        QCOMPARE(s.w.helpLine()->text(), catalogue::helpEntry(slot(key)));
    }

    static QByteArray config()
    {
        return "port = 6969\r\nsocket_timeout = 15\r\ndownloader_timeout_interval = 2700\r\n"
               "vesk_max_hops = 3\r\nvesk_compression_level = 6\r\nvesk_dump_xml_file = dump.xml\r\n"
               "vesk_dump_xml_interval = 60\r\n";
    }

private slots:
    void findsByCaptionKeyOrHelpWords_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("page");
        QTest::newRow("caption, other case")
            << QStringLiteral("SOCKET TIMEOUT") << QStringLiteral("socket_timeout") << kTimesPage;
        QTest::newRow("key") << QStringLiteral("vesk_max_hops") << QStringLiteral("vesk_max_hops")
                             << kMiscPage;
        QTest::newRow("help words") << QStringLiteral("Zlib will use")
                                    << QStringLiteral("vesk_compression_level") << kNumberPage;
        // The XML file's slot comes first by number, but Times is before
        // Files/Directories in the strip.
        QTest::newRow("strip order") << QStringLiteral("xml") << QStringLiteral("vesk_dump_xml_interval")
                                     << kTimesPage;
    }
    void findsByCaptionKeyOrHelpWords()
    {
        QFETCH(QString, text);
        QFETCH(QString, key);
        QFETCH(int, page);
        Session s;
        s.load(config());
        QVERIFY(s.show());
        s.tk.type(text);
        s.action("menFind")->trigger();
        QCOMPARE(shown(s.tk), QStringList{input(kTitle, kPrompt, QString())});
        verifyShown(s, key, page);
        QVERIFY(!s.w.isModified());
    }

    void keysRunTheCommandsAndNextWrapsAround()
    {
        Session s;
        s.load(config());
        QVERIFY(s.show());
        s.tk.type(QStringLiteral("XmL"));
        QTest::keyClick(&s.w, Qt::Key_F, Qt::ControlModifier);
        verifyShown(s, u"vesk_dump_xml_interval", kTimesPage);
        // From inside a value box too: the keys reach the menu.
        QTest::keyClick(s.box(u"vesk_dump_xml_interval"), Qt::Key_F3);
        verifyShown(s, u"vesk_dump_xml_file", kFilesPage);
        QTest::keyClick(s.box(u"vesk_dump_xml_file"), Qt::Key_F3);
        verifyShown(s, u"vesk_dump_xml_interval", kTimesPage);
        // Only the first search asked.
        QCOMPARE(s.tk.prompts().size(), size_t(1));

        // A new search starts from the top again, offering the last text.
        s.tk.type(QStringLiteral("timeout"));
        s.action("menFind")->trigger();
        QCOMPARE(describe(s.tk.prompts().back()), input(kTitle, kPrompt, QStringLiteral("XmL")));
        verifyShown(s, u"socket_timeout", kTimesPage);
        s.action("menFindNext")->trigger();
        verifyShown(s, u"downloader_timeout_interval", kTimesPage);
        s.action("menFindNext")->trigger();
        verifyShown(s, u"socket_timeout", kTimesPage);
    }

    void nextWithoutSearchAsks()
    {
        Session s;
        s.load(config());
        QVERIFY(s.show());
        s.tk.type(QStringLiteral("hops"));
        s.action("menFindNext")->trigger();
        QCOMPARE(shown(s.tk), QStringList{input(kTitle, kPrompt, QString())});
        verifyShown(s, u"vesk_max_hops", kMiscPage);
    }

    void noMatchTellsAndChangesNothing()
    {
        Session s;
        s.load(config());
        QVERIFY(s.show());
        s.w.tabs()->setCurrentIndex(kNumberPage);
        s.box(u"port")->setFocus();
        const QString help = s.w.helpLine()->text();
        s.tk.type(QStringLiteral("no such setting"));
        s.action("menFind")->trigger();
        QCOMPARE(shown(s.tk),
                 (QStringList{input(kTitle, kPrompt, QString()),
                              message(kTitle, QStringLiteral("No setting matches no such setting"))}));
        QCOMPARE(s.w.tabs()->currentIndex(), kNumberPage);
        QCOMPARE(s.w.focusWidget(), s.box(u"port"));
        QCOMPARE(s.w.helpLine()->text(), help);
        // Find Next searches for the same text again.
        s.tk.clearPrompts();
        s.action("menFindNext")->trigger();
        QCOMPARE(shown(s.tk),
                 QStringList{message(kTitle, QStringLiteral("No setting matches no such setting"))});
    }

    void cancelOrEmptyDoesNothing()
    {
        Session s;
        s.load(config());
        QVERIFY(s.show());
        s.tk.type(QStringLiteral("port"));
        s.action("menFind")->trigger();
        QCOMPARE(s.w.focusWidget(), s.box(u"port"));

        s.w.tabs()->setCurrentIndex(kMiscPage);
        s.box(u"vesk_max_hops")->setFocus();
        const QString help = s.w.helpLine()->text();
        s.tk.clearPrompts();
        s.tk.type(QString()); // Cancel, or OK on an empty box
        s.action("menFind")->trigger();
        QCOMPARE(shown(s.tk), QStringList{input(kTitle, kPrompt, QStringLiteral("port"))});
        QCOMPARE(s.w.tabs()->currentIndex(), kMiscPage);
        QCOMPARE(s.w.focusWidget(), s.box(u"vesk_max_hops"));
        QCOMPARE(s.w.helpLine()->text(), help);
        QCOMPARE(s.tk.unanswered(), 0);
        // The earlier search is still the one Find Next goes on with.
        auto *finder = s.w.findChild<FindSetting *>();
        QVERIFY(finder);
        QCOMPARE(finder->lastSearch(), QStringLiteral("port"));
    }

    void searchRunsOverEverySettingOnce()
    {
        // Every setting can be found by its key, and the search order holds
        // each slot of the six setting tabs exactly once.
        std::vector<int> order(FindSetting::searchOrder().begin(), FindSetting::searchOrder().end());
        QCOMPARE(order.size(), size_t(catalogue::kSettingCount));
        std::sort(order.begin(), order.end());
        QVERIFY(std::adjacent_find(order.begin(), order.end()) == order.end());
        for (const Setting &st : catalogue::settings())
            QVERIFY2(FindSetting::matches(st.slot, st.key.toUpper()), qPrintable(st.key));
        QVERIFY(!FindSetting::matches(catalogue::kEmptySlot, QStringLiteral("a")));
    }
};

QTEST_MAIN(FindTest)
#include "tst_find.moc"
