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
template <typename F> void write(F&& set, const Database& db = LinksDb::open())
{
    Recordset rs = db.openRecordset(Table, RecordsetType::Table);
    rs.edit();
    set(rs);
    rs.update();
}

bool isNull(const QVariant& value)
{
    return !value.isValid() || value.isNull();
}

// FirstRun is a number; Null, text that is no number and every other value count as "not 1".
bool isOne(const QVariant& value)
{
    if (isNull(value))
        return false;
    bool isNumber = false;
    const double number = value.toDouble(&isNumber);
    return isNumber && number == 1.0;
}

Protection protectionOf(const QVariant& value)
{
    if (isNull(value))
        return Protection::Neither;
    const QString text = value.toString();
    if (text == QLatin1String("Yes"))
        return Protection::Protected;
    if (text == QLatin1String("No"))
        return Protection::Unprotected;
    return Protection::Neither;
}

std::optional<QString> textOf(const QVariant& value)
{
    if (isNull(value))
        return std::nullopt;
    return value.toString();
}

} // namespace

Settings read()
{
    return read(LinksDb::open());
}

Settings read(const Database& db)
{
    Recordset rs = db.openRecordset(Table, RecordsetType::Table);
    Settings s;
    s.firstStartDone = isOne(rs.value(FirstRun));
    s.protection = protectionOf(rs.value(PasswordProtected));
    s.username = textOf(rs.value(Username));
    s.password = textOf(rs.value(Password));
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
    setProtected(LinksDb::open(), username, passwordHash);
}

void setProtected(const Database& db, const QString& username, const QString& passwordHash)
{
    write(
        [&](Recordset& rs) {
            rs.setValue(Password, passwordHash);
            rs.setValue(Username, username);
            rs.setValue(PasswordProtected, QStringLiteral("Yes"));
        },
        db);
}

void setPasswordHash(const QString& passwordHash)
{
    write([&](Recordset& rs) { rs.setValue(Password, passwordHash); });
}

} // namespace SettingsStore
