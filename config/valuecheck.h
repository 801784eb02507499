#pragma once

#include "base/result.h"
#include "config/catalogue.h"

#include <QString>
#include <QStringView>

namespace vesk
{

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

// Whether the value fits the slot's rule (Fault::BadValue, saying why, when
// not). An empty value always fits: it leaves the setting out of the file.
Result<void> checkValue(int slot, QStringView value);

} // namespace vesk
