#include "toolkit/appicon.h"

#include <QString>

// The resources live in a static library; naming their initialiser here
// keeps the linker from dropping them.
static void initResources()
{
    Q_INIT_RESOURCE(veskfrontend);
}

namespace vesk
{

QIcon applicationIcon()
{
    initResources();
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/veskfrontend-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace vesk
