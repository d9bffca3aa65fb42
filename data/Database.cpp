// Placeholder until the engine lands: every call fails.
#include "data/Database.h"
#include "data/LinksDb.h"
#include "data/Query.h"

namespace {
[[noreturn]] void notYet() { throw DbError(DbErr::EngineFailure, QStringLiteral("The database engine is not built yet.")); }
}
class Connection {};
class RecordsetPrivate {};
Database::Database() = default;
Database::~Database() = default;
Database::Database(Database&&) noexcept = default;
Database& Database::operator=(Database&&) noexcept = default;
Database::Database(const Database&) = default;
Database& Database::operator=(const Database&) = default;
Database::Database(std::shared_ptr<Connection> c) : m_conn(std::move(c)) {}
Database Database::open(const QString&, const QString&) { notYet(); }
bool Database::isOpen() const { return false; }
QString Database::path() const { return {}; }
Recordset Database::openRecordset(const QString&, RecordsetType) const { notYet(); }
Recordset Database::openRecord(const QString&, qint64) const { notYet(); }
void Database::beginTrans() const { notYet(); }
void Database::commitTrans() const { notYet(); }
void Database::rollback() const { notYet(); }
int Database::execute(const QString&, const QVariantList&) const { notYet(); }
Transaction::Transaction(const Database& db) : m_db(db) { db.beginTrans(); }
Transaction::~Transaction() {}
void Transaction::commit() { m_done = true; }
Recordset::Recordset() = default;
Recordset::~Recordset() = default;
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;
bool Recordset::isOpen() const { return false; }
int Recordset::recordCount() const { notYet(); }
void Recordset::moveFirst() { notYet(); }
void Recordset::moveNext() { notYet(); }
void Recordset::moveLast() { notYet(); }
QVariant Recordset::value(const QString&) const { notYet(); }
QString Recordset::text(const QString&) const { notYet(); }
void Recordset::setValue(const QString&, const QVariant&) { notYet(); }
void Recordset::addNew() { notYet(); }
void Recordset::edit() { notYet(); }
void Recordset::update() { notYet(); }
void Recordset::deleteRecord() { notYet(); }
bool Recordset::hasCurrentRecord() const { return false; }
qint64 Recordset::id() const { notYet(); }
QString sqlQuote(const QString& t) { return QLatin1Char('\'') + QString(t).replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\''); }
namespace LinksDb {
QString fileName() { return QStringLiteral("links.mdb"); }
QString path() { return {}; }
QString connect() { return {}; }
Database open() { notYet(); }
void setFolder(const QString&) {}
}
