// Review Changes: the unified diff of what Save would write against the
// file on disk, and the window that shows it without changing anything.
#include "windowfixture.h"

#include "window/reviewchanges.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTextBlock>
#include <QImage>

using namespace vesk;
using namespace vesk::test;

namespace {

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

// Applies the hunks to before, checking each hunk's header against its
// lines; fails the test on any mismatch and returns what the hunks make.
std::vector<QString> applyDiff(const std::vector<QString> &before, const LineDiff &d, bool *ok)
{
    static const QRegularExpression header(QStringLiteral(R"(^@@ -(\d+)(?:,(\d+))? \+(\d+)(?:,(\d+))? @@$)"));
    *ok = false;
    std::vector<QString> out;
    size_t at = 0; // next line of before to copy
    size_t i = 0;
    while (i < d.lines.size()) {
        const auto m = header.match(d.lines[i].text);
        if (d.lines[i].kind != DiffLine::Kind::Hunk || !m.hasMatch())
            return out;
        const size_t oldCount = m.captured(2).isNull() ? 1 : m.captured(2).toULong();
        const size_t newCount = m.captured(4).isNull() ? 1 : m.captured(4).toULong();
        size_t oldStart = m.captured(1).toULong();
        size_t newStart = m.captured(3).toULong();
        if (oldCount > 0)
            --oldStart; // 1-based, except that an empty range names the line before
        if (newCount > 0)
            --newStart;
        if (oldStart < at || oldStart > before.size())
            return out;
        out.insert(out.end(), before.begin() + std::ptrdiff_t(at), before.begin() + std::ptrdiff_t(oldStart));
        if (out.size() != newStart)
            return out;
        at = oldStart;
        size_t seenOld = 0, seenNew = 0;
        for (++i; i < d.lines.size() && d.lines[i].kind != DiffLine::Kind::Hunk; ++i) {
            const DiffLine &l = d.lines[i];
            const QString body = l.text.mid(1);
            switch (l.kind) {
            case DiffLine::Kind::Context:
                if (!l.text.startsWith(u' ') || at >= before.size() || before[at] != body)
                    return out;
                out.push_back(body), ++at, ++seenOld, ++seenNew;
                break;
            case DiffLine::Kind::Removed:
                if (!l.text.startsWith(u'-') || at >= before.size() || before[at] != body)
                    return out;
                ++at, ++seenOld;
                break;
            case DiffLine::Kind::Added:
                if (!l.text.startsWith(u'+'))
                    return out;
                out.push_back(body), ++seenNew;
                break;
            case DiffLine::Kind::Hunk: break;
            }
        }
        if (seenOld != oldCount || seenNew != newCount)
            return out;
    }
    out.insert(out.end(), before.begin() + std::ptrdiff_t(at), before.end());
    *ok = true;
    return out;
}

// A file as Save writes it, with one setting per line in writing order.
const QByteArray kSaved = "announce_interval = 1800\r\ndfile = dstate\r\nport = 6969\r\nsocket_timeout = 15\r\n"
                          "vesk_debug = 0\r\n";

QStringList viewLines(const ReviewChangesDialog *d) { return d->view()->toPlainText().split(u'\n'); }
ReviewChangesDialog *review(Session &s)
{
    return reviewChanges(s.w, s.tk.files(), s.w.configPath(), s.w.content());
}

} // namespace

class ReviewTest : public QObject {
    Q_OBJECT
private slots:
    void hunksGroupChangesWithThreeLinesOfContext()
    {
        const std::vector<QString> before = numbered(20);
        std::vector<QString> after = before;
        after[4] = QStringLiteral("five");
        after[11] = QStringLiteral("twelve");
        // Six unchanged lines between two changes: one hunk.
        QCOMPARE(texts(unifiedDiff(before, after)),
                 (QStringList{u"@@ -2,14 +2,14 @@"_qs, u" l2"_qs, u" l3"_qs, u" l4"_qs, u"-l5"_qs, u"+five"_qs,
                              u" l6"_qs, u" l7"_qs, u" l8"_qs, u" l9"_qs, u" l10"_qs, u" l11"_qs, u"-l12"_qs,
                              u"+twelve"_qs, u" l13"_qs, u" l14"_qs, u" l15"_qs}));
        // Seven: two hunks.
        after[11] = before[11];
        after[12] = QStringLiteral("thirteen");
        QCOMPARE(texts(unifiedDiff(before, after)),
                 (QStringList{u"@@ -2,7 +2,7 @@"_qs, u" l2"_qs, u" l3"_qs, u" l4"_qs, u"-l5"_qs, u"+five"_qs,
                              u" l6"_qs, u" l7"_qs, u" l8"_qs, u"@@ -10,7 +10,7 @@"_qs, u" l10"_qs, u" l11"_qs,
                              u" l12"_qs, u"-l13"_qs, u"+thirteen"_qs, u" l14"_qs, u" l15"_qs, u" l16"_qs}));
    }

    void rangesAtTheEdges()
    {
        const std::vector<QString> three = numbered(3);
        QVERIFY(unifiedDiff(three, three).lines.empty());
        QVERIFY(unifiedDiff({}, {}).lines.empty());
        QCOMPARE(texts(unifiedDiff({}, three)), (QStringList{u"@@ -0,0 +1,3 @@"_qs, u"+l1"_qs, u"+l2"_qs, u"+l3"_qs}));
        QCOMPARE(texts(unifiedDiff(three, {})), (QStringList{u"@@ -1,3 +0,0 @@"_qs, u"-l1"_qs, u"-l2"_qs, u"-l3"_qs}));
        QCOMPARE(texts(unifiedDiff({u"a"_qs}, {u"b"_qs})), (QStringList{u"@@ -1 +1 @@"_qs, u"-a"_qs, u"+b"_qs}));
        // A line added at the very end: the context before it, and the
        // removed range of length 0 names the line before the insertion.
        std::vector<QString> more = numbered(10);
        more.push_back(QStringLiteral("new"));
        QCOMPARE(texts(unifiedDiff(numbered(10), more)),
                 (QStringList{u"@@ -8,3 +8,4 @@"_qs, u" l8"_qs, u" l9"_qs, u" l10"_qs, u"+new"_qs}));
        std::vector<QString> fewer = numbered(10);
        fewer.erase(fewer.begin());
        QCOMPARE(texts(unifiedDiff(numbered(10), fewer)),
                 (QStringList{u"@@ -1,4 +1,3 @@"_qs, u"-l1"_qs, u" l2"_qs, u" l3"_qs, u" l4"_qs}));
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
                case 1: if (!after.empty()) after.erase(after.begin() + pos); break;
                default: if (!after.empty()) after[size_t(pos)] = QString::number(rng.bounded(6)); break;
                }
            }
            for (long long budget : {kDiffCompareBudget, 5LL}) {
                const LineDiff d = unifiedDiff(before, after, budget);
                bool ok = false;
                const std::vector<QString> rebuilt = applyDiff(before, d, &ok);
                QVERIFY2(ok, qPrintable(texts(d).join(u'|')));
                QVERIFY(rebuilt == after);
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
        QCOMPARE(texts(one), (QStringList{u"@@ -49998,7 +49998,7 @@"_qs, u" l49998"_qs, u" l49999"_qs, u" l50000"_qs,
                                          u"-l50001"_qs, u"+changed"_qs, u" l50002"_qs, u" l50003"_qs,
                                          u" l50004"_qs}));
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

    void unchangedWindowShowsNoChanges()
    {
        Session s;
        s.load(kSaved);
        QVERIFY(s.show());
        s.tk.faultyFiles().clearFaults();
        const size_t logBefore = s.tk.faultyFiles().log().size();
        s.action("menReview")->trigger();
        auto *d = s.w.findChild<ReviewChangesDialog *>();
        QVERIFY(d);
        QVERIFY(d->isVisible());
        QCOMPARE(d->windowTitle(), QStringLiteral("Review Changes"));
        QCOMPARE(d->view()->toPlainText(), QStringLiteral("No changes"));
        QVERIFY(d->view()->isReadOnly());
        QVERIFY(s.tk.prompts().empty());
        // Only reading happened.
        for (size_t i = logBefore; i < s.tk.faultyFiles().log().size(); ++i)
            QVERIFY2(s.tk.faultyFiles().log()[i].startsWith(u"read ") || s.tk.faultyFiles().log()[i].startsWith(u"status "),
                     qPrintable(s.tk.faultyFiles().log()[i]));
        QCOMPARE(readBytes(s.cfg()), kSaved);
        QVERIFY(!QFile::exists(s.backup()));
    }

    void changedWindowShowsTheDiffAndWritesNothing()
    {
        Session s;
        s.load(kSaved);
        QVERIFY(s.show());
        s.w.valueBox(27)->setText(QStringLiteral("7000"));
        s.w.valueBox(28)->clear(); // an emptied box drops its line
        s.w.valueBox(2)->setText(QStringLiteral("25"));
        // Ctrl+D works from inside a value box.
        QTest::keyClick(s.w.valueBox(2), Qt::Key_D, Qt::ControlModifier);
        auto *d = s.w.findChild<ReviewChangesDialog *>();
        QVERIFY(d && d->isVisible());
        QCOMPARE(viewLines(d),
                 (QStringList{u"--- "_qs + s.cfg() + u" (on disk)"_qs, u"+++ "_qs + s.cfg() + u" (after Save)"_qs,
                              u"@@ -1,5 +1,5 @@"_qs, u" announce_interval = 1800"_qs, u" dfile = dstate"_qs,
                              u"-port = 6969"_qs, u"+port = 7000"_qs, u" socket_timeout = 15"_qs,
                              u"-vesk_debug = 0"_qs, u"+vesk_per_page = 25"_qs}));
        QCOMPARE(s.w.changedFlag(), QStringLiteral("1"));
        QCOMPARE(readBytes(s.cfg()), kSaved);
        QVERIFY(!QFile::exists(s.backup()));
        QVERIFY(s.tk.prompts().empty());

        // Removed lines red, added green, context plain, across the whole
        // width, in a fixed-pitch font.
        QPlainTextEdit *view = d->view();
        const QImage shot = view->viewport()->grab().toImage();
        auto colourAt = [&](int line) {
            QTextCursor c(view->document()->findBlockByNumber(line));
            const int y = view->cursorRect(c).center().y() * shot.height() / view->viewport()->height();
            return shot.pixelColor(shot.width() - 3, y);
        };
        const QColor removed = colourAt(5), added = colourAt(6), context = colourAt(4);
        QVERIFY2(removed.red() > removed.green() + 20 && removed.red() > removed.blue() + 20, qPrintable(removed.name()));
        QVERIFY2(added.green() > added.red() + 20 && added.green() > added.blue() + 20, qPrintable(added.name()));
        QCOMPARE(context, QColor(Qt::white));
        QCOMPARE(colourAt(8), removed);
        QCOMPARE(colourAt(9), added);
        QVERIFY(QFontInfo(view->font()).fixedPitch());

        // Escape closes it; the edits are still only in the window.
        QTest::keyClick(d->view(), Qt::Key_Escape);
        QVERIFY(!d->isVisible());
        QCOMPARE(s.w.valueBox(27)->text(), QStringLiteral("7000"));
        QCOMPARE(readBytes(s.cfg()), kSaved);

        // Opened again after a save: the same window, now with no changes;
        // the Close button closes it.
        QVERIFY(s.w.save());
        s.action("menReview")->trigger();
        QCOMPARE(s.w.findChildren<ReviewChangesDialog *>().size(), 1);
        QVERIFY(d->isVisible());
        QCOMPARE(d->view()->toPlainText(), QStringLiteral("No changes"));
        QTest::mouseClick(d->closeButton(), Qt::LeftButton);
        QVERIFY(!d->isVisible());
    }

    void fileOnDiskMissingOrChangedSinceLoad()
    {
        Session s;
        s.load(kSaved);
        // Compared with the file as it is now, not as it was read.
        writeBytes(s.cfg(), "port = 6969\n");
        ReviewChangesDialog *d = review(s);
        QCOMPARE(viewLines(d).mid(2), (QStringList{u"@@ -1 +1,5 @@"_qs, u"+announce_interval = 1800"_qs,
                                                   u"+dfile = dstate"_qs, u" port = 6969"_qs,
                                                   u"+socket_timeout = 15"_qs, u"+vesk_debug = 0"_qs}));
        d->close();
        // Same lines, other line ends: no changes, but a note says so.
        writeBytes(s.cfg(), QByteArray(kSaved).replace("\r\n", "\n"));
        d = review(s);
        QCOMPARE(d->view()->toPlainText(), QStringLiteral("No changes"));
        QVERIFY(d->noteLabel()->text().contains(u"line"_qs));
        d->close();
        // A missing file counts as empty.
        QVERIFY(QFile::remove(s.cfg()));
        d = review(s);
        QCOMPARE(viewLines(d).at(2), u"@@ -0,0 +1,5 @@"_qs);
        QCOMPARE(viewLines(d).size(), 2 + 1 + 5);
        QVERIFY(!QFile::exists(s.cfg()));
        QVERIFY(s.tk.prompts().empty());
    }

    void notesWhatTheDiffCannotShow()
    {
        // A Latin-1 file and a typed character Latin-1 lacks: Save would
        // stop, and the window says so above the lines it would have written.
        Session s;
        s.load("port = 6969\r\n# caf\xe9\r\n");
        s.w.valueBox(27)->setText(QStringLiteral("69\u20ac9"));
        ReviewChangesDialog *d = review(s);
        QVERIFY(d->noteLabel()->text().contains(u"\nSave would stop: "_qs));
        QVERIFY(viewLines(d).contains(u"+port = 69\u20ac9"_qs));
        QVERIFY(viewLines(d).contains(u" # caf\u00e9"_qs));
        d->close();
        // A file there that cannot be read is compared as empty, and named.
        s.tk.faultyFiles().failOn({FaultyFiles::Op::Read, 1, -1, s.cfg(), QStringLiteral("Permission denied")});
        d = review(s);
        QVERIFY(d->noteLabel()->text().contains(u"The cfg file at "_qs + s.cfg() + u" could not be read (Permission denied)"_qs));
        QCOMPARE(viewLines(d).at(2), u"@@ -0,0 +1,3 @@"_qs);
        QVERIFY(s.tk.prompts().empty());
    }
};

QTEST_MAIN(ReviewTest)
#include "tst_review.moc"
