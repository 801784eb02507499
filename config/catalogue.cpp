#include "config/catalogue.h"

#include <algorithm>
#include <array>
#include <limits>
#include <vector>

using namespace Qt::StringLiterals;

namespace vesk::catalogue
{
namespace
{

// Each rule is what the setting's help text says; nothing more is assumed
// (socket_timeout gives no unit, nat_check is unused, the share ratio
// setting never says it takes 1). The tracker reads numbers into C ints:
// anything larger is a typo.
constexpr qint64 kIntMax = std::numeric_limits<qint32>::max();
constexpr ValueRule text{};
constexpr ValueRule flag{ValueKind::Flag, 0, 1};          // "when set to 1"
constexpr ValueRule count{ValueKind::Number, 0, kIntMax}; // how many
constexpr ValueRule seconds{ValueKind::Seconds, 0, kIntMax};
constexpr ValueRule minutes{ValueKind::Minutes, 0, kIntMax};
constexpr ValueRule folder{ValueKind::Folder}; // places on the tracker's disk
constexpr ValueRule file{ValueKind::File};
constexpr ValueRule url{ValueKind::Url}; // "online" locations
constexpr ValueRule number(qint64 min, qint64 max)
{
    return {ValueKind::Number, min, max};
}

const std::array<Setting, kSettingCount>
    kSettings =
        {
            {
                {0, u"vesk_allow_search"_s, u"Allow Search"_s, Page::AllowOptions, 0, flag,
                 u"when set to 1, will allow users to search the files your tracker is currently tracking. This will only work if allowed_dir is set."_s},
                {1, u"vesk_allow_sort"_s, u"Allow Sort"_s, Page::AllowOptions, 1, flag,
                 u"when set to 1, will allow users to sort the files your tracker is currently tracking."_s},
                {2, u"vesk_per_page"_s, u"Torrents Per Page"_s, Page::NumberOptions, 5, count,
                 u"specifies the number of files to be displayed per page.  If set to 0 all files will be shown on 1 page."_s},
                {3, u"vesk_show_info_hash"_s, u"Show Hash"_s, Page::DisplayOptions, 1, flag,
                 u"when set to 1, will display each file's info hash on the tracker webpage."_s},
                {4, u"vesk_style_sheet"_s, u"Style Sheet"_s, Page::FilesDirectories, 6, url,
                 u"specifies the **online** location of a CSS style sheet to include on the tracker webpage."_s},
                {5, u"vesk_show_added"_s, u"Date Added"_s, Page::DisplayOptions, 4, flag,
                 u"when set to 1, will display each file's modification time on the tracker webpage (this is usually the time the file was added). This will only work if allowed_dir is set."_s},
                {6, u"vesk_show_size"_s, u"Size"_s, Page::DisplayOptions, 5, flag,
                 u"when set to 1, will display an **approximation** of each file's actual size on the tracker webpage. This will only work if allowed_dir is set."_s},
                {7, u"vesk_display_all"_s, u"Display All"_s, Page::DisplayOptions, 0, flag,
                 u"when set to 1, will display every file in the allowed_dir on the tracker webpage, regardless of downloaders. This will only work if allowed_dir is set."_s},
                {8, u"vesk_show_stats"_s, u"Show Stats"_s, Page::DisplayOptions, 7, flag,
                 u"when set to 1, will allow users to retrieve file stats for the files your tracker is currently tracking. This will only work if allowed_dir is set and show_names is nonzero."_s},
                {9, u"vesk_show_num_files"_s, u"Show # of Files"_s, Page::DisplayOptions, 6, flag,
                 u"when set to 1, will display each file's number of files on the tracker webpage. This will only work if allowed_dir is set."_s},
                {10, u"vesk_show_file_contents"_s, u"Show File Contents"_s, Page::DisplayOptions, 15, flag,
                 u"when set to 1, will display a table of file contents for multi file torrents on the stats webpage. This will only work if allowed_dir is set and vesk_show_stats is nonzero. WARNING! WHEN ACTIVE, THIS KEY WILL FORCE VESK TO PARSE THE REQUESTED TORRENT EACH TIME THE STATS PAGE IS VIEWED"_s},
                {11, u"vesk_allow_comments"_s, u"Allow Comments"_s, Page::AllowOptions, 2, flag,
                 u"when set to 1, will allow users to view and post comments about the files your tracker is currently tracking. This will only work if allowed_dir is set."_s},
                {12, u"vesk_comments_file"_s, u"Comments File"_s, Page::FilesDirectories, 9, file,
                 u"specifies the file to store file comments in."_s},
                {13, u"vesk_show_uploader"_s, u"Show Uploader"_s, Page::DisplayOptions, 14, flag,
                 u"when set to 1, will display each file's uploader on the tracker webpage. If the file is uploaded by a guest (i.e. if vesk_guest_access is set to allow guests to upload), the uploader will be blank."_s},
                {14, u"vesk_delete_invalid"_s, u"Delete Invalid"_s, Page::AllowOptions, 3, flag,
                 u"when set to 1, will force VESK to delete any invalid torrents it finds while parsing the allowed_dir. This will only work if allowed_dir is set."_s},
                {15, u"vesk_upload_dir"_s, u"Upload Directory"_s, Page::FilesDirectories, 10, folder,
                 u"specifies the directory the file uploader should copy uploaded files into. If this value is not specified, the file uploader will be disabled."_s},
                {16, u"vesk_force_announce_url"_s, u"Force Announce URL"_s, Page::Misc, 0, url,
                 u"specifies the announce URL to force each uploaded file to use."_s},
                {17, u"vesk_show_file_comment"_s, u"Show File Comments"_s, Page::DisplayOptions, 3, flag,
                 u"when set to 1, will display file comments (for torrents created with Seedwright) on the stats webpage."_s},
                {18, u"vesk_max_hops"_s, u"Max Hops"_s, Page::Misc, 1, count,
                 u"specifies the maximum number of hops between this tracker and any other in the tracker network. It is recommended that you set this value as low as possible."_s},
                {19, u"vesk_error_log_dir"_s, u"Error Log Dir"_s, Page::FilesDirectories, 3, folder,
                 u"specifies the directory VESK will store error logs to. A new log will be created each day at midnight of the form YYYY-MM-DDe.log"_s},
                {20, u"vesk_flush_interval"_s, u"Log Flush Interval"_s, Page::Times, 7, count,
                 u"specifies how many log messages should be stored in memory before being flushed to the log file."_s},
                {21, u"vesk_compression_level"_s, u"Compression Level"_s, Page::NumberOptions, 0,
                 number(0, 9),
                 u"specifies the compression level zlib will use when compressing server responses. Set this to 0 to completely turn off compression or a number from 1 (fastest compression) to 9 (best compression)."_s},
                {22, u"vesk_max_torrents"_s, u"Max Torrents"_s, Page::NumberOptions, 1, count,
                 u"specifies the maximum number of torrents VESK will track when using the built in file uploader. VESK will disable the file uploader when at least this many torrents exist in the allowed_dir."_s},
                {23, u"vesk_file_dir"_s, u"File Directory"_s, Page::FilesDirectories, 1,
                 folder, u"specifies the directory the file downloader should read files from. For example, if you set vesk_file_dir to C:\\hello\\ then when a user accesses /file.html?file=image.jpg, VESK will send that user the C:\\hello\\image.jpg file. If this value is not specified, the file downloader will be disabled."_s},
                {24, u"vesk_file_expires"_s, u"File Expires"_s, Page::Times, 6, minutes,
                 u"specifies the number of minutes a file downloaded from the file downloader should be cached for before being downloaded again. This is simply a suggestion to the user's browser and may or may not be ignored."_s},
                {25, u"vesk_allow_torrent_downloads"_s, u"Allow Downloads"_s, Page::AllowOptions, 4, flag,
                 u"when set to 1, will allow users to download the torrents listed on your tracker. All torrents will be downloaded using a slightly modified version of the file downloader (note - the file downloader does not need to be enabled for this to work and vice versa). This will only work if allowed_dir is set and show_names is nonzero."_s},
                {26, u"vesk_show_average_left"_s, u"Show Average Left"_s, Page::DisplayOptions, 11, flag,
                 u"when set to 1, will display the average percentage of the file left to download (averaged between every connected peer for that file) on the tracker webpage. Since this relies on an inaccurate file size calculation, this value may also not be completely accurate. For large files, the accuracy should not be a problem (i.e. it might display 99% left when it's really 100%)."_s},
                {27, u"port"_s, u"Port"_s, Page::NumberOptions, 2, number(1, 65535),
                 u"Port tracker will listen on (usualy 6969)"_s},
                {28, u"vesk_debug"_s, u"Debug"_s, Page::AllowOptions, 8, flag,
                 u"when set to 1, tracker will show extra debuging info in the log."_s},
                {29, u"dfile"_s, u"dfile"_s, Page::FilesDirectories, 5, file,
                 u"file to use to save tracker state information."_s},
                {30, u"save_dfile_interval"_s, u"Save dfile interval"_s, Page::Times, 5, seconds,
                 u"how many seconds to wait before saving the dfile file."_s},
                {31, u"socket_timeout"_s, u"Socket timeout"_s, Page::Times, 0, text,
                 u"timeout for socket connections"_s},
                {32, u"downloader_timeout_interval"_s, u"Downloader Timeout"_s, Page::Times, 1, seconds,
                 u"how long a downloader is left in the peer list without making a conection to the tracker before it is erased in seconds (2700=45 minutes)"_s},
                {33, u"announce_interval"_s, u"Announce interval"_s, Page::Times, 2, seconds,
                 u" the number of seconds the client SHOULD wait before announcing again (i.e. before accessing /announce again). Some clients ignore this suggestion and announce more often, some follow it."_s},
                {34, u"response_size"_s, u"Response size"_s, Page::NumberOptions, 3, count,
                 u"default number of peers (i.e. IP addresses) to send back to a peer when they announce."_s},
                {35, u"parse_allowed_interval"_s, u"Parse Allowed Interval"_s, Page::Times, 3, count,
                 u"how often to check the torrent dirrectory for new torrents.  If set to 0, will only be parsed on startup."_s},
                {36, u"show_names"_s, u"Show Name"_s, Page::DisplayOptions, 2, flag,
                 u"when set to 1, show the names of torrents.  ifyou want people to be able to download torrents from your tracker, this must be set to 1."_s},
                {38, u"allowed_dir"_s, u"Allowed directory"_s, Page::FilesDirectories, 0, folder,
                 u"directory torrents will be stored in.  If this directory is not set, most of the rest ofthe options will have no effect."_s},
                {39, u"vesk_static_header"_s, u"Static header"_s, Page::FilesDirectories, 7, file,
                 u"HTML file that will be displayed on all web pages made by the tracker."_s},
                {40, u"vesk_charset"_s, u"Character set"_s, Page::Misc, 2, text,
                 u"ISO charactor set to display in."_s},
                {41, u"vesk_tag_file"_s, u"Tag file"_s, Page::FilesDirectories, 4, file,
                 u"file to use to keep up with tags for each torrent.  tags are the categories that each torrent is in."_s},
                {42, u"nat_check"_s, u"Nat check"_s, Page::AllowOptions, 7, text, u"not used"_s},
                {43, u"vesk_count_unique_peers"_s, u"Count Unique Peers"_s, Page::AllowOptions, 9, flag,
                 u"when set to 1, will display the number of unique peers (as well as the number of total peers) on the tracker webpage. WARNING! This feature requires extra memory and processing power; if your tracker is overloaded you may wish to disable this feature."_s},
                {44, u"vesk_show_share_ratios"_s, u"Show Share Ratio"_s, Page::DisplayOptions, 16, text,
                 u"show the users ratio of uploaded bytes:downloaded bytes"_s},
                {45, u"vesk_external_torrent_dir"_s, u"External Torrent Dir"_s,
                 Page::FilesDirectories, 13, url, u"specifies the **online** location of the torrents in your allowed dir. If set, all torrent download links on your tracker webpage will reference this location rather than the internal torrent downloader. For example, you could mirror your allowed dir to a file server and set this value to http://files.example.org/torrents/. This will only work if vesk_allow_torrent_downloads is set (and therefore allowed_dir and show_names)."_s},
                {46, u"vesk_allow_scrape"_s, u"Allow Scrape"_s, Page::AllowOptions, 10, flag,
                 u"when set to 1, will allow users to access the /scrape feature of your tracker."_s},
                {47, u"vesk_show_min_left"_s, u"Show Min Left"_s, Page::DisplayOptions, 10, flag,
                 u"when set to 1, will display the min percentage of the file left to download (similar to vesk_show_average_left) on the tracker webpage."_s},
                {48, u"vesk_show_max_left"_s, u"Show Max Left"_s, Page::DisplayOptions, 12, flag,
                 u"when set to 1, will display the max percentage of the file left to download (similar to vesk_show_average_left) on the tracker webpage."_s},
                {49, u"vesk_show_left_as_progress"_s, u"Show Left as Progress"_s, Page::DisplayOptions, 13,
                 flag,
                 u"when set to 1, will display the average/min/max left values as average/min/max progress (i.e. 100 - left). This will only work if allowed_dir is set since VESK needs to know the file size in order to calculate progress."_s},
                {50, u"vesk_static_footer"_s, u"Static Footer"_s, Page::FilesDirectories, 8, file,
                 u"specifies a **local** HTML document to include at the bottom of the tracker webpage."_s},
                {51, u"vesk_refresh_static_interval"_s, u"Refresh Static Interval"_s, Page::Times, 8, minutes,
                 u"specifies the number of minutes to wait between each refresh of the static header and footer."_s},
                {52, u"image_bar_fill"_s, u"Image Bar Fill"_s, Page::FilesDirectories, 11, url,
                 u"specifies the **online** location of an image to be used as the 'filled' portion of the progress bar. If you want a solid color bar, make this a 1x1 image. Both image_bar_fill and image_bar_trans must be set for a progress bar to be displayed."_s},
                {53, u"image_bar_trans"_s, u"Image Bar Trans"_s, Page::FilesDirectories, 12, url,
                 u"specifies the **online** location of an image to be used as the 'transparent' portion of the progress bar. If you want a solid color bar, make this a 1x1 image. Both image_bar_fill and image_bar_trans must be set for a progress bar to be displayed."_s},
                {54, u"vesk_max_conns"_s, u"Max Connections"_s, Page::NumberOptions, 6, count,
                 u"specifies the maximum number of simultaneous connections VESK will allow. Connections are usually completed within a few seconds, so the default value of 64 should be enough for most trackers (even up to 2500 peers or more). Your operating system may not support a large number of simultaneous connections; it is recommended that you research your operating system's socket limit before changing this value."_s},
                {55, u"vesk_parse_on_upload"_s, u"Parse on Upload"_s, Page::AllowOptions, 11, flag,
                 u"If set to 1, will force VESK to parse each torrent when it's uploaded. In general, this is only useful if parse_allowed_interval is set to 0. If parse_allowed_interval is not set to 0, some strange behaviour may result if a torrent is uploaded while the allowed dir is being parsed."_s},
                {56, u"vesk_show_completed"_s, u"Show Completed"_s, Page::DisplayOptions, 8, flag,
                 u"when set to 1, will display each file's total completed downloads on the tracker webpage."_s},
                {57, u"vesk_show_transferred"_s, u"Show Transfered"_s, Page::DisplayOptions, 9, flag,
                 u"when set to 1, will display each file's total bytes transferred on the tracker webpage. This will only work if allowed_dir is set since the file size needs to be known."_s},
                {58, u"vesk_guest_access"_s, u"Guest Access"_s, Page::NumberOptions, 7, number(0, 127),
                 u"specifies the default access level for guests (users who are not logged in). Read the users.txt file to find out more about access levels.  value should be the total of the folowing values: 1 = view access (basic) 2 = dl access (downloader) 4 = comments access (poster) 8 = upload access (uploader) 16 = edit access (moderator) 32 = admin access (admin) 64 = signup access"_s},
                {59, u"vesk_member_access"_s, u"Member Access"_s, Page::NumberOptions, 8, number(0, 127),
                 u"specifies the default access level for members (users who signed up through the signup page). Read the users.txt file to find out more about access levels.  value should be the total of the folowing values: 1 = view access (basic) 2 = dl access (downloader) 4 = comments access (poster) 8 = upload access (uploader) 16 = edit access (moderator) 32 = admin access (admin) 64 = signup access"_s},
                {60, u"vesk_access_log_dir"_s, u"Access Log Dir"_s, Page::FilesDirectories, 2, folder,
                 u"specifies the directory VESK will store access logs to. A new log will be created each day at midnight."_s},
                {61, u"vesk_users_file"_s, u"User Database File"_s, Page::FilesDirectories, 14, file,
                 u"file name to save the user database to."_s},
                {62, u"max_give"_s, u"Max Give"_s, Page::NumberOptions, 4, count,
                 u"maximum number of peers (i.e. IP addresses) to send back."_s},
                {63, u"vesk_dump_xml_file"_s, u"Dump XML File"_s, Page::FilesDirectories, 15, file,
                 u"specifies the file to dump an XML document of all the torrents and peers the tracker is tracking. Unless you're planning on integrating VESK with another webserver, ignore this."_s},
                {64, u"vesk_dump_xml_interval"_s, u"Dump XML Interval"_s, Page::Times, 4, seconds,
                 u"specifies the number of seconds to wait between each dump of the XML file."_s},
                {65, u"vesk_show_gen_time"_s, u"Show Generation Time"_s, Page::DisplayOptions, 17, flag,
                 u"when set to 1, will display page generation times on some pages."_s},
                {66, u"vesk_users_per_page"_s, u"Users per page"_s, Page::NumberOptions, 9, count,
                 u"specifies the number of users to be displayed per page (on users.html). If this value is zero, all users will be displayed on a single page."_s},
                {67, u"vesk_delete_own_torrents"_s, u"Allow Delete"_s, Page::AllowOptions, 5, flag,
                 u"when set to 1, will allow users to delete the torrents they upload to your tracker (with login.html). Users will only be able to delete their own torrents."_s},
                {68, u"vesk_force_announce_on_download"_s, u"Force Anounce on DL"_s, Page::AllowOptions, 12,
                 flag,
                 u"when set to 1, will force VESK to set the announce URL in each torrent as it is downloaded (without modifying the actual torrent file). This is useful if you want to change the announce URL each torrent has without modifying the torrent file itself."_s},
                {69, u"vesk_allow_info_link"_s, u"Allow Info Link"_s, Page::AllowOptions, 6, flag,
                 u"when set to 1, will allow users to specify an info link with each file they upload. An info link column will also be displayed on the tracker webpage. This will only work if allowed_dir is set."_s},
                {70, u"vesk_archive_dir"_s, u"Archive Directory"_s, Page::FilesDirectories, 16, folder,
                 u"specifies the directory deleted files will be archived into. If this value is not specified, deleted files will not be archived."_s},
                {71, u"vesk_max_peers_display"_s, u"Max Peers Display"_s, Page::NumberOptions, 10, count,
                 u"specifies the maximum number of peers to be displayed on the stats page. If more peers are connected, only the first few peers will be displayed."_s},
                {72, u"vesk_realm"_s, u"Realm"_s, Page::Misc, 3, text,
                 u"WARNING: specifies the realm to use for user authentication. If you don't know what this is, don't touch it. If your users file contains at least one entry and you modify vesk_realm, existing users will not be able to login."_s},
            }};

// What the reader tries a line against for a setting. Older files spell
// "vesk_allow_comment"; the long key begins with it, so trying the short
// form reads both spellings.
QString readerPrefix(const Setting &s)
{
    return s.key == u"vesk_allow_comments" ? u"vesk_allow_comment"_s : s.key;
}

// The slots of every page, each in row order.
const std::array<std::vector<int>, kPageCount> &pageRows()
{
    static const auto rows = [] {
        std::array<std::vector<int>, kPageCount> r;
        std::vector<const Setting *> byRow;
        byRow.reserve(std::size(kSettings));
        for (const Setting &s : kSettings)
            byRow.push_back(&s);
        std::stable_sort(byRow.begin(), byRow.end(), [](const Setting *a, const Setting *b) {
            return std::pair(int(a->page), a->row) < std::pair(int(b->page), b->row);
        });
        for (const Setting *s : byRow)
            r[size_t(s->page)].push_back(s->slot);
        return r;
    }();
    return rows;
}

} // namespace

std::span<const Setting> settings()
{
    return kSettings;
}

const Setting *setting(int slot)
{
    static const auto bySlot = [] {
        std::array<const Setting *, kSlotCount> t{};
        for (const Setting &s : kSettings)
            t[size_t(s.slot)] = &s;
        return t;
    }();
    return slot >= kFirstSlot && slot <= kLastSlot ? bySlot[size_t(slot)] : nullptr;
}

int slotOf(QStringView key)
{
    for (const Setting &s : kSettings)
        if (s.key == key)
            return s.slot;
    return -1;
}

const QString &categoryKey()
{
    static const QString key = u"vesk_tag"_s;
    return key;
}

QString helpEntry(int slot)
{
    const Setting *s = setting(slot);
    return s ? s->key + u" - "_s + s->help : QString();
}

QString pageCaption(Page page)
{
    switch (page) {
    case Page::AllowOptions: return u"Allow Options"_s;
    case Page::DisplayOptions: return u"Display Options"_s;
    case Page::NumberOptions: return u"Number Options"_s;
    case Page::Times: return u"Times"_s;
    case Page::FilesDirectories: return u"Files/Directories"_s;
    case Page::Categories: return u"Categories"_s;
    case Page::Misc: return u"Misc"_s;
    case Page::Raw: return u"Raw"_s;
    case Page::About: return u"About"_s;
    }
    return {};
}

bool holdsSettings(Page page)
{
    return !rowsOf(page).empty();
}

std::span<const int> rowsOf(Page page)
{
    return pageRows()[size_t(page)];
}

Page pageOf(int slot)
{
    const Setting *s = setting(slot);
    Q_ASSERT_X(s, "pageOf", "a slot without a setting");
    return s ? s->page : Page::About;
}

std::span<const int> slotsInStripOrder()
{
    static const std::vector<int> order = [] {
        std::vector<int> all;
        for (const std::vector<int> &rows : pageRows())
            all.insert(all.end(), rows.begin(), rows.end());
        return all;
    }();
    return order;
}

std::span<const ReaderKey> readerKeys()
{
    // The category prefix comes last: tried earlier, it would take the
    // "vesk_tag_file" lines.
    static const auto keys = [] {
        std::array<ReaderKey, kSettingCount + 1> k{};
        for (size_t i = 0; i < kSettings.size(); ++i)
            k[i] = {readerPrefix(kSettings[i]), kSettings[i].slot};
        k.back() = {categoryKey(), -1};
        return k;
    }();
    return keys;
}

} // namespace vesk::catalogue
