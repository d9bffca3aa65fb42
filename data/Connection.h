#pragma once

#include "data/DbError.h"

#include <QHash>
#include <QString>
#include <QVariant>
#include <memory>

#include <sqlcipher/sqlite3.h>

// One keyed SQLCipher connection to a file, shared by every Database opened on it in this process.
// Private to the engine: only Connection.cpp and Database.cpp include this header.
class Connection {
public:
    ~Connection();

    // The shared connection for path and password, opened and keyed on first use.
    static std::shared_ptr<Connection> get(const QString& path, const QString& password);
    // Writes a new file keyed with password and runs the statements on it (see Database::create).
    static void create(const QString& path, const QString& password, const QString& statements);

    // Whole-file copies (see Database::backupTo, copyFile and restoreFrom).
    void copyTo(const QString& path);
    static void copyFile(const QString& from, const QString& to, const QString& password);
    void restoreFrom(const QString& from);

    // A small page cache while a large transaction runs, the usual one otherwise.
    void useSmallCache(bool small);

    sqlite3* handle() const { return m_db; }
    QString path() const { return m_path; }

    // Bumped by every write through this connection; cursors compare it to know their copies
    // of records are stale.
    quint64 writeVersion() const { return m_writeVersion; }
    void wrote() { ++m_writeVersion; }
    // Changes when another process committed (PRAGMA data_version).
    qint64 dataVersion();

    bool inTransaction() const { return m_inTransaction; }
    void setInTransaction(bool on) { m_inTransaction = on; }

    // A prepared statement from the cache; reset and unbound when the Statement goes.
    class Statement {
    public:
        Statement(Connection& conn, sqlite3_stmt* stmt) : m_conn(conn), m_stmt(stmt) {}
        ~Statement();
        Statement(const Statement&) = delete;
        Statement& operator=(const Statement&) = delete;

        void bind(int index, const QVariant& value);
        bool step(); // true while a row is there; throws DbError on failure
        QVariant column(int index) const;
        // The column as text without a QVariant in between: Null is the null text, a number
        // reads as QVariant's toString() would.
        QString text(int index) const;
        // The bytes of a text or blob column as stored, without a copy (valid until the next step);
        // false for any other column.
        bool utf8(int index, QByteArrayView& bytes) const;
        qint64 int64(int index) const { return sqlite3_column_int64(m_stmt, index); }
        int columnCount() const { return sqlite3_column_count(m_stmt); }

    private:
        Connection& m_conn;
        sqlite3_stmt* m_stmt;
    };
    Statement prepare(const QString& sql);

    // Runs a statement to its end; returns the rows it changed.
    int run(const QString& sql, const QVariantList& params = {});

    // The table's name as stored and its column names, or an empty name when there is no such
    // table (names ignore case).
    struct TableInfo {
        QString name;
        QStringList columns;
    };
    TableInfo tableInfo(const QString& table);

    [[noreturn]] void fail(int rc) const;

private:
    Connection() = default;
    sqlite3* m_db = nullptr;
    QString m_path;
    QByteArray m_password; // the file's database password, to open a copy of it
    quint64 m_writeVersion = 0;
    bool m_inTransaction = false;
    QHash<QString, sqlite3_stmt*> m_cache;
};

// Keys a freshly opened connection and applies every cipher setting before anything reads the
// file. Returns an SQLite result code.
int keyConnection(sqlite3* db, const QByteArray& password);

// The SQL text for an identifier: "name" with inner quotes doubled.
QString quoteIdentifier(const QString& name);
