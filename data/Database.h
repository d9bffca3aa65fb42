#pragma once

#include "data/DbError.h"

#include <QString>
#include <QByteArrayView>
#include <QVariant>
#include <functional>
#include <memory>

// The database engine the windows use: a Database opened on an encrypted file and cursors
// (Recordset) shaped like the desktop database object model the program was designed around.
//
// Every Database opened on the same file in one process shares one keyed connection (keying
// costs a key derivation, far too slow for every click). Writes are durable when the call
// returns. A write transaction, when one is open, is shared by every Database of the file.
// The stores reach their tables through cursors only; the connection itself (data/Connection.h)
// stays inside the engine. A worker thread may open and use files of its own, never one that the
// windows hold open.

class Connection;
class Recordset;

enum class RecordsetType {
    Default, // a query cursor for a query text (an updatable dynaset)
    Table,   // dbOpenTable: a table cursor on a whole table in stored order
};

class Database {
public:
    Database(); // holds nothing; every call but isOpen() throws
    ~Database();
    Database(Database&&) noexcept;
    Database& operator=(Database&&) noexcept;
    Database(const Database&);
    Database& operator=(const Database&);

    // DBEngine.OpenDatabase(Name, Options=False, ReadOnly=False, Connect=";PWD=...").
    // Never creates the file. Throws DbError: FileNotFound, NotADatabase, WrongPassword,
    // Corrupt, CannotOpen, EngineFailure.
    static Database open(const QString& path, const QString& connect);

    // Writes a new encrypted file at path, keyed with the connect string's password, holding what
    // the statements make. A file already at path is an error. Throws DbError; a file left
    // half-made is the caller's to remove.
    static void create(const QString& path, const QString& connect, const QString& statements);

    bool isOpen() const;
    QString path() const;

    // A table name with RecordsetType::Table gives a table cursor; a query text of the
    // dialect (see data/Query.h) gives a query cursor. Throws TableNotFound, SyntaxError...
    Recordset openRecordset(const QString& source, RecordsetType type = RecordsetType::Default) const;

    // A query cursor holding exactly the record with this identity, or no record when it is gone.
    Recordset openRecord(const QString& table, qint64 id) const;

    // An explicit write transaction (BEGIN IMMEDIATE ... COMMIT) for a command that must be all or
    // nothing. Without one, every Update and Delete commits on its own.
    void beginTrans() const;
    void commitTrans() const;
    void rollback() const;

    // Runs one statement of our own (never with user text pasted in) with optional bound values and
    // returns the number of rows changed. For tools and tests that set up or inspect a file; the
    // program's stores go through cursors.
    int execute(const QString& sql, const QVariantList& params = {}) const;

    // The engine's own check of every page and index: "ok", or what it found wrong.
    QString integrityCheck() const;

    // Writes a copy of this database's file to a new file at path: byte for byte, so it opens with
    // the same password and each record keeps its identity and its stored texts exactly (sealed
    // links stay sealed). Taken inside a read transaction, so no write anywhere can commit while
    // it is made, and on the disk when the call returns. A file already at path is an error; a
    // partial copy is removed. Not inside a transaction. Throws DbError naming the file that failed.
    void backupTo(const QString& path) const;
    // The same copy of the file at `from`, read through a connection of its own: safe on a thread
    // other than the windows' one.
    static void copyFile(const QString& from, const QString& to, const QString& connect);
    // Replaces every page of this database with those of the file at `from` (a copy made by
    // backupTo, opened with the same password) through the engine's online backup, in one write
    // transaction of this file: a failure or a kill leaves it as it was. Not inside a transaction.
    // Throws DbError.
    void restoreFrom(const QString& from) const;

    // Changes whenever the file changes: by a write through this process's connection or by a
    // commit of any other (another copy of the program, the sqlcipher shell). What was read at
    // one version still holds while the version is the same.
    struct Version {
        quint64 own = 0;
        qint64 others = 0;
        bool operator==(const Version&) const = default;
    };
    Version version() const;

private:
    friend class Transaction;
    explicit Database(std::shared_ptr<Connection> conn);
    std::shared_ptr<Connection> m_conn;
};

// Runs a write transaction and rolls it back unless commit() was called.
class Transaction {
public:
    enum class Size {
        Small,
        // Many records: a small page cache for the transaction's life, so that what does not fit
        // goes to the file (the journal still undoes it) instead of being held in memory to the end.
        Large,
    };
    explicit Transaction(const Database& db, Size size = Size::Small);
    ~Transaction();
    void commit();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

private:
    const Database& m_db;
    Size m_size;
    bool m_done = false;
};

class RecordsetPrivate;

class Recordset {
public:
    Recordset(); // holds nothing; every call throws NoCurrentRecord
    ~Recordset();
    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) noexcept;
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    bool isOpen() const;

    // Table cursor: the exact number of records, at all times. Query cursor: the number of
    // matches visited so far (0 when none, at least 1 right after opening when some), exact
    // after moveLast().
    int recordCount() const;

    void moveFirst(); // throws NoCurrentRecord on a cursor without records
    void moveNext();  // past the last record stands past the end; throws when already there
    void moveLast();  // throws NoCurrentRecord on a cursor without records

    // Fields(name).Value of the current record (names ignore case). Throws NoCurrentRecord when
    // the cursor stands on no record, RecordDeleted on a deleted one, FieldNotFound.
    QVariant value(const QString& field) const;
    // The same read as text; a Null field reads as the empty text.
    QString text(const QString& field) const;

    // The loop "count times: read text(field), moveNext()" in one pass: appends each text and the
    // identity of its record, and leaves the cursor where the loop would. Throws where the loop
    // would (NoCurrentRecord when it runs past the end), with nothing appended.
    void readTexts(const QString& field, int count, QStringList& texts, QList<qint64>& ids);
    // The same loop reading several fields: texts[i] gets the texts of fields[i].
    void readTexts(const QStringList& fields, int count, QList<QStringList>& texts, QList<qint64>& ids);
    // Table cursor: every record from the current one to the end, handed to `record` one at a time
    // with the UTF-8 bytes of `fields` as stored (valid during the call only; a number reads as
    // text() would), without a QString in between: for reading very many records into a compact
    // form of one's own. Leaves the cursor past the end. Throws NoCurrentRecord on a query cursor.
    void readUtf8(const QStringList& fields,
                  const std::function<void(qint64 id, const QList<QByteArrayView>& bytes)>& record);

    // Fields(name).Value = v, into the buffer opened by addNew() or edit().
    void setValue(const QString& field, const QVariant& value);

    void addNew(); // opens a buffer for a new record (fields not set keep the table's defaults)
    void edit();   // opens a buffer on the current record; throws NoCurrentRecord
    void update(); // writes the buffer at once; throws NoEditInProgress without one
    // LastModified: the identity of the record the last update() added or changed; -1 before any.
    qint64 lastModified() const;
    void deleteRecord(); // Delete: removes the current record at once; the cursor stays on it
    // Table cursor: rewrites every record of the table, keeping its identity and its place in the
    // stored order: change(id, texts) gets the texts of `fields` of each record in stored order and
    // may change them. When any record changed, the whole table is stored anew; otherwise nothing
    // is written. For rewriting a whole table inside one transaction: far cheaper than changing
    // records that grow one by one. The cursor then stands on none. Throws NoCurrentRecord on a
    // query cursor.
    void rewriteAll(const QStringList& fields, const std::function<void(qint64 id, QStringList& texts)>& change);
    // Table cursor: removes every record of the table in one statement; the cursor then stands on
    // none. Throws NoCurrentRecord on a query cursor.
    void deleteAll();

    bool hasCurrentRecord() const; // on a record that can be read (not before/after, not deleted)
    qint64 id() const;             // identity of the current record; throws NoCurrentRecord

private:
    friend class Database;
    explicit Recordset(std::unique_ptr<RecordsetPrivate> d);
    std::unique_ptr<RecordsetPrivate> d;
};

// Quotes a text as a literal of the query dialect: 'O''Brien'.
QString sqlQuote(const QString& text);
