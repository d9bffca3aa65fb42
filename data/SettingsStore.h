#pragma once

#include <QString>
#include <optional>

class Database;

// The one settings record of links.mdb (table Other): the only code that knows its fields. It
// answers in the record's meaning, whatever an old or damaged file holds (a field may be Null or of
// another type); every write is in the file when the call returns, and a failure throws DbError.
namespace SettingsStore {

// PasswordProtected: "Yes", "No" (exactly), or anything else, Null included.
enum class Protection { Protected, Unprotected, Neither };

struct Settings {
    // FirstRun holds the number 1: the welcome was shown once. Anything else (0, Null, text that
    // is no number) means the first start is still pending.
    bool firstStartDone = false;
    Protection protection = Protection::Neither;
    // As stored; nothing for a Null field, which matches no entry, not even an empty one.
    std::optional<QString> username;
    std::optional<QString> password; // a hash, or the clear text an older file kept
};

Settings read();
// The same record of another file of this shape (a backup of links.mdb).
Settings read(const Database& db);

void markFirstRunDone();
// Only the switch: stored credentials stay for a later "Yes".
void setUnprotected();
void setProtected(const QString& username, const QString& passwordHash);
void setProtected(const Database& db, const QString& username, const QString& passwordHash);
void setPasswordHash(const QString& passwordHash);

} // namespace SettingsStore
