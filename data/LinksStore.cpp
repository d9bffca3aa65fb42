#include "data/LinksStore.h"

#include "data/Database.h"
#include "data/LinksDb.h"
#include "data/Query.h"
#include "data/SettingsStore.h"
#include "vault/Vault.h"

#include <QCryptographicHash>

namespace {

const QString Table = QStringLiteral("links");
const QString Name = QStringLiteral("SiteName");
const QString Address = QStringLiteral("URL");
// What a sealed name or address is bound to: a sealed name moved into the address no longer opens.
constexpr QByteArrayView NameContext("links.SiteName");
constexpr QByteArrayView AddressContext("links.URL");

// Runs one step of the letter filter; a failing step is passed over and the next one runs.
template <typename F> void skipOnFailure(F&& step)
{
    try {
        step();
    } catch (const DbError&) {
    }
}

// The key of this program's log-in, and what was last read with it. Sealed names cannot be sorted,
// matched or compared by the engine, so while a key is held every command would otherwise open
// every name again: the links as last read are kept, valid while the file's version is the one
// they were read at, and the store's own writes bring them up to date.
struct KeyState {
    std::shared_ptr<const vault::Key> key;
    QString hash; // the stored password hash the key was derived for
    struct Snapshot {
        std::optional<Database::Version> version; // nothing: no links kept
        LinkNames names;
        std::optional<QStringList> urls; // in the order of names.ids; nothing until all() needed them
    } snapshot;
};

KeyState& keyState()
{
    static KeyState state;
    return state;
}

[[noreturn]] void notAuthentic(const QString& path = LinksDb::path())
{
    throw DbError(DbErr::NotAuthentic,
                  QStringLiteral("'%1' is damaged: a link in it does not decrypt with your credentials. Nothing "
                                 "was shown or changed.")
                      .arg(path));
}

[[noreturn]] void keyChanged()
{
    throw DbError(DbErr::KeyChanged, QStringLiteral("Another copy of the program changed the protection of '%1'. "
                                                    "Please start the program again and log in.")
                                         .arg(LinksDb::path()));
}

// Whether the file is still protected with the key this program holds.
bool keyStillFits()
{
    const SettingsStore::Settings settings = SettingsStore::read();
    return settings.protection == SettingsStore::Protection::Protected && settings.password == keyState().hash;
}

// A stored text opened with `key` (nullptr: none), as it is when not sealed; a sealed one that does
// not open means the file at `path` is damaged.
QString openedWith(const vault::Key* key, const QString& stored, QByteArrayView context, const QString& path)
{
    if (!vault::looksSealed(stored))
        return stored;
    std::optional<QString> plain = key ? vault::open(*key, stored, context) : std::nullopt;
    if (!plain)
        notAuthentic(path);
    return std::move(*plain);
}

// Stored texts as the user sees them, for one command.
class Reader {
public:
    QString shown(const QString& stored, QByteArrayView context);

private:
    std::optional<bool> m_fileProtected;
};

QString Reader::shown(const QString& stored, QByteArrayView context)
{
    if (!vault::looksSealed(stored))
        return stored;
    const KeyState& state = keyState();
    if (!state.key) {
        // Sealed by another copy that turned protection on meanwhile, or a plain name that merely
        // looks like a sealed one.
        if (!m_fileProtected)
            m_fileProtected = SettingsStore::read().protection == SettingsStore::Protection::Protected;
        if (*m_fileProtected)
            keyChanged();
        return stored;
    }
    std::optional<QString> plain = vault::open(*state.key, stored, context);
    if (!plain) {
        if (!keyStillFits())
            keyChanged();
        notAuthentic();
    }
    return std::move(*plain);
}

QString toStore(const QString& plain, QByteArrayView context)
{
    const KeyState& state = keyState();
    return state.key ? vault::seal(*state.key, plain, context) : plain;
}

// A write while the program holds a key runs in a transaction that first makes sure the file is
// still protected with that key: another copy may have changed the credentials meanwhile. When
// the links last read were current, the write's own change is applied to them afterwards.
class WriteGuard {
public:
    using Patch = std::function<void(KeyState::Snapshot&)>;

    explicit WriteGuard(const Database& db) : m_db(db)
    {
        if (!keyState().key)
            return;
        m_transaction.emplace(db);
        if (!keyStillFits())
            keyChanged();
        KeyState::Snapshot& snapshot = keyState().snapshot;
        m_snapshotCurrent = snapshot.version == db.version();
        snapshot.version.reset();
    }

    void commit(const Patch& patch)
    {
        if (!m_transaction)
            return;
        m_transaction->commit();
        if (!m_snapshotCurrent)
            return;
        KeyState::Snapshot& snapshot = keyState().snapshot;
        patch(snapshot);
        snapshot.version = m_db.version();
    }

private:
    const Database& m_db;
    std::optional<Transaction> m_transaction;
    bool m_snapshotCurrent = false;
};

// Where the link with this identity stands in the snapshot (identities ascend), -1 when not there.
qsizetype indexIn(const KeyState::Snapshot& snapshot, qint64 id)
{
    const QList<qint64>& ids = snapshot.names.ids;
    const auto it = std::lower_bound(ids.cbegin(), ids.cend(), id);
    return it != ids.cend() && *it == id ? it - ids.cbegin() : -1;
}

Recordset openTable(const Database& db)
{
    return db.openRecordset(Table, RecordsetType::Table);
}

// Every name in stored order, through a table cursor, as stored.
LinkNames readStoredNames(const Database& db)
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

LinkNames readNames(const Database& db)
{
    KeyState::Snapshot& snapshot = keyState().snapshot;
    const bool keep = bool(keyState().key);
    Database::Version version;
    if (keep) {
        version = db.version();
        if (snapshot.version == version)
            return snapshot.names;
    }
    LinkNames all = readStoredNames(db);
    Reader reader;
    for (QString& name : all.names)
        name = reader.shown(name, NameContext);
    if (keep)
        snapshot = {version, all, std::nullopt};
    return all;
}

// Every link in stored order, as stored.
QList<Link> readStored(const Database& db)
{
    Recordset rs = openTable(db);
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

// The record with this identity when it still holds exactly `seen`.
Recordset openSeen(const Database& db, const Link& seen)
{
    Recordset record = db.openRecord(Table, seen.id);
    if (!record.hasCurrentRecord())
        return record;
    Reader reader;
    if (!sameName(reader.shown(record.text(Name), NameContext), seen.name) ||
        reader.shown(record.text(Address), AddressContext) != seen.url)
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
    const Database db = LinksDb::open();
    KeyState::Snapshot& snapshot = keyState().snapshot;
    const bool keep = bool(keyState().key);
    if (keep && snapshot.urls && snapshot.version == db.version()) {
        QList<Link> links;
        links.reserve(snapshot.names.ids.size());
        for (qsizetype i = 0; i < snapshot.names.ids.size(); ++i)
            links.append(Link{snapshot.names.names[i], (*snapshot.urls)[i], snapshot.names.ids[i]});
        return links;
    }
    const Database::Version version = keep ? db.version() : Database::Version{};
    QList<Link> links = readStored(db);
    Reader reader;
    for (Link& link : links) {
        link.name = reader.shown(link.name, NameContext);
        link.url = reader.shown(link.url, AddressContext);
    }
    if (keep) {
        snapshot = {version, {}, QStringList()};
        snapshot.names.names.reserve(links.size());
        snapshot.names.ids.reserve(links.size());
        snapshot.urls->reserve(links.size());
        for (const Link& link : links) {
            snapshot.names.names.append(link.name);
            snapshot.names.ids.append(link.id);
            snapshot.urls->append(link.url);
        }
    }
    return links;
}

LinkNames LinksStore::namesStartingWith(const QString& letter)
{
    if (keyState().key) {
        // Sealed names cannot be matched by the engine: the same test on the opened names, in
        // the engine's order.
        const QString pattern = letter + QLatin1Char('*');
        LinkNames all = names();
        LinkNames found;
        for (qsizetype i = 0; i < all.names.size(); ++i) {
            if (likeMatches(all.names[i], pattern)) {
                found.names.append(std::move(all.names[i]));
                found.ids.append(all.ids[i]);
            }
        }
        return found;
    }
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
    Reader reader;
    return Link{reader.shown(record.text(Name), NameContext), reader.shown(record.text(Address), AddressContext),
                id};
}

bool LinksStore::nameTaken(const QString& name)
{
    if (keyState().key) {
        const LinkNames all = names();
        return std::any_of(all.names.cbegin(), all.names.cend(),
                           [&name](const QString& stored) { return sameName(stored, name); });
    }
    // The engine's equality ignores letter case, so it narrows the table to the candidates and
    // each candidate is compared exactly here.
    Recordset candidates =
        LinksDb::open().openRecordset(QStringLiteral("Select * from links where SiteName = ") + sqlQuote(name));
    if (candidates.recordCount() == 0)
        return false;
    candidates.moveLast();
    const int count = candidates.recordCount();
    candidates.moveFirst();
    Reader reader;
    for (int i = 0; i < count; ++i) {
        if (sameName(reader.shown(candidates.text(Name), NameContext), name))
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
    Database db = LinksDb::open();
    {
        WriteGuard guard(db);
        Recordset rs = openTable(db);
        rs.addNew();
        rs.setValue(Name, toStore(name, NameContext));
        rs.setValue(Address, toStore(storedAddress(url), AddressContext));
        rs.update();
        guard.commit([&](KeyState::Snapshot& snapshot) {
            snapshot.names.names.append(name);
            snapshot.names.ids.append(rs.lastModified());
            if (snapshot.urls)
                snapshot.urls->append(storedAddress(url));
        });
    }
    announce(Change::Added);
}

bool LinksStore::change(const Link& seen, const QString& name, const QString& url)
{
    Database db = LinksDb::open();
    {
        WriteGuard guard(db);
        Recordset record = openSeen(db, seen);
        if (!record.hasCurrentRecord())
            return false;
        record.edit();
        record.setValue(Name, toStore(name, NameContext));
        record.setValue(Address, toStore(storedAddress(url), AddressContext));
        record.update();
        guard.commit([&](KeyState::Snapshot& snapshot) {
            const qsizetype at = indexIn(snapshot, seen.id);
            if (at < 0)
                return;
            snapshot.names.names[at] = name;
            if (snapshot.urls)
                (*snapshot.urls)[at] = storedAddress(url);
        });
    }
    announce(Change::Edited);
    return true;
}

bool LinksStore::remove(const Link& seen)
{
    Database db = LinksDb::open();
    {
        WriteGuard guard(db);
        Recordset record = openSeen(db, seen);
        if (!record.hasCurrentRecord())
            return false;
        record.deleteRecord();
        guard.commit([&](KeyState::Snapshot& snapshot) {
            const qsizetype at = indexIn(snapshot, seen.id);
            if (at < 0)
                return;
            snapshot.names.names.removeAt(at);
            snapshot.names.ids.removeAt(at);
            if (snapshot.urls)
                snapshot.urls->removeAt(at);
        });
    }
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

LinksStore::AddAllResult LinksStore::addAll(QList<Link> links, const std::function<bool(int done)>& progress,
                                            const std::function<QString(const QString&)>& asGiven)
{
    AddAllResult result;
    Database db = LinksDb::open();
    {
        // One transaction: a failure, a kill or a cancel part-way leaves the file as it was.
        Transaction transaction(db, Transaction::Size::Large);
        if (keyState().key && !keyStillFits())
            keyChanged();
        NameSet stored, met;
        {
            const LinkNames inFile = readNames(db);
            stored.reserve(inFile.names.size());
            for (const QString& name : inFile.names) {
                stored.insert(name);
                if (asGiven)
                    stored.insert(asGiven(name));
            }
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
                table.setValue(Name, toStore(link.name, NameContext));
                table.setValue(Address, toStore(storedAddress(link.url), AddressContext));
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
    if (keyState().key) {
        // Sealed texts are opened first; the snapshot keeps the opened links.
        for (const Link& opened : all())
            link(opened.id, opened.name.toUtf8(), opened.url.toUtf8());
        return;
    }
    Recordset rs = openTable(LinksDb::open());
    rs.readUtf8({Name, Address},
                [&link](qint64 id, const QList<QByteArrayView>& bytes) { link(id, bytes[0], bytes[1]); });
}

qint64 LinksStore::fileVersion()
{
    return LinksDb::open().version().others;
}

void LinksStore::useKey(std::shared_ptr<const vault::Key> key, const QString& passwordHash)
{
    KeyState& state = keyState();
    state.snapshot = {};
    state.key = std::move(key);
    state.hash = state.key ? passwordHash : QString();
}

std::shared_ptr<const vault::Key> LinksStore::key()
{
    return keyState().key;
}

bool LinksStore::anyStoredPlain()
{
    // The stored bytes are enough to tell: no text is made of them.
    bool plain = false;
    openTable(LinksDb::open()).readUtf8({Name, Address}, [&plain](qint64, const QList<QByteArrayView>& bytes) {
        plain = plain || !vault::looksSealed(bytes[0]) || !vault::looksSealed(bytes[1]);
    });
    return plain;
}

void LinksStore::reseal(const std::shared_ptr<const vault::Key>& from, std::shared_ptr<const vault::Key> key,
                        const QString& passwordHash, const std::function<void()>& alsoInTransaction,
                        const std::function<void(int done, int total)>& progress)
{
    resealIn(LinksDb::open(), from, key, alsoInTransaction, progress);
    useKey(std::move(key), passwordHash);
}

void LinksStore::resealIn(const Database& db, const std::shared_ptr<const vault::Key>& from,
                          const std::shared_ptr<const vault::Key>& key,
                          const std::function<void()>& alsoInTransaction,
                          const std::function<void(int done, int total)>& progress)
{
    const QString path = db.path();
    const auto open = [&from, &path](const QString& stored, QByteArrayView context) {
        return openedWith(from.get(), stored, context, path);
    };
    // A text stays as it is when it is stored the way the new key wants it already.
    const auto storedFor = [&](const QString& stored, QByteArrayView context) -> std::optional<QString> {
        if (key && from == key && vault::looksSealed(stored)) {
            open(stored, context); // still proves the text whole
            return std::nullopt;
        }
        const QString plain = open(stored, context);
        if (!key)
            return plain == stored ? std::nullopt : std::optional<QString>(plain);
        return vault::seal(*key, plain, context);
    };

    Transaction transaction(db);
    Recordset table = openTable(db);
    const int total = table.recordCount();
    int done = 0;
    table.rewriteAll({Name, Address}, [&](qint64, QStringList& texts) {
        if (progress && done % 1000 == 0)
            progress(done, total);
        ++done;
        if (const std::optional<QString> name = storedFor(texts[0], NameContext))
            texts[0] = *name;
        if (const std::optional<QString> url = storedFor(texts[1], AddressContext))
            texts[1] = *url;
    });
    if (alsoInTransaction)
        alsoInTransaction();
    if (progress)
        progress(total, total);
    transaction.commit();
}

int LinksStore::countIn(const Database& db)
{
    return openTable(db).recordCount();
}

QByteArray LinksStore::digestIn(const Database& db)
{
    QCryptographicHash digest(QCryptographicHash::Blake2b_256);
    for (const Link& link : readStored(db)) {
        // Lengths first, so no two different lists ever feed the same bytes.
        const QByteArray name = link.name.toUtf8();
        const QByteArray url = link.url.toUtf8();
        const qint64 head[3] = {link.id, name.size(), url.size()};
        digest.addData(QByteArrayView(reinterpret_cast<const char*>(head), sizeof head));
        digest.addData(name);
        digest.addData(url);
    }
    return digest.result();
}

void LinksStore::checkOpensIn(const Database& db, const std::shared_ptr<const vault::Key>& key)
{
    // Every link is read, so each proves readable with its two fields. Without a key nothing is
    // sealed: a plain name may merely look like a sealed one.
    const QList<Link> links = readStored(db);
    if (!key)
        return;
    for (const Link& link : links) {
        openedWith(key.get(), link.name, NameContext, db.path());
        openedWith(key.get(), link.url, AddressContext, db.path());
    }
}
