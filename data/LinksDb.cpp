#include "data/LinksDb.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace LinksDb {

namespace {

QString g_folder;

constexpr char Schema[] = R"sql(
BEGIN;
CREATE TABLE links (SiteName TEXT NOT NULL, URL TEXT NOT NULL);
CREATE TABLE Other (FirstRun INTEGER, PasswordProtected TEXT, Username TEXT, Password TEXT);
INSERT INTO Other (FirstRun, PasswordProtected, Username, Password) VALUES (0, 'No', '', '');
COMMIT;
)sql";

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
    try {
        Database::create(temporary, connect(), QString::fromLatin1(Schema));
    } catch (const DbError& e) {
        *error = e.description();
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
