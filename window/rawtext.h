#pragma once

#include <QPlainTextEdit>
#include <QString>

namespace vesk
{

// The Raw tab's text: the lines of the file the editor does not know, which
// the user may edit and add to.
//
// Until the user edits it, the text as read is what gets written: the box
// cannot hold a few characters exactly, and a big file's text is only put
// into the box when the tab first shows it (a text box costs about 10 µs a
// line, which would hold a big file's window back for seconds).
class RawTextEdit : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit RawTextEdit(QWidget *parent = nullptr);

    // Replaces the text by lines read from a file, each followed by "\n".
    void setTextAsRead(QString lines);
    // The text a save writes.
    QString textToWrite() const;
    // Puts the text as read into the box now, if it still waits.
    void fill();

signals:
    // The user changed the text.
    void edited();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QString m_asRead;
    QString m_standIns; // what the characters the box cannot hold look like in it
    bool m_edited = false;
    bool m_pending = false; // m_asRead waits for the box to be shown
    bool m_setting = false; // the program, not the user, changes the text
};

} // namespace vesk
