#include "window/rawlinesview.h"

#include <QAbstractListModel>
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
