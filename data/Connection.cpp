#include "data/Connection.h"

#include "data/Query.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The page size of our encrypted files; a file of another length cannot be one of them.
constexpr qint64 PageSize = 1024;

// Room for the decrypted pages of a large list, so a rebuild reads no page twice; a large
// transaction makes do with less.
const QString NormalCache = QStringLiteral("PRAGMA cache_size = -32768");
const QString SmallCache = QStringLiteral("PRAGMA cache_size = -4096");

QString fromSqlite(sqlite3_value* v)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
}

void sqlTextEquals(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_int(ctx, textEqualsIgnoreCase(fromSqlite(argv[0]), fromSqlite(argv[1])) ? 1 : 0);
}

void sqlLike(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_int(ctx, likeMatches(fromSqlite(argv[0]), fromSqlite(argv[1])) ? 1 : 0);
}

QByteArray fileHead(const QString& path, qint64 size)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.read(size);
}

std::map<std::pair<QString, QString>, std::weak_ptr<Connection>>& openConnections()
{
    static std::map<std::pair<QString, QString>, std::weak_ptr<Connection>> conns;
    return conns;
}

// A worker thread may open files of its own (a backup it writes) while the windows use theirs.
std::mutex& openConnectionsMutex()
{
    static std::mutex mutex;
    return mutex;
}

// A connection of one copy step, not shared with anyone: closed when the step ends.
struct OwnConnection {
    sqlite3* db = nullptr;
    OwnConnection() = default;
    OwnConnection(const OwnConnection&) = delete;
    OwnConnection& operator=(const OwnConnection&) = delete;
    ~OwnConnection() { sqlite3_close_v2(db); }
    QString error() const { return QString::fromUtf8(db ? sqlite3_errmsg(db) : "out of memory"); }
};

// Opens an existing file read-only, keyed; the first read shows whether the key fits.
int openToRead(OwnConnection& conn, const QString& path, const QByteArray& password)
{
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &conn.db, SQLITE_OPEN_READONLY, nullptr);
    if (rc == SQLITE_OK)
        rc = keyConnection(conn.db, password);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(conn.db, 5000);
        rc = sqlite3_exec(conn.db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    }
    return rc;
}

[[noreturn]] void cannotRead(int rc, const QString& path, const QString& detail)
{
    switch (rc & 0xFF) {
    case SQLITE_NOTADB:
        throw DbError(
            DbErr::NotADatabase,
            QStringLiteral("'%1' does not open with the program's password, or it is damaged.").arg(path));
    case SQLITE_CORRUPT:
        throw DbError(DbErr::Corrupt, QStringLiteral("'%1' is damaged: %2.").arg(path, detail));
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        throw DbError(DbErr::Locked, QStringLiteral("'%1' is in use by another copy of the program. "
                                                    "Please try again in a moment.")
                                         .arg(path));
    default:
        throw DbError(DbErr::CannotOpen, QStringLiteral("Could not read '%1': %2.").arg(path, detail));
    }
}

// Writes the bytes of `file` (SQLite's own handle on a database file) to a new file at `to`, synced.
// Empty when it worked, else why not; *full tells a full disk.
QString writeBytes(sqlite3_file* file, const QString& to, bool* full)
{
    sqlite3_int64 size = 0;
    if (file->pMethods->xFileSize(file, &size) != SQLITE_OK)
        return QStringLiteral("the database file cannot be read");
    const int out = ::open(QFile::encodeName(to).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (out < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    QString why;
    for (sqlite3_int64 offset = 0; offset < size && why.isEmpty();) {
        const int chunk = int(std::min<sqlite3_int64>(buffer.size(), size - offset));
        if (file->pMethods->xRead(file, buffer.data(), chunk, offset) != SQLITE_OK) {
            why = QStringLiteral("the database file cannot be read");
            break;
        }
        for (int done = 0; done < chunk;) {
            const ssize_t n = ::write(out, buffer.constData() + done, size_t(chunk - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                *full = errno == ENOSPC || errno == EDQUOT;
                why = QString::fromLocal8Bit(std::strerror(errno));
                break;
            }
            done += int(n);
        }
        offset += chunk;
    }
    if (why.isEmpty() && ::fsync(out) != 0) {
        *full = errno == ENOSPC || errno == EDQUOT;
        why = QString::fromLocal8Bit(std::strerror(errno));
    }
    if (::close(out) != 0 && why.isEmpty()) {
        *full = errno == ENOSPC || errno == EDQUOT;
        why = QString::fromLocal8Bit(std::strerror(errno));
    }
    return why;
}

// Copies the database file of `db` (at srcPath) byte for byte to a new file at `to`, inside a read
// transaction: while it lasts no connection anywhere can commit, so the bytes are one committed
// state of the file, exactly as stored (SQLite's own lock-and-copy backup). The bytes are read
// through SQLite's own handle on the file: closing a second descriptor of ours would drop every
// lock this process holds on it.
void copyUnderReadLock(sqlite3* db, const QString& srcPath, const QString& to)
{
    if (QFileInfo::exists(to))
        throw DbError(DbErr::CannotOpen, QStringLiteral("'%1' is already there; it is left as it is.").arg(to));
    int rc = sqlite3_exec(db, "BEGIN; SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        const QString detail = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        cannotRead(rc, srcPath, detail);
    }
    sqlite3_file* file = nullptr;
    bool full = false;
    QString why = QStringLiteral("the database file cannot be read");
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) == SQLITE_OK && file && file->pMethods)
        why = writeBytes(file, to, &full);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    if (why.isEmpty())
        return;
    QFile::remove(to);
    if (full)
        throw DbError(DbErr::EngineFailure, QStringLiteral("The disk is full; '%1' was not written.").arg(to));
    throw DbError(DbErr::CannotOpen, QStringLiteral("'%1' cannot be written: %2.").arg(to, why));
}

} // namespace

int keyConnection(sqlite3* db, const QByteArray& password)
{
    int rc = sqlite3_key(db, password.constData(), int(password.size()));
    // Newer SQLCipher applies its cipher settings at the first page read, so they must be in
    // place before any statement touches the file; version 3 settings are what our files use.
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, "PRAGMA cipher_compatibility = 3", nullptr, nullptr, nullptr);
    return rc;
}

QString quoteIdentifier(const QString& name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

Connection::~Connection()
{
    for (sqlite3_stmt* stmt : std::as_const(m_cache))
        sqlite3_finalize(stmt);
    sqlite3_close_v2(m_db);
}

std::shared_ptr<Connection> Connection::get(const QString& path, const QString& password)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw DbError(DbErr::FileNotFound, QStringLiteral("Could not find file '%1'.").arg(path));
    if (!info.isFile())
        throw DbError(DbErr::CannotOpen, QStringLiteral("'%1' is not a file.").arg(path));

    const auto key = std::make_pair(info.canonicalFilePath(), password);
    const std::lock_guard<std::mutex> lock(openConnectionsMutex());
    if (auto existing = openConnections()[key].lock())
        return existing;

    // Look before opening: the engine would take an empty file for an empty database, and it
    // cannot tell a plain database from a wrong password.
    const qint64 size = info.size();
    if (size == 0)
        throw DbError(DbErr::NotADatabase, QStringLiteral("'%1' is empty: it is not a links database.").arg(path));
    if (fileHead(path, 16) == QByteArray("SQLite format 3\0", 16))
        throw DbError(
            DbErr::NotADatabase,
            QStringLiteral("'%1' is an unprotected database, not a links database of this program.").arg(path));
    if (size % PageSize != 0)
        throw DbError(
            DbErr::NotADatabase,
            QStringLiteral("'%1' is not a links database of this program (or it is damaged).").arg(path));
    if (password.isEmpty())
        throw DbError(DbErr::WrongPassword, QStringLiteral("A password is required to open '%1'.").arg(path));

    std::shared_ptr<Connection> conn(new Connection);
    conn->m_path = path;
    conn->m_password = password.toUtf8();
    const QByteArray utf8Path = QFile::encodeName(path);
    int rc = sqlite3_open_v2(utf8Path.constData(), &conn->m_db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK)
        throw DbError(DbErr::CannotOpen,
                      QStringLiteral("Could not open '%1': %2.").arg(path, QString::fromUtf8(sqlite3_errstr(rc))));
    if (keyConnection(conn->m_db, password.toUtf8()) != SQLITE_OK)
        conn->fail(sqlite3_errcode(conn->m_db));
    sqlite3_busy_timeout(conn->m_db, 5000);
    sqlite3_extended_result_codes(conn->m_db, 0);

    // The first read shows whether the key fits.
    rc = sqlite3_exec(conn->m_db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc == SQLITE_NOTADB)
        throw DbError(DbErr::WrongPassword,
                      QStringLiteral("Not a valid password: '%1' does not open with the program's password, "
                                     "or it is no links database.")
                          .arg(path));
    if (rc != SQLITE_OK)
        conn->fail(rc);

    conn->run(QStringLiteral("PRAGMA synchronous = FULL"));
    conn->run(NormalCache);
    sqlite3_create_function(conn->m_db, "tess_equals", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            &sqlTextEquals, nullptr, nullptr);
    sqlite3_create_function(conn->m_db, "tess_like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, &sqlLike,
                            nullptr, nullptr);

    openConnections()[key] = conn;
    return conn;
}

void Connection::create(const QString& path, const QString& password, const QString& statements)
{
    if (password.isEmpty())
        throw DbError(DbErr::WrongPassword, QStringLiteral("A password is required to create '%1'.").arg(path));
    if (QFileInfo::exists(path))
        throw DbError(DbErr::CannotOpen, QStringLiteral("'%1' is already there; it is left as it is.").arg(path));
    sqlite3* db = nullptr;
    const QByteArray name = QFile::encodeName(path);
    int rc = sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc == SQLITE_OK)
        rc = keyConnection(db, password.toUtf8());
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, statements.toUtf8().constData(), nullptr, nullptr, nullptr);
    const QString detail = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    sqlite3_close_v2(db);
    if (rc == SQLITE_FULL)
        throw DbError(DbErr::EngineFailure, QStringLiteral("The disk is full; '%1' was not written.").arg(path));
    if (rc != SQLITE_OK)
        throw DbError(DbErr::CannotOpen, QStringLiteral("'%1' cannot be written: %2.").arg(path, detail));
}

void Connection::copyTo(const QString& path)
{
    if (m_inTransaction)
        throw DbError(DbErr::EngineFailure,
                      QStringLiteral("'%1' cannot be copied in the middle of a change.").arg(m_path));
    copyUnderReadLock(m_db, m_path, path);
}

void Connection::copyFile(const QString& from, const QString& to, const QString& password)
{
    if (password.isEmpty())
        throw DbError(DbErr::WrongPassword, QStringLiteral("A password is required to open '%1'.").arg(from));
    OwnConnection src;
    const QByteArray key = password.toUtf8();
    const int rc = openToRead(src, from, key);
    if (rc != SQLITE_OK)
        cannotRead(rc, from, src.error());
    copyUnderReadLock(src.db, from, to);
}

void Connection::restoreFrom(const QString& from)
{
    if (m_inTransaction)
        throw DbError(DbErr::EngineFailure,
                      QStringLiteral("'%1' cannot be replaced in the middle of a change.").arg(m_path));
    OwnConnection src;
    int rc = openToRead(src, from, m_password);
    if (rc != SQLITE_OK)
        cannotRead(rc, from, src.error());
    // One write transaction of this file replaces every page: the journal undoes it all after a
    // failure or a kill.
    sqlite3_backup* backup = sqlite3_backup_init(m_db, "main", src.db, "main");
    if (!backup)
        fail(sqlite3_errcode(m_db));
    const int step = sqlite3_backup_step(backup, -1);
    rc = sqlite3_backup_finish(backup);
    if (rc == SQLITE_OK && step != SQLITE_DONE)
        rc = step;
    wrote();
    if (rc == SQLITE_OK)
        return;
    if ((rc & 0xFF) == SQLITE_NOTADB || (rc & 0xFF) == SQLITE_CORRUPT)
        cannotRead(rc, from, src.error());
    fail(rc);
}

void Connection::useSmallCache(bool small)
{
    run(small ? SmallCache : NormalCache);
}

qint64 Connection::dataVersion()
{
    Statement st = prepare(QStringLiteral("PRAGMA data_version"));
    st.step();
    return st.int64(0);
}

Connection::Statement Connection::prepare(const QString& sql)
{
    sqlite3_stmt*& stmt = m_cache[sql];
    if (!stmt) {
        const QByteArray utf8 = sql.toUtf8();
        const int rc = sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), &stmt, nullptr);
        if (rc != SQLITE_OK) {
            m_cache.remove(sql);
            fail(rc);
        }
    }
    return Statement(*this, stmt);
}

int Connection::run(const QString& sql, const QVariantList& params)
{
    Statement st = prepare(sql);
    for (int i = 0; i < params.size(); ++i)
        st.bind(i + 1, params[i]);
    while (st.step()) {
    }
    return sqlite3_changes(m_db);
}

Connection::TableInfo Connection::tableInfo(const QString& table)
{
    TableInfo info;
    {
        Statement st = prepare(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name = ?1 "
                                              "COLLATE NOCASE"));
        st.bind(1, table);
        if (st.step())
            info.name = st.column(0).toString();
    }
    if (info.name.isEmpty())
        return info;
    Statement cols = prepare(QStringLiteral("PRAGMA table_info(%1)").arg(quoteIdentifier(info.name)));
    while (cols.step())
        info.columns << cols.column(1).toString();
    return info;
}

void Connection::fail(int rc) const
{
    const QString detail = QString::fromUtf8(sqlite3_errmsg(m_db));
    switch (rc & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        throw DbError(DbErr::Locked, QStringLiteral("'%1' is in use by another copy of the program. "
                                                    "Please try again in a moment.")
                                         .arg(m_path));
    case SQLITE_CORRUPT:
        throw DbError(DbErr::Corrupt, QStringLiteral("'%1' is damaged: %2.").arg(m_path, detail));
    case SQLITE_NOTADB:
        throw DbError(
            DbErr::NotADatabase,
            QStringLiteral("'%1' is not a links database of this program (or it is damaged).").arg(m_path));
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN:
        throw DbError(DbErr::CannotOpen, QStringLiteral("'%1' cannot be written: %2.").arg(m_path, detail));
    case SQLITE_FULL:
        throw DbError(DbErr::EngineFailure, QStringLiteral("The disk is full; '%1' was not changed.").arg(m_path));
    default:
        throw DbError(DbErr::EngineFailure, QStringLiteral("The database engine failed: %1.").arg(detail));
    }
}

Connection::Statement::~Statement()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

void Connection::Statement::bind(int index, const QVariant& value)
{
    int rc;
    if (value.isNull()) {
        rc = sqlite3_bind_null(m_stmt, index);
    } else if (value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong ||
               value.typeId() == QMetaType::Short || value.typeId() == QMetaType::Bool ||
               value.typeId() == QMetaType::UInt) {
        rc = sqlite3_bind_int64(m_stmt, index, value.toLongLong());
    } else if (value.typeId() == QMetaType::Double) {
        rc = sqlite3_bind_double(m_stmt, index, value.toDouble());
    } else {
        const QByteArray utf8 = value.toString().toUtf8();
        rc = sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
    if (rc != SQLITE_OK)
        m_conn.fail(rc);
}

bool Connection::Statement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(m_stmt);
    m_conn.fail(rc);
}

QVariant Connection::Statement::column(int index) const
{
    switch (sqlite3_column_type(m_stmt, index)) {
    case SQLITE_NULL:
        return QVariant();
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(m_stmt, index)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_stmt, index));
    default: {
        const char* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, index));
        return QVariant(QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, index)));
    }
    }
}

bool Connection::Statement::utf8(int index, QByteArrayView& bytes) const
{
    const int type = sqlite3_column_type(m_stmt, index);
    if (type != SQLITE_TEXT && type != SQLITE_BLOB)
        return false;
    const char* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, index));
    bytes = QByteArrayView(text, sqlite3_column_bytes(m_stmt, index));
    return true;
}

QString Connection::Statement::text(int index) const
{
    switch (sqlite3_column_type(m_stmt, index)) {
    case SQLITE_NULL:
        return QString();
    case SQLITE_TEXT:
    case SQLITE_BLOB: {
        const char* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, index));
        return QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, index));
    }
    default:
        return column(index).toString();
    }
}
