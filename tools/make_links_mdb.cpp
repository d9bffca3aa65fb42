// Writes a fresh installed links.mdb: encrypted with the program's database password, an empty
// table links and table Other holding its one settings record (first start pending, unprotected).
// Usage: make_links_mdb <path>. It never overwrites a file that is there.

#include "data/LinksDb.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

#include <sqlcipher/sqlite3.h>

namespace {

const char* const Schema = R"sql(
BEGIN;
CREATE TABLE links (SiteName TEXT NOT NULL, URL TEXT NOT NULL);
CREATE TABLE Other (FirstRun INTEGER, PasswordProtected TEXT, Username TEXT, Password TEXT);
INSERT INTO Other (FirstRun, PasswordProtected, Username, Password) VALUES (0, 'No', '', '');
COMMIT;
)sql";

bool write(const QString& path, const QByteArray& password)
{
    sqlite3* db = nullptr;
    const QByteArray name = QFile::encodeName(path);
    int rc = sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_key(db, password.constData(), int(password.size()));
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, "PRAGMA cipher_compatibility = 3", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, Schema, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        std::fprintf(stderr, "make_links_mdb: %s\n", db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    sqlite3_close_v2(db);
    return rc == SQLITE_OK;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_links_mdb <path of the new links.mdb>\n");
        return 2;
    }
    const QString target = QString::fromLocal8Bit(argv[1]);
    if (QFileInfo::exists(target)) {
        std::fprintf(stderr, "make_links_mdb: %s is already there; it is left as it is\n", argv[1]);
        return 1;
    }
    const QString password = LinksDb::connect().section(QLatin1Char('='), 1);

    // Written beside the target and renamed into place, so no half-written file ever stands there.
    const QString temporary = target + QStringLiteral(".new");
    QFile::remove(temporary);
    if (!write(temporary, password.toUtf8())) {
        QFile::remove(temporary);
        return 1;
    }
    if (!QFile::rename(temporary, target)) {
        std::fprintf(stderr, "make_links_mdb: could not move the new file into place\n");
        QFile::remove(temporary);
        return 1;
    }
    return 0;
}
