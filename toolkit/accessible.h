#pragma once

#include <QAccessible>
#include <QString>

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
// get: every one-line box's text. Safe to call again.
void installAccessibleInterfaces();

} // namespace vesk
