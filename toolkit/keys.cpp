#include "toolkit/keys.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPushButton>

namespace vesk
{
namespace
{

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

} // namespace vesk
