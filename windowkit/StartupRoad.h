#pragma once

#include <QObject>

// The windows of the start-up road (welcome, protection choice, credentials, log-in) end by
// saying they are done; the program decides which window comes next.
class StartupRoad : public QObject {
    Q_OBJECT

public:
    static StartupRoad& instance();
    // Called by the window that ends the road, before it unloads itself, so that the next window
    // is on screen first.
    static void finish();

Q_SIGNALS:
    void finished();

private:
    StartupRoad() = default;
};
