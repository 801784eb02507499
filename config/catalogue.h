#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <span>

namespace vesk
{

// The six tabs that carry setting rows.
enum class Tab { AllowOptions, DisplayOptions, NumberOptions, Times, FilesDirectories, Misc };

struct Setting {
    int slot;
    QString key;     // as the writer writes it
    QString caption; // text of the caption label
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

// Slots of one tab in their on-screen row order (top to bottom; on
// Display Options the left column first, then the right column). Every
// setting is on exactly one tab.
std::span<const int> tabRows(Tab tab);
// The tab that shows a slot's setting; the slot must hold one.
Tab tabOf(int slot);
// The caption of a tab in the window's strip.
QString tabCaption(Tab tab);

// One entry of the reader's recognition list, in the order the keys are tried.
struct ReaderKey {
    QString prefix;
    int slot; // -1 marks the category prefix
};
// The settings in slot order, then the category prefix.
std::span<const ReaderKey> readerKeys();

} // namespace catalogue
} // namespace vesk
