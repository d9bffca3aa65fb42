#pragma once

#include "data/Database.h"

// The program's one database file, links.mdb beside the executable, and its password.
namespace LinksDb {

QString fileName(); // "links.mdb"
QString path();     // the folder of the executable + "/links.mdb"
QString connect();  // ";PWD=" + the built-in password

// Opens links.mdb the way every window does.
Database open();

// Tests and tools point the program at another folder.
void setFolder(const QString& folder);

} // namespace LinksDb
