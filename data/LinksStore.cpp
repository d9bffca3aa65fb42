#include "data/LinksStore.h"

#include "data/Database.h"
#include "data/LinksDb.h"

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

// Every name in stored order, through a table cursor.
LinkNames readNames(const Database& db)
{
    LinkNames all;
    Recordset rs = openTable(db);
    const int n = rs.recordCount();
    if (n > 0) {
        rs.moveFirst();
        // The whole loop in one statement: a refill of many names costs one scan.
        rs.readTexts(Name, n, all.names, all.ids);
    }
    return all;
}

// The record with this identity when it still holds exactly `seen`.
Recordset openSeen(const Database& db, const Link& seen)
{
    Recordset record = db.openRecord(Table, seen.id);
    if (record.hasCurrentRecord() && (!sameName(record.text(Name), seen.name) || record.text(Address) != seen.url))
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
    return readNames(LinksDb::open());
}

QList<Link> LinksStore::all()
{
    Recordset rs = openTable(LinksDb::open());
    const int n = rs.recordCount();
    QList<QStringList> texts;
    QList<qint64> ids;
    if (n > 0) {
        rs.moveFirst();
        rs.readTexts({Name, Address}, n, texts, ids);
    }
    QList<Link> links;
    links.reserve(ids.size());
    for (qsizetype i = 0; i < ids.size(); ++i)
        links.append(Link{std::move(texts[0][i]), std::move(texts[1][i]), ids[i]});
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
    return Link{record.text(Name), record.text(Address), id};
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
        if (sameName(candidates.text(Name), name))
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
        openTable(db).deleteAll();
        transaction.commit();
    }
    announce(Change::DeletedAll);
}

void LinksStore::reload()
{
    announce(Change::Reloaded);
}

LinksStore::AddAllResult LinksStore::addAll(QList<Link> links, const std::function<bool(int done)>& progress)
{
    AddAllResult result;
    Database db = LinksDb::open();
    {
        // One transaction: a failure, a kill or a cancel part-way leaves the file as it was.
        Transaction transaction(db, Transaction::Size::Large);
        NameSet stored, met;
        {
            const LinkNames inFile = readNames(db);
            stored.reserve(inFile.names.size());
            for (const QString& name : inFile.names)
                stored.insert(name);
        }
        met.reserve(links.size());
        Recordset table = openTable(db);
        for (qsizetype i = 0; i < links.size(); ++i) {
            if (progress && i % 1000 == 0 && !progress(int(i)))
                return result;
            Link& link = links[i];
            if (!met.insert(link.name)) {
                ++result.repeated;
            } else if (stored.contains(link.name)) {
                ++result.existing;
            } else {
                table.addNew();
                table.setValue(Name, link.name);
                table.setValue(Address, storedAddress(link.url));
                table.update();
                ++result.added;
            }
        }
        if (progress && !progress(int(links.size())))
            return result;
        transaction.commit();
    }
    links = {};
    result.done = true;
    announce(Change::Imported);
    return result;
}

void LinksStore::forEach(const std::function<void(qint64 id, QByteArrayView name, QByteArrayView url)>& link)
{
    Recordset rs = openTable(LinksDb::open());
    rs.readUtf8({Name, Address}, [&link](qint64 id, const QList<QByteArrayView>& bytes) {
        link(id, bytes[0], bytes[1]);
    });
}

qint64 LinksStore::fileVersion()
{
    return LinksDb::open().version().others;
}
