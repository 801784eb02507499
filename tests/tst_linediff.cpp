// The line diff behind Review Changes: hunks and their headers, and the
// bounded fallback when too much differs.
#include "config/linediff.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

#include <optional>

using namespace vesk;

namespace
{

std::vector<QString> numbered(int n, const QString &prefix = QStringLiteral("l"))
{
    std::vector<QString> v;
    for (int i = 1; i <= n; ++i)
        v.push_back(prefix + QString::number(i));
    return v;
}

QStringList texts(const LineDiff &d)
{
    QStringList out;
    for (const DiffLine &l : d.lines)
        out << l.text;
    return out;
}

// Applies the hunks to before, checking each hunk's header and lines
// against it; nothing when anything does not match.
std::optional<std::vector<QString>> applyDiff(const std::vector<QString> &before, const LineDiff &d)
{
    static const QRegularExpression header(uR"(^@@ -(\d+)(?:,(\d+))? \+(\d+)(?:,(\d+))? @@$)"_qs);
    std::vector<QString> out;
    size_t at = 0; // next line of before to copy
    for (size_t i = 0; i < d.lines.size();) {
        const auto m = header.match(d.lines[i].text);
        if (d.lines[i++].kind != DiffLine::Kind::Hunk || !m.hasMatch())
            return {};
        const size_t oldCount = m.captured(2).isNull() ? 1 : m.captured(2).toULong();
        const size_t newCount = m.captured(4).isNull() ? 1 : m.captured(4).toULong();
        // 1-based, except that an empty range names the line before
        const size_t oldStart = m.captured(1).toULong() - (oldCount > 0);
        const size_t newStart = m.captured(3).toULong() - (newCount > 0);
        if (oldStart < at || oldStart > before.size())
            return {};
        out.insert(out.end(), before.begin() + std::ptrdiff_t(at), before.begin() + std::ptrdiff_t(oldStart));
        if (out.size() != newStart)
            return {};
        at = oldStart;
        for (; i < d.lines.size() && d.lines[i].kind != DiffLine::Kind::Hunk; ++i) {
            const DiffLine &l = d.lines[i];
            using enum DiffLine::Kind;
            const QChar mark = l.kind == Context ? u' ' : l.kind == Removed ? u'-' : u'+';
            if (!l.text.startsWith(mark)
                || (l.kind != Added && (at >= before.size() || before[at++] != l.text.mid(1))))
                return {};
            if (l.kind != Removed)
                out.push_back(l.text.mid(1));
        }
        if (at - oldStart != oldCount || out.size() - newStart != newCount)
            return {};
    }
    out.insert(out.end(), before.begin() + std::ptrdiff_t(at), before.end());
    return out;
}

} // namespace

class LineDiffTest : public QObject
{
    Q_OBJECT
private slots:
    void hunksAndTheirRanges()
    {
        const auto with = [](std::vector<QString> v, size_t at, QString line) {
            v[at] = line;
            return v;
        };
        const std::vector<QString> twenty = numbered(20), five = with(twenty, 4, u"five"_qs);
        const std::vector<QString> ten = numbered(10), fewer(ten.begin() + 1, ten.end());
        std::vector<QString> more = ten;
        more.push_back(u"new"_qs);
        const struct {
            std::vector<QString> before, after;
            QStringList hunks;
        } cases[] = {
            // Six unchanged lines between two changes: one hunk; seven: two.
            {twenty,
             with(five, 11, u"twelve"_qs),
             {u"@@ -2,14 +2,14 @@"_qs, u" l2"_qs, u" l3"_qs, u" l4"_qs, u"-l5"_qs, u"+five"_qs, u" l6"_qs,
              u" l7"_qs, u" l8"_qs, u" l9"_qs, u" l10"_qs, u" l11"_qs, u"-l12"_qs, u"+twelve"_qs, u" l13"_qs,
              u" l14"_qs, u" l15"_qs}},
            {twenty,
             with(five, 12, u"thirteen"_qs),
             {u"@@ -2,7 +2,7 @@"_qs, u" l2"_qs, u" l3"_qs, u" l4"_qs, u"-l5"_qs, u"+five"_qs, u" l6"_qs,
              u" l7"_qs, u" l8"_qs, u"@@ -10,7 +10,7 @@"_qs, u" l10"_qs, u" l11"_qs, u" l12"_qs, u"-l13"_qs,
              u"+thirteen"_qs, u" l14"_qs, u" l15"_qs, u" l16"_qs}},
            {numbered(3), numbered(3), {}},
            {{}, {}, {}},
            {{}, numbered(3), {u"@@ -0,0 +1,3 @@"_qs, u"+l1"_qs, u"+l2"_qs, u"+l3"_qs}},
            {numbered(3), {}, {u"@@ -1,3 +0,0 @@"_qs, u"-l1"_qs, u"-l2"_qs, u"-l3"_qs}},
            {{u"a"_qs}, {u"b"_qs}, {u"@@ -1 +1 @@"_qs, u"-a"_qs, u"+b"_qs}},
            // Added at the very end: the context before it, and the empty
            // removed range names the line before the insertion.
            {ten, more, {u"@@ -8,3 +8,4 @@"_qs, u" l8"_qs, u" l9"_qs, u" l10"_qs, u"+new"_qs}},
            {ten, fewer, {u"@@ -1,4 +1,3 @@"_qs, u"-l1"_qs, u" l2"_qs, u" l3"_qs, u" l4"_qs}},
        };
        for (const auto &c : cases)
            QCOMPARE(texts(unifiedDiff(c.before, c.after)), c.hunks);
    }

    void diffRebuildsTheNewSide()
    {
        // Random edits over a small alphabet (so that many lines repeat):
        // applying the hunks to the old side gives the new side exactly, and
        // the budgeted fallback still yields a correct, if coarse, diff.
        QRandomGenerator rng(7);
        for (int round = 0; round < 300; ++round) {
            std::vector<QString> before;
            const int n = int(rng.bounded(40));
            for (int i = 0; i < n; ++i)
                before.push_back(QString::number(rng.bounded(4)));
            std::vector<QString> after = before;
            const int edits = int(rng.bounded(8));
            for (int e = 0; e < edits; ++e) {
                const auto pos = after.empty() ? 0 : rng.bounded(int(after.size()));
                switch (rng.bounded(3)) {
                case 0: after.insert(after.begin() + pos, QString::number(rng.bounded(6))); break;
                case 1:
                    if (!after.empty())
                        after.erase(after.begin() + pos);
                    break;
                default:
                    if (!after.empty())
                        after[size_t(pos)] = QString::number(rng.bounded(6));
                    break;
                }
            }
            for (long long budget : {kDiffCompareBudget, 5LL}) {
                const LineDiff d = unifiedDiff(before, after, budget);
                const std::optional<std::vector<QString>> rebuilt = applyDiff(before, d);
                QVERIFY2(rebuilt && *rebuilt == after, qPrintable(texts(d).join(u'|')));
                QCOMPARE(d.lines.empty(), before == after);
            }
        }
    }

    void largeFilesWithFewChanges()
    {
        const std::vector<QString> before = numbered(100000);
        std::vector<QString> after = before;
        after[50000] = QStringLiteral("changed");
        const LineDiff one = unifiedDiff(before, after);
        QVERIFY(!one.unmatched);
        QCOMPARE(texts(one),
                 (QStringList{u"@@ -49998,7 +49998,7 @@"_qs, u" l49998"_qs, u" l49999"_qs, u" l50000"_qs,
                              u"-l50001"_qs, u"+changed"_qs, u" l50002"_qs, u" l50003"_qs, u" l50004"_qs}));
        // Changes near both ends leave almost the whole file between them.
        after[50000] = before[50000];
        after[10] = QStringLiteral("near the top");
        after.erase(after.end() - 5);
        const LineDiff two = unifiedDiff(before, after);
        QVERIFY(!two.unmatched);
        QCOMPARE(two.lines.size(), size_t(9 + 8));
        QCOMPARE(two.lines[0].text, u"@@ -8,7 +8,7 @@"_qs);
        QCOMPARE(two.lines[9].text, u"@@ -99993,7 +99993,6 @@"_qs);
        QCOMPARE(two.lines[13].text, u"-l99996"_qs);
    }

    void tooManyDifferencesShowTheChangedPartWhole()
    {
        std::vector<QString> before = numbered(300, QStringLiteral("old"));
        std::vector<QString> after = numbered(300, QStringLiteral("new"));
        before.insert(before.begin(), QStringLiteral("same head"));
        after.insert(after.begin(), QStringLiteral("same head"));
        const LineDiff d = unifiedDiff(before, after, 1000);
        QVERIFY(d.unmatched);
        QCOMPARE(d.lines.size(), size_t(1 + 1 + 300 + 300));
        QCOMPARE(d.lines[0].text, u"@@ -1,301 +1,301 @@"_qs);
        QCOMPARE(d.lines[2].text, u"-old1"_qs);
        QCOMPARE(d.lines[302].text, u"+new1"_qs);
        // Within the budget, the same sides are matched line by line.
        QVERIFY(!unifiedDiff(before, after).unmatched);
        // Reordered lines: nothing is missing from either side, so only the
        // search itself can run out of budget.
        const std::vector<QString> forward = numbered(60);
        const std::vector<QString> backward(forward.rbegin(), forward.rend());
        const LineDiff reordered = unifiedDiff(forward, backward, 100);
        QVERIFY(reordered.unmatched);
        QCOMPARE(reordered.lines.size(), size_t(1 + 60 + 60));
        QVERIFY(!unifiedDiff(forward, backward).unmatched);
    }
};

QTEST_APPLESS_MAIN(LineDiffTest)
#include "tst_linediff.moc"
