#pragma once

#include "data/Link.h"

#include <QByteArrayView>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class Database;
namespace vault {
class Key;
}

// Names of links with the identity of the record each came from, in the order read.
struct LinkNames {
    QStringList names;
    QList<qint64> ids;
};

// The links in links.mdb: the only code that knows their table and fields. Every write is in the
// file when the call returns; a failure throws DbError and leaves the file as it was. Each change
// is announced once, through changed(), to whoever shows the links.
//
// While the program holds the key of a log-in (data/Protection.h), names and addresses are stored
// sealed with it and every read opens them: callers see plain links either way. A stored text
// that does not open throws DbError NotAuthentic (the file is damaged or tampered with), never
// garbage; one sealed with a key that another copy set meanwhile throws KeyChanged.
class LinksStore : public QObject {
    Q_OBJECT

public:
    // Reloaded: the file changed behind this program's back; read the links again.
    enum class Change { Added, Edited, Deleted, DeletedAll, Imported, Reloaded };
    Q_ENUM(Change)

    // The one object that announces changes.
    static LinksStore& instance();

    static int count();
    // Every name in stored order.
    static LinkNames names();
    // Every link, in stored order.
    static QList<Link> all();
    // The names that begin with letter (ignoring case), in the engine's order. A step that fails
    // is passed over and the next one runs, so a damaged record never hides the others.
    static LinkNames namesStartingWith(const QString& letter);
    // The record with this identity; nothing when there is none.
    static std::optional<Link> read(qint64 id);

    // Whether a link already carries exactly this name (letter case and blanks count).
    static bool nameTaken(const QString& name);
    // The address as it is stored: an empty one becomes "None".
    static QString storedAddress(const QString& url);

    static void add(const QString& name, const QString& url);
    // Writes only while the record still holds exactly `seen`: an identity freed by a delete is
    // handed to the next new link. False, with nothing written, when it is gone or changed.
    static bool change(const Link& seen, const QString& name, const QString& url);
    static bool remove(const Link& seen);
    static void removeAll();
    // Tells whoever shows the links to read them again.
    static void reload();

    // The key the links are sealed with from now on, with the stored password hash it belongs to;
    // nullptr and an empty hash: stored plain. Set by the protection steps only.
    static void useKey(std::shared_ptr<const vault::Key> key, const QString& passwordHash);
    static std::shared_ptr<const vault::Key> key();

    // Stores every link again for `key` (sealed with it, or plain for nullptr), in one transaction
    // with alsoInTransaction (the settings change that goes with it), and uses that key from then
    // on. Stored texts are read with `from` (sealed ones; plain ones as they are); links already
    // stored as `key` wants them are not written again. progress(done, total) runs now and then.
    // All or nothing: a failure or a kill leaves every link as it was.
    static void reseal(const std::shared_ptr<const vault::Key>& from, std::shared_ptr<const vault::Key> key,
                       const QString& passwordHash, const std::function<void()>& alsoInTransaction,
                       const std::function<void(int done, int total)>& progress = {});
    // Whether any name or address is stored plain (an older program kept them so while protected).
    static bool anyStoredPlain();

    // The links of another file of this shape (a backup of links.mdb), as stored there: the key
    // this program holds plays no part.
    static int countIn(const Database& db);
    // A digest of every link with its identity, as stored: two files with the same digest hold the
    // same links byte for byte.
    static QByteArray digestIn(const Database& db);
    // Reads every link of the file (a DbError when one cannot be read) and throws DbError
    // NotAuthentic, naming the file, unless every sealed one opens with `key` (nullptr: none is
    // sealed, nothing to open).
    static void checkOpensIn(const Database& db, const std::shared_ptr<const vault::Key>& key);
    // reseal() on another file: stores every link there again for `key`, read with `from`, in one
    // transaction with alsoInTransaction. Throws NotAuthentic, naming the file, for a link that
    // `from` does not open. The key this program holds stays as it is.
    static void resealIn(const Database& db, const std::shared_ptr<const vault::Key>& from,
                         const std::shared_ptr<const vault::Key>& key,
                         const std::function<void()>& alsoInTransaction,
                         const std::function<void(int done, int total)>& progress = {});

    struct AddAllResult {
        bool done = false; // false: cancelled, nothing added
        int added = 0;
        int existing = 0; // skipped: the name is stored already
        int repeated = 0; // skipped: the name came earlier in the list given
    };
    // Adds, in one transaction and in the order given, every link whose name is neither stored
    // nor met earlier in `links`; identities in `links` are ignored. The stored names are read
    // once, inside the transaction, so another copy cannot slip the same name in meanwhile; a
    // stored name also counts as `asGiven(name)` when that is given (how the source of `links`
    // gives back a name it cannot carry as it is). progress(done) runs now and then; when it
    // returns false nothing is added. The list is let go before the change is announced, so a
    // large import and the rebuild of its list are never held in memory at once.
    static AddAllResult addAll(QList<Link> links, const std::function<bool(int done)>& progress = {},
                               const std::function<QString(const QString&)>& asGiven = {});

    // A number that changes once another program has written to links.mdb; this program's own
    // changes are announced through changed() instead. Cheap enough to ask before every search.
    static qint64 fileVersion();

    // Every link in stored order, handed over one at a time as UTF-8 without a QString in between
    // (for reading very many links into a compact form of one's own).
    static void forEach(const std::function<void(qint64 id, QByteArrayView name, QByteArrayView url)>& link);

Q_SIGNALS:
    void changed(LinksStore::Change change);

private:
    LinksStore() = default;
    static void announce(Change change);
};
