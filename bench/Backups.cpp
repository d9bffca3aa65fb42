// The backups' cost at 100,000 links: a backup before a command, Restore From Backup up to the
// restored list, start-up with the day's backup due beside start-up without, and switching
// protection on with older backups to convert.
#include "bench/Bench.h"
#include "bench/Names.h"

#include "app/Startup.h"
#include "app/frmMain.h"
#include "backups/BackupFolder.h"
#include "backups/Backups.h"
#include "backups/Protect.h"
#include "data/LinksDb.h"
#include "data/LinksStore.h"
#include "data/Protection.h"
#include "forms/backups/frmRestore.h"
#include "testkit/TestKit.h"
#include "windowkit/Forms.h"
#include "windowkit/Lifecycle.h"
#include "windowkit/ListBox.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>

namespace bench {

namespace {

constexpr int kLinks = 100000;
constexpr int kOlderBackups = 3;

QString backupName(const QDateTime& made)
{
    return QStringLiteral("links-%1-daily.mdb").arg(made.toString(QStringLiteral("yyyy-MM-dd-HHmmss")));
}

// A fresh folder: links.mdb copied from `live`, and in its backups folder a copy of `backedUp`
// made at `made` (its file written a minute before links.mdb).
void prepare(const QString& folder, const QString& live, const QString& backedUp, const QDateTime& made)
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder + QStringLiteral("/backups"));
    const QString backup = folder + QStringLiteral("/backups/") + backupName(made);
    QFile::copy(backedUp, backup);
    copyLinksFile(live, folder);
    QFile file(backup);
    if (file.open(QIODevice::ReadWrite))
        file.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime);
}

struct Start {
    double painted = -1;  // the main list painted
    double backedUp = -1; // and the day's backup, when one was due, made
    int dailies = 0;      // backups the start made
};

Start timeStart(const QString& folder, QStringList& problems)
{
    Start out;
    testkit::resetApplication();
    LinksDb::setFolder(folder);
    testkit::FakeInstanceGuard guard;
    testkit::ScriptedMessageBox boxes;
    PaintWatch watch(isMainList);
    const int before = int(backups::scan().size());
    QElapsedTimer timer;
    timer.start();
    app::start();
    frmMain* form = Forms::find<frmMain>();
    if (!form || kit::hasEnded() || !watch.waitPainted(0)) {
        problems << QStringLiteral("start-up: the main list was not shown");
        return out;
    }
    out.painted = msSince(timer);
    backups::finishDaily(true);
    out.backedUp = msSince(timer);
    out.dailies = int(backups::scan().size()) - before;
    if (form->List1->ListCount() != kLinks + 1)
        problems << QStringLiteral("start-up listed %1 links").arg(form->List1->ListCount());
    if (!boxes.boxes.isEmpty())
        problems << QStringLiteral("start-up said: %1").arg(boxes.boxes.constFirst().text);
    testkit::resetApplication();
    return out;
}

} // namespace

void markBackedUpToday(const QString& folder)
{
    QDir(folder + QStringLiteral("/backups")).removeRecursively();
    QDir().mkpath(folder + QStringLiteral("/backups"));
    QFile::copy(folder + QStringLiteral("/links.mdb"),
                folder + QStringLiteral("/backups/") + backupName(QDateTime::currentDateTime()));
}

int runBackupTable(int runs)
{
    QTextStream out(stdout);
    QStringList problems;
    QTextStream(stderr) << "backups: writing the files\n";
    // Two states of one list: the backed-up one, and one link more.
    testkit::TempLinksDb base;
    base.setOther(1, QStringLiteral("No"));
    base.addLinks(realisticLinks(kLinks));
    testkit::TempLinksDb grown;
    copyLinksFile(base.path(), grown.folder());
    grown.addLinks({{QStringLiteral("One more"), QStringLiteral("https://one.example/")}});

    QTemporaryDir work(QDir::tempPath() + QStringLiteral("/tessary-bench-XXXXXX"));
    const QString folder = work.filePath(QStringLiteral("run"));
    const QDateTime now = QDateTime::currentDateTime();
    std::vector<double> notDue, due, dueDone, backup, backupSealed, deleteAll, restore, protectBare, protectOlder;
    for (int run = 0; run < runs; ++run) {
        QTextStream(stderr) << "backups: run " << run + 1 << " of " << runs << "\n";

        // Start-up with today's backup there, then with yesterday's and a changed file.
        prepare(folder, grown.path(), base.path(), now);
        const Start plain = timeStart(folder, problems);
        prepare(folder, grown.path(), base.path(), now.addDays(-1));
        const Start daily = timeStart(folder, problems);
        if (plain.dailies != 0 || daily.dailies != 1)
            problems << QStringLiteral("start-up made %1 and %2 daily backups, expected 0 and 1")
                            .arg(plain.dailies)
                            .arg(daily.dailies);
        notDue.push_back(plain.painted);
        due.push_back(daily.painted);
        dueDone.push_back(daily.backedUp);

        // A backup before a command, then the command through the window (backup included).
        prepare(folder, grown.path(), base.path(), now);
        {
            testkit::resetApplication();
            LinksDb::setFolder(folder);
            testkit::FakeInstanceGuard guard;
            testkit::ScriptedMessageBox boxes;
            PaintWatch watch(isMainList);
            app::start();
            frmMain* form = Forms::find<frmMain>();
            if (!form || !watch.waitPainted(0)) {
                problems << QStringLiteral("the main window did not open");
                continue;
            }
            QElapsedTimer timer;
            timer.start();
            if (!backups::before(backups::Reason::Import))
                problems << QStringLiteral("the backup before a command failed");
            backup.push_back(msSince(timer));

            // Restore: the window's Restore up to the restored list painted.
            form->mnuRestoreBackup->trigger();
            frmRestore* window = Forms::find<frmRestore>();
            const int row = window ? window->List1->ListCount() - 1 : -1; // the oldest: base's
            if (row < 0) {
                problems << QStringLiteral("the restore window listed nothing");
                continue;
            }
            window->List1->setListIndex(row);
            QCoreApplication::processEvents();
            int before = watch.paints();
            timer.start();
            window->Command1->click();
            if (!watch.waitPainted(before))
                problems << QStringLiteral("restore: the list was not repainted");
            restore.push_back(msSince(timer));
            if (form->List1->ListCount() != kLinks || LinksStore::count() != kLinks)
                problems << QStringLiteral("restore: %1 links listed").arg(form->List1->ListCount());

            before = watch.paints();
            timer.start();
            form->mnuDeleteAllContacts->trigger();
            if (!watch.waitPainted(before))
                problems << QStringLiteral("delete all: the list was not repainted");
            deleteAll.push_back(msSince(timer));
            for (const auto& box : boxes.boxes) {
                if (box.text.contains(QLatin1String("could not")))
                    problems << QStringLiteral("unexpected message: %1").arg(box.text);
            }
            testkit::resetApplication();
        }

        // Protection on: the file alone, then with older backups of the same size to convert.
        for (const int older : {0, kOlderBackups}) {
            prepare(folder, base.path(), base.path(), now);
            QFile::remove(folder + QStringLiteral("/backups/") + backupName(now));
            for (int i = 0; i < older; ++i)
                QFile::copy(base.path(), folder + QStringLiteral("/backups/") + backupName(now.addDays(-1 - i)));
            LinksDb::setFolder(folder);
            const LinksDb::KeepOpen keep;
            QElapsedTimer timer;
            timer.start();
            backups::protect(QStringLiteral("bench user"), QStringLiteral("pw 123"));
            (older ? protectOlder : protectBare).push_back(msSince(timer));
            if (int(backups::scan().size()) != older)
                problems << QStringLiteral("protection on left %1 of %2 backups")
                                .arg(backups::scan().size())
                                .arg(older);
            if (older == 0) {
                // The same backup before a command on the sealed file, its pages read as the
                // main window would have read them.
                LinksStore::names();
                timer.start();
                if (!backups::before(backups::Reason::Unprotect))
                    problems << QStringLiteral("the backup of the sealed file failed");
                backupSealed.push_back(msSince(timer));
            }
            Protection::forgetKey();
        }
    }

    const double perOlder = (median(protectOlder) - median(protectBare)) / kOlderBackups;
    bool allMet = true;
    const auto row = [&](const QString& name, double v, const QString& text, bool met) {
        out << "| " << name << " | " << ms(v) << " | " << goal(text, met, allMet) << " |\n";
    };
    out << "\n## Backups at 100,000 links\n\nMedians of " << runs << " runs.\n\n";
    out << "| measure | program | goal |\n|---|---:|---|\n";
    row(QStringLiteral("a backup before a command (what it adds to the command)"), median(backup),
        QStringLiteral("<= 300 ms"), median(backup) >= 0 && median(backup) <= 300);
    row(QStringLiteral("the same with protection on (every link sealed: a larger file)"), median(backupSealed),
        QStringLiteral("<= 300 ms"), median(backupSealed) >= 0 && median(backupSealed) <= 300);
    row(QStringLiteral("Delete All Site Links, its backup included"), median(deleteAll), {}, true);
    row(QStringLiteral("Restore From Backup: Restore to the restored list, the backup first included"),
        median(restore), QStringLiteral("<= 1 s"), median(restore) >= 0 && median(restore) <= 1000);
    row(QStringLiteral("start-up, no backup due"), median(notDue), {}, true);
    const double ratio = median(notDue) > 0 ? median(due) / median(notDue) : -1;
    row(QStringLiteral("start-up, the day's backup due (%1x)").arg(ratio, 0, 'f', 2), median(due),
        QStringLiteral("<= 1.5x"), ratio > 0 && ratio <= 1.5);
    row(QStringLiteral("start-up, the day's backup due, until it is made (beside the open window)"),
        median(dueDone), {}, true);
    row(QStringLiteral("protection on, no older backup"), median(protectBare), {}, true);
    row(QStringLiteral("protection on, %1 older backups converted").arg(kOlderBackups), median(protectOlder), {},
        true);
    row(QStringLiteral("converting one older backup"), perOlder, {}, true);
    return endTable(out, problems, allMet);
}

} // namespace bench
