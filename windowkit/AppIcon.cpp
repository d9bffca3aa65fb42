#include "windowkit/AppIcon.h"

// The resources live in a static library: nothing would pull them into the program unless
// something names their initialiser, which must be done outside any namespace.
static void initAppResources()
{
    static bool done = false;
    if (!done) {
        Q_INIT_RESOURCE(windowkit);
        done = true;
    }
}

namespace kit {

QIcon windowIcon()
{
    initAppResources();
    QIcon icon;
    for (int size : {16, 32, 48})
        icon.addFile(QStringLiteral(":/windowkit/icons/tessary-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace kit
