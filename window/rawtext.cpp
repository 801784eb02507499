#include "window/rawtext.h"

#include "window/rawlinesview.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <iterator>
#include <vector>

using namespace Qt::StringLiterals;

namespace vesk
{
namespace
{

// The text box keeps these as document structure, not as text: a paragraph
// separator turns into a line break and the frame markers vanish. While the
// text is shown they stand in as private-use characters it lacks, so an
// edit elsewhere in the box does not change them.
constexpr char16_t kUnholdable[] = {0x2029, 0xFDD0, 0xFDD1};
constexpr QStringView kUnholdableView(kUnholdable, std::size(kUnholdable));

QString pickStandIns(QStringView text)
{
    if (std::none_of(std::begin(kUnholdable), std::end(kUnholdable),
                     [&](char16_t c) { return text.contains(QChar(c)); }))
        return {};
    constexpr char16_t first = 0xE000, end = 0xF900;
    std::vector<bool> used(end - first);
    for (QChar c : text)
        if (c.unicode() >= first && c.unicode() < end)
            used[c.unicode() - first] = true;
    QString out;
    for (char16_t c = first; c < end && out.size() < kUnholdableView.size(); ++c)
        if (!used[c - first])
            out += QChar(c);
    return out.size() == kUnholdableView.size() ? out : QString();
}

bool hasLines(QStringView text, qsizetype count)
{
    for (qsizetype from = 0; count > 0; --count) {
        from = text.indexOf(u'\n', from);
        if (from < 0)
            return false;
        ++from;
    }
    return true;
}

QString swapChars(QString text, QStringView from, QStringView to)
{
    for (qsizetype i = 0; i < from.size() && i < to.size(); ++i)
        text.replace(from[i], to[i]);
    return text;
}

} // namespace

RawTextEdit::RawTextEdit(QWidget *parent) : QPlainTextEdit(parent)
{
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        // Until the text as read is put in, the box holds nothing of it: an
        // edit there (a screen reader's, under the view) is no edit of it.
        if (m_setting || m_pending)
            return;
        m_edited = true;
        emit edited();
    });
}

void RawTextEdit::setTextAsRead(QString lines)
{
    dropView();
    m_asRead = std::move(lines);
    m_standIns.clear();
    m_edited = false;
    m_pending = true;
    if (m_asRead.isEmpty()) {
        fill();
    } else if (isVisible()) {
        present();
    } else {
        // Ready before the first visit, once the window is idle: filled as
        // the keyboard arrives, the box's text news would come just before
        // the focus, and a screen reader would miss the focus. A text too
        // big to fill in a moment waits for its first visit still.
        QTimer::singleShot(0, this, [this] {
            if (m_asRead.size() <= kMostCharsFilledAhead)
                present();
        });
    }
}

void RawTextEdit::present()
{
    if (!m_pending || m_view)
        return;
    if (!hasLines(m_asRead, kLinesForView)) {
        fill();
        return;
    }
    // The box stays empty and read-only underneath, so that a screen reader
    // finds no older text in it to edit; the view covers it and takes its
    // keyboard focus.
    m_setting = true;
    clear();
    m_setting = false;
    setReadOnly(true);
    m_view = new RawLinesView(m_asRead, this);
    m_view->setGeometry(rect());
    m_view->setAccessibleName(accessibleName());
    m_view->setAccessibleDescription(u"Read-only until you type: %1 lines"_s.arg(m_view->lineCount()));
    setFocusProxy(m_view);
    connect(m_view, &RawLinesView::editRequested, this, &RawTextEdit::startEditing);
    m_view->show();
    if (hasFocus())
        m_view->setFocus(Qt::OtherFocusReason);
}

void RawTextEdit::dropView()
{
    if (!m_view)
        return;
    setFocusProxy(nullptr);
    setReadOnly(false);
    m_view->hide();
    // Not deleted here: it may be in the middle of handling the key that
    // brought us here.
    m_view->deleteLater();
    m_view = nullptr;
}

void RawTextEdit::fill()
{
    if (!m_pending)
        return;
    m_pending = false;
    m_setting = true;
    m_standIns = pickStandIns(m_asRead);
    setPlainText(swapChars(m_asRead, kUnholdableView, m_standIns));
    m_setting = false;
    dropView();
}

void RawTextEdit::startEditing(const EditPlace &place, const QKeyEvent *key)
{
    // The window's keyboard was on the view, even if the window is not
    // active just now (a menu closing hands it back).
    const bool hadFocus = window()->focusWidget() == m_view;
    const int top = m_view->verticalScrollBar()->value(); // a row per step, as here a line
    const int left = m_view->horizontalScrollBar()->value();
    // The one wait of a big text: the box takes every line now.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    fill();
    QApplication::restoreOverrideCursor();
    verticalScrollBar()->setValue(top);
    horizontalScrollBar()->setValue(left);
    // A block per line: the text holds no other line break the box knows.
    QTextCursor caret(document()->findBlockByNumber(place.line));
    if (place.at) {
        caret = cursorForPosition(*place.at);
    } else if (place.highlighted > 0) {
        // Each highlighted line with its line end, as Copy takes them: the
        // key then acts on what was highlighted, Delete taking whole lines.
        const QTextBlock after = document()->findBlockByNumber(place.line + place.highlighted);
        const int start = caret.position();
        const int end = after.isValid() ? after.position() : document()->characterCount() - 1;
        caret.setPosition(place.caretFirst ? end : start);
        caret.setPosition(place.caretFirst ? start : end, QTextCursor::KeepAnchor);
    }
    setTextCursor(caret);
    ensureCursorVisible();
    if (hadFocus)
        setFocus(Qt::OtherFocusReason);
    if (key) {
        QKeyEvent again(key->type(), key->key(), key->modifiers(), key->nativeScanCode(),
                        key->nativeVirtualKey(), key->nativeModifiers(), key->text(), key->isAutoRepeat(),
                        key->count());
        QCoreApplication::sendEvent(this, &again);
    }
}

QString RawTextEdit::textToWrite() const
{
    if (!m_edited)
        return m_asRead;
    QString raw = document()->toRawText();
    raw.replace(QChar::ParagraphSeparator, u'\n');
    return swapChars(std::move(raw), m_standIns, kUnholdableView);
}

void RawTextEdit::showEvent(QShowEvent *event)
{
    present();
    QPlainTextEdit::showEvent(event);
}

void RawTextEdit::resizeEvent(QResizeEvent *event)
{
    QPlainTextEdit::resizeEvent(event);
    if (m_view)
        m_view->setGeometry(rect());
}

} // namespace vesk
