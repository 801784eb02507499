#pragma once

#include <QListView>
#include <QString>

#include <optional>

class QKeyEvent;

namespace vesk
{

// Where the text box takes over from the view.
struct EditPlace {
    int line = 0;             // the current line, or the first highlighted
    int highlighted = 0;      // whole lines highlighted from line on; 0: a caret at its start
    bool caretFirst = false;  // highlighted upward: the caret at the first line
    std::optional<QPoint> at; // a point of the view's viewport instead
};

// A big Raw text, shown read-only a line per row: only the rows in sight are
// ever laid out, so a million lines show at once where a text box would
// take seconds and hundreds of megabytes. Moving, selecting and copying
// stay here; anything that would change the text asks for the real editor.
class RawLinesView : public QListView
{
    Q_OBJECT
public:
    // text: lines each followed by "\n", as the Raw text holds them.
    RawLinesView(const QString &text, QWidget *parent = nullptr);

    int lineCount() const;
    // The selected lines, in order, each followed by "\n".
    QString selectedText() const;
    // The highlighted lines, or else the current line.
    EditPlace place() const;

signals:
    // The user wants to change the text there: by a key (to be given to the
    // editor once it is there), a double click, or the menu's Edit (key null).
    void editRequested(const vesk::EditPlace &place, const QKeyEvent *key);

protected:
    bool event(QEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void selectionChanged(const QItemSelection &selected, const QItemSelection &deselected) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void copySelection() const;
};

// Keys that change a text box's text, as opposed to moving in it.
bool isEditingKey(const QKeyEvent *event);

} // namespace vesk
