#include "window/rawlinesview.h"

#include "toolkit/accessible.h"

#include <QAbstractListModel>
#include <QAccessibleWidget>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QStyledItemDelegate>
#include <QtMath>

#include <algorithm>
#include <vector>

using namespace Qt::StringLiterals;

namespace vesk
{
namespace
{

// The lines of the text, found once; each is cut out only when a row in
// sight asks for it.
class LinesModel : public QAbstractListModel
{
public:
    explicit LinesModel(const QString &text, QObject *parent) : QAbstractListModel(parent), m_text(text)
    {
        const QStringView all(m_text);
        m_starts.reserve(size_t(all.size() / 32 + 2)); // a guess; real lines are longer
        m_starts.push_back(0);
        for (qsizetype at = all.indexOf(u'\n'); at >= 0; at = all.indexOf(u'\n', at + 1))
            m_starts.push_back(at + 1);
        if (m_starts.back() != all.size()) // a last line without its "\n"
            m_starts.push_back(all.size() + 1);
    }

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_starts.size() - 1);
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
            return {};
        return line(index.row());
    }
    QString line(int row) const
    {
        if (row < 0 || size_t(row) + 1 >= m_starts.size())
            return {};
        const qsizetype start = m_starts[size_t(row)];
        return m_text.mid(start, m_starts[size_t(row) + 1] - 1 - start);
    }
    qsizetype length(int row) const { return m_starts[size_t(row) + 1] - m_starts[size_t(row)] - 1; }
    const QString &text() const { return m_text; }
    // Where row starts in the text, and where its next row does (its "\n"
    // included); the row an offset of the text is in.
    qsizetype start(int row) const { return m_starts[size_t(std::clamp(row, 0, rowCount()))]; }
    qsizetype end(int row) const { return std::min(start(row + 1), m_text.size()); }
    int rowAt(qsizetype offset) const
    {
        const auto after = std::upper_bound(m_starts.begin(), m_starts.end() - 1, offset);
        return std::max(int(after - m_starts.begin()) - 1, 0);
    }
    // Up to count of the rows with the most characters: the widest ones, as
    // near as can be told without laying out every line.
    std::vector<int> longestRows(size_t count) const
    {
        const int rows = rowCount();
        qsizetype most = 0;
        for (int r = 0; r < rows; ++r)
            most = std::max(most, length(r));
        std::vector<int> out;
        for (int r = 0; r < rows && out.size() < count; ++r)
            if (length(r) * 5 >= most * 4)
                out.push_back(r);
        return out;
    }

private:
    QString m_text; // shared with the Raw text, not copied
    std::vector<qsizetype> m_starts;
};

// Every row the same size, known in advance: the view never asks a row
// it does not show.
class LineDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize size;
    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const override { return size; }
};

// To a screen reader the view is what it stands for: a read-only text,
// labelled as the text box is, its caret at the start of the current line
// and its selection the highlighted lines. (As a list of a row per line it
// was a list of thousands of items, which screen readers walk item by item.)
class LinesAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit LinesAccessible(RawLinesView *view) : QAccessibleWidget(view, QAccessible::EditableText) {}
    using QAccessibleWidget::text;

    RawLinesView *view() const { return static_cast<RawLinesView *>(widget()); }
    const LinesModel &lines() const { return *static_cast<const LinesModel *>(view()->model()); }

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        s.multiLine = true;
        s.selectableText = true;
        return s;
    }
    QList<std::pair<QAccessibleInterface *, QAccessible::Relation>>
    relations(QAccessible::Relation match) const override
    {
        auto found = QAccessibleWidget::relations(match);
        if (QAccessibleInterface *box = QAccessible::queryAccessibleInterface(view()->parentWidget()))
            found += box->relations(match & QAccessible::Label);
        return found;
    }

    void selection(int index, int *start, int *end) const override
    {
        *start = *end = 0;
        const EditPlace p = view()->place();
        if (index != 0 || p.highlighted == 0)
            return;
        *start = int(lines().start(p.line));
        *end = int(lines().end(p.line + p.highlighted - 1));
    }
    int selectionCount() const override { return view()->place().highlighted > 0 ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override { view()->clearSelection(); }
    void setSelection(int, int start, int end) override
    {
        const QModelIndex first = view()->model()->index(lines().rowAt(start), 0);
        const QModelIndex last = view()->model()->index(lines().rowAt(std::max(end - 1, start)), 0);
        view()->selectionModel()->select(QItemSelection(first, last), QItemSelectionModel::ClearAndSelect);
    }
    int cursorPosition() const override { return int(lines().start(view()->currentIndex().row())); }
    void setCursorPosition(int position) override
    {
        const QModelIndex row = view()->model()->index(lines().rowAt(position), 0);
        view()->selectionModel()->setCurrentIndex(row, QItemSelectionModel::Clear);
        view()->scrollTo(row);
    }
    QString text(int start, int end) const override
    {
        const QString &all = lines().text();
        start = std::clamp(start, 0, int(all.size()));
        end = std::clamp(end, start, int(all.size()));
        return all.mid(start, end - start);
    }
    int characterCount() const override { return int(lines().text().size()); }
    QRect characterRect(int offset) const override
    {
        const int row = lines().rowAt(offset);
        const QRect r = view()->visualRect(view()->model()->index(row, 0));
        const QFontMetrics fm(view()->font());
        const QString line = text(int(lines().start(row)), offset + 1);
        const int x = r.left() + fm.horizontalAdvance(line.left(line.size() - 1));
        const QRect c(x, r.top(), fm.horizontalAdvance(line.right(1)), r.height());
        return c.translated(view()->viewport()->mapToGlobal(QPoint(0, 0)));
    }
    int offsetAtPoint(const QPoint &point) const override
    {
        const QModelIndex row = view()->indexAt(view()->viewport()->mapFromGlobal(point));
        return row.isValid() ? int(lines().start(row.row())) : -1;
    }
    void scrollToSubstring(int start, int) override
    {
        view()->scrollTo(view()->model()->index(lines().rowAt(start), 0));
    }
    QString attributes(int, int *start, int *end) const override
    {
        *start = 0;
        *end = characterCount();
        return {};
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType b, int *start, int *end) const override
    {
        return piece(offset, b, TextPiece::Before, start, end);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType b, int *start, int *end) const override
    {
        return piece(offset, b, TextPiece::After, start, end);
    }
    QString textAtOffset(int offset, QAccessible::TextBoundaryType b, int *start, int *end) const override
    {
        return piece(offset, b, TextPiece::At, start, end);
    }

private:
    // Looked for in the offset's line and the lines either side: a text of
    // a million lines answers as fast as one of three.
    QString piece(int offset, QAccessible::TextBoundaryType b, TextPiece which, int *start, int *end) const
    {
        const int n = characterCount();
        if (offset == -2)
            offset = cursorPosition();
        offset = offset < 0 ? n : std::min(offset, n);
        TextSpan s;
        if (b == QAccessible::NoBoundary) {
            s = textSpan(lines().text(), offset, b, which);
        } else {
            const int row = lines().rowAt(offset);
            const int from = int(lines().start(row - 1));
            const int to = int(lines().end(row + 1));
            s = textSpan(QStringView(lines().text()).mid(from, to - from), offset - from, b, which);
            s = {s.start + from, s.end + from};
        }
        *start = s.start;
        *end = s.end;
        return text(s.start, s.end);
    }
};

QAccessibleInterface *linesInterface(const QString &className, QObject *object)
{
    if (className == u"vesk::RawLinesView"_s)
        return new LinesAccessible(static_cast<RawLinesView *>(object));
    return nullptr;
}

} // namespace

bool isEditingKey(const QKeyEvent *event)
{
    // (Undo and Redo are not: an unedited text has nothing to undo.)
    if (event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut))
        return true;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Backspace:
    case Qt::Key_Delete: return true;
    default: break;
    }
    const Qt::KeyboardModifiers mods = event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    const QString text = event->text();
    return mods == Qt::NoModifier && !text.isEmpty() && text.at(0).isPrint();
}

RawLinesView::RawLinesView(const QString &text, QWidget *parent) : QListView(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(linesInterface);
        return true;
    }();
    Q_UNUSED(installed)
    auto *lines = new LinesModel(text, this);
    auto *delegate = new LineDelegate(this);
    setModel(lines);
    setItemDelegate(delegate);
    setUniformItemSizes(true);
    // One run of lines, as a text box selects: an edit replaces exactly that.
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setTextElideMode(Qt::ElideNone);
    setWordWrap(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setEditTriggers(QAbstractItemView::NoEditTriggers);

    // As wide as the widest line, measured among the longest ones.
    const QFontMetrics fm(font());
    int widest = 0;
    for (int row : lines->longestRows(200))
        widest = std::max(widest, fm.horizontalAdvance(lines->line(row)));
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    // Rows as far apart as the text box's lines (no leading), so switching
    // to it does not move the text.
    const QFontMetricsF exact(font());
    delegate->size =
        QSize(widest + 2 * margin + fm.maxWidth(), qCeil(exact.ascent()) + qCeil(exact.descent()));
    // Like a text box's caret at the start: current, nothing selected.
    if (lines->rowCount() > 0)
        selectionModel()->setCurrentIndex(lines->index(0), QItemSelectionModel::NoUpdate);
}

int RawLinesView::lineCount() const
{
    return model()->rowCount();
}

QString RawLinesView::selectedText() const
{
    QModelIndexList rows = selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    const auto *lines = static_cast<const LinesModel *>(model());
    QString out;
    for (const QModelIndex &i : rows)
        out += lines->line(i.row()) + u'\n';
    return out;
}

EditPlace RawLinesView::place() const
{
    EditPlace p;
    const int current = currentIndex().row();
    p.line = std::max(current, 0);
    // The run of selected rows through the current one, else the first run
    // (the view itself only ever selects one).
    std::vector<std::pair<int, int>> runs;
    for (const QItemSelectionRange &r : selectionModel()->selection())
        runs.emplace_back(r.top(), r.bottom());
    if (runs.empty())
        return p;
    std::sort(runs.begin(), runs.end());
    std::vector<std::pair<int, int>> merged{runs.front()};
    for (const auto &r : runs) {
        if (r.first <= merged.back().second + 1)
            merged.back().second = std::max(merged.back().second, r.second);
        else
            merged.push_back(r);
    }
    auto run = std::find_if(merged.begin(), merged.end(),
                            [&](const auto &r) { return r.first <= current && current <= r.second; });
    if (run == merged.end())
        run = merged.begin();
    p.line = run->first;
    p.highlighted = run->second - run->first + 1;
    p.caretFirst = current == run->first && run->second > run->first;
    return p;
}

void RawLinesView::copySelection() const
{
    const QString text = selectedText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

// The items of the list are no news to a screen reader, which hears a
// text: the caret and the selection instead.
void RawLinesView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QAbstractItemView::currentChanged(current, previous); // NOLINT(bugprone-parent-virtual-call)
    if (!current.isValid())
        return;
    QAccessibleTextCursorEvent caret(this, int(static_cast<LinesModel *>(model())->start(current.row())));
    tellScreenReaders(&caret);
}

void RawLinesView::selectionChanged(const QItemSelection &selected, const QItemSelection &deselected)
{
    QAbstractItemView::selectionChanged(selected, deselected); // NOLINT(bugprone-parent-virtual-call)
    int start = 0, end = 0;
    QAccessibleInterface *text = QAccessible::queryAccessibleInterface(this);
    text->textInterface()->selection(0, &start, &end);
    QAccessibleTextSelectionEvent picked(this, start, end);
    tellScreenReaders(&picked);
}

bool RawLinesView::event(QEvent *event)
{
    // The editing keys are the text's, as in a text box, not the window's
    // shortcuts (its Ctrl+X ends the program).
    if (event->type() == QEvent::ShortcutOverride) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->matches(QKeySequence::Copy) || isEditingKey(key)) {
            event->accept();
            return true;
        }
    }
    return QListView::event(event);
}

void RawLinesView::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy)) {
        copySelection();
        return;
    }
    if (isEditingKey(event)) {
        emit editRequested(place(), event);
        return;
    }
    QListView::keyPressEvent(event);
}

void RawLinesView::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    const QModelIndex row = indexAt(at);
    EditPlace p;
    p.line = row.isValid() ? row.row() : std::max(lineCount() - 1, 0);
    p.at = at;
    emit editRequested(p, nullptr);
}

void RawLinesView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    QAction *copy = menu.addAction(u"&Copy"_s, this, &RawLinesView::copySelection);
    copy->setEnabled(selectionModel()->hasSelection());
    menu.addAction(u"Select &All"_s, this, &QAbstractItemView::selectAll);
    menu.addSeparator();
    // The switch to the text box deletes this view and so the menu, its
    // child: it waits until the menu has closed and its loop has returned.
    // (A screen reader may press Edit and leave the menu open.)
    bool edit = false;
    menu.addAction(u"&Edit"_s, &menu, [&] {
        edit = true;
        menu.close();
    });
    menu.exec(event->globalPos());
    if (edit)
        emit editRequested(place(), nullptr);
}

} // namespace vesk
