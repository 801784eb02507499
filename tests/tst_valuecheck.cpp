// The kinds of values the settings take, and where each kind's edges lie.

#include "config/catalogue.h"
#include "config/valuecheck.h"

#include <QTest>

using namespace vesk;
using namespace Qt::StringLiterals;

namespace
{

int slotOf(const QString &key)
{
    for (const Setting &s : catalogue::settings())
        if (s.key == key)
            return s.slot;
    return -1;
}

} // namespace

class TstValueCheck : public QObject
{
    Q_OBJECT
private slots:
    void everySettingHasItsKind();
    void values_data();
    void values();
};

// A key renamed in the catalogue must not quietly turn into free text.
void TstValueCheck::everySettingHasItsKind()
{
    QStringList text;
    for (const Setting &s : catalogue::settings())
        if (kindOf(s.slot) == ValueKind::Text)
            text << s.key;
    QCOMPARE(text, (QStringList{u"socket_timeout"_s, u"vesk_charset"_s, u"nat_check"_s,
                                u"vesk_show_share_ratios"_s, u"vesk_realm"_s}));
    QCOMPARE(kindOf(catalogue::kEmptySlot), ValueKind::Text);
    QCOMPARE(kindOf(-1), ValueKind::Text);
    QCOMPARE(ruleText(slotOf(u"port"_s)), u"number 1-65535"_s);
    QCOMPARE(ruleText(slotOf(u"vesk_debug"_s)), u"flag 0/1"_s);
    QCOMPARE(ruleText(slotOf(u"announce_interval"_s)), u"seconds 0 or more"_s);
}

void TstValueCheck::values_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("fits");
    const struct {
        const char16_t *key;
        const char16_t *value;
        bool fits;
    } rows[] = {
        // An empty value leaves the setting out: never a problem.
        {u"port", u"", true},
        {u"vesk_debug", u"", true},
        {u"vesk_debug", u"0", true},
        {u"vesk_debug", u"1", true},
        {u"vesk_debug", u" 1 ", true},
        {u"vesk_debug", u"2", false},
        {u"vesk_debug", u"yes", false},
        {u"vesk_debug", u"01x", false},
        {u"port", u"1", true},
        {u"port", u"65535", true},
        {u"port", u"0", false},
        {u"port", u"65536", false},
        {u"port", u"-1", false},
        {u"port", u"+80", false},
        {u"port", u"69 69", false},
        {u"port", u"6969.0", false},
        {u"port", u"\u0666", false},
        {u"vesk_compression_level", u"0", true},
        {u"vesk_compression_level", u"9", true},
        {u"vesk_compression_level", u"10", false},
        {u"vesk_guest_access", u"127", true},
        {u"vesk_guest_access", u"128", false},
        {u"vesk_per_page", u"0", true},
        {u"vesk_per_page", u"2147483647", true},
        {u"vesk_per_page", u"2147483648", false},
        {u"vesk_per_page", u"99999999999999999999", false},
        {u"announce_interval", u"1800", true},
        {u"announce_interval", u"30m", false},
        {u"vesk_file_expires", u"1440", true},
        {u"vesk_file_expires", u"1.5", false},
        {u"allowed_dir", u"torrents/", true},
        {u"allowed_dir", u"C:\\hello\\", true},
        {u"allowed_dir", u"a\tb", false},
        {u"dfile", u"dstate", true},
        {u"dfile", u"state/", false},
        {u"vesk_force_announce_url", u"http://t.example.org:6969/announce", true},
        {u"vesk_style_sheet", u"/file/style.css", true},
        {u"image_bar_fill", u"http://x.org/a b.png", false},
        {u"image_bar_fill", u"http://[::1", false},
        {u"vesk_realm", u"anything at all", true},
        {u"socket_timeout", u"soon", true},
    };
    for (const auto &r : rows)
        QTest::addRow("%s=%s", qPrintable(QString::fromUtf16(r.key)), qPrintable(QString::fromUtf16(r.value)))
            << QString::fromUtf16(r.key) << QString::fromUtf16(r.value) << r.fits;
}

void TstValueCheck::values()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(bool, fits);
    const int slot = slotOf(key);
    QVERIFY(slot >= 0);
    const Result<void> checked = checkValue(slot, value);
    QVERIFY2(checked.ok() == fits, qPrintable(checked.ok() ? u"accepted"_s : checked.reason()));
    QVERIFY(checked.ok() || checked.fault() == Fault::BadValue);
}

QTEST_GUILESS_MAIN(TstValueCheck)
#include "tst_valuecheck.moc"
