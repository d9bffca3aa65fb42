#include "backups/Backups.h"

#include "data/Database.h"
#include "data/LinksDb.h"
#include "data/LinksStore.h"
#include "platform/MessageBox.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QThread>
#include <algorithm>
#include <memory>
#include <utility>

namespace backups {

namespace {

const QString Title = QStringLiteral("Backup");

// The start-up backup and what came of it. Waited for before the program ends, whichever way.
struct Daily {
    std::unique_ptr<QThread> thread;
    Outcome outcome; // written by the thread, read once it has ended
    ~Daily()
    {
        if (thread)
            thread->wait();
    }
};

Daily& daily()
{
    static Daily state;
    return state;
}

} // namespace

bool before(Reason reason, const QString& spare)
{
    finishDaily(true);
    const LinksDb::KeepOpen keep;
    settle();
    const int links = LinksStore::count();
    if (links == 0)
        return true; // nothing to keep
    TakeOptions options;
    options.expectedLinks = links;
    options.spare = spare;
    const Outcome outcome = take(
        reason, [](const QString& to) { LinksDb::open().backupTo(to); }, options);
    if (!outcome.failed())
        return true;
    return platform::MsgBox(QStringLiteral("Your links could not be backed up before %1:\r\r%2\r\r"
                                           "Nothing was changed. Go on without a backup?")
                                .arg(commandName(reason), outcome.why),
                            platform::MsgStyle::YesNo + platform::MsgStyle::Exclamation,
                            Title) == platform::MsgAnswer::Yes;
}

void startDaily(QObject* context)
{
    finishDaily(true);
    settle();
    const QList<Backup> existing = scan();
    const QDate today = now().date();
    if (std::any_of(existing.cbegin(), existing.cend(),
                    [&today](const Backup& b) { return b.made.date() == today; }))
        return;
    const QString live = LinksDb::path();
    QString newest;
    if (existing.isEmpty()) {
        if (LinksStore::count() == 0)
            return; // a fresh file: nothing to keep yet
    } else {
        newest = existing.constFirst().path;
        // Not written since the newest backup was made (or found the same): nothing to do.
        if (QFileInfo(live).lastModified() <= QFileInfo(newest).lastModified())
            return;
    }

    Daily& state = daily();
    state.outcome = {};
    // The thread reads links.mdb through a connection of its own and touches nothing the windows
    // use; every other step on the folder waits for it first.
    state.thread.reset(QThread::create([live, newest] {
        TakeOptions options;
        options.unlessSameAs = newest;
        daily().outcome = take(
            Reason::Daily, [&live](const QString& to) { Database::copyFile(live, to, LinksDb::connect()); },
            options);
    }));
    QObject::connect(
        state.thread.get(), &QThread::finished, context, [] { finishDaily(true); }, Qt::QueuedConnection);
    static const QMetaObject::Connection waitsAtQuit =
        QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, [] { finishDaily(false); });
    Q_UNUSED(waitsAtQuit);
    state.thread->start(QThread::LowPriority);
}

void finishDaily(bool tell)
{
    Daily& state = daily();
    if (!state.thread)
        return;
    state.thread->wait();
    state.thread.reset();
    const Outcome outcome = std::exchange(state.outcome, {});
    if (tell && outcome.failed())
        platform::MsgBox(QStringLiteral("Today's backup of your links could not be made:\r\r%1\r\r"
                                        "Your links are as they were; the next start tries again.")
                             .arg(outcome.why),
                         platform::MsgStyle::Exclamation, Title);
}

QList<Backup> available()
{
    finishDaily(true);
    settle();
    return list();
}

} // namespace backups
