#pragma once

#include <QString>

// The previous-instance test: is another copy of the program already running for this user on
// the same links file? The real test takes a lock file in the user's runtime folder, one per
// links file, and holds it until the process ends; a lock left by a killed copy
// does not count.
namespace platform {

class InstanceGuard {
public:
    virtual ~InstanceGuard() = default;
    // True when another copy runs. Otherwise this copy now holds the lock.
    virtual bool anotherCopyRunning(const QString& linksFile) = 0;
};

bool anotherCopyRunning(const QString& linksFile);

// Replaces the real test (nullptr restores it). The guard stays owned by the caller.
void setInstanceGuard(InstanceGuard* guard);

// The lock file the real test takes for a links file: in the user's runtime folder.
QString instanceLockPath(const QString& linksFile);

// Releases the lock this process holds, if any (tests that start the program twice in-process).
void releaseInstanceLock();

} // namespace platform
