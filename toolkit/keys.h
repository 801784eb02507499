#pragma once

class QLineEdit;
class QPushButton;

namespace vesk
{

// Return and Enter press the button while it has the keyboard's focus, as
// Space does (the platform the window imitates works so; Qt only does it
// for a dialog's default buttons).
void pressOnReturn(QPushButton *button);

// Orders what a screen reader hears of box as the keyboard comes and
// goes: Tab into it selects its value as it always does, but just after
// the focus has been told, so the value is heard once, selected; once the
// keyboard has left, the box keeps its selection unseen and shows the
// start of its value again, so the box left is not heard changing.
// Install it before any event filter that looks at why the box gets the
// focus.
void tellFocusBeforeSelection(QLineEdit *box);

// Gives box the focus with its value selected, selected once the focus
// has arrived and been told, also where it arrives later (the window is
// not active yet, a prompt closing). Needs tellFocusBeforeSelection().
void focusSelected(QLineEdit *box);

} // namespace vesk
