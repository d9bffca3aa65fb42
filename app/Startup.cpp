#include "app/Startup.h"

#include "app/frmMain.h"
#include "forms/protect/frmFirstTime.h"
#include "windowkit/AppIcon.h"
#include "windowkit/Forms.h"
#include "windowkit/Lifecycle.h"
#include "windowkit/StartupRoad.h"

#include <QApplication>

namespace app {

void leadRoadToMainWindow()
{
    static const QMetaObject::Connection connected =
        QObject::connect(&StartupRoad::instance(), &StartupRoad::finished, [] { Forms::show<frmMain>(); });
    Q_UNUSED(connected);
}

bool start()
{
    leadRoadToMainWindow();
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
