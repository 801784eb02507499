#include "config/valuecheck.h"

#include "config/catalogue.h"

#include <QUrl>

#include <array>
#include <limits>

using namespace Qt::StringLiterals;

namespace vesk
{
namespace
{

// The tracker reads numbers into C ints; anything larger is a typo.
constexpr qint64 kIntMax = std::numeric_limits<qint32>::max();

struct KeyRule {
    const char16_t *key;
    ValueRule rule;
};

constexpr ValueRule flag{ValueKind::Flag, 0, 1};
constexpr ValueRule count{ValueKind::Number, 0, kIntMax};
constexpr ValueRule seconds{ValueKind::Seconds, 0, kIntMax};
constexpr ValueRule minutes{ValueKind::Minutes, 0, kIntMax};
constexpr ValueRule folder{ValueKind::Folder};
constexpr ValueRule file{ValueKind::File};
constexpr ValueRule url{ValueKind::Url};

// Keyed by key rather than slot, so that a reordered catalogue cannot
// shift a rule onto the wrong setting. Settings missing here are free text.
// Each rule is what the setting's help text says; nothing more is assumed
// (socket_timeout gives no unit, nat_check is unused, the share ratio
// setting never says it takes 1).
constexpr std::array kRules = {
    // "when set to 1" / "if set to 1"
    KeyRule{u"vesk_allow_search", flag},
    KeyRule{u"vesk_allow_sort", flag},
    KeyRule{u"vesk_show_info_hash", flag},
    KeyRule{u"vesk_show_added", flag},
    KeyRule{u"vesk_show_size", flag},
    KeyRule{u"vesk_display_all", flag},
    KeyRule{u"vesk_show_stats", flag},
    KeyRule{u"vesk_show_num_files", flag},
    KeyRule{u"vesk_show_file_contents", flag},
    KeyRule{u"vesk_allow_comments", flag},
    KeyRule{u"vesk_show_uploader", flag},
    KeyRule{u"vesk_delete_invalid", flag},
    KeyRule{u"vesk_show_file_comment", flag},
    KeyRule{u"vesk_allow_torrent_downloads", flag},
    KeyRule{u"vesk_show_average_left", flag},
    KeyRule{u"vesk_debug", flag},
    KeyRule{u"show_names", flag},
    KeyRule{u"vesk_count_unique_peers", flag},
    KeyRule{u"vesk_allow_scrape", flag},
    KeyRule{u"vesk_show_min_left", flag},
    KeyRule{u"vesk_show_max_left", flag},
    KeyRule{u"vesk_show_left_as_progress", flag},
    KeyRule{u"vesk_parse_on_upload", flag},
    KeyRule{u"vesk_show_completed", flag},
    KeyRule{u"vesk_show_transferred", flag},
    KeyRule{u"vesk_show_gen_time", flag},
    KeyRule{u"vesk_delete_own_torrents", flag},
    KeyRule{u"vesk_force_announce_on_download", flag},
    KeyRule{u"vesk_allow_info_link", flag},
    // Counts.
    KeyRule{u"vesk_per_page", count},
    KeyRule{u"vesk_max_hops", count},
    KeyRule{u"vesk_flush_interval", count},
    KeyRule{u"vesk_max_torrents", count},
    KeyRule{u"response_size", count},
    KeyRule{u"parse_allowed_interval", count},
    KeyRule{u"vesk_max_conns", count},
    KeyRule{u"max_give", count},
    KeyRule{u"vesk_users_per_page", count},
    KeyRule{u"vesk_max_peers_display", count},
    KeyRule{u"vesk_compression_level", {ValueKind::Number, 0, 9}},
    KeyRule{u"port", {ValueKind::Number, 1, 65535}},
    // Access levels are sums of 1, 2, 4, ..., 64.
    KeyRule{u"vesk_guest_access", {ValueKind::Number, 0, 127}},
    KeyRule{u"vesk_member_access", {ValueKind::Number, 0, 127}},
    // Times.
    KeyRule{u"save_dfile_interval", seconds},
    KeyRule{u"downloader_timeout_interval", seconds},
    KeyRule{u"announce_interval", seconds},
    KeyRule{u"vesk_dump_xml_interval", seconds},
    KeyRule{u"vesk_file_expires", minutes},
    KeyRule{u"vesk_refresh_static_interval", minutes},
    // Places on the tracker's disk.
    KeyRule{u"vesk_upload_dir", folder},
    KeyRule{u"vesk_error_log_dir", folder},
    KeyRule{u"vesk_file_dir", folder},
    KeyRule{u"allowed_dir", folder},
    KeyRule{u"vesk_access_log_dir", folder},
    KeyRule{u"vesk_archive_dir", folder},
    KeyRule{u"vesk_comments_file", file},
    KeyRule{u"dfile", file},
    KeyRule{u"vesk_static_header", file},
    KeyRule{u"vesk_tag_file", file},
    KeyRule{u"vesk_static_footer", file},
    KeyRule{u"vesk_users_file", file},
    KeyRule{u"vesk_dump_xml_file", file},
    // "Online" locations.
    KeyRule{u"vesk_style_sheet", url},
    KeyRule{u"vesk_force_announce_url", url},
    KeyRule{u"vesk_external_torrent_dir", url},
    KeyRule{u"image_bar_fill", url},
    KeyRule{u"image_bar_trans", url},
};

const std::array<ValueRule, catalogue::kSlotCount> &rulesBySlot()
{
    static const auto table = [] {
        std::array<ValueRule, catalogue::kSlotCount> t{};
        for (const KeyRule &r : kRules)
            for (const Setting &s : catalogue::settings())
                if (s.key == QStringView(r.key))
                    t[size_t(s.slot)] = r.rule;
        return t;
    }();
    return table;
}

QString rangeText(const ValueRule &r)
{
    return r.max == kIntMax ? u"%1 or more"_s.arg(r.min) : u"%1 to %2"_s.arg(r.min).arg(r.max);
}

// The whole number the text holds, or -1 (also for one past any range
// that matters here).
qint64 wholeNumber(QStringView text)
{
    if (text.isEmpty() || text.size() > 12)
        return -1;
    qint64 n = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return -1;
        n = n * 10 + (c.unicode() - u'0');
    }
    return n;
}

} // namespace

ValueRule ruleOf(int slot)
{
    return slot >= 0 && slot < catalogue::kSlotCount ? rulesBySlot()[size_t(slot)] : ValueRule{};
}

QString kindName(ValueKind kind)
{
    switch (kind) {
    case ValueKind::Text: return u"text"_s;
    case ValueKind::Flag: return u"flag"_s;
    case ValueKind::Number: return u"number"_s;
    case ValueKind::Seconds: return u"seconds"_s;
    case ValueKind::Minutes: return u"minutes"_s;
    case ValueKind::Folder: return u"folder"_s;
    case ValueKind::File: return u"file"_s;
    case ValueKind::Url: return u"url"_s;
    }
    return {};
}

QString ruleText(int slot)
{
    const ValueRule r = ruleOf(slot);
    switch (r.kind) {
    case ValueKind::Flag: return u"flag 0/1"_s;
    case ValueKind::Number:
    case ValueKind::Seconds:
    case ValueKind::Minutes: return kindName(r.kind) + u' ' + rangeText(r).replace(u" to "_s, u"-"_s);
    default: return kindName(r.kind);
    }
}

QString valueProblem(int slot, QStringView value)
{
    if (value.isEmpty())
        return {};
    const ValueRule r = ruleOf(slot);
    // Numbers are read the way the tracker's parser does: spaces around
    // them do not matter.
    const QStringView trimmed = value.trimmed();
    switch (r.kind) {
    case ValueKind::Text: return {};
    case ValueKind::Flag:
        return trimmed == u"0" || trimmed == u"1" ? QString() : u"must be 0 (off) or 1 (on)"_s;
    case ValueKind::Number:
    case ValueKind::Seconds:
    case ValueKind::Minutes: {
        const qint64 n = wholeNumber(trimmed);
        if (n >= r.min && n <= r.max)
            return {};
        const QString unit = r.kind == ValueKind::Seconds   ? u" of seconds"_s
                             : r.kind == ValueKind::Minutes ? u" of minutes"_s
                                                            : QString();
        return u"must be a whole number%1, %2"_s.arg(unit, rangeText(r));
    }
    case ValueKind::Folder:
    case ValueKind::File:
        for (QChar c : value)
            if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                return u"holds a control character, which no file name should"_s;
        if (r.kind == ValueKind::File && (value.endsWith(u'/') || value.endsWith(u'\\')))
            return u"ends in a folder separator, but names a file"_s;
        return {};
    case ValueKind::Url: {
        for (QChar c : value)
            if (c.isSpace() || c.unicode() < 0x20)
                return u"holds a space or control character; a URL writes a space as %20"_s;
        const QUrl u(value.toString(), QUrl::StrictMode);
        if (!u.isValid())
            return u"is not a valid URL (%1)"_s.arg(u.errorString());
        return {};
    }
    }
    return {};
}

} // namespace vesk
