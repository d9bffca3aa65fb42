#include "app/Launch.h"
#include "app/Startup.h"
#include "windowkit/Lifecycle.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    if (const std::optional<int> done = app::readCommandLine(argc, argv))
        return *done;
    QApplication application(argc, argv);
    // Lets a Wayland desktop match the windows with the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.example.tessary"));
    if (!app::useLinksFile())
        return 1;
    if (!app::start())
        return kit::exitCode();
    return application.exec();
}
