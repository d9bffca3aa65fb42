#include "platform/SingleInstance.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>
#include <memory>

namespace platform {

namespace {

class LockFileGuard : public InstanceGuard {
public:
    bool anotherCopyRunning() override
    {
        if (m_lock)
            return false;  // this copy already holds it
        QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        if (folder.isEmpty())
            folder = QDir::tempPath();
        QDir().mkpath(folder);
        auto lock = std::make_unique<QLockFile>(folder + QStringLiteral("/orvane-tessary.lock"));
        // A lock whose process is gone is stale and taken over at once.
        lock->setStaleLockTime(0);
        if (!lock->tryLock(0))
            return lock->error() == QLockFile::LockFailedError;
        m_lock = std::move(lock);
        return false;
    }

    void release() { m_lock.reset(); }

private:
    std::unique_ptr<QLockFile> m_lock;
};

LockFileGuard& realGuard()
{
    static LockFileGuard guard;
    return guard;
}

InstanceGuard* g_guard = nullptr;

}  // namespace

bool anotherCopyRunning()
{
    return (g_guard ? g_guard : &realGuard())->anotherCopyRunning();
}

void setInstanceGuard(InstanceGuard* guard)
{
    g_guard = guard;
}

void releaseInstanceLock()
{
    realGuard().release();
}

}  // namespace platform
