#pragma once

#include <QListView>
#include <QString>

class QKeyEvent;

namespace vesk
{

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
    // In editRequested(): the request came with no point of the viewport.
    static constexpr QPoint kNoPoint{-1, -1};
    // The selected lines, in order, each followed by "\n".
    QString selectedText() const;

signals:
    // The user wants to change the text at this line: by a key (to be
    // given to the editor once it is there), a double click at a point of
    // the viewport, or the menu's Edit (key null, point kNoPoint).
    void editRequested(int line, const QKeyEvent *key, QPoint viewportPoint);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void copySelection() const;
};

// Keys that change a text box's text, as opposed to moving in it.
bool isEditingKey(const QKeyEvent *event);

} // namespace vesk
