#pragma once

#include <QAccessible>
#include <QString>
#include <QWidget>

class QLineEdit;

namespace vesk
{

// Which piece of a text a screen reader asks for: the one at an offset, or
// the one before or after it.
enum class TextPiece { Before, At, After };

struct TextSpan {
    int start = 0;
    int end = 0;
};

// The characters, word, sentence, line or whole text at, before or after
// offset (0 to the text's size), as a screen reader moves through a text:
// a word runs to the next word's start, a sentence to the next sentence's
// start, a line includes its "\n". Nothing there: an empty span at the
// text's start or end. Written here because Qt's own search for words in
// a line box never returns at the end of the text.
TextSpan textSpan(QStringView text, int offset, QAccessible::TextBoundaryType boundary, TextPiece piece);

// Makes the program's own accessible interfaces the ones screen readers
// get: every one-line box's text, and widgets given a role by
// setAccessibleRole(). Safe to call again.
void installAccessibleInterfaces();

// A plain widget that a screen reader should take for role; before
// anything else about it is told (its name), which would fix its role.
void setAccessibleRole(QWidget *widget, QAccessible::Role role);

// Tells screen readers of event. Everything the program tells them itself
// goes through here, and a watcher, when set, sees it first: tests watch
// here, as Qt drops every event where no screen reader is connected.
void tellScreenReaders(QAccessibleEvent *event);
using AccessibilityWatcher = void (*)(QAccessibleEvent *);
void watchAccessibilityEvents(AccessibilityWatcher watcher);

// Marks box's value as not fitting: its whole text carries the "invalid"
// text attribute while it does.
void setInvalidEntry(QLineEdit *box, bool invalid);
bool isInvalidEntry(const QLineEdit *box);

// Tells a screen reader short news once, without moving the focus: the
// news shows as a notification inside a status bar of the window, the way
// screen readers speak such news as it comes. News given while the window
// is inactive (a prompt is closing) waits until it is active again, so
// that it is not cut off by what is said for the window coming back.
class Announcer : public QWidget
{
    Q_OBJECT
public:
    explicit Announcer(QWidget *parent);
    void announce(const QString &news);
    // The last news told.
    QString news() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void tell();

    QWidget *m_note;
    QString m_pending;
    bool m_waiting = false;
};

} // namespace vesk
