#pragma once

#include <QString>

#include <vector>

namespace vesk
{

// What becomes of one line on the way from the old side to the new.
enum class LineEdit : unsigned char { Kept, Removed, Added };

// The lines of both sides in order: every old line is kept or removed,
// every new line kept or added.
struct EditScript {
    std::vector<LineEdit> edits;
    // The changed part was too large to match line by line, so it is
    // removed whole and added whole.
    bool unmatched = false;
};

// One line of a unified diff, its mark included ("@@ ...", " x", "-x", "+x").
struct DiffLine {
    enum class Kind { Hunk, Context, Removed, Added };
    Kind kind;
    QString text;
};

struct LineDiff {
    std::vector<DiffLine> lines; // empty when both sides are the same
    bool unmatched = false;      // as in EditScript
};

// dtl's O(NP) search is quick when few lines differ but grows with the
// square of the differences; past this many line comparisons (well under
// a second of work) the changed part is shown whole instead.
inline constexpr long long kDiffCompareBudget = 5'000'000;

EditScript editScript(const std::vector<QString> &before, const std::vector<QString> &after,
                      long long compareBudget = kDiffCompareBudget);

// The script as unified diff hunks with three lines of context; changes
// closer than twice that share one hunk.
std::vector<DiffLine> diffHunks(const std::vector<QString> &before, const std::vector<QString> &after,
                                const std::vector<LineEdit> &edits);

// Both of the above: the changes from before to after.
LineDiff unifiedDiff(const std::vector<QString> &before, const std::vector<QString> &after,
                     long long compareBudget = kDiffCompareBudget);

// The same as text, under "---" and "+++" lines naming the two sides, each
// line ended by "\n"; empty when both sides are the same.
QString unifiedDiffText(const std::vector<QString> &before, const std::vector<QString> &after,
                        const QString &beforeLabel, const QString &afterLabel);

} // namespace vesk
