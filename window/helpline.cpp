#include "window/helpline.h"

#include <QAccessible>

namespace vesk {

HelpLine::HelpLine(QWidget *parent) : QLabel(parent)
{
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextFormat(Qt::PlainText);
    setAccessibleDescription(QStringLiteral("Help line"));
}

void HelpLine::setHelp(const QString &text)
{
    if (text == this->text())
        return;
    setText(text);
    // The label's accessible name is its text; assistive technology only
    // reads it again when told that it changed.
    QAccessibleEvent event(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

} // namespace vesk
