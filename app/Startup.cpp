#include "app/Startup.h"

#include "forms/protect/frmFirstTime.h"
#include "windowkit/AppIcon.h"
#include "windowkit/Forms.h"
#include "windowkit/Lifecycle.h"

#include <QApplication>

namespace app {

bool start()
{
    QApplication::setApplicationName(QStringLiteral("Orvane Tessary"));
    QApplication::setWindowIcon(kit::windowIcon());
    // Windows unload by hiding; the application decides itself when its last window is gone.
    QApplication::setQuitOnLastWindowClosed(false);
    if (frmFirstTime* first = Forms::load<frmFirstTime>())
        Forms::showForm(first);
    if (kit::hasEnded())
        return false;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible())
            return true;
    }
    return false;
}

} // namespace app
