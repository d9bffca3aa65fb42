// Writes a fresh installed links.mdb: encrypted with the program's database password, an empty
// table links and table Other holding its one settings record (first start pending, unprotected).
// Usage: make_links_mdb <path>. It never overwrites a file that is there.

#include "data/LinksDb.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_links_mdb <path of the new links.mdb>\n");
        return 2;
    }
    QString error;
    if (!LinksDb::create(QString::fromLocal8Bit(argv[1]), &error)) {
        std::fprintf(stderr, "make_links_mdb: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
