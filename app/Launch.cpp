#include "app/Launch.h"

#include "data/LinksDb.h"
#include "data/LinksLocation.h"
#include "platform/MessageBox.h"

#include <QCoreApplication>
#include <QStandardPaths>

namespace app {

bool useLinksFile()
{
    // The data folder is named after the command (~/.local/share/tessary), not after the title the
    // windows show; the start-up sets that title as the application name afterwards.
    QCoreApplication::setOrganizationName(QString());
    QCoreApplication::setApplicationName(QStringLiteral("tessary"));
    const QString userFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);

    const LinksLocation::Choice choice = LinksLocation::choose(QCoreApplication::applicationDirPath(), userFolder);
    if (!choice.error.isEmpty()) {
        platform::MsgBox(choice.error, platform::MsgStyle::Critical, QStringLiteral("Orvane Tessary"));
        return false;
    }
    LinksDb::setFolder(choice.folder);
    return true;
}

} // namespace app
