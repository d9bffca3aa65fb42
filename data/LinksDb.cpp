#include "data/LinksDb.h"

#include "data/Connection.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace LinksDb {

namespace {

QString g_folder;

const char* const Schema = R"sql(
BEGIN;
CREATE TABLE links (SiteName TEXT NOT NULL, URL TEXT NOT NULL);
CREATE TABLE Other (FirstRun INTEGER, PasswordProtected TEXT, Username TEXT, Password TEXT);
INSERT INTO Other (FirstRun, PasswordProtected, Username, Password) VALUES (0, 'No', '', '');
COMMIT;
)sql";

bool writeSchema(const QString& path, QString* error)
{
    sqlite3* db = nullptr;
    const QByteArray name = QFile::encodeName(path);
    int rc = sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc == SQLITE_OK)
        rc = keyConnection(db, connect().section(QLatin1Char('='), 1).toUtf8());
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, Schema, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        *error = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    sqlite3_close_v2(db);
    return rc == SQLITE_OK;
}

} // namespace

QString fileName()
{
    return QStringLiteral("links.mdb");
}

QString path()
{
    const QString folder = g_folder.isEmpty() ? QCoreApplication::applicationDirPath() : g_folder;
    return folder + QLatin1Char('/') + fileName();
}

QString connect()
{
    return QStringLiteral(";PWD=vunok");
}

Database open()
{
    return Database::open(path(), connect());
}

bool create(const QString& path, QString* error)
{
    if (QFileInfo::exists(path)) {
        *error = QStringLiteral("%1 is already there; it is left as it is").arg(path);
        return false;
    }
    const QString temporary = path + QStringLiteral(".new");
    QFile::remove(temporary);
    if (!writeSchema(temporary, error)) {
        QFile::remove(temporary);
        return false;
    }
    if (!QFile::rename(temporary, path)) {
        *error = QStringLiteral("could not move the new file into place at %1").arg(path);
        QFile::remove(temporary);
        return false;
    }
    return true;
}

void setFolder(const QString& folder)
{
    g_folder = folder;
}

} // namespace LinksDb
