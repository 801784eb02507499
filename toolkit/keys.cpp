#include "toolkit/keys.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPalette>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

namespace vesk
{
namespace
{

constexpr char kSelectOnFocus[] = "vesk_selectOnFocus";

class ReturnPresses : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) || mods != Qt::NoModifier)
            return false;
        auto *button = static_cast<QPushButton *>(watched);
        if (button->isEnabled())
            button->click();
        return true;
    }
};

class FocusBeforeSelection : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if ((event->type() != QEvent::FocusIn && event->type() != QEvent::FocusOut) || m_resending)
            return false;
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        QPointer<QLineEdit> box = static_cast<QLineEdit *>(watched);
        if (event->type() == QEvent::FocusIn) {
            box->setPalette(QPalette()); // its selection shows again
            // The box would select its value before the focus is told, and
            // a screen reader would hear it selected, then focused.
            const bool asked = box->property(kSelectOnFocus).toBool();
            if (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason
                && reason != Qt::ShortcutFocusReason && !asked)
                return false;
            box->setProperty(kSelectOnFocus, false);
            resend(box, QEvent::FocusIn,
                   reason == Qt::ActiveWindowFocusReason ? reason : Qt::OtherFocusReason);
            QTimer::singleShot(0, box, [box] {
                if (box && box->hasFocus() && !box->hasSelectedText())
                    box->selectAll();
            });
            return true;
        }
        // Leaving for a menu or another window keeps the place.
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason
            || reason == Qt::MenuBarFocusReason)
            return false;
        // The box would unselect, and a screen reader would say so for a
        // box already left. It keeps its selection instead, unseen while
        // it is not focused (as the platform the window imitates keeps
        // it), and its caret goes to the selection's start, or the value's:
        // a long value shows its start again.
        resend(box, QEvent::FocusOut, Qt::ActiveWindowFocusReason);
        QPalette hidden = box->palette();
        hidden.setColor(QPalette::Highlight, hidden.color(QPalette::Base));
        hidden.setColor(QPalette::HighlightedText, hidden.color(QPalette::Text));
        box->setPalette(hidden);
        QTimer::singleShot(0, box, [box] {
            if (!box || box->hasFocus())
                return;
            if (box->hasSelectedText())
                box->setSelection(box->selectionEnd(), box->selectionStart() - box->selectionEnd());
            else
                box->setCursorPosition(0);
        });
        return true;
    }

private:
    void resend(QLineEdit *box, QEvent::Type type, Qt::FocusReason reason)
    {
        QFocusEvent again(type, reason);
        m_resending = true;
        QCoreApplication::sendEvent(box, &again);
        m_resending = false;
    }
    bool m_resending = false;
};

template <typename Filter> Filter *sharedFilter()
{
    static Filter *filter = new Filter(QCoreApplication::instance());
    return filter;
}

} // namespace

void pressOnReturn(QPushButton *button)
{
    button->installEventFilter(sharedFilter<ReturnPresses>());
}

void tellFocusBeforeSelection(QLineEdit *box)
{
    box->installEventFilter(sharedFilter<FocusBeforeSelection>());
}

void focusSelected(QLineEdit *box)
{
    box->deselect();
    box->setProperty(kSelectOnFocus, true);
    box->setFocus(Qt::ShortcutFocusReason);
}

} // namespace vesk
