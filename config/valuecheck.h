#pragma once

#include <QString>
#include <QStringView>

namespace vesk
{

// What a setting's value is, as far as its help text tells. Only what the
// help text states is checked: the tracker itself may accept more, so an
// unknown setting is free text and never refused.
enum class ValueKind { Text, Flag, Number, Seconds, Minutes, Folder, File, Url };

struct ValueRule {
    ValueKind kind = ValueKind::Text;
    qint64 min = 0; // Number, Seconds, Minutes
    qint64 max = 0;
};

// The rule of a slot; free text for slot 37 and anything outside 0..72.
ValueRule ruleOf(int slot);
inline ValueKind kindOf(int slot)
{
    return ruleOf(slot).kind;
}

// A short name for listings: "flag", "number", "seconds", "folder", ...
QString kindName(ValueKind kind);
// The kind with its range where it has one: "number 1-65535".
QString ruleText(int slot);

// Why the value does not fit the slot's kind, or empty when it does. An
// empty value is never a problem: it leaves the setting out of the file.
QString valueProblem(int slot, QStringView value);

} // namespace vesk
