#include "toolkit/accessible.h"

#include <QAccessibleWidget>
#include <QEvent>
#include <QFontMetrics>
#include <QLineEdit>
#include <QTimer>
#include <QValidator>

using namespace Qt::StringLiterals;

namespace vesk
{
namespace
{

constexpr char kInvalidEntry[] = "vesk_invalidEntry";
AccessibilityWatcher g_watcher = nullptr;
constexpr char kRole[] = "vesk_accessibleRole";

char32_t codePointAt(QStringView t, qsizetype i)
{
    const QChar c = t[i];
    if (c.isHighSurrogate() && i + 1 < t.size() && t[i + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(c, t[i + 1]);
    if (c.isLowSurrogate() && i > 0 && t[i - 1].isHighSurrogate())
        return QChar::surrogateToUcs4(t[i - 1], c);
    return c.unicode();
}

bool isWordChar(QStringView t, qsizetype i)
{
    const char32_t c = codePointAt(t, i);
    return QChar::isLetterOrNumber(c) || QChar::isMark(c)
           || QChar::category(c) == QChar::Punctuation_Connector;
}

// Whether a piece of the kind starts at i, 0 < i < t.size().
bool startsPiece(QStringView t, qsizetype i, QAccessible::TextBoundaryType boundary)
{
    switch (boundary) {
    case QAccessible::CharBoundary:
        // A character with its combining marks, a surrogate pair whole.
        return !(t[i].isLowSurrogate() && t[i - 1].isHighSurrogate()) && !QChar::isMark(codePointAt(t, i));
    case QAccessible::WordBoundary: return isWordChar(t, i) && !isWordChar(t, i - 1);
    case QAccessible::SentenceBoundary: {
        if (t[i].isSpace() || !t[i - 1].isSpace())
            return false;
        qsizetype j = i - 1;
        while (j > 0 && t[j].isSpace())
            --j;
        return t[j] == u'.' || t[j] == u'!' || t[j] == u'?';
    }
    case QAccessible::LineBoundary:
    case QAccessible::ParagraphBoundary: return t[i - 1] == u'\n';
    case QAccessible::NoBoundary: return false;
    }
    return false;
}

qsizetype pieceStart(QStringView t, qsizetype at, QAccessible::TextBoundaryType boundary)
{
    for (qsizetype i = at; i > 0; --i)
        if (startsPiece(t, i, boundary))
            return i;
    return 0;
}

qsizetype pieceEnd(QStringView t, qsizetype start, QAccessible::TextBoundaryType boundary)
{
    for (qsizetype i = start + 1; i < t.size(); ++i)
        if (startsPiece(t, i, boundary))
            return i;
    return t.size();
}

// The accessible interface of a one-line box. Qt's own asks Qt's text
// boundary search for words and sentences, which at the end of the text
// never returns (Qt 6.4), and reports attribute runs of no length, which
// a screen reader takes for the text ending early.
class BoxAccessible : public QAccessibleWidget,
                      public QAccessibleTextInterface,
                      public QAccessibleEditableTextInterface
{
public:
    explicit BoxAccessible(QLineEdit *box) : QAccessibleWidget(box, QAccessible::EditableText) {}

    QLineEdit *box() const { return static_cast<QLineEdit *>(widget()); }
    bool shown() const { return box()->echoMode() == QLineEdit::Normal; }

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        if (t == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return shown() ? box()->text() : QString(box()->text().size(), u'*');
        return QAccessibleWidget::text(t);
    }
    void setText(QAccessible::Text t, const QString &text) override
    {
        if (t != QAccessible::Value) {
            QAccessibleWidget::setText(t, text);
            return;
        }
        replaceAll(text);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = box()->isReadOnly();
        s.editable = !box()->isReadOnly();
        s.passwordEdit = !shown();
        s.selectableText = true;
        return s;
    }

    // Text
    void selection(int index, int *start, int *end) const override
    {
        *start = *end = 0;
        if (index != 0 || !box()->hasSelectedText())
            return;
        *start = box()->selectionStart();
        *end = box()->selectionEnd();
    }
    int selectionCount() const override { return box()->hasSelectedText() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int index) override
    {
        if (index == 0)
            box()->deselect();
    }
    void setSelection(int index, int start, int end) override
    {
        if (index == 0)
            box()->setSelection(clamp(start), clamp(end) - clamp(start));
    }
    int cursorPosition() const override { return box()->cursorPosition(); }
    void setCursorPosition(int position) override { box()->setCursorPosition(clamp(position)); }
    QString text(int start, int end) const override
    {
        if (!shown() || start >= end)
            return {};
        return box()->text().mid(clamp(start), clamp(end) - clamp(start));
    }
    int characterCount() const override { return int(box()->text().size()); }
    QRect characterRect(int offset) const override
    {
        const QString all = box()->text();
        if (!shown() || offset < 0 || offset >= all.size())
            return {};
        // From the caret, the one place whose position Qt tells.
        const QRect caret = box()->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        const QFontMetrics fm(box()->font());
        const int x = caret.center().x() + fm.horizontalAdvance(all.left(offset))
                      - fm.horizontalAdvance(all.left(box()->cursorPosition()));
        const QRect r(x, caret.top(), fm.horizontalAdvance(all.mid(offset, 1)), caret.height());
        return r.translated(box()->mapToGlobal(QPoint(0, 0)));
    }
    int offsetAtPoint(const QPoint &point) const override
    {
        return box()->cursorPositionAt(box()->mapFromGlobal(point));
    }
    void scrollToSubstring(int start, int end) override
    {
        box()->setCursorPosition(clamp(end));
        box()->setCursorPosition(clamp(start));
    }
    QString attributes(int, int *start, int *end) const override
    {
        // One run over the whole text.
        *start = 0;
        *end = characterCount();
        return isInvalidEntry(box()) ? u"invalid:true;"_s : QString();
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

    // Editable text
    void deleteText(int start, int end) override { replaceText(start, end, QString()); }
    void insertText(int offset, const QString &text) override { replaceText(offset, offset, text); }
    void replaceText(int start, int end, const QString &text) override
    {
        const int from = clamp(start);
        replaceAll(box()->text().replace(from, std::max(clamp(end) - from, 0), text));
    }

private:
    int clamp(int offset) const { return std::clamp(offset, 0, characterCount()); }

    // As the keyboard would: nothing is taken that the box's own check
    // refuses, and the edit can be undone.
    void replaceAll(QString text)
    {
        QLineEdit *b = box();
        if (b->isReadOnly())
            return;
        if (const QValidator *v = b->validator()) {
            int pos = 0;
            if (v->validate(text, pos) == QValidator::Invalid)
                return;
        }
        b->selectAll();
        b->insert(text);
    }

    QString piece(int offset, QAccessible::TextBoundaryType b, TextPiece which, int *start, int *end) const
    {
        const QString all = box()->text();
        if (offset == -2)
            offset = box()->cursorPosition();
        else if (offset == -1)
            offset = int(all.size());
        const TextSpan s = textSpan(all, std::clamp(offset, 0, int(all.size())), b, which);
        *start = s.start;
        *end = s.end;
        return shown() ? all.mid(s.start, s.end - s.start) : QString();
    }
};

QAccessibleInterface *programInterfaces(const QString &className, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto *w = static_cast<QWidget *>(object);
    if (className == u"QLineEdit"_s)
        return new BoxAccessible(static_cast<QLineEdit *>(w));
    if (const QVariant role = w->property(kRole); role.isValid() && className == u"QWidget"_s)
        return new QAccessibleWidget(w, QAccessible::Role(role.toInt()));
    return nullptr;
}

} // namespace

TextSpan textSpan(QStringView text, int offset, QAccessible::TextBoundaryType boundary, TextPiece piece)
{
    const int n = int(text.size());
    offset = std::clamp(offset, 0, n);
    if (boundary == QAccessible::NoBoundary)
        return piece == TextPiece::At       ? TextSpan{0, n}
               : piece == TextPiece::Before ? TextSpan{}
                                            : TextSpan{n, n};
    // The piece the offset is in; at the end, the last one, except for a
    // character (there is none at the end).
    qsizetype at = offset;
    if (offset == n) {
        if (boundary == QAccessible::CharBoundary || n == 0) {
            if (piece != TextPiece::Before || n == 0)
                return {n, n};
            const auto s = pieceStart(text, n - 1, boundary);
            return {int(s), n};
        }
        at = n - 1;
    }
    qsizetype start = pieceStart(text, at, boundary);
    if (piece == TextPiece::Before) {
        if (start == 0)
            return {};
        const qsizetype before = pieceStart(text, start - 1, boundary);
        return {int(before), int(start)};
    }
    qsizetype end = pieceEnd(text, start, boundary);
    if (piece == TextPiece::After) {
        if (end == n)
            return {n, n};
        start = end;
        end = pieceEnd(text, start, boundary);
    }
    return {int(start), int(end)};
}

void installAccessibleInterfaces()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(programInterfaces);
}

void setAccessibleRole(QWidget *widget, QAccessible::Role role)
{
    installAccessibleInterfaces();
    widget->setProperty(kRole, int(role));
}

void tellScreenReaders(QAccessibleEvent *event)
{
    if (g_watcher)
        g_watcher(event);
    QAccessible::updateAccessibility(event);
}

void watchAccessibilityEvents(AccessibilityWatcher watcher)
{
    g_watcher = watcher;
}

void setInvalidEntry(QLineEdit *box, bool invalid)
{
    box->setProperty(kInvalidEntry, invalid);
}

bool isInvalidEntry(const QLineEdit *box)
{
    return box->property(kInvalidEntry).toBool();
}

// ---- Announcer -------------------------------------------------------------

Announcer::Announcer(QWidget *parent) : QWidget(parent), m_note(new QWidget(this))
{
    setObjectName(u"announcer"_s);
    // Nothing to see or click: one pixel in a corner, left to screen readers.
    setGeometry(0, 0, 1, 1);
    m_note->setGeometry(0, 0, 1, 1);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setAccessibleRole(this, QAccessible::StatusBar);
    setAccessibleRole(m_note, QAccessible::Notification);
    window()->installEventFilter(this);
}

QString Announcer::news() const
{
    return m_note->accessibleName();
}

void Announcer::announce(const QString &news)
{
    m_pending = news;
    if (!window()->isVisible() || window()->isActiveWindow()) {
        tell();
        return;
    }
    if (m_waiting)
        return;
    m_waiting = true;
    // Without a window manager the window may never be told it is active.
    QTimer::singleShot(1000, this, [this] {
        if (m_waiting)
            tell();
    });
}

bool Announcer::eventFilter(QObject *watched, QEvent *event)
{
    // After the activation, so that the focus it brings back is told first.
    if (watched == window() && event->type() == QEvent::WindowActivate && m_waiting)
        QTimer::singleShot(0, this, [this] {
            if (m_waiting)
                tell();
        });
    return QWidget::eventFilter(watched, event);
}

void Announcer::tell()
{
    m_waiting = false;
    if (m_pending.isEmpty())
        return;
    m_note->setAccessibleName(m_pending);
    m_pending.clear();
    QAccessibleEvent shown(m_note, QAccessible::ObjectShow);
    tellScreenReaders(&shown);
}

} // namespace vesk
