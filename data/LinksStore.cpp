#include "data/LinksStore.h"

#include "data/Connection.h"
#include "data/Database.h"
#include "data/LinksDb.h"

#include <QScopeGuard>

namespace {

const QString Table = QStringLiteral("links");
const QString Name = QStringLiteral("SiteName");
const QString Address = QStringLiteral("URL");

// Runs one step of the letter filter; a failing step is passed over and the next one runs.
template <typename F> void skipOnFailure(F&& step)
{
    try {
        step();
    } catch (const DbError&) {
    }
}

Recordset openTable(const Database& db)
{
    return db.openRecordset(Table, RecordsetType::Table);
}

// The record with this identity when it still holds exactly `seen`.
Recordset openSeen(const Database& db, const Link& seen)
{
    Recordset record = db.openRecord(Table, seen.id);
    if (record.hasCurrentRecord() && (record.text(Name) != seen.name || record.text(Address) != seen.url))
        return {};
    return record;
}

} // namespace

LinksStore& LinksStore::instance()
{
    static LinksStore store;
    return store;
}

void LinksStore::announce(Change change)
{
    Q_EMIT instance().changed(change);
}

int LinksStore::count()
{
    return openTable(LinksDb::open()).recordCount();
}

LinkNames LinksStore::names()
{
    LinkNames all;
    Recordset rs = openTable(LinksDb::open());
    const int n = rs.recordCount();
    if (n > 0) {
        rs.moveFirst();
        // The whole loop in one statement: a refill of many names costs one scan.
        rs.readTexts(Name, n, all.names, all.ids);
    }
    return all;
}

QList<Link> LinksStore::all()
{
    Database db = LinksDb::open();
    QList<Link> links;
    Connection::Statement st =
        db.connection()->prepare(QStringLiteral("SELECT rowid, SiteName, URL FROM links ORDER BY rowid"));
    while (st.step())
        links.append(Link{st.int64(0), st.text(1), st.text(2)});
    return links;
}

LinkNames LinksStore::namesStartingWith(const QString& letter)
{
    Database db = LinksDb::open();
    Recordset rs = db.openRecordset(QStringLiteral("SELECT * FROM links WHERE SiteName LIKE '") + letter +
                                    QStringLiteral("'") + QStringLiteral("& '*'"));
    LinkNames found;
    int count = 0;
    skipOnFailure([&] { rs.moveLast(); });
    skipOnFailure([&] { rs.moveFirst(); });
    skipOnFailure([&] { count = rs.recordCount(); });
    skipOnFailure([&] { rs.moveFirst(); });
    for (int i = 0; i < count; ++i) {
        skipOnFailure([&] {
            const QString name = rs.text(Name);
            found.ids.append(rs.id());
            found.names.append(name);
        });
        skipOnFailure([&] { rs.moveNext(); });
    }
    return found;
}

std::optional<Link> LinksStore::read(qint64 id)
{
    Recordset record = LinksDb::open().openRecord(Table, id);
    if (!record.hasCurrentRecord())
        return std::nullopt;
    return Link{id, record.text(Name), record.text(Address)};
}

bool LinksStore::nameTaken(const QString& name)
{
    // The engine's equality ignores letter case, so it narrows the table to the candidates and
    // each candidate is compared exactly here.
    Recordset candidates =
        LinksDb::open().openRecordset(QStringLiteral("Select * from links where SiteName = ") + sqlQuote(name));
    if (candidates.recordCount() == 0)
        return false;
    candidates.moveLast();
    const int count = candidates.recordCount();
    candidates.moveFirst();
    for (int i = 0; i < count; ++i) {
        if (candidates.text(Name) == name)
            return true;
        candidates.moveNext();
    }
    return false;
}

QString LinksStore::storedAddress(const QString& url)
{
    return url.isEmpty() ? QStringLiteral("None") : url;
}

void LinksStore::add(const QString& name, const QString& url)
{
    Recordset rs = openTable(LinksDb::open());
    rs.addNew();
    rs.setValue(Name, name);
    rs.setValue(Address, storedAddress(url));
    rs.update();
    announce(Change::Added);
}

bool LinksStore::change(const Link& seen, const QString& name, const QString& url)
{
    Recordset record = openSeen(LinksDb::open(), seen);
    if (!record.hasCurrentRecord())
        return false;
    record.edit();
    record.setValue(Name, name);
    record.setValue(Address, storedAddress(url));
    record.update();
    announce(Change::Edited);
    return true;
}

bool LinksStore::remove(const Link& seen)
{
    Recordset record = openSeen(LinksDb::open(), seen);
    if (!record.hasCurrentRecord())
        return false;
    record.deleteRecord();
    announce(Change::Deleted);
    return true;
}

void LinksStore::removeAll()
{
    Database db = LinksDb::open();
    {
        // All or nothing: a failure part-way leaves every link in place.
        Transaction transaction(db);
        db.execute(QStringLiteral("DELETE FROM links"));
        transaction.commit();
    }
    announce(Change::DeletedAll);
}

void LinksStore::reload()
{
    announce(Change::Reloaded);
}

bool LinksStore::addAll(QList<Link> links, const std::function<bool(int done)>& progress)
{
    Database db = LinksDb::open();
    {
        // A small page cache for the bulk insert: what does not fit is written to the file within
        // the transaction (the journal still undoes it), not held in memory to the end.
        db.execute(QStringLiteral("PRAGMA cache_size = -4096"));
        const auto restoreCache = qScopeGuard([&db] {
            try {
                db.execute(QStringLiteral("PRAGMA cache_size = -32768"));
            } catch (const DbError&) {
                // Only a larger cache is lost; the links are as the transaction left them.
            }
        });
        // One transaction: a failure, a kill or a cancel part-way leaves the file as it was.
        Transaction transaction(db);
        const QString insert = QStringLiteral("INSERT INTO links (SiteName, URL) VALUES (?1, ?2)");
        for (qsizetype i = 0; i < links.size(); ++i) {
            if (progress && i % 1000 == 0 && !progress(int(i)))
                return false;
            db.execute(insert, {links[i].name, storedAddress(links[i].url)});
        }
        if (progress && !progress(int(links.size())))
            return false;
        transaction.commit();
    }
    links = {};
    announce(Change::Imported);
    return true;
}

void LinksStore::forEach(const std::function<void(qint64 id, QByteArrayView name, QByteArrayView url)>& link)
{
    Database db = LinksDb::open();
    Connection::Statement st =
        db.connection()->prepare(QStringLiteral("SELECT rowid, SiteName, URL FROM links ORDER BY rowid"));
    QByteArray name, url;
    while (st.step()) {
        QByteArrayView nameBytes, urlBytes;
        // A value stored as a number reads as all() reads it.
        if (!st.utf8(1, nameBytes))
            nameBytes = name = st.text(1).toUtf8();
        if (!st.utf8(2, urlBytes))
            urlBytes = url = st.text(2).toUtf8();
        link(st.int64(0), nameBytes, urlBytes);
    }
}

qint64 LinksStore::fileVersion()
{
    return LinksDb::open().connection()->dataVersion();
}
