#pragma once

#include <QString>
#include <QStringView>

#include <span>

namespace vesk
{

// The main window's pages, in the order of its tab strip. The order is
// stated here alone: the window, Find Setting, the Tab key and veskcfg all
// take it from this list.
enum class Page {
    AllowOptions,
    DisplayOptions,
    NumberOptions,
    Times,
    FilesDirectories,
    Categories,
    Misc,
    Raw,
    About
};
inline constexpr int kPageCount = int(Page::About) + 1;

// What a setting's value is, as far as its help text tells. Only what the
// help text states is checked: the tracker itself may accept more, so an
// unknown setting is free text and never refused.
enum class ValueKind { Text, Flag, Number, Seconds, Minutes, Folder, File, Url };

struct ValueRule {
    ValueKind kind = ValueKind::Text;
    qint64 min = 0; // Number, Seconds, Minutes
    qint64 max = 0;
};

// Everything about one setting, declared once: the window builds its row
// from it, the reader and writer take its key, the checks its rule.
struct Setting {
    int slot;
    QString key;     // as the writer writes it
    QString caption; // text of the caption label
    Page page;       // the page that shows it
    int row;         // its row there, top to bottom (Display Options: the left column first)
    ValueRule rule;  // what its help text says its value is
    QString help;    // help line text, shown after "key - "
};

namespace catalogue
{

// Slots run 0..72; slot 37 has never held a setting.
inline constexpr int kFirstSlot = 0;
inline constexpr int kLastSlot = 72;
inline constexpr int kEmptySlot = 37;
inline constexpr int kSlotCount = 73;    // including the empty one
inline constexpr int kSettingCount = 72; // real settings

// Every real setting, in slot order.
std::span<const Setting> settings();

// The setting of a slot, or nullptr for slot 37 and anything outside 0..72.
const Setting *setting(int slot);

// The slot of the setting with this key, or -1 for any other text.
int slotOf(QStringView key);

// "vesk_tag", the start of every category line.
const QString &categoryKey();

// Key, " - ", help text: what the help line shows for a slot; empty for a
// slot without a setting.
QString helpEntry(int slot);

// The caption of a page in the window's strip.
QString pageCaption(Page page);
// Whether the page shows settings (six of the nine do).
bool holdsSettings(Page page);
// The slots a page shows, in row order; none for the other pages.
std::span<const int> rowsOf(Page page);
// The page that shows a slot's setting; the slot must hold one.
Page pageOf(int slot);
// Every setting slot as the pages show them: page by page along the strip,
// down each page's rows. Find Setting searches in this order, and the Tab
// key walks the settings in it.
std::span<const int> slotsInStripOrder();

// One entry of the reader's recognition list, in the order the keys are tried.
struct ReaderKey {
    QString prefix;
    int slot; // -1 marks the category prefix
};
// The settings in slot order, then the category prefix.
std::span<const ReaderKey> readerKeys();

} // namespace catalogue
} // namespace vesk
