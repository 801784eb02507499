#pragma once

#include <QString>

class QLineEdit;
class QObject;

namespace vesk
{

class Announcer;
class HelpLine;
struct ConfigContent;

// Keeps box, the value box of slot, marked while its text does not fit the
// setting's kind: a warning icon inside the box named by the reason, the
// reason first in its accessible description, its text marked invalid for
// a screen reader, and the reason in the help line while that shows this
// setting. While the user types in the box, the announcer tells when a
// problem comes and when it goes. Nothing is refused: Save writes the
// value as it is. pointerWatcher is told of pointer moves over the icon as
// it is of those over the box (the icon is a widget of its own that would
// swallow them).
void markValueProblems(QLineEdit *box, int slot, QObject *pointerWatcher, HelpLine *helpLine,
                       Announcer *announcer);

// The help line for slot: its help entry, then a "Problem:" line while box
// holds a value that does not fit.
QString helpWithProblem(int slot, const QLineEdit *box);

// How many values of content do not fit their settings.
int valueProblemCount(const ConfigContent &content);

// One line per value of content that does not fit its setting (caption,
// key, why), under a line that says Save writes them anyway; empty when
// every value fits.
QString valueProblemList(const ConfigContent &content);

} // namespace vesk
