#pragma once

#include <QString>

#include <vector>

namespace vesk {

// The changes from before to after as unified diff text with three lines
// of context and the two file labels on its "---" and "+++" lines; empty
// when both sides are the same. A changed part too large to match line by
// line is shown removed whole and added whole.
QString unifiedDiffText(const std::vector<QString> &before, const std::vector<QString> &after,
                        const QString &beforeLabel, const QString &afterLabel);

} // namespace vesk
