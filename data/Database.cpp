#include "data/Database.h"

#include "data/Connection.h"
#include "data/Query.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <deque>
#include <limits>
#include <map>

namespace {

[[noreturn]] void noCurrentRecord()
{
    throw DbError(DbErr::NoCurrentRecord, QStringLiteral("No current record."));
}

[[noreturn]] void recordDeleted()
{
    throw DbError(DbErr::RecordDeleted, QStringLiteral("The record was deleted."));
}

std::shared_ptr<Connection> connectionOf(const std::shared_ptr<Connection>& conn)
{
    if (!conn)
        throw DbError(DbErr::EngineFailure, QStringLiteral("The database is not open."));
    return conn;
}

QString passwordFrom(const QString& connect)
{
    for (const QString& part : connect.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype eq = part.indexOf(QLatin1Char('='));
        if (eq > 0 && part.left(eq).trimmed().compare(QLatin1String("PWD"), Qt::CaseInsensitive) == 0)
            return part.mid(eq + 1);
    }
    return {};
}

template <typename T> void appendAll(QList<T>& to, QList<T>&& from)
{
    if (to.isEmpty())
        to = std::move(from);
    else
        to.append(std::move(from));
}

} // namespace

// A cursor: the records of a table in stored order (row id order), or the matches of a query.
// A table cursor reads ahead in chunks so a pass over a large table costs one scan; a query
// cursor holds the identities of its matches. Either keeps a copy of the current record that
// it refreshes when anything was written since.
class RecordsetPrivate {
public:
    struct Row {
        qint64 id;
        QVariantList values;
    };
    enum class Position { OnRecord, PastEnd, Nowhere };

    std::shared_ptr<Connection> conn;
    QString table;       // as stored
    QStringList columns; // as stored
    bool isTable = false;

    // Current record.
    Position pos = Position::Nowhere;
    Row current;
    bool currentDeleted = false;
    quint64 currentVersion = 0;

    // Table cursor: records read ahead after the current one, and the cached count.
    std::deque<Row> ahead;
    quint64 aheadVersion = 0;
    int chunk = 64;
    int count = -1;
    quint64 countVersion = 0;
    qint64 countDataVersion = 0;

    // Query cursor: the matches and how far the cursor has been.
    std::vector<qint64> matches;
    qsizetype index = -1;
    qsizetype visited = 0;

    qint64 lastModified = -1;

    // Edit buffer.
    enum class EditMode { None, AddNew, Edit } editMode = EditMode::None;
    std::map<int, QVariant> buffer;

    QString selectList() const
    {
        QStringList cols;
        for (const QString& c : columns)
            cols << quoteIdentifier(c);
        return QStringLiteral("rowid, ") + cols.join(QStringLiteral(", "));
    }

    Row readRow(Connection::Statement& st) const
    {
        Row row{st.int64(0), {}};
        row.values.reserve(columns.size());
        for (int i = 0; i < columns.size(); ++i)
            row.values << st.column(i + 1);
        return row;
    }

    int columnIndex(const QString& field) const
    {
        for (int i = 0; i < columns.size(); ++i) {
            if (columns[i].compare(field, Qt::CaseInsensitive) == 0)
                return i;
        }
        throw DbError(DbErr::FieldNotFound,
                      QStringLiteral("Item not found in this collection: there is no field '%1' "
                                     "in table '%2'.")
                          .arg(field, table));
    }

    // Reads the record with this identity; false when it is gone.
    bool fetch(qint64 id, Row& row) const
    {
        Connection::Statement st = conn->prepare(
            QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?1").arg(selectList(), quoteIdentifier(table)));
        st.bind(1, id);
        if (!st.step())
            return false;
        row = readRow(st);
        return true;
    }

    void stand(Row row)
    {
        current = std::move(row);
        currentDeleted = false;
        currentVersion = conn->writeVersion();
        pos = Position::OnRecord;
    }

    // Table cursor: the next chunk of records after the given identity.
    void readAhead(qint64 after)
    {
        ahead.clear();
        Connection::Statement st =
            conn->prepare(QStringLiteral("SELECT %1 FROM %2 WHERE rowid > ?1 ORDER BY rowid LIMIT ?2")
                              .arg(selectList(), quoteIdentifier(table)));
        st.bind(1, after);
        st.bind(2, chunk);
        while (st.step())
            ahead.push_back(readRow(st));
        aheadVersion = conn->writeVersion();
        chunk = std::min(chunk * 4, 4096);
    }

    void tableMoveAfter(qint64 after)
    {
        if (ahead.empty() || aheadVersion != conn->writeVersion())
            readAhead(after);
        if (ahead.empty()) {
            pos = Position::PastEnd;
            return;
        }
        stand(std::move(ahead.front()));
        ahead.pop_front();
    }

    // Query cursor: stand on the match at index i, skipping none (a gone record reads as deleted).
    void queryStand(qsizetype i)
    {
        index = i;
        visited = std::max(visited, i + 1);
        Row row;
        if (fetch(matches[i], row)) {
            stand(std::move(row));
        } else {
            current = Row{matches[i], {}};
            pos = Position::OnRecord;
            currentDeleted = true;
        }
    }

    const Row& readable()
    {
        if (pos != Position::OnRecord)
            noCurrentRecord();
        if (!currentDeleted && currentVersion != conn->writeVersion()) {
            Row row;
            if (fetch(current.id, row))
                stand(std::move(row));
            else
                currentDeleted = true;
        }
        if (currentDeleted)
            recordDeleted();
        return current;
    }
};

// ---- Database ---------------------------------------------------------------------------------

Database::Database() = default;
Database::~Database() = default;
Database::Database(Database&&) noexcept = default;
Database& Database::operator=(Database&&) noexcept = default;
Database::Database(const Database&) = default;
Database& Database::operator=(const Database&) = default;
Database::Database(std::shared_ptr<Connection> conn) : m_conn(std::move(conn)) {}

Database Database::open(const QString& path, const QString& connect)
{
    return Database(Connection::get(path, passwordFrom(connect)));
}

bool Database::isOpen() const
{
    return bool(m_conn);
}

QString Database::path() const
{
    return m_conn ? m_conn->path() : QString();
}

Recordset Database::openRecordset(const QString& source, RecordsetType type) const
{
    auto conn = connectionOf(m_conn);
    auto d = std::make_unique<RecordsetPrivate>();
    d->conn = conn;

    QString tableName = source;
    ParsedQuery query;
    if (type == RecordsetType::Default) {
        query = parseQuery(source);
        tableName = query.table;
    }
    const Connection::TableInfo info = conn->tableInfo(tableName);
    if (info.name.isEmpty())
        throw DbError(DbErr::TableNotFound,
                      QStringLiteral("The table '%1' is missing from '%2'.").arg(tableName, conn->path()));
    d->table = info.name;
    d->columns = info.columns;

    if (type == RecordsetType::Table) {
        d->isTable = true;
        d->tableMoveAfter(std::numeric_limits<qint64>::min());
        if (d->pos == RecordsetPrivate::Position::PastEnd)
            d->pos = RecordsetPrivate::Position::Nowhere;
        return Recordset(std::move(d));
    }

    const QString field = d->columns.value(d->columnIndex(query.field));
    const QString test =
        query.op == ParsedQuery::Op::Equal ? QStringLiteral("tess_equals") : QStringLiteral("tess_like");
    Connection::Statement st = conn->prepare(QStringLiteral("SELECT rowid FROM %1 WHERE %2(%3, ?1) ORDER BY rowid")
                                                 .arg(quoteIdentifier(d->table), test, quoteIdentifier(field)));
    st.bind(1, query.operand);
    while (st.step())
        d->matches.push_back(st.int64(0));
    if (!d->matches.empty())
        d->queryStand(0);
    return Recordset(std::move(d));
}

Recordset Database::openRecord(const QString& table, qint64 id) const
{
    auto conn = connectionOf(m_conn);
    const Connection::TableInfo info = conn->tableInfo(table);
    if (info.name.isEmpty())
        throw DbError(DbErr::TableNotFound,
                      QStringLiteral("The table '%1' is missing from '%2'.").arg(table, conn->path()));
    auto d = std::make_unique<RecordsetPrivate>();
    d->conn = conn;
    d->table = info.name;
    d->columns = info.columns;
    RecordsetPrivate::Row row;
    if (d->fetch(id, row)) {
        d->matches.push_back(id);
        d->index = 0;
        d->visited = 1;
        d->stand(std::move(row));
    }
    return Recordset(std::move(d));
}

void Database::beginTrans() const
{
    auto conn = connectionOf(m_conn);
    conn->run(QStringLiteral("BEGIN IMMEDIATE"));
    conn->setInTransaction(true);
}

void Database::commitTrans() const
{
    auto conn = connectionOf(m_conn);
    conn->run(QStringLiteral("COMMIT"));
    conn->setInTransaction(false);
}

void Database::rollback() const
{
    auto conn = connectionOf(m_conn);
    conn->setInTransaction(false);
    if (!sqlite3_get_autocommit(conn->handle()))
        conn->run(QStringLiteral("ROLLBACK"));
    conn->wrote();
}

Database::Version Database::version() const
{
    auto conn = connectionOf(m_conn);
    return {conn->writeVersion(), conn->dataVersion()};
}

QString Database::integrityCheck() const
{
    auto conn = connectionOf(m_conn);
    QStringList problems;
    Connection::Statement st = conn->prepare(QStringLiteral("PRAGMA integrity_check"));
    while (st.step())
        problems << st.text(0);
    return problems.join(QLatin1Char('\n'));
}

void Database::backupTo(const QString& path) const
{
    connectionOf(m_conn)->copyTo(path);
}

void Database::copyFile(const QString& from, const QString& to, const QString& connect)
{
    Connection::copyFile(from, to, passwordFrom(connect));
}

void Database::restoreFrom(const QString& from) const
{
    connectionOf(m_conn)->restoreFrom(from);
}

void Database::create(const QString& path, const QString& connect, const QString& statements)
{
    Connection::create(path, passwordFrom(connect), statements);
}

int Database::execute(const QString& sql, const QVariantList& params) const
{
    auto conn = connectionOf(m_conn);
    const int changed = conn->run(sql, params);
    conn->wrote();
    return changed;
}

Transaction::Transaction(const Database& db, Size size) : m_db(db), m_size(size)
{
    if (m_size == Size::Large)
        connectionOf(m_db.m_conn)->useSmallCache(true);
    m_db.beginTrans();
}

Transaction::~Transaction()
{
    if (!m_done) {
        try {
            m_db.rollback();
        } catch (const DbError&) {
            // Nothing more can be done; the engine rolls back an unfinished transaction itself.
        }
    }
    if (m_size == Size::Large) {
        try {
            m_db.m_conn->useSmallCache(false);
        } catch (const DbError&) {
            // Only a larger cache is lost; the records are as the transaction left them.
        }
    }
}

void Transaction::commit()
{
    m_db.commitTrans();
    m_done = true;
}

// ---- Recordset --------------------------------------------------------------------------------

Recordset::Recordset() = default;
Recordset::~Recordset() = default;
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;
Recordset::Recordset(std::unique_ptr<RecordsetPrivate> dd) : d(std::move(dd)) {}

bool Recordset::isOpen() const
{
    return bool(d);
}

int Recordset::recordCount() const
{
    if (!d)
        noCurrentRecord();
    if (!d->isTable)
        return int(d->visited);
    const qint64 dataVersion = d->conn->dataVersion();
    if (d->count < 0 || d->countVersion != d->conn->writeVersion() || d->countDataVersion != dataVersion) {
        Connection::Statement st =
            d->conn->prepare(QStringLiteral("SELECT count(*) FROM %1").arg(quoteIdentifier(d->table)));
        st.step();
        d->count = int(st.int64(0));
        d->countVersion = d->conn->writeVersion();
        d->countDataVersion = dataVersion;
    }
    return d->count;
}

void Recordset::moveFirst()
{
    if (!d)
        noCurrentRecord();
    d->editMode = RecordsetPrivate::EditMode::None;
    if (d->isTable) {
        d->ahead.clear();
        d->chunk = 64;
        d->tableMoveAfter(std::numeric_limits<qint64>::min());
        if (d->pos == RecordsetPrivate::Position::PastEnd) {
            d->pos = RecordsetPrivate::Position::Nowhere;
            noCurrentRecord();
        }
        return;
    }
    if (d->matches.empty())
        noCurrentRecord();
    d->queryStand(0);
}

void Recordset::moveNext()
{
    if (!d || d->pos != RecordsetPrivate::Position::OnRecord)
        noCurrentRecord();
    d->editMode = RecordsetPrivate::EditMode::None;
    if (d->isTable) {
        d->tableMoveAfter(d->current.id);
        return;
    }
    if (d->index + 1 >= qsizetype(d->matches.size())) {
        d->index = qsizetype(d->matches.size());
        d->pos = RecordsetPrivate::Position::PastEnd;
        return;
    }
    d->queryStand(d->index + 1);
}

void Recordset::moveLast()
{
    if (!d)
        noCurrentRecord();
    d->editMode = RecordsetPrivate::EditMode::None;
    if (d->isTable) {
        Connection::Statement st = d->conn->prepare(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid DESC LIMIT 1")
                                                        .arg(d->selectList(), quoteIdentifier(d->table)));
        if (!st.step())
            noCurrentRecord();
        RecordsetPrivate::Row row = d->readRow(st);
        d->ahead.clear();
        d->stand(std::move(row));
        return;
    }
    if (d->matches.empty())
        noCurrentRecord();
    d->queryStand(qsizetype(d->matches.size()) - 1);
}

QVariant Recordset::value(const QString& field) const
{
    if (!d)
        noCurrentRecord();
    const int col = d->columnIndex(field);
    return d->readable().values.value(col);
}

QString Recordset::text(const QString& field) const
{
    const QVariant v = value(field);
    return v.isNull() ? QString() : v.toString();
}

void Recordset::readTexts(const QString& field, int count, QStringList& texts, QList<qint64>& ids)
{
    QList<QStringList> columns{std::move(texts)};
    const auto giveBack = qScopeGuard([&] { texts = std::move(columns.first()); });
    readTexts(QStringList{field}, count, columns, ids);
}

void Recordset::readTexts(const QStringList& fields, int count, QList<QStringList>& texts, QList<qint64>& ids)
{
    if (count <= 0)
        return;
    if (!d)
        noCurrentRecord();
    QList<int> cols;
    for (const QString& field : fields)
        cols.append(d->columnIndex(field));
    texts.resize(fields.size());
    QList<QStringList> read(fields.size());
    QList<qint64> readIds;
    const auto appendRead = [&] {
        for (qsizetype f = 0; f < fields.size(); ++f)
            appendAll(texts[f], std::move(read[f]));
        appendAll(ids, std::move(readIds));
    };
    if (!d->isTable) {
        for (int i = 0; i < count; ++i) {
            for (qsizetype f = 0; f < fields.size(); ++f)
                read[f].append(text(fields[f]));
            readIds.append(id());
            moveNext();
        }
        appendRead();
        return;
    }

    // The first record as the cursor holds it, the rest in one statement instead of a read and
    // a move per record.
    const RecordsetPrivate::Row& first = d->readable();
    const qint64 firstId = first.id;
    for (qsizetype f = 0; f < fields.size(); ++f) {
        read[f].reserve(count);
        const QVariant value = first.values.value(cols[f]);
        read[f].append(value.isNull() ? QString() : value.toString());
    }
    readIds.reserve(count);
    readIds.append(firstId);
    if (count > 1) {
        QStringList columns;
        for (const int col : cols)
            columns << quoteIdentifier(d->columns[col]);
        Connection::Statement st =
            d->conn->prepare(QStringLiteral("SELECT rowid, %1 FROM %2 WHERE rowid > ?1 ORDER BY rowid LIMIT ?2")
                                 .arg(columns.join(QStringLiteral(", ")), quoteIdentifier(d->table)));
        st.bind(1, firstId);
        st.bind(2, count - 1);
        while (st.step()) {
            readIds.append(st.int64(0));
            for (qsizetype f = 0; f < fields.size(); ++f)
                read[f].append(st.text(int(f) + 1));
        }
    }
    d->editMode = RecordsetPrivate::EditMode::None;
    d->ahead.clear();
    d->tableMoveAfter(readIds.last());
    // The loop would have stood past the end and failed on its next read.
    if (readIds.size() < count)
        noCurrentRecord();
    appendRead();
}

void Recordset::readUtf8(const QStringList& fields,
                         const std::function<void(qint64 id, const QList<QByteArrayView>& bytes)>& record)
{
    if (!d || !d->isTable)
        noCurrentRecord();
    QStringList columns;
    for (const QString& field : fields)
        columns << quoteIdentifier(d->columns[d->columnIndex(field)]);
    if (d->pos == RecordsetPrivate::Position::PastEnd)
        return;
    const qint64 from = d->pos == RecordsetPrivate::Position::OnRecord ? d->current.id
                                                                        : std::numeric_limits<qint64>::min();
    d->editMode = RecordsetPrivate::EditMode::None;
    Connection::Statement st =
        d->conn->prepare(QStringLiteral("SELECT rowid, %1 FROM %2 WHERE rowid >= ?1 ORDER BY rowid")
                             .arg(columns.join(QStringLiteral(", ")), quoteIdentifier(d->table)));
    st.bind(1, from);
    QList<QByteArrayView> bytes(fields.size());
    QList<QByteArray> converted(fields.size());
    while (st.step()) {
        for (qsizetype f = 0; f < fields.size(); ++f) {
            if (!st.utf8(int(f) + 1, bytes[f]))
                bytes[f] = converted[f] = st.text(int(f) + 1).toUtf8();
        }
        record(st.int64(0), bytes);
    }
    d->ahead.clear();
    d->pos = RecordsetPrivate::Position::PastEnd;
}

void Recordset::setValue(const QString& field, const QVariant& value)
{
    if (!d)
        noCurrentRecord();
    const int col = d->columnIndex(field);
    if (d->editMode == RecordsetPrivate::EditMode::None)
        throw DbError(DbErr::NoEditInProgress, QStringLiteral("Update or CancelUpdate without AddNew or Edit."));
    d->buffer[col] = value;
}

void Recordset::addNew()
{
    if (!d)
        noCurrentRecord();
    d->buffer.clear();
    d->editMode = RecordsetPrivate::EditMode::AddNew;
}

void Recordset::edit()
{
    if (!d)
        noCurrentRecord();
    d->readable();
    d->buffer.clear();
    d->editMode = RecordsetPrivate::EditMode::Edit;
}

void Recordset::update()
{
    if (!d || d->editMode == RecordsetPrivate::EditMode::None)
        throw DbError(DbErr::NoEditInProgress, QStringLiteral("Update or CancelUpdate without AddNew or Edit."));
    const QString table = quoteIdentifier(d->table);
    QStringList names;
    QVariantList values;
    for (const auto& [col, value] : d->buffer) {
        names << quoteIdentifier(d->columns[col]);
        values << value;
    }
    const auto mode = d->editMode;
    d->editMode = RecordsetPrivate::EditMode::None;
    d->buffer.clear();

    if (mode == RecordsetPrivate::EditMode::AddNew) {
        QString sql;
        if (names.isEmpty()) {
            sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table);
        } else {
            QStringList marks;
            for (int i = 1; i <= names.size(); ++i)
                marks << QStringLiteral("?%1").arg(i);
            sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(table, names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
        }
        d->conn->run(sql, values);
        d->conn->wrote();
        d->lastModified = sqlite3_last_insert_rowid(d->conn->handle());
        if (!d->isTable)
            d->matches.push_back(d->lastModified);
        return;
    }

    if (names.isEmpty())
        return;
    // A record that already holds every value is left alone: the file holds what was asked for,
    // and a write would cost a synchronous commit for nothing. The test runs inside the UPDATE,
    // so a change made meanwhile by another copy of the program is still overwritten. Texts are
    // compared exactly, whatever collation a column declares.
    QStringList sets, same;
    for (int i = 0; i < names.size(); ++i) {
        sets << QStringLiteral("%1 = ?%2").arg(names[i]).arg(i + 1);
        same << QStringLiteral("%1 IS ?%2 COLLATE BINARY").arg(names[i]).arg(i + 1);
    }
    values << d->current.id;
    d->lastModified = d->current.id;
    const int changed = d->conn->run(QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?%3 AND NOT (%4)")
                                         .arg(table, sets.join(QStringLiteral(", ")))
                                         .arg(values.size())
                                         .arg(same.join(QStringLiteral(" AND "))),
                                     values);
    d->conn->wrote();
    if (changed == 0) {
        Connection::Statement st =
            d->conn->prepare(QStringLiteral("SELECT 1 FROM %1 WHERE rowid = ?1").arg(table));
        st.bind(1, d->current.id);
        if (!st.step()) {
            d->currentDeleted = true;
            recordDeleted();
        }
    }
}

void Recordset::deleteRecord()
{
    if (!d)
        noCurrentRecord();
    const qint64 id = d->readable().id;
    d->editMode = RecordsetPrivate::EditMode::None;
    const int changed =
        d->conn->run(QStringLiteral("DELETE FROM %1 WHERE rowid = ?1").arg(quoteIdentifier(d->table)), {id});
    d->conn->wrote();
    d->currentDeleted = true;
    if (changed == 0)
        recordDeleted();
}

void Recordset::rewriteAll(const QStringList& fields,
                           const std::function<void(qint64 id, QStringList& texts)>& change)
{
    if (!d || !d->isTable)
        noCurrentRecord();
    d->editMode = RecordsetPrivate::EditMode::None;
    QList<int> changed; // column positions of `fields`
    for (const QString& field : fields)
        changed.append(d->columnIndex(field));
    const QString table = quoteIdentifier(d->table);
    QStringList columns{QStringLiteral("rowid")}, marks{QStringLiteral("?1")};
    for (qsizetype c = 0; c < d->columns.size(); ++c) {
        columns << quoteIdentifier(d->columns[c]);
        marks << QStringLiteral("?%1").arg(c + 2);
    }
    std::vector<RecordsetPrivate::Row> rows;
    {
        Connection::Statement st =
            d->conn->prepare(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(d->selectList(), table));
        while (st.step())
            rows.push_back(d->readRow(st));
    }
    QStringList texts;
    bool anyChanged = false;
    for (RecordsetPrivate::Row& row : rows) {
        texts.clear();
        for (const int col : changed)
            texts << (row.values[col].isNull() ? QString() : row.values[col].toString());
        const QStringList before = texts;
        change(row.id, texts);
        if (texts == before)
            continue;
        anyChanged = true;
        for (qsizetype f = 0; f < changed.size(); ++f)
            row.values[changed[f]] = texts.value(f);
    }
    d->ahead.clear();
    d->pos = RecordsetPrivate::Position::Nowhere;
    if (!anyChanged)
        return;
    d->conn->run(QStringLiteral("DELETE FROM %1").arg(table));
    const QString insert = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                               .arg(table, columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    for (const RecordsetPrivate::Row& row : rows) {
        Connection::Statement st = d->conn->prepare(insert);
        st.bind(1, row.id);
        for (qsizetype c = 0; c < row.values.size(); ++c)
            st.bind(int(c) + 2, row.values[c]);
        while (st.step()) {
        }
    }
    d->conn->wrote();
}

void Recordset::deleteAll()
{
    if (!d || !d->isTable)
        noCurrentRecord();
    d->editMode = RecordsetPrivate::EditMode::None;
    d->conn->run(QStringLiteral("DELETE FROM %1").arg(quoteIdentifier(d->table)));
    d->conn->wrote();
    d->ahead.clear();
    d->pos = RecordsetPrivate::Position::Nowhere;
}

qint64 Recordset::lastModified() const
{
    return d ? d->lastModified : -1;
}

bool Recordset::hasCurrentRecord() const
{
    if (!d || d->pos != RecordsetPrivate::Position::OnRecord)
        return false;
    try {
        d->readable();
        return true;
    } catch (const DbError&) {
        return false;
    }
}

qint64 Recordset::id() const
{
    if (!d || d->pos != RecordsetPrivate::Position::OnRecord)
        noCurrentRecord();
    return d->current.id;
}

QString sqlQuote(const QString& text)
{
    QString doubled = text;
    doubled.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + doubled + QLatin1Char('\'');
}
