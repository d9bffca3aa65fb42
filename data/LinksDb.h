#pragma once

#include "data/Database.h"

// The program's one database file, links.mdb beside the executable, and its password.
namespace LinksDb {

QString fileName(); // "links.mdb"
QString path();     // the folder of the executable + "/links.mdb"
QString connect();  // ";PWD=" + the built-in password

// Opens links.mdb the way every window does.
Database open();

// Holds the file's keyed connection open while it lives, so that a step that reads and writes
// several times keys the file once (keying costs tens of milliseconds).
class KeepOpen {
public:
    KeepOpen() : m_db(open()) {}

private:
    Database m_db;
};

// Writes a fresh installed file at path: the two tables and the settings record of a first start.
// It is written beside path and renamed into place, so no half-written file ever stands there;
// a file already at path is left as it is. On failure returns false with the reason in *error.
bool create(const QString& path, QString* error);

// Tests and tools point the program at another folder.
void setFolder(const QString& folder);

} // namespace LinksDb
