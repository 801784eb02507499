#pragma once

#include <QIcon>

namespace vesk
{

// The program's icon, from the sizes compiled into the executable, so a
// copy on its own still shows it.
QIcon applicationIcon();

} // namespace vesk
