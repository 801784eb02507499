#include "window/reviewchanges.h"

#include "config/configfile.h"
#include "config/textcodec.h"
#include "toolkit/fileaccess.h"
#include "toolkit/toolkit.h"
#include "window/mainwindow.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QHash>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QVBoxLayout>

#include <dtl/dtl.hpp>

#include <algorithm>
#include <span>

using namespace Qt::StringLiterals;

namespace vesk {
namespace {

constexpr size_t kContext = 3;

// Lines are compared as numbers: equal lines get the same number, so the
// search compares and copies integers, not strings.
using LineId = int;

class BudgetedCompare : public dtl::Compare<LineId> {
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

enum class Op : unsigned char { Same, Removed, Added };

// The edit script of the lines between the common head and tail.
bool middleScript(std::span<const QString> a, std::span<const QString> b, long long budget, std::vector<Op> &ops)
{
    auto whole = [&] {
        ops.insert(ops.end(), a.size(), Op::Removed);
        ops.insert(ops.end(), b.size(), Op::Added);
    };
    if (a.empty() || b.empty()) {
        whole();
        return true;
    }
    QHash<QString, LineId> ids;
    ids.reserve(qsizetype(a.size() + b.size()));
    std::vector<unsigned char> sides; // per id: bit 0 in a, bit 1 in b
    auto number = [&](std::span<const QString> lines, unsigned char side) {
        std::vector<LineId> out;
        out.reserve(lines.size());
        for (const QString &l : lines) {
            auto it = ids.constFind(l);
            if (it == ids.cend()) {
                it = ids.insert(l, LineId(sides.size()));
                sides.push_back(0);
            }
            sides[size_t(*it)] |= side;
            out.push_back(*it);
        }
        return out;
    };
    const std::vector<LineId> x = number(a, 1);
    const std::vector<LineId> y = number(b, 2);

    // dtl's search takes at least (p + 1)(delta + 1) + p(p + 1) steps for p
    // removals from the shorter side. Lines the other side lacks altogether
    // are removals whatever the alignment; when they alone put the search
    // past the budget, it is not even started.
    const bool aShorter = x.size() <= y.size();
    const std::vector<LineId> &shorter = aShorter ? x : y;
    const unsigned char otherSide = aShorter ? 2 : 1;
    const auto p = static_cast<long double>(
        std::count_if(shorter.begin(), shorter.end(), [&](LineId id) { return !(sides[size_t(id)] & otherSide); }));
    const auto delta = static_cast<long double>(aShorter ? y.size() - x.size() : x.size() - y.size());
    if ((p + 1) * (delta + 1) + p * (p + 1) > static_cast<long double>(budget)) {
        whole();
        return false;
    }
    long long compares = 0;
    dtl::Diff<LineId, std::vector<LineId>, BudgetedCompare> diff(x, y, true, BudgetedCompare(&compares, budget));
    diff.compose();
    if (compares > budget) {
        whole();
        return false;
    }
    for (const auto &e : diff.getSes().getSequence()) {
        switch (e.second.type) {
        case dtl::SES_COMMON: ops.push_back(Op::Same); break;
        case dtl::SES_DELETE: ops.push_back(Op::Removed); break;
        default: ops.push_back(Op::Added); break;
        }
    }
    return true;
}

QString range(size_t start, size_t count)
{
    // A range of one line is its number alone; an empty range names the
    // line before it.
    if (count == 1)
        return QString::number(start + 1);
    return u"%1,%2"_s.arg(count == 0 ? start : start + 1).arg(count);
}

std::vector<QString> splitLines(QStringView text)
{
    std::vector<QString> lines;
    forEachLine(text, [&](QStringView line) { lines.push_back(line.toString()); });
    return lines;
}

QString decodeAs(const QByteArray &bytes, Encoding encoding, bool bom)
{
    const QByteArrayView body = bom ? QByteArrayView(bytes).sliced(3) : QByteArrayView(bytes);
    return encoding == Encoding::Latin1 ? QString::fromLatin1(body) : QString::fromUtf8(body);
}

// The diff text with its lines coloured across the whole width. The
// colours are painted for the visible lines only, so a diff of any length
// costs nothing to colour.
class DiffView : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;
    bool showsDiff = false;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        if (showsDiff) {
            QPainter painter(viewport());
            const QRect area = event->rect();
            for (QTextBlock b = firstVisibleBlock(); b.isValid(); b = b.next()) {
                const QRectF r = blockBoundingGeometry(b).translated(contentOffset());
                if (r.top() > area.bottom())
                    break;
                if (const QColor c = colourOf(b); c.isValid())
                    painter.fillRect(QRectF(0, r.top(), viewport()->width(), r.height()), c);
            }
        }
        QPlainTextEdit::paintEvent(event);
    }

private:
    static QColor colourOf(const QTextBlock &b)
    {
        if (b.blockNumber() < 2) // the "---" and "+++" lines
            return QColor(0xee, 0xee, 0xee);
        const QString text = b.text();
        switch (text.isEmpty() ? u' ' : text.front().unicode()) {
        case u'-': return QColor(0xff, 0xd7, 0xd5);
        case u'+': return QColor(0xcd, 0xf5, 0xcd);
        case u'@': return QColor(0xdd, 0xe6, 0xf4);
        default: return QColor();
        }
    }
};

} // namespace

LineDiff unifiedDiff(const std::vector<QString> &before, const std::vector<QString> &after,
                     long long compareBudget)
{
    LineDiff result;
    // The common head and tail need no search; in the usual review only a
    // few lines differ and this leaves dtl almost nothing to do.
    size_t head = 0;
    while (head < before.size() && head < after.size() && before[head] == after[head])
        ++head;
    size_t tail = 0;
    while (tail < before.size() - head && tail < after.size() - head
           && before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    if (head == before.size() && head == after.size())
        return result;

    std::vector<Op> ops(head, Op::Same);
    const std::span<const QString> a(before.data() + head, before.size() - head - tail);
    const std::span<const QString> b(after.data() + head, after.size() - head - tail);
    result.unmatched = !middleScript(a, b, compareBudget, ops);
    ops.insert(ops.end(), tail, Op::Same);

    // Group the changes into hunks: changes closer than twice the context
    // share one hunk.
    const size_t n = ops.size();
    size_t k = 0, i = 0, j = 0, shownUpTo = 0;
    while (true) {
        while (k < n && ops[k] == Op::Same)
            ++k, ++i, ++j;
        if (k == n)
            break;
        const size_t lead = std::min(kContext, k - shownUpTo);
        const size_t start = k - lead, i0 = i - lead, j0 = j - lead;
        size_t e = k, ii = i, jj = j, trail = 0;
        while (true) {
            for (; e < n && ops[e] != Op::Same; ++e)
                ops[e] == Op::Removed ? ++ii : ++jj;
            size_t run = 0;
            while (e + run < n && ops[e + run] == Op::Same)
                ++run;
            if (e + run == n || run > 2 * kContext) {
                trail = std::min(run, kContext);
                break;
            }
            e += run, ii += run, jj += run;
        }
        const size_t end = e + trail;
        result.lines.push_back({DiffLine::Kind::Hunk, u"@@ -"_s + range(i0, ii + trail - i0) + u" +"_s
                                                          + range(j0, jj + trail - j0) + u" @@"_s});
        size_t x = i0, y = j0;
        for (size_t m = start; m < end; ++m) {
            switch (ops[m]) {
            case Op::Same: result.lines.push_back({DiffLine::Kind::Context, u' ' + before[x++]}); ++y; break;
            case Op::Removed: result.lines.push_back({DiffLine::Kind::Removed, u'-' + before[x++]}); break;
            case Op::Added: result.lines.push_back({DiffLine::Kind::Added, u'+' + after[y++]}); break;
            }
        }
        k = shownUpTo = end;
        i = ii + trail;
        j = jj + trail;
    }
    return result;
}

ReviewSides reviewSides(MainWindow &window, Toolkit &toolkit)
{
    ReviewSides sides;
    QStringList notes;
    const QString &path = window.configPath();
    FileAccess &files = toolkit.files();
    const ReadResult disk = files.read(path, kMaxConfigBytes);
    if (disk.ok)
        sides.onDisk = splitLines(decodeText(disk.data).text);
    else if (files.status(path).exists)
        notes << u"The cfg file at "_s + path + u" could not be read ("_s + disk.error
                     + u"), so it is compared as an empty file."_s;

    const ConfigContent content = window.content();
    const ComposeResult composed = composeConfig(content);
    if (composed.bytes) {
        sides.toWrite = splitLines(decodeAs(*composed.bytes, content.encoding, content.bom));
        if (disk.ok && sides.toWrite == sides.onDisk && *composed.bytes != disk.data)
            notes << u"The lines are the same, but Save would rewrite how they end (every line ends in CR LF)."_s;
    } else {
        sides.toWrite = splitLines(composeText(content));
        notes << u"Save would stop: "_s + composed.problem;
    }
    sides.note = notes.join(u'\n');
    return sides;
}

ReviewChangesDialog::ReviewChangesDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(u"ReviewChanges"_s);
    setWindowTitle(u"Review Changes"_s);
    setWindowModality(Qt::WindowModal);

    m_note = new QLabel(this);
    m_note->setObjectName(u"note"_s);
    m_note->setWordWrap(true);
    m_note->setTextFormat(Qt::PlainText);
    m_note->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_view = new DiffView(this);
    m_view->setObjectName(u"diff"_s);
    m_view->setReadOnly(true);
    m_view->setUndoRedoEnabled(false);
    m_view->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Keyboard users can move through the text and copy from it.
    m_view->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    m_view->setAccessibleName(u"Changes"_s);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setFamilies({u"Liberation Mono"_s, u"DejaVu Sans Mono"_s, u"monospace"_s});
    mono.setStyleHint(QFont::Monospace);
    mono.setFixedPitch(true);
    m_view->setFont(mono);
    // The line colours are light; keep the text dark on them in any theme.
    QPalette pal = m_view->palette();
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::Text, Qt::black);
    m_view->setPalette(pal);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_close = buttons->button(QDialogButtonBox::Close);
    m_close->setObjectName(u"close"_s);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_note);
    layout->addWidget(m_view, 1);
    layout->addWidget(buttons);
    resize(760, 520);
}

void ReviewChangesDialog::showChanges(const QString &path, const ReviewSides &sides)
{
    const LineDiff diff = unifiedDiff(sides.onDisk, sides.toWrite);
    QStringList notes{u"What Save would write to "_s + path + u", against the file on disk now."_s};
    if (!sides.note.isEmpty())
        notes << sides.note;
    if (diff.unmatched)
        notes << u"The changed part is too large to match line by line, so it is shown removed and added whole."_s;
    m_note->setText(notes.join(u'\n'));

    auto *view = static_cast<DiffView *>(m_view);
    view->showsDiff = !diff.lines.empty();
    if (diff.lines.empty()) {
        m_view->setPlainText(u"No changes"_s);
        return;
    }
    QStringList text{u"--- "_s + path + u" (on disk)"_s, u"+++ "_s + path + u" (after Save)"_s};
    const size_t shown = std::min(diff.lines.size(), kMaxShownDiffLines);
    text.reserve(qsizetype(shown) + 3);
    for (size_t i = 0; i < shown; ++i)
        text << diff.lines[i].text;
    if (shown < diff.lines.size()) {
        const QString cut = u"Only the first %1 of %2 lines of the changes are shown."_s.arg(shown).arg(diff.lines.size());
        text << u"... "_s + cut;
        notes << cut;
        m_note->setText(notes.join(u'\n'));
    }
    m_view->setPlainText(text.join(u'\n'));

    m_view->moveCursor(QTextCursor::Start);
}

ReviewChangesDialog *reviewChanges(MainWindow &window, Toolkit &toolkit)
{
    auto *dialog = window.findChild<ReviewChangesDialog *>(QString(), Qt::FindDirectChildrenOnly);
    if (!dialog)
        dialog = new ReviewChangesDialog(&window);
    dialog->showChanges(window.configPath(), reviewSides(window, toolkit));
    dialog->open();
    dialog->view()->setFocus();
    return dialog;
}

} // namespace vesk
