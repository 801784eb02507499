#pragma once

#include <QPlainTextEdit>
#include <QString>

class QKeyEvent;

namespace vesk
{

class RawLinesView;
struct EditPlace;

// The Raw tab's text: the lines of the file the editor does not know, which
// the user may edit and add to.
//
// Until the user edits it, the text as read is what gets written: the box
// cannot hold a few characters exactly, and the text is only put into the
// box once the window is idle after a load (a text of more than
// kMostCharsFilledAhead characters: when the tab first shows it). A text
// box costs about 10 µs and 300 bytes a line; so a text of kLinesForView
// lines or more is shown by a read-only view over it instead, until the
// user starts to edit it.
class RawTextEdit : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit RawTextEdit(QWidget *parent = nullptr);

    static constexpr qsizetype kLinesForView = 10000;
    static constexpr qsizetype kMostCharsFilledAhead = 4'000'000;

    // Replaces the text by lines read from a file, each followed by "\n".
    void setTextAsRead(QString lines);
    // The text a save writes.
    QString textToWrite() const;
    // Puts the text as read into the box now, if it still waits.
    void fill();
    // The read-only view over a big text while it stands in for the box.
    RawLinesView *linesView() const { return m_view; }

signals:
    // The user changed the text.
    void edited();

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // Shows the text as read, in the box or, for a big one, in the view.
    void present();
    void dropView();
    void startEditing(const EditPlace &place, const QKeyEvent *key);

    QString m_asRead;
    QString m_standIns; // what the characters the box cannot hold look like in it
    bool m_edited = false;
    bool m_pending = false;         // m_asRead waits for the box to be shown
    bool m_setting = false;         // the program, not the user, changes the text
    RawLinesView *m_view = nullptr; // a child
};

} // namespace vesk
