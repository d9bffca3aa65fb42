#include "data/SettingsStore.h"

#include "data/Database.h"
#include "data/LinksDb.h"

namespace SettingsStore {

namespace {

const QString Table = QStringLiteral("Other");
const QString FirstRun = QStringLiteral("FirstRun");
const QString PasswordProtected = QStringLiteral("PasswordProtected");
const QString Username = QStringLiteral("Username");
const QString Password = QStringLiteral("Password");

// Opens the record for editing, lets set fill the buffer, writes it.
template <typename F> void write(F&& set)
{
    Database db = LinksDb::open();
    Recordset rs = db.openRecordset(Table, RecordsetType::Table);
    rs.edit();
    set(rs);
    rs.update();
}

} // namespace

Settings read()
{
    Database db = LinksDb::open();
    Recordset rs = db.openRecordset(Table, RecordsetType::Table);
    Settings s;
    s.firstRun = rs.value(FirstRun);
    s.passwordProtected = rs.value(PasswordProtected);
    s.username = rs.value(Username);
    s.password = rs.value(Password);
    return s;
}

void markFirstRunDone()
{
    write([](Recordset& rs) { rs.setValue(FirstRun, QVariant::fromValue<qint16>(1)); });
}

void setUnprotected()
{
    write([](Recordset& rs) { rs.setValue(PasswordProtected, QStringLiteral("No")); });
}

void setProtected(const QString& username, const QString& passwordHash)
{
    write([&](Recordset& rs) {
        rs.setValue(Password, passwordHash);
        rs.setValue(Username, username);
        rs.setValue(PasswordProtected, QStringLiteral("Yes"));
    });
}

void setPasswordHash(const QString& passwordHash)
{
    write([&](Recordset& rs) { rs.setValue(Password, passwordHash); });
}

} // namespace SettingsStore
