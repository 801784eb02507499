// The setting catalogue: what the window, the reader and the writer rely on
// holding across all its tables.

#include "config/catalogue.h"
#include "config/configwriter.h"

#include <QTest>

#include <set>

using namespace vesk;
using namespace Qt::StringLiterals;

class TstCatalogue : public QObject
{
    Q_OBJECT
private slots:
    void everySlotButTheEmptyOneHoldsOneSetting();
    void everySettingIsOnExactlyOneTab();
    void readerTriesEverySettingThenTheCategoryPrefix();
    void everyWrittenKeyReadsBackIntoItsSlot();
    void noReaderKeyIsHiddenByAnEarlierOne();
};

void TstCatalogue::everySlotButTheEmptyOneHoldsOneSetting()
{
    int expected = catalogue::kFirstSlot;
    std::set<QString> keys;
    for (const Setting &s : catalogue::settings()) {
        expected += expected == catalogue::kEmptySlot;
        QCOMPARE(s.slot, expected++); // in slot order, none missing
        QCOMPARE(catalogue::setting(s.slot), &s);
        QCOMPARE(catalogue::slotOf(s.key), s.slot);
        QVERIFY2(keys.insert(s.key).second, qPrintable(s.key));
        // Plain lower-case ASCII: every encoding writes them, and the reader
        // matches them letter for letter.
        for (QChar c : s.key)
            QVERIFY2(c == u'_' || (c >= u'a' && c <= u'z'), qPrintable(s.key));
        QVERIFY(!s.caption.isEmpty() && !s.help.isEmpty());
    }
    QCOMPARE(expected, catalogue::kLastSlot + 1);
    QCOMPARE(int(keys.size()), catalogue::kSettingCount);
    for (int slot : {catalogue::kEmptySlot, catalogue::kFirstSlot - 1, catalogue::kLastSlot + 1})
        QCOMPARE(catalogue::setting(slot), nullptr);
    for (QStringView notAKey : {u"", u"vesk_tag", u"vesk_allow_comment", u"Port", u"port "})
        QCOMPARE(catalogue::slotOf(notAKey), -1);
}

void TstCatalogue::everySettingIsOnExactlyOneTab()
{
    std::multiset<int> placed;
    for (Page tab : {Page::AllowOptions, Page::DisplayOptions, Page::NumberOptions, Page::Times,
                     Page::FilesDirectories, Page::Misc}) {
        QVERIFY(!catalogue::rowsOf(tab).empty());
        for (int slot : catalogue::rowsOf(tab)) {
            QVERIFY2(catalogue::setting(slot), qPrintable(QString::number(slot)));
            placed.insert(slot);
        }
    }
    QCOMPARE(int(placed.size()), catalogue::kSettingCount);
    for (const Setting &s : catalogue::settings())
        QCOMPARE(int(placed.count(s.slot)), 1);
}

void TstCatalogue::readerTriesEverySettingThenTheCategoryPrefix()
{
    // Each setting by its key or by a shorter spelling its key begins with.
    const auto keys = catalogue::readerKeys();
    const auto all = catalogue::settings();
    QCOMPARE(keys.size(), all.size() + 1);
    for (size_t k = 0; k < all.size(); ++k) {
        QCOMPARE(keys[k].slot, all[k].slot);
        QVERIFY2(all[k].key.startsWith(keys[k].prefix) && !keys[k].prefix.isEmpty(),
                 qPrintable(keys[k].prefix));
    }
    QCOMPARE(keys.back().prefix, catalogue::categoryKey());
    QCOMPARE(keys.back().slot, -1);
}

void TstCatalogue::everyWrittenKeyReadsBackIntoItsSlot()
{
    // What the writer writes under a slot's key must be read into that slot.
    for (const Setting &s : catalogue::settings()) {
        const ConfigData d = parseConfig(QString(s.key + u" = x"_s));
        QVERIFY2(d.values[size_t(s.slot)] == u"x"_s, qPrintable(s.key));
        QVERIFY(d.categories.empty());
        QVERIFY(d.misc.isEmpty());
    }
}

void TstCatalogue::noReaderKeyIsHiddenByAnEarlierOne()
{
    // A key tried earlier that is a prefix of a later one would make the later
    // one unreachable ("vesk_tag" before "vesk_tag_file", say).
    const auto keys = catalogue::readerKeys();
    for (size_t i = 0; i < keys.size(); ++i)
        for (size_t j = i + 1; j < keys.size(); ++j)
            QVERIFY2(!keys[j].prefix.startsWith(keys[i].prefix),
                     qPrintable(keys[i].prefix + u" hides "_s + keys[j].prefix));
}

QTEST_APPLESS_MAIN(TstCatalogue)
#include "tst_catalogue.moc"
