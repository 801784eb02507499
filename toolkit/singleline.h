#pragma once

class QLineEdit;

namespace vesk
{

// Keeps a line box to one line: every line break that reaches it (a paste,
// a drop, a program setting its text) becomes one space. A value that kept
// its break would be written as two lines of the file, the second read back
// as a setting of its own.
void keepSingleLine(QLineEdit *box);

} // namespace vesk
