#pragma once

#include <QString>
#include <QVariant>

// The one settings record of links.mdb (table Other): the only code that knows its fields. The
// values are read as stored (a field may be Null or of another type in an old or damaged file);
// every write is in the file when the call returns, and a failure throws DbError.
namespace SettingsStore {

struct Settings {
    QVariant firstRun;
    QVariant passwordProtected;
    QVariant username;
    QVariant password; // a hash, or the clear text an older file kept
};

Settings read();

void markFirstRunDone();
// Only the switch: stored credentials stay for a later "Yes".
void setUnprotected();
void setProtected(const QString& username, const QString& passwordHash);
void setPasswordHash(const QString& passwordHash);

} // namespace SettingsStore
