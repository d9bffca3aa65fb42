#include "data/LinksDb.h"

#include <QCoreApplication>

namespace LinksDb {

namespace {
QString g_folder;
}

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

void setFolder(const QString& folder)
{
    g_folder = folder;
}

} // namespace LinksDb
