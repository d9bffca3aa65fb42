#pragma once

#include "backups/BackupFolder.h"

class QObject;

// When backups are made: before a command that changes much at once, and once a day at start-up.
// A backup that succeeds says nothing; one that fails is removed and the user is told, naming the
// file and why.
namespace backups {

// Before a command (after its own question, before it changes anything): a backup of links.mdb
// as it is, unless it holds no link. True when the command may go on: the backup was made, or it
// failed and the user, told why, chose to go on without one. `spare` is kept from the retention
// for now (the backup about to be restored).
bool before(Reason reason, const QString& spare = {});

// At start-up, once the main window is up: on the first start of a day on which links.mdb has
// changed since the newest backup, a "daily" backup, made on a thread of its own so the window
// answers meanwhile. Never twice for an unchanged file: unchanged means not written since the
// newest backup, or holding the same links and settings byte for byte. A failure is told through
// `context`'s thread once the backup has ended, unless `context` is gone by then.
void startDaily(QObject* context);
// Waits for the start-up backup when one runs; `tell`: say so when it failed.
void finishDaily(bool tell);

// Every backup, newest first with its number of links, once any backup still being made has
// ended and what an interrupted step left behind is cleared.
QList<Backup> available();

} // namespace backups
