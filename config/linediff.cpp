#include "config/linediff.h"

#include <QHash>

#include <dtl/dtl.hpp>

#include <algorithm>
#include <span>

using namespace Qt::StringLiterals;

namespace vesk
{
namespace
{

constexpr size_t kContext = 3;

// Lines are compared as numbers: equal lines get the same number, so the
// search compares and copies integers, not strings.
using LineId = int;

class BudgetedCompare : public dtl::Compare<LineId>
{
public:
    BudgetedCompare() = default;
    BudgetedCompare(long long *count, long long budget) : m_count(count), m_budget(budget) {}
    bool impl(const LineId &a, const LineId &b) const override
    {
        // Once the budget is spent every pair "matches", which drives the
        // search straight to its end; the result is then discarded.
        if (++*m_count > m_budget)
            return true;
        return a == b;
    }

private:
    long long *m_count = nullptr;
    long long m_budget = 0;
};

struct NumberedLines {
    std::vector<LineId> oldIds;
    std::vector<LineId> newIds;
    std::vector<unsigned char> sides; // per id: bit 0 on the old side, bit 1 on the new
};

NumberedLines numberLines(std::span<const QString> oldLines, std::span<const QString> newLines)
{
    NumberedLines numbered;
    QHash<QString, LineId> ids;
    ids.reserve(qsizetype(oldLines.size()) + qsizetype(newLines.size()));
    auto number = [&](std::span<const QString> lines, unsigned char side) {
        std::vector<LineId> out;
        out.reserve(lines.size());
        for (const QString &line : lines) {
            auto it = ids.constFind(line);
            if (it == ids.cend()) {
                it = ids.insert(line, LineId(numbered.sides.size()));
                numbered.sides.push_back(0);
            }
            numbered.sides[size_t(*it)] |= side;
            out.push_back(*it);
        }
        return out;
    };
    numbered.oldIds = number(oldLines, 1);
    numbered.newIds = number(newLines, 2);
    return numbered;
}

// dtl's search takes at least (p + 1)(delta + 1) + p(p + 1) steps for p
// removals from the shorter side. Lines the other side lacks altogether
// are removals whatever the alignment; when they alone put the search
// past the budget, it is not even started.
bool surelyOverBudget(const NumberedLines &numbered, long long budget)
{
    const bool oldShorter = numbered.oldIds.size() <= numbered.newIds.size();
    const std::vector<LineId> &shorter = oldShorter ? numbered.oldIds : numbered.newIds;
    const std::vector<LineId> &longer = oldShorter ? numbered.newIds : numbered.oldIds;
    const unsigned char otherSide = oldShorter ? 2 : 1;
    const auto p = static_cast<long double>(std::count_if(shorter.begin(), shorter.end(), [&](LineId id) {
        return !(numbered.sides[size_t(id)] & otherSide);
    }));
    const auto delta = static_cast<long double>(longer.size() - shorter.size());
    return (p + 1) * (delta + 1) + p * (p + 1) > static_cast<long double>(budget);
}

// Appends the edits of the lines between the common head and tail; false
// when they had to be removed and added whole.
bool matchLines(std::span<const QString> oldLines, std::span<const QString> newLines, long long budget,
                std::vector<LineEdit> &edits)
{
    auto whole = [&] {
        edits.insert(edits.end(), oldLines.size(), LineEdit::Removed);
        edits.insert(edits.end(), newLines.size(), LineEdit::Added);
    };
    if (oldLines.empty() || newLines.empty()) {
        whole();
        return true;
    }
    const NumberedLines numbered = numberLines(oldLines, newLines);
    if (surelyOverBudget(numbered, budget)) {
        whole();
        return false;
    }
    long long compares = 0;
    dtl::Diff<LineId, std::vector<LineId>, BudgetedCompare> diff(numbered.oldIds, numbered.newIds, true,
                                                                 BudgetedCompare(&compares, budget));
    diff.compose();
    if (compares > budget) {
        whole();
        return false;
    }
    for (const auto &element : diff.getSes().getSequence()) {
        switch (element.second.type) {
        case dtl::SES_COMMON: edits.push_back(LineEdit::Kept); break;
        case dtl::SES_DELETE: edits.push_back(LineEdit::Removed); break;
        default: edits.push_back(LineEdit::Added); break;
        }
    }
    return true;
}

// A stretch of the script shown as one hunk: script indices [begin, end),
// old lines [oldBegin, oldEnd), new lines [newBegin, newEnd).
struct Hunk {
    size_t begin = 0, end = 0;
    size_t oldBegin = 0, oldEnd = 0;
    size_t newBegin = 0, newEnd = 0;
};

std::vector<Hunk> groupHunks(const std::vector<LineEdit> &edits)
{
    // The first edit from the given index on that is a change, or that keeps a line.
    const auto changeFrom = [&](size_t from) {
        while (from < edits.size() && edits[from] == LineEdit::Kept)
            ++from;
        return from;
    };
    const auto keptFrom = [&](size_t from) {
        while (from < edits.size() && edits[from] != LineEdit::Kept)
            ++from;
        return from;
    };
    std::vector<Hunk> hunks;
    size_t edit = 0, oldLine = 0, newLine = 0; // how far the walk has come in the script and on each side
    const auto walkTo = [&](size_t to) {
        for (; edit < to; ++edit) {
            oldLine += edits[edit] != LineEdit::Added;
            newLine += edits[edit] != LineEdit::Removed;
        }
    };
    for (size_t change = changeFrom(0); change < edits.size(); change = changeFrom(edit)) {
        walkTo(change);
        // The context before may not reach back into the previous hunk.
        const size_t lead = std::min(kContext, change - (hunks.empty() ? 0 : hunks.back().end));
        Hunk hunk{change - lead, 0, oldLine - lead, 0, newLine - lead, 0};
        // Changes closer than twice the context share the hunk.
        size_t changesEnd = keptFrom(change);
        for (size_t next;
             (next = changeFrom(changesEnd)) < edits.size() && next - changesEnd <= 2 * kContext;)
            changesEnd = keptFrom(next);
        hunk.end = changesEnd + std::min(kContext, edits.size() - changesEnd);
        walkTo(hunk.end);
        hunk.oldEnd = oldLine;
        hunk.newEnd = newLine;
        hunks.push_back(hunk);
    }
    return hunks;
}

QString range(size_t begin, size_t end)
{
    // A range of one line is its number alone; an empty range names the
    // line before it.
    const size_t count = end - begin;
    if (count == 1)
        return QString::number(begin + 1);
    return u"%1,%2"_s.arg(count == 0 ? begin : begin + 1).arg(count);
}

} // namespace

EditScript editScript(const std::vector<QString> &before, const std::vector<QString> &after,
                      long long compareBudget)
{
    // The common head and tail need no search; in the usual review only a
    // few lines differ and this leaves dtl almost nothing to do.
    size_t head = 0;
    while (head < before.size() && head < after.size() && before[head] == after[head])
        ++head;
    size_t tail = 0;
    while (tail < before.size() - head && tail < after.size() - head
           && before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    EditScript script;
    script.edits.assign(head, LineEdit::Kept);
    if (head == before.size() && head == after.size())
        return script;
    const std::span<const QString> oldMiddle(before.data() + head, before.size() - head - tail);
    const std::span<const QString> newMiddle(after.data() + head, after.size() - head - tail);
    script.unmatched = !matchLines(oldMiddle, newMiddle, compareBudget, script.edits);
    script.edits.insert(script.edits.end(), tail, LineEdit::Kept);
    return script;
}

std::vector<DiffLine> diffHunks(const std::vector<QString> &before, const std::vector<QString> &after,
                                const std::vector<LineEdit> &edits)
{
    std::vector<DiffLine> lines;
    for (const Hunk &hunk : groupHunks(edits)) {
        lines.push_back({DiffLine::Kind::Hunk, u"@@ -"_s + range(hunk.oldBegin, hunk.oldEnd) + u" +"_s
                                                   + range(hunk.newBegin, hunk.newEnd) + u" @@"_s});
        size_t oldLine = hunk.oldBegin, newLine = hunk.newBegin;
        for (size_t edit = hunk.begin; edit < hunk.end; ++edit) {
            switch (edits[edit]) {
            case LineEdit::Kept:
                lines.push_back({DiffLine::Kind::Context, u' ' + before[oldLine++]});
                ++newLine;
                break;
            case LineEdit::Removed:
                lines.push_back({DiffLine::Kind::Removed, u'-' + before[oldLine++]});
                break;
            case LineEdit::Added: lines.push_back({DiffLine::Kind::Added, u'+' + after[newLine++]}); break;
            }
        }
    }
    return lines;
}

LineDiff unifiedDiff(const std::vector<QString> &before, const std::vector<QString> &after,
                     long long compareBudget)
{
    const EditScript script = editScript(before, after, compareBudget);
    return {diffHunks(before, after, script.edits), script.unmatched};
}

QString unifiedDiffText(const std::vector<QString> &before, const std::vector<QString> &after,
                        const QString &beforeLabel, const QString &afterLabel)
{
    const LineDiff diff = unifiedDiff(before, after);
    if (diff.lines.empty())
        return {};
    QString text = u"--- "_s + beforeLabel + u"\n+++ "_s + afterLabel + u'\n';
    for (const DiffLine &l : diff.lines)
        text += l.text + u'\n';
    return text;
}

} // namespace vesk
