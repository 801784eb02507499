#pragma once

#include "config/catalogue.h"

#include <span>

namespace vesk
{

// The main window's pages, in the order of the tab strip.
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

// The page that shows a tab of settings.
constexpr Page pageOf(Tab tab)
{
    switch (tab) {
    case Tab::AllowOptions: return Page::AllowOptions;
    case Tab::DisplayOptions: return Page::DisplayOptions;
    case Tab::NumberOptions: return Page::NumberOptions;
    case Tab::Times: return Page::Times;
    case Tab::FilesDirectories: return Page::FilesDirectories;
    case Tab::Misc: return Page::Misc;
    }
    return Page::About;
}

// The setting tabs in the order the strip shows them.
inline constexpr Tab kTabsInStripOrder[] = {Tab::AllowOptions, Tab::DisplayOptions,   Tab::NumberOptions,
                                            Tab::Times,        Tab::FilesDirectories, Tab::Misc};

// Every setting slot as the pages show them: page by page along the strip,
// down each page's rows. Find Setting searches in this order, and the Tab
// key walks the settings in it.
std::span<const int> slotsInStripOrder();

} // namespace vesk
