#pragma once

#include "base/result.h"
#include "config/configwriter.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace vesk::cli
{

// The state `veskcfg apply` is to bring a file to, from a JSON document:
//   {"settings":   {"port": "6970", "vesk_debug": null, ...},
//    "categories": [{"name": "Games", "image": "/file/games.png"},
//                   {"name": "Anime", "state": "absent"}, ...]}
// A setting's value is a string or a whole number; null removes the line.
// A category is present (the default: added at its sorted place, or its
// image changed) or absent (every category of that name goes).
struct WantedState {
    struct Setting {
        int slot;
        std::optional<QString> value; // nothing: remove the setting
    };
    struct Category {
        QString name;
        QString image;
        bool present = true;
    };
    std::vector<Setting> settings;
    std::vector<Category> categories;
};

// Reads and checks the whole document: unknown members and keys (with the
// keys probably meant), values that do not fit their setting (unless
// force), category names the window refuses. Every problem found is named,
// one a line (Fault::BadValue); none of it is then applied.
Result<WantedState> parseWantedState(QByteArrayView json, bool force);
// The same from the file at from, or from standard input for "-".
Result<WantedState> readWantedState(const QString &from, bool force);

// What applying a state changed.
struct Applied {
    QStringList settings;          // keys set or removed
    QStringList categoriesAdded;   // names
    QStringList categoriesChanged; // names whose image changed
    QStringList categoriesRemoved; // names
    QStringList problems;          // "key: why" for each value that does not fit, after
};
Applied applyWantedState(const WantedState &wanted, ConfigContent &content);

} // namespace vesk::cli
