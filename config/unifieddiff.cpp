#include "config/unifieddiff.h"

#include <algorithm>
#include <cstdint>

using namespace Qt::StringLiterals;

namespace vesk {
namespace {

enum class Op : unsigned char { Same, Removed, Added };

// Above this many line pairs the middle is not matched: the table would
// cost more memory than a diff of a configuration file is worth.
constexpr size_t kMaxPairs = 4'000'000;
constexpr size_t kContext = 3;

// The edit script of the lines between the common head and tail, from a
// longest-common-subsequence table. Under the pair limit the shorter side
// has at most 2000 lines, so 16-bit lengths suffice.
void middleScript(const QString *a, size_t n, const QString *b, size_t m, std::vector<Op> &ops)
{
    if (n == 0 || m == 0 || n * m > kMaxPairs) {
        ops.insert(ops.end(), n, Op::Removed);
        ops.insert(ops.end(), m, Op::Added);
        return;
    }
    std::vector<std::uint16_t> len((n + 1) * (m + 1), 0);
    auto at = [&](size_t i, size_t j) -> std::uint16_t & { return len[i * (m + 1) + j]; };
    for (size_t i = n; i-- > 0;)
        for (size_t j = m; j-- > 0;)
            at(i, j) = a[i] == b[j] ? std::uint16_t(at(i + 1, j + 1) + 1) : std::max(at(i + 1, j), at(i, j + 1));
    size_t i = 0, j = 0;
    while (i < n && j < m) {
        if (a[i] == b[j]) {
            ops.push_back(Op::Same);
            ++i, ++j;
        } else if (at(i + 1, j) >= at(i, j + 1)) {
            ops.push_back(Op::Removed);
            ++i;
        } else {
            ops.push_back(Op::Added);
            ++j;
        }
    }
    ops.insert(ops.end(), n - i, Op::Removed);
    ops.insert(ops.end(), m - j, Op::Added);
}

QString range(size_t start, size_t count)
{
    // One line is its number alone; an empty range names the line before it.
    if (count == 1)
        return QString::number(start + 1);
    return u"%1,%2"_s.arg(count == 0 ? start : start + 1).arg(count);
}

} // namespace

QString unifiedDiffText(const std::vector<QString> &before, const std::vector<QString> &after,
                        const QString &beforeLabel, const QString &afterLabel)
{
    size_t head = 0;
    while (head < before.size() && head < after.size() && before[head] == after[head])
        ++head;
    if (head == before.size() && head == after.size())
        return {};
    size_t tail = 0;
    while (tail < before.size() - head && tail < after.size() - head
           && before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    std::vector<Op> ops(head, Op::Same);
    middleScript(before.data() + head, before.size() - head - tail, after.data() + head,
                 after.size() - head - tail, ops);
    ops.insert(ops.end(), tail, Op::Same);

    // Where each op stands on either side.
    std::vector<size_t> atA(ops.size() + 1), atB(ops.size() + 1);
    for (size_t k = 0; k < ops.size(); ++k) {
        atA[k + 1] = atA[k] + (ops[k] != Op::Added);
        atB[k + 1] = atB[k] + (ops[k] != Op::Removed);
    }
    QString out = u"--- "_s + beforeLabel + u"\n+++ "_s + afterLabel + u'\n';
    size_t k = 0;
    while (k < ops.size()) {
        if (ops[k] == Op::Same) {
            ++k;
            continue;
        }
        const size_t start = k >= kContext ? k - kContext : 0;
        // Changes closer than twice the context share a hunk.
        size_t end = k;
        for (;;) {
            while (end < ops.size() && ops[end] != Op::Same)
                ++end;
            size_t same = end;
            while (same < ops.size() && ops[same] == Op::Same)
                ++same;
            if (same == ops.size() || same - end > 2 * kContext) {
                end = std::min(end + kContext, ops.size());
                break;
            }
            end = same;
        }
        out += u"@@ -"_s + range(atA[start], atA[end] - atA[start]) + u" +"_s
               + range(atB[start], atB[end] - atB[start]) + u" @@\n"_s;
        for (size_t p = start; p < end; ++p) {
            switch (ops[p]) {
            case Op::Same: out += u' ' + before[atA[p]]; break;
            case Op::Removed: out += u'-' + before[atA[p]]; break;
            case Op::Added: out += u'+' + after[atB[p]]; break;
            }
            out += u'\n';
        }
        k = end;
    }
    return out;
}

} // namespace vesk
