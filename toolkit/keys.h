#pragma once

class QPushButton;

namespace vesk
{

// Return and Enter press the button while it has the keyboard's focus, as
// Space does (the platform the window imitates works so; Qt only does it
// for a dialog's default buttons).
void pressOnReturn(QPushButton *button);

} // namespace vesk
