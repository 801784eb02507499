// The setting catalogue: the key and help tables, the tab placement and the
// reader's recognition list, checked against the published texts.

#include "config/catalogue.h"
#include "config/configfile.h"

#include <QTest>

#include <set>

using namespace vesk;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(vesk::Tab)

class TstCatalogue : public QObject {
    Q_OBJECT
private slots:
    void tablesHaveEightyOneEntries();
    void everySettingSlotIsFilled();
    void spotChecks_data();
    void spotChecks();
    void keysWithoutPrefix();
    void helpEntries();
    void tabsCoverEverySlotOnce();
    void readerKeyList();
    void everyWrittenKeyReadsBackIntoItsSlot();
    void noReaderKeyIsHiddenByAnEarlierOne();
};

void TstCatalogue::tablesHaveEightyOneEntries()
{
    QCOMPARE(catalogue::kTableSize, 81);
    // The empty entries: slot 37 and everything after the category prefix.
    for (int i : {37, 74, 75, 76, 77, 78, 79, 80}) {
        QVERIFY2(catalogue::key(i).isEmpty(), qPrintable(QString::number(i)));
        QVERIFY2(catalogue::help(i).isEmpty(), qPrintable(QString::number(i)));
    }
    QCOMPARE(catalogue::key(73), u"vesk_tag"_s);
    QVERIFY(catalogue::help(73).isEmpty());
    QCOMPARE(catalogue::categoryKey(), u"vesk_tag"_s);
    // Indexes outside the tables are harmless.
    QVERIFY(catalogue::key(-1).isEmpty());
    QVERIFY(catalogue::key(81).isEmpty());
    QVERIFY(catalogue::help(1000).isEmpty());
}

void TstCatalogue::everySettingSlotIsFilled()
{
    const auto all = catalogue::settings();
    QCOMPARE(int(all.size()), 72);
    std::set<int> slotSet;
    std::set<QString> keys;
    for (const Setting &s : all) {
        QVERIFY(s.slot >= 0 && s.slot <= 72 && s.slot != 37);
        slotSet.insert(s.slot);
        keys.insert(s.key);
        QVERIFY(!s.key.isEmpty());
        QVERIFY(!s.caption.isEmpty());
        QVERIFY(!s.help.isEmpty());
        QCOMPARE(catalogue::setting(s.slot), &s);
        QCOMPARE(catalogue::key(s.slot), s.key);
        QCOMPARE(catalogue::help(s.slot), s.help);
    }
    QCOMPARE(int(slotSet.size()), 72);
    QCOMPARE(int(keys.size()), 72);
    QCOMPARE(catalogue::setting(37), nullptr);
    QCOMPARE(catalogue::setting(-1), nullptr);
    QCOMPARE(catalogue::setting(73), nullptr);
}

void TstCatalogue::spotChecks_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<vesk::Tab>("tab");
    QTest::addColumn<QString>("help");

    QTest::newRow("2: double space") << 2 << u"vesk_per_page"_s << u"Torrents Per Page"_s << Tab::NumberOptions
        << u"specifies the number of files to be displayed per page.  If set to 0 all files will be shown on 1 page."_s;
    QTest::newRow("11: long key") << 11 << u"vesk_allow_comments"_s << u"Allow Comments"_s << Tab::AllowOptions
        << u"when set to 1, will allow users to view and post comments about the files your tracker is currently tracking. This will only work if allowed_dir is set."_s;
    QTest::newRow("23: backslashes") << 23 << u"vesk_file_dir"_s << u"File Directory"_s << Tab::FilesDirectories
        << u"specifies the directory the file downloader should read files from. For example, if you set vesk_file_dir to C:\\hello\\ then when a user accesses /file.html?file=image.jpg, VESK will send that user the C:\\hello\\image.jpg file. If this value is not specified, the file downloader will be disabled."_s;
    QTest::newRow("27: port") << 27 << u"port"_s << u"Port"_s << Tab::NumberOptions
        << u"Port tracker will listen on (usualy 6969)"_s;
    QTest::newRow("33: leading space") << 33 << u"announce_interval"_s << u"Announce interval"_s << Tab::Times
        << u" the number of seconds the client SHOULD wait before announcing again (i.e. before accessing /announce again). Some clients ignore this suggestion and announce more often, some follow it."_s;
    QTest::newRow("35: dirrectory") << 35 << u"parse_allowed_interval"_s << u"Parse Allowed Interval"_s << Tab::Times
        << u"how often to check the torrent dirrectory for new torrents.  If set to 0, will only be parsed on startup."_s;
    QTest::newRow("36: ifyou") << 36 << u"show_names"_s << u"Show Name"_s << Tab::DisplayOptions
        << u"when set to 1, show the names of torrents.  ifyou want people to be able to download torrents from your tracker, this must be set to 1."_s;
    QTest::newRow("38: ofthe") << 38 << u"allowed_dir"_s << u"Allowed directory"_s << Tab::FilesDirectories
        << u"directory torrents will be stored in.  If this directory is not set, most of the rest ofthe options will have no effect."_s;
    QTest::newRow("41: tag file") << 41 << u"vesk_tag_file"_s << u"Tag file"_s << Tab::FilesDirectories
        << u"file to use to keep up with tags for each torrent.  tags are the categories that each torrent is in."_s;
    QTest::newRow("57: Transfered") << 57 << u"vesk_show_transferred"_s << u"Show Transfered"_s << Tab::DisplayOptions
        << u"when set to 1, will display each file's total bytes transferred on the tracker webpage. This will only work if allowed_dir is set since the file size needs to be known."_s;
    QTest::newRow("58: folowing") << 58 << u"vesk_guest_access"_s << u"Guest Access"_s << Tab::NumberOptions
        << u"specifies the default access level for guests (users who are not logged in). Read the users.txt file to find out more about access levels.  value should be the total of the folowing values: 1 = view access (basic) 2 = dl access (downloader) 4 = comments access (poster) 8 = upload access (uploader) 16 = edit access (moderator) 32 = admin access (admin) 64 = signup access"_s;
    QTest::newRow("68: Anounce") << 68 << u"vesk_force_announce_on_download"_s << u"Force Anounce on DL"_s << Tab::AllowOptions
        << u"when set to 1, will force VESK to set the announce URL in each torrent as it is downloaded (without modifying the actual torrent file). This is useful if you want to change the announce URL each torrent has without modifying the torrent file itself."_s;
    QTest::newRow("72: realm") << 72 << u"vesk_realm"_s << u"Realm"_s << Tab::Misc
        << u"WARNING: specifies the realm to use for user authentication. If you don't know what this is, don't touch it. If your users file contains at least one entry and you modify vesk_realm, existing users will not be able to login."_s;
}

void TstCatalogue::spotChecks()
{
    QFETCH(int, slot);
    QFETCH(QString, key);
    QFETCH(QString, caption);
    QFETCH(vesk::Tab, tab);
    QFETCH(QString, help);
    const Setting *s = catalogue::setting(slot);
    QVERIFY(s);
    QCOMPARE(s->key, key);
    QCOMPARE(s->caption, caption);
    QCOMPARE(s->tab, tab);
    QCOMPARE(s->help, help);
    QCOMPARE(catalogue::key(slot), key);
    QCOMPARE(catalogue::help(slot), help);
}

void TstCatalogue::keysWithoutPrefix()
{
    // Exactly these keys lack the "vesk_" prefix, and are written as listed.
    const std::set<QString> expected = {
        u"port"_s, u"dfile"_s, u"save_dfile_interval"_s, u"socket_timeout"_s,
        u"downloader_timeout_interval"_s, u"announce_interval"_s, u"response_size"_s,
        u"parse_allowed_interval"_s, u"show_names"_s, u"allowed_dir"_s, u"nat_check"_s,
        u"image_bar_fill"_s, u"image_bar_trans"_s, u"max_give"_s};
    std::set<QString> found;
    for (const Setting &s : catalogue::settings())
        if (!s.key.startsWith(u"vesk_"_s))
            found.insert(s.key);
    QCOMPARE(found, expected);
}

void TstCatalogue::helpEntries()
{
    QCOMPARE(catalogue::helpEntry(27), u"port - Port tracker will listen on (usualy 6969)"_s);
    // Slot 33's help begins with a space: two blanks after the dash.
    QVERIFY(catalogue::helpEntry(33).startsWith(u"announce_interval -  the number"_s));
    QCOMPARE(catalogue::helpEntry(0),
             u"vesk_allow_search - when set to 1, will allow users to search the files your tracker is currently tracking. This will only work if allowed_dir is set."_s);
}

void TstCatalogue::tabsCoverEverySlotOnce()
{
    const std::pair<Tab, int> tabs[] = {{Tab::AllowOptions, 13}, {Tab::DisplayOptions, 18},
                                        {Tab::NumberOptions, 11}, {Tab::Times, 9},
                                        {Tab::FilesDirectories, 17}, {Tab::Misc, 4}};
    std::multiset<int> seen;
    for (auto [tab, rows] : tabs) {
        const auto rowSlots = catalogue::tabRows(tab);
        QCOMPARE(int(rowSlots.size()), rows);
        for (int slot : rowSlots) {
            const Setting *s = catalogue::setting(slot);
            QVERIFY2(s, qPrintable(QString::number(slot)));
            QCOMPARE(s->tab, tab);
            seen.insert(slot);
        }
    }
    QCOMPARE(int(seen.size()), 72);
    for (const Setting &s : catalogue::settings())
        QCOMPARE(int(seen.count(s.slot)), 1);
}

void TstCatalogue::readerKeyList()
{
    const auto keys = catalogue::readerKeys();
    QCOMPARE(int(keys.size()), 73);
    QCOMPARE(keys.back().prefix, u"vesk_tag"_s);
    QCOMPARE(keys.back().slot, -1);
    int previous = -1;
    int tagFileAt = -1;
    for (int k = 0; k + 1 < int(keys.size()); ++k) {
        const auto &rk = keys[size_t(k)];
        QVERIFY(rk.slot > previous); // ascending slots
        previous = rk.slot;
        if (rk.slot == 11)
            QCOMPARE(rk.prefix, u"vesk_allow_comment"_s);
        else
            QCOMPARE(rk.prefix, catalogue::key(rk.slot));
        if (rk.prefix == u"vesk_tag_file"_s)
            tagFileAt = k;
    }
    QVERIFY(tagFileAt >= 0 && tagFileAt < int(keys.size()) - 1);
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
    // one unreachable.
    const auto keys = catalogue::readerKeys();
    for (size_t i = 0; i < keys.size(); ++i)
        for (size_t j = i + 1; j < keys.size(); ++j)
            QVERIFY2(!keys[j].prefix.startsWith(keys[i].prefix),
                     qPrintable(keys[i].prefix + u" hides "_s + keys[j].prefix));
}

QTEST_APPLESS_MAIN(TstCatalogue)
#include "tst_catalogue.moc"
