#pragma once

#include "backups/BackupFolder.h"

#include <optional>

// Bringing links.mdb back to a backup.
namespace backups {

// A backup checked whole and ready to restore, with how it fits the program as it runs now.
struct Candidate {
    Backup backup;
    enum class Fit {
        AsItIs, // the same protection as the file now (plain, or sealed for the credentials in use)
        // Plain while protection is on now: its links are sealed with the key in use first, and
        // protection stays on. A restore never leaves the file weaker than it is.
        SealedForThisSession,
        // Sealed for credentials the program does not hold (protection is off now, or other
        // credentials are in use): restored as it is, and the program must log in again.
        NeedsItsOwnLogIn,
    } fit = Fit::AsItIs;
    QString username; // of a backup that needs its own log-in
};

struct Checked {
    std::optional<Candidate> candidate;
    QString why; // why it cannot be restored, naming the file; empty when it can
};

// Opens the backup with the database password and checks it: the engine's integrity check, its
// two tables, a valid settings record, and links that open with the key in use when it is sealed
// for it.
Checked check(const Backup& backup);

enum class Restored {
    Done,       // links.mdb holds the backup's links, and whoever shows them has been told
    Stopped,    // the backup of the current state failed and the user chose not to go on
    NeedsLogIn, // restored; the key is let go: the program must end and be logged in to again
};
// Backs up the current state first (backups/Backups.h: before), then replaces links.mdb with the
// backup in one transaction. A failure of the replacement throws DbError and leaves links.mdb as it
// was.
Restored restore(const Candidate& candidate);

} // namespace backups
