#pragma once

#include "config/catalogue.h"

#include <QString>

#include <array>

class QAbstractItemModel;
class QLabel;
class QLineEdit;
class QListView;
class QObject;
class QPushButton;
class QWidget;

namespace vesk
{

class Announcer;
class HelpLine;
class RawTextEdit;
class TabControl;

// What the help line says until a setting is pointed at or focused.
QString openingHelp();

// The window's controls: the tab control and its pages, a caption and a
// value box for every setting, and the controls of the other pages and
// under the tabs.
struct Form {
    TabControl *tabs = nullptr;
    std::array<QLineEdit *, catalogue::kSlotCount> boxes{}; // nullptr for slot 37
    std::array<QLabel *, catalogue::kSlotCount> captions{};
    QListView *categoryView = nullptr;
    QPushButton *addCategoryButton = nullptr;
    RawTextEdit *rawText = nullptr;
    HelpLine *helpLine = nullptr;
    Announcer *announcer = nullptr;
    QPushButton *saveButton = nullptr;
    QPushButton *quitButton = nullptr;

    QWidget *page(Page p) const;
};

// Makes the form on client: its pages in strip order, each setting's row
// where the catalogue puts it, the list over categories. watcher filters
// the events of the captions, the value boxes and the list (pointer
// movement, focus, keys); the commands are left for the caller to connect.
Form buildForm(QWidget &client, QAbstractItemModel &categories, QObject &watcher);

} // namespace vesk
