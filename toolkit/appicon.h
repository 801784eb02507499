#pragma once

#include <QIcon>

class QWidget;

namespace vesk
{

// The program's icon, from the sizes compiled into the executable, so a
// copy on its own still shows it.
QIcon applicationIcon();

// Gives the application its icon once `main` has painted for the first
// time, or as soon as another window (a question asked during the load)
// shows, whichever comes first. Handing the icon's sizes to the window
// system costs the first paint time and memory the user waits for.
void setApplicationIconAfterFirstPaint(QWidget *main);

} // namespace vesk
