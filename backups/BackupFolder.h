#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>

// The backups of links.mdb: whole copies of the file in the folder "backups" beside it, each named
// by the date, time and reason of its making (links-2026-12-07-221005-delete-all.mdb). A copy is
// written under a temporary name, checked, and only then renamed into the list, so the list never
// holds a half-written or unchecked file. The newest 20 are kept, and the newest of each of the
// last 7 days.
//
// The folder is changed from the windows' thread, or by the one start-up backup running meanwhile
// on a thread of its own (backups/Backups.h waits for it before anything else touches the folder).
namespace backups {

enum class Reason { DeleteAll, Import, Protect, NewCredentials, Unprotect, Restore, Daily };

struct Backup {
    QString path;
    QDateTime made;   // local time, to the second, as named
    QString reason;   // as named: "delete-all"
    int sequence = 1; // more than 1 for a later backup made within the same second
    int links = -1;   // the number of links in it; -1 when it could not be read
};

// What a backup step did. A failure names the file (or folder) and says why, for the user.
struct Outcome {
    QString why; // empty unless it failed
    bool failed() const { return !why.isEmpty(); }
};

QString folder();
// What a file name's reason means to a reader: "before Delete All Site Links", "daily".
QString describe(const QString& reasonName);
// The command a backup for this reason precedes, for messages: "Delete All Site Links".
QString commandName(Reason reason);

// Every backup, newest first, with its number of links (read from the file when not known yet).
QList<Backup> list();
// The same without the numbers of links: the names alone.
QList<Backup> scan();

// Which of these backups (newest first) the retention removes on `today`: all but the newest 20
// and the newest of each of the last 7 days (today and the 6 before).
QList<Backup> expired(const QList<Backup>& newestFirst, const QDate& today);

// Writes a copy of links.mdb to a temporary name in the folder: copy(to) must write a new file
// there and throw DbError on failure.
using Copier = std::function<void(const QString& to)>;

struct TakeOptions {
    int expectedLinks = -1; // the copy must hold this many links (-1: not checked)
    QString spare;          // a backup the retention must not remove now (the one being restored)
    // A backup to compare with: when the new copy holds the same links and settings byte for
    // byte, it is dropped (nothing made) and this one counts as made now.
    QString unlessSameAs;
};
// Makes one backup: written to a temporary name, synced, reopened and checked (the engine's
// integrity check, the links and the settings readable), renamed into the list with the folder
// synced, then the retention runs. Nothing half-written stays behind after a failure.
Outcome take(Reason reason, const Copier& copy, const TakeOptions& options = {});

// Removes what the retention says, sparing `spare`.
void prune(const QString& spare = {});

// Clears what an interrupted step left in the folder: temporary copies are removed, and an
// interrupted conversion for new credentials is completed when links.mdb committed them, else
// dropped. Runs on the windows' thread (it reads links.mdb).
void settle();

// Converting every backup for new credentials (backups/Protect.h) in the same step as links.mdb:
// each converted copy is written beside its backup (pendingPath) and the plan is written down
// before links.mdb commits; after the commit the copies replace the backups and the backups that
// could not be converted are removed. A kill anywhere leaves the plan for settle() to finish or
// drop, by whether links.mdb holds the new password hash.
struct Conversion {
    QString passwordHash;      // the hash links.mdb holds once the step is committed
    QStringList converted;     // backups with a converted copy beside them
    QStringList unconvertible; // backups to remove
};
QString pendingPath(const QString& backupPath);
// Writes the plan to the disk; throws DbError when it cannot, which undoes the step.
void planConversion(const Conversion& plan);
// After links.mdb committed: the copies take the backups' places, the unconvertible ones go.
void completeConversion(const Conversion& plan);
// The step did not happen: the copies go and every backup stays as it was.
void dropConversion(const Conversion& plan);

// Syncs a file (or folder) to the disk; false when it cannot.
bool syncFile(const QString& path);

// The clock that dates backups; tests set their own (nullptr: the real one).
void setClock(std::function<QDateTime()> clock);
QDateTime now();

} // namespace backups
