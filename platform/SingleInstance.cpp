#include "platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>
#include <memory>
#include <unistd.h>

namespace platform {

namespace {

class LockFileGuard : public InstanceGuard {
public:
    bool anotherCopyRunning(const QString& linksFile) override
    {
        if (m_lock)
            return false; // this copy already holds it
        const QString path = instanceLockPath(linksFile);
        QDir().mkpath(QFileInfo(path).absolutePath());
        auto lock = std::make_unique<QLockFile>(path);
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

// Named after the links file's canonical path, so every path that reaches one file meets the
// same lock.
QString fileKey(const QString& linksFile)
{
    const QFileInfo file(linksFile);
    const QString canonical = file.canonicalFilePath();
    const QByteArray path = QFile::encodeName(canonical.isEmpty() ? file.absoluteFilePath() : canonical);
    return QString::fromLatin1(QCryptographicHash::hash(path, QCryptographicHash::Sha256).toHex().left(16));
}

} // namespace

QString instanceLockPath(const QString& linksFile)
{
    const QString key = fileKey(linksFile);
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    // Without a runtime folder of its own the user shares /tmp: the name keeps the lock per user.
    if (folder.isEmpty())
        return QDir::tempPath() + QStringLiteral("/orvane-tessary-%1-%2.lock").arg(::getuid()).arg(key);
    return folder + QStringLiteral("/orvane-tessary-%1.lock").arg(key);
}

bool anotherCopyRunning(const QString& linksFile)
{
    return (g_guard ? g_guard : &realGuard())->anotherCopyRunning(linksFile);
}

void setInstanceGuard(InstanceGuard* guard)
{
    g_guard = guard;
}

void releaseInstanceLock()
{
    realGuard().release();
}

} // namespace platform
