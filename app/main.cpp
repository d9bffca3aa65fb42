#include "app/Launch.h"
#include "app/Lifecycle.h"
#include "app/Startup.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    if (!app::useLinksFile())
        return 1;
    if (!app::start())
        return app::exitCode();
    return application.exec();
}
