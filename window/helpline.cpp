#include "window/helpline.h"

namespace vesk
{

HelpLine::HelpLine(QWidget *parent) : QLabel(parent)
{
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextFormat(Qt::PlainText);
    setAccessibleDescription(QStringLiteral("Help line"));
}

void HelpLine::setHelp(const QString &text)
{
    // With no accessible name of its own, the label's name is its text and
    // QLabel announces each change of it (a second event of ours was heard
    // twice through AT-SPI).
    setText(text);
}

} // namespace vesk
