#include "windowkit/StartupRoad.h"

StartupRoad& StartupRoad::instance()
{
    static StartupRoad road;
    return road;
}

void StartupRoad::finish()
{
    Q_EMIT instance().finished();
}
