// Arbitrary bytes as links.mdb: opening either works or fails with a DbError, reading both
// tables never crashes, and a file that cannot be opened is left exactly as it was.

#include "data/Database.h"
#include "data/LinksDb.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void readAll(const Database& db, const QString& table, const QStringList& fields)
{
    Recordset rs = db.openRecordset(table, RecordsetType::Table);
    const int n = rs.recordCount();
    if (n == 0)
        return;
    rs.moveFirst();
    for (int i = 0; i < n && i < 1000; ++i) {
        for (const QString& field : fields)
            rs.value(field);
        rs.moveNext();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/tessary-fuzz-XXXXXX"));
    const QString path = dir.filePath(QStringLiteral("links.mdb"));
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            std::abort();
    }
    try {
        Database db = Database::open(path, LinksDb::connect());
        try {
            readAll(db, QStringLiteral("links"), {QStringLiteral("SiteName"), QStringLiteral("URL")});
        } catch (const DbError&) {
        }
        try {
            readAll(db, QStringLiteral("Other"),
                    {QStringLiteral("FirstRun"), QStringLiteral("PasswordProtected"), QStringLiteral("Username"),
                     QStringLiteral("Password")});
        } catch (const DbError&) {
        }
    } catch (const DbError&) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly) || f.readAll() != bytes)
            std::abort(); // a refused file must be left as it was
    }
    return 0;
}
