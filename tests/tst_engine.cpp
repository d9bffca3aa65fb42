// The database engine on real encrypted files: opening, cursors, the query dialect, identity,
// transactions and what another connection or process sees.

#include "data/Database.h"
#include "data/LinksDb.h"
#include "data/Query.h"
#include "testkit/TestKit.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <QtTest>
#include <sqlcipher/sqlite3.h>

#include <functional>

using testkit::errorOf;
using testkit::Link;
using testkit::TempLinksDb;

namespace {

QStringList namesOf(Recordset& rs)
{
    QStringList names;
    const int n = rs.recordCount();
    if (n == 0)
        return names;
    rs.moveFirst();
    for (int i = 0; i < n; ++i) {
        names << rs.text("SiteName");
        rs.moveNext();
    }
    return names;
}

QStringList query(const Database& db, const QString& text)
{
    Recordset rs = db.openRecordset(text);
    if (rs.recordCount() == 0)
        return {};
    rs.moveLast();
    return namesOf(rs);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class tst_engine : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void opensTheInstalledFile();
    void aCopyIsTheCommittedFileAndARestoreIsWhole();
    void cipherSettingsComeBeforeAnyRead();
    void refusesFilesItCannotOpen_data();
    void refusesFilesItCannotOpen();
    void refusesAWrongPassword();
    void refusesAMissingTable();
    void emptyTableFailsEveryRecordStep();
    void addNewKeepsStoredOrderAndExactCount();
    void moveNextStandsPastTheEndOnce();
    void deleteDropsTheCountAndStaysOnTheGoneRecord();
    void deleteAllLoopEndsAtZero();
    void equalityIgnoresCaseForEveryLetter();
    void likeSelectsByFirstLetter();
    void leadingBlankIsNotFoundByTrimmedText();
    void hostileNamesAreStoredAndFoundExactly();
    void longValuesAreStoredWhole();
    void queryCountCountsVisitedMatches();
    void recordIdentitySurvivesEqualNames();
    void updateOfAGoneRecordWritesNothing();
    void writesAreSeenThroughAnotherConnection();
    void writesOfAnotherProcessAreSeenAndNotBlocked();
    void transactionsAreAllOrNothing();
    void nullFieldsReadAsNullOrEmptyText();
    void dialectAcceptsTheProgramsQueries_data();
    void dialectAcceptsTheProgramsQueries();
    void dialectRefusesOtherTexts_data();
    void dialectRefusesOtherTexts();
    void likePatterns_data();
    void likePatterns();
};

void tst_engine::opensTheInstalledFile()
{
    TempLinksDb file;
    Database db = LinksDb::open();
    QVERIFY(db.isOpen());
    Recordset other = db.openRecordset(QStringLiteral("Other"), RecordsetType::Table);
    QCOMPARE(other.recordCount(), 1);
    QCOMPARE(other.value(QStringLiteral("FirstRun")).toInt(), 0);
    QCOMPARE(other.text(QStringLiteral("PasswordProtected")), QStringLiteral("No"));
    Recordset links = db.openRecordset(QStringLiteral("links"), RecordsetType::Table);
    QCOMPARE(links.recordCount(), 0);
    // Field names ignore case, as the program's callers expect.
    QCOMPARE(other.text(QStringLiteral("passwordprotected")), QStringLiteral("No"));
    QCOMPARE(errorOf([&] { other.value(QStringLiteral("NoSuchField")); }), DbErr::FieldNotFound);
}

namespace {
// Every statement run on every connection opened from here on, in order, one list per connection.
QList<std::pair<sqlite3*, QStringList>> g_traced;

int traceStatement(unsigned, void* db, void* stmt, void*)
{
    for (auto it = g_traced.rbegin(); it != g_traced.rend(); ++it) {
        if (it->first == db) {
            it->second << QString::fromUtf8(sqlite3_sql(static_cast<sqlite3_stmt*>(stmt)));
            break;
        }
    }
    return 0;
}

int traceNewConnection(sqlite3* db, char**, const sqlite3_api_routines*)
{
    g_traced.append(std::make_pair(db, QStringList()));
    sqlite3_trace_v2(db, SQLITE_TRACE_STMT, &traceStatement, db);
    return SQLITE_OK;
}
} // namespace

void tst_engine::cipherSettingsComeBeforeAnyRead()
{
    // Newer SQLCipher reads the cipher settings at the first page access: a statement before them
    // would decrypt with the wrong ones. Both the program and the file tool must set them first.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("links.mdb"));
    g_traced.clear();
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(&traceNewConnection));
    QString error;
    const bool created = LinksDb::create(path, &error);
    Database db = Database::open(path, LinksDb::connect());
    db.openRecordset(QStringLiteral("links"), RecordsetType::Table);
    sqlite3_cancel_auto_extension(reinterpret_cast<void (*)()>(&traceNewConnection));
    QVERIFY2(created, qPrintable(error));

    QCOMPARE(g_traced.size(), 2); // the tool's connection and the program's
    for (const auto& [db, statements] : std::as_const(g_traced))
        QCOMPARE(statements.value(0), QStringLiteral("PRAGMA cipher_compatibility = 3"));
}

void tst_engine::refusesFilesItCannotOpen_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("error");
    QByteArray random(4096, '\0');
    QRandomGenerator gen(7);
    for (char& c : random)
        c = char(gen.bounded(256));
    QTest::newRow("empty") << QByteArray() << DbErr::NotADatabase;
    QTest::newRow("text") << QByteArray("These are my links, typed by hand.\n") << DbErr::NotADatabase;
    QTest::newRow("random pages") << random << DbErr::WrongPassword;
    QTest::newRow("random odd size") << random.left(3000) << DbErr::NotADatabase;
    QTest::newRow("plain database header")
        << QByteArray("SQLite format 3\0", 16) + QByteArray(1008, '\0') << DbErr::NotADatabase;
}

void tst_engine::refusesFilesItCannotOpen()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, error);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("links.mdb"));
    writeFile(path, bytes);
    QCOMPARE(errorOf([&] { Database::open(path, LinksDb::connect()); }), error);
    QCOMPARE(readFile(path), bytes); // left exactly as it was

    // A missing file is refused and never created.
    const QString missing = dir.filePath(QStringLiteral("missing/links.mdb"));
    QCOMPARE(errorOf([&] { Database::open(missing, LinksDb::connect()); }), DbErr::FileNotFound);
    QVERIFY(!QFile::exists(missing));
}

void tst_engine::refusesAWrongPassword()
{
    TempLinksDb file;
    const QByteArray before = file.bytes();
    QCOMPARE(errorOf([&] { Database::open(file.path(), QStringLiteral(";PWD=VUNOK")); }), DbErr::WrongPassword);
    QCOMPARE(errorOf([&] { Database::open(file.path(), QStringLiteral(";PWD=")); }), DbErr::WrongPassword);
    QCOMPARE(errorOf([&] { Database::open(file.path(), QString()); }), DbErr::WrongPassword);
    QCOMPARE(file.bytes(), before);
    // The raw file holds no readable table or field name.
    QVERIFY(!before.contains("SiteName"));
    QVERIFY(!before.contains("PasswordProtected"));
}

void tst_engine::refusesAMissingTable()
{
    TempLinksDb file;
    Database db = file.open();
    QCOMPARE(errorOf([&] { db.openRecordset(QStringLiteral("contacts"), RecordsetType::Table); }),
             DbErr::TableNotFound);
    QCOMPARE(errorOf([&] { db.openRecordset(QStringLiteral("SELECT * FROM contacts WHERE SiteName = 'a'")); }),
             DbErr::TableNotFound);
    QCOMPARE(errorOf([&] { db.openRecordset(QStringLiteral("SELECT * FROM links WHERE Name = 'a'")); }),
             DbErr::FieldNotFound);
}

void tst_engine::emptyTableFailsEveryRecordStep()
{
    TempLinksDb file;
    Database db = file.open();
    Recordset rs = db.openRecordset(QStringLiteral("links"), RecordsetType::Table);
    QCOMPARE(rs.recordCount(), 0);
    QVERIFY(!rs.hasCurrentRecord());
    QCOMPARE(errorOf([&] { rs.moveFirst(); }), DbErr::NoCurrentRecord);
    QCOMPARE(errorOf([&] { rs.moveLast(); }), DbErr::NoCurrentRecord);
    QCOMPARE(errorOf([&] { rs.moveNext(); }), DbErr::NoCurrentRecord);
    QCOMPARE(errorOf([&] { rs.value(QStringLiteral("SiteName")); }), DbErr::NoCurrentRecord);
    QCOMPARE(errorOf([&] { rs.edit(); }), DbErr::NoCurrentRecord);
    QCOMPARE(errorOf([&] { rs.deleteRecord(); }), DbErr::NoCurrentRecord);
    QCOMPARE(errorOf([&] { rs.update(); }), DbErr::NoEditInProgress);
    QCOMPARE(errorOf([&] { rs.id(); }), DbErr::NoCurrentRecord);

    Recordset none = db.openRecordset(QStringLiteral("Select * from links where SiteName = 'x'"));
    QCOMPARE(none.recordCount(), 0);
    QCOMPARE(errorOf([&] { none.value(QStringLiteral("URL")); }), DbErr::NoCurrentRecord);
    QCOMPARE(errorOf([&] { none.moveLast(); }), DbErr::NoCurrentRecord);
}

void tst_engine::addNewKeepsStoredOrderAndExactCount()
{
    TempLinksDb file;
    Database db = file.open();
    Recordset rs = db.openRecordset(QStringLiteral("links"), RecordsetType::Table);
    const QStringList names{QStringLiteral("beta"), QStringLiteral("Alpha"), QStringLiteral("gamma")};
    for (int i = 0; i < names.size(); ++i) {
        rs.addNew();
        rs.setValue(QStringLiteral("SiteName"), names[i]);
        rs.setValue(QStringLiteral("URL"), QStringLiteral("http://%1.example").arg(i));
        rs.update();
        QCOMPARE(rs.recordCount(), i + 1);
    }
    QCOMPARE(namesOf(rs), names);
    // A cursor opened afterwards sees the same stored order.
    Recordset again = db.openRecordset(QStringLiteral("links"), RecordsetType::Table);
    QCOMPARE(again.text(QStringLiteral("SiteName")), QStringLiteral("beta"));
    QCOMPARE(namesOf(again), names);
    again.moveLast();
    QCOMPARE(again.text(QStringLiteral("URL")), QStringLiteral("http://2.example"));
}

void tst_engine::moveNextStandsPastTheEndOnce()
{
    TempLinksDb file;
    file.addLinks({{QStringLiteral("one"), QStringLiteral("u1")}, {QStringLiteral("two"), QStringLiteral("u2")}});
    Database db = file.open();
    Recordset rs = db.openRecordset(QStringLiteral("links"), RecordsetType::Table);
    rs.moveLast();
    QCOMPARE(rs.text(QStringLiteral("SiteName")), QStringLiteral("two"));
    rs.moveNext(); // past the end, without failing
    QVERIFY(!rs.hasCurrentRecord());
    QCOMPARE(errorOf([&] { rs.value(QStringLiteral("SiteName")); }), DbErr::NoCurrentRecord);
    QCOMPARE(errorOf([&] { rs.moveNext(); }), DbErr::NoCurrentRecord);
    rs.moveFirst();
    QCOMPARE(rs.text(QStringLiteral("SiteName")), QStringLiteral("one"));
}

void tst_engine::deleteDropsTheCountAndStaysOnTheGoneRecord()
{
    TempLinksDb file;
    file.addLinks({{QStringLiteral("a"), QStringLiteral("1")},
                   {QStringLiteral("b"), QStringLiteral("2")},
                   {QStringLiteral("c"), QStringLiteral("3")}});
    Database db = file.open();
    Recordset rs = db.openRecordset(QStringLiteral("links"), RecordsetType::Table);
    rs.moveNext(); // on "b"
    rs.deleteRecord();
    QCOMPARE(rs.recordCount(), 2);
    QCOMPARE(errorOf([&] { rs.value(QStringLiteral("SiteName")); }), DbErr::RecordDeleted);
    QCOMPARE(errorOf([&] { rs.edit(); }), DbErr::RecordDeleted);
    QCOMPARE(errorOf([&] { rs.deleteRecord(); }), DbErr::RecordDeleted);
    rs.moveNext();
    QCOMPARE(rs.text(QStringLiteral("SiteName")), QStringLiteral("c"));
    QCOMPARE(file.links(), (QList<Link>{{QStringLiteral("a"), QStringLiteral("1")},
                                        {QStringLiteral("c"), QStringLiteral("3")}}));
}

void tst_engine::deleteAllLoopEndsAtZero()
{
    TempLinksDb file;
    QList<Link> many;
    for (int i = 0; i < 60; ++i)
        many << Link(QStringLiteral("site %1").arg(i), QStringLiteral("http://%1.example").arg(i));
    file.addLinks(many);
    Database db = file.open();
    Recordset rs = db.openRecordset(QStringLiteral("links"), RecordsetType::Table);
    int passes = 0;
    while (rs.recordCount() != 0) {
        rs.moveFirst();
        rs.deleteRecord();
        rs.moveNext();
        QVERIFY(++passes <= 60);
    }
    QCOMPARE(passes, 60);
    QCOMPARE(file.linkCount(), 0);
}

void tst_engine::equalityIgnoresCaseForEveryLetter()
{
    TempLinksDb file;
    file.addLinks({{QStringLiteral("ABC"), QStringLiteral("1")},
                   {QStringLiteral("Éclair"), QStringLiteral("2")},
                   {QStringLiteral("abcd"), QStringLiteral("3")},
                   {QStringLiteral("straße"), QStringLiteral("4")}});
    Database db = file.open();
    QCOMPARE(query(db, QStringLiteral("Select * from links where SiteName = 'abc'")), QStringList{"ABC"});
    QCOMPARE(query(db, QStringLiteral("Select * from links where SiteName = 'éCLAIR'")), QStringList{"Éclair"});
    QCOMPARE(query(db, QStringLiteral("Select * from links where SiteName = 'STRASSE'")), QStringList());
    QCOMPARE(query(db, QStringLiteral("Select * from links where SiteName = 'STRAßE'")), QStringList{"straße"});
    // Wildcards mean nothing to "=".
    QCOMPARE(query(db, QStringLiteral("Select * from links where SiteName = 'ab*'")), QStringList());
}

void tst_engine::likeSelectsByFirstLetter()
{
    TempLinksDb file;
    file.addLinks({{QStringLiteral("banana"), QStringLiteral("1")},
                   {QStringLiteral("Apple"), QStringLiteral("2")},
                   {QStringLiteral("Berry"), QStringLiteral("3")},
                   {QStringLiteral(" bee"), QStringLiteral("4")},
                   {QStringLiteral("ébène"), QStringLiteral("5")}});
    Database db = file.open();
    const QString filter = QStringLiteral("SELECT * FROM links WHERE SiteName LIKE '") + QStringLiteral("B") +
                           QStringLiteral("'") + QStringLiteral("& '*'");
    QCOMPARE(query(db, filter), (QStringList{"banana", "Berry"}));
    QCOMPARE(query(db, QStringLiteral("SELECT * FROM links WHERE SiteName LIKE 'É' & '*'")), QStringList{"ébène"});
    QCOMPARE(query(db, QStringLiteral("SELECT * FROM links WHERE SiteName LIKE 'Z' & '*'")), QStringList());
}

void tst_engine::leadingBlankIsNotFoundByTrimmedText()
{
    TempLinksDb file;
    file.addLinks({{QStringLiteral(" Spaced "), QStringLiteral("1")}});
    Database db = file.open();
    QCOMPARE(query(db, QStringLiteral("Select * from links where SiteName = 'Spaced'")), QStringList());
    QCOMPARE(query(db, QStringLiteral("Select * from links where SiteName = ' spaced '")),
             QStringList{" Spaced "});
}

void tst_engine::hostileNamesAreStoredAndFoundExactly()
{
    const QStringList hostile{QStringLiteral("O'Brien's"),
                              QStringLiteral("say \"hi\""),
                              QStringLiteral("100%"),
                              QStringLiteral("a_b"),
                              QStringLiteral("*"),
                              QStringLiteral("?"),
                              QStringLiteral("[abc]"),
                              QStringLiteral("back\\slash"),
                              QStringLiteral("'; DROP TABLE links; --"),
                              QStringLiteral("a & b"),
                              QStringLiteral("#1"),
                              QStringLiteral("\u05e9\u05dc\u05d5\u05dd"),
                              QStringLiteral("\U0001F600 smile"),
                              QStringLiteral("e\u0301")};
    TempLinksDb file;
    QList<Link> links;
    for (const QString& name : hostile)
        links << Link(name, QStringLiteral("url of ") + name);
    file.addLinks(links);
    Database db = file.open();
    for (const QString& name : hostile) {
        Recordset rs = db.openRecordset(QStringLiteral("Select * from links where SiteName = ") + sqlQuote(name));
        rs.moveLast();
        QCOMPARE(rs.recordCount(), 1);
        QCOMPARE(rs.text(QStringLiteral("SiteName")), name);
        QCOMPARE(rs.text(QStringLiteral("URL")), QStringLiteral("url of ") + name);
    }
    QCOMPARE(file.links(), links);
}

void tst_engine::longValuesAreStoredWhole()
{
    TempLinksDb file;
    const QString longName = QString(100000, QLatin1Char('n')) + QStringLiteral("end");
    const QString longUrl = QStringLiteral("http://example.org/") + QString(100000, QLatin1Char('u'));
    file.addLinks({{longName, longUrl}});
    QCOMPARE(file.links(), (QList<Link>{{longName, longUrl}}));
}

void tst_engine::queryCountCountsVisitedMatches()
{
    TempLinksDb file;
    file.addLinks({{QStringLiteral("bee"), QStringLiteral("1")},
                   {QStringLiteral("bat"), QStringLiteral("2")},
                   {QStringLiteral("bug"), QStringLiteral("3")}});
    Database db = file.open();
    Recordset rs = db.openRecordset(QStringLiteral("SELECT * FROM links WHERE SiteName LIKE 'b' & '*'"));
    QCOMPARE(rs.recordCount(), 1);
    rs.moveLast();
    QCOMPARE(rs.recordCount(), 3);
    rs.moveFirst();
    QCOMPARE(rs.text(QStringLiteral("SiteName")), QStringLiteral("bee"));
}

void tst_engine::recordIdentitySurvivesEqualNames()
{
    TempLinksDb file;
    file.addLinks(
        {{QStringLiteral("twin"), QStringLiteral("first")}, {QStringLiteral("twin"), QStringLiteral("second")}});
    Database db = file.open();
    Recordset all = db.openRecordset(QStringLiteral("links"), RecordsetType::Table);
    all.moveNext();
    const qint64 secondId = all.id();

    Recordset one = db.openRecord(QStringLiteral("links"), secondId);
    QCOMPARE(one.recordCount(), 1);
    QCOMPARE(one.text(QStringLiteral("URL")), QStringLiteral("second"));
    one.edit();
    one.setValue(QStringLiteral("URL"), QStringLiteral("changed"));
    one.update();
    QCOMPARE(file.links(), (QList<Link>{{QStringLiteral("twin"), QStringLiteral("first")},
                                        {QStringLiteral("twin"), QStringLiteral("changed")}}));

    one.deleteRecord();
    Recordset gone = db.openRecord(QStringLiteral("links"), secondId);
    QCOMPARE(gone.recordCount(), 0);
    QVERIFY(!gone.hasCurrentRecord());
    QCOMPARE(file.linkCount(), 1);
}

void tst_engine::updateOfAGoneRecordWritesNothing()
{
    TempLinksDb file;
    file.addLinks({{QStringLiteral("keep"), QStringLiteral("1")}, {QStringLiteral("lose"), QStringLiteral("2")}});
    Database db = file.open();
    Recordset editor = db.openRecordset(QStringLiteral("Select * from links where SiteName = 'lose'"));
    editor.edit();
    editor.setValue(QStringLiteral("SiteName"), QStringLiteral("renamed"));
    {
        Recordset other =
            LinksDb::open().openRecordset(QStringLiteral("Select * from links where SiteName = 'lose'"));
        other.deleteRecord();
    }
    QCOMPARE(errorOf([&] { editor.update(); }), DbErr::RecordDeleted);
    QCOMPARE(file.links(), (QList<Link>{{QStringLiteral("keep"), QStringLiteral("1")}}));
}

void tst_engine::writesAreSeenThroughAnotherConnection()
{
    TempLinksDb file;
    Database first = file.open();
    Recordset held = first.openRecordset(QStringLiteral("links"), RecordsetType::Table);
    QCOMPARE(held.recordCount(), 0);
    {
        Database second = LinksDb::open();
        Recordset rs = second.openRecordset(QStringLiteral("links"), RecordsetType::Table);
        rs.addNew();
        rs.setValue(QStringLiteral("SiteName"), QStringLiteral("new"));
        rs.setValue(QStringLiteral("URL"), QStringLiteral("None"));
        rs.update();
    }
    // The table cursor counts exactly at all times; a cursor opened afterwards sees the record.
    QCOMPARE(held.recordCount(), 1);
    Recordset fresh = first.openRecordset(QStringLiteral("links"), RecordsetType::Table);
    QCOMPARE(fresh.text(QStringLiteral("SiteName")), QStringLiteral("new"));
}

void tst_engine::writesOfAnotherProcessAreSeenAndNotBlocked()
{
    TempLinksDb file;
    file.addLinks({{QStringLiteral("mine"), QStringLiteral("1")}});
    Database db = file.open();
    Recordset held = db.openRecordset(QStringLiteral("links"), RecordsetType::Table); // held open meanwhile
    QCOMPARE(held.text(QStringLiteral("SiteName")), QStringLiteral("mine"));

    QProcess shell;
    shell.start(QStringLiteral("sqlcipher"), {file.path()});
    QVERIFY(shell.waitForStarted());
    shell.write("PRAGMA key = 'vunok';\n"
                "PRAGMA cipher_compatibility = 3;\n"
                "INSERT INTO links (SiteName, URL) VALUES ('theirs', '2');\n");
    shell.closeWriteChannel();
    QVERIFY(shell.waitForFinished());
    QCOMPARE(shell.exitCode(), 0);
    QVERIFY2(shell.readAllStandardError().isEmpty(), "the other process could not write");

    QCOMPARE(held.recordCount(), 2);
    Recordset fresh = db.openRecordset(QStringLiteral("links"), RecordsetType::Table);
    QCOMPARE(namesOf(fresh), (QStringList{"mine", "theirs"}));
}

void tst_engine::transactionsAreAllOrNothing()
{
    TempLinksDb file;
    file.addLinks({{QStringLiteral("a"), QStringLiteral("1")}, {QStringLiteral("b"), QStringLiteral("2")}});
    Database db = file.open();
    {
        Transaction t(db);
        QCOMPARE(db.execute(QStringLiteral("DELETE FROM links")), 2);
        // Not committed: the destructor rolls back.
    }
    QCOMPARE(file.linkCount(), 2);
    Recordset held = db.openRecordset(QStringLiteral("links"), RecordsetType::Table);
    {
        Transaction t(db);
        db.execute(QStringLiteral("DELETE FROM links WHERE SiteName = ?1"), {QStringLiteral("a")});
        t.commit();
    }
    QCOMPARE(held.recordCount(), 1);
    QCOMPARE(file.links(), (QList<Link>{{QStringLiteral("b"), QStringLiteral("2")}}));
}

void tst_engine::nullFieldsReadAsNullOrEmptyText()
{
    TempLinksDb file;
    file.setOther(QVariant(), QStringLiteral("No"), QVariant(), QVariant());
    Database db = file.open();
    Recordset other = db.openRecordset(QStringLiteral("Other"), RecordsetType::Table);
    QVERIFY(other.value(QStringLiteral("FirstRun")).isNull());
    QVERIFY(other.value(QStringLiteral("Password")).isNull());
    QCOMPARE(other.text(QStringLiteral("Username")), QString());
    other.edit();
    other.setValue(QStringLiteral("FirstRun"), 1);
    other.update();
    QCOMPARE(file.other(QStringLiteral("FirstRun")).toInt(), 1);
    QVERIFY(file.other(QStringLiteral("Password")).isNull());
}

void tst_engine::dialectAcceptsTheProgramsQueries_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("like");
    QTest::addColumn<QString>("operand");
    QTest::newRow("lookup") << "Select * from links where SiteName = 'Home'"
                            << "SiteName" << false << "Home";
    QTest::newRow("filter") << "SELECT * FROM links WHERE SiteName LIKE 'B'& '*'"
                            << "SiteName" << true << "B*";
    QTest::newRow("apostrophes") << "select * FROM links WHERE SiteName = 'O''Brien''s'"
                                 << "SiteName" << false << "O'Brien's";
    QTest::newRow("brackets and ;") << "SELECT * FROM [links] WHERE [SiteName] = \"a\"\"b\";"
                                    << "SiteName" << false << "a\"b";
    QTest::newRow("joined") << "SELECT * FROM links WHERE URL LIKE 'http' & '://' & '*'"
                            << "URL" << true << "http://*";
    QTest::newRow("empty literal") << "Select * from links where SiteName = ''"
                                   << "SiteName" << false << "";
}

void tst_engine::dialectAcceptsTheProgramsQueries()
{
    QFETCH(QString, text);
    QFETCH(QString, field);
    QFETCH(bool, like);
    QFETCH(QString, operand);
    const ParsedQuery q = parseQuery(text);
    QCOMPARE(q.table.toLower(), QStringLiteral("links"));
    QCOMPARE(q.field, field);
    QCOMPARE(q.op == ParsedQuery::Op::Like, like);
    QCOMPARE(q.operand, operand);
}

void tst_engine::dialectRefusesOtherTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("unclosed literal") << "Select * from links where SiteName = 'O'Brien'";
    QTest::newRow("name cut short") << "Select * from links where SiteName = 'abc";
    QTest::newRow("second statement") << "Select * from links where SiteName = ''; DROP TABLE links; --'";
    QTest::newRow("columns") << "Select SiteName from links where SiteName = 'a'";
    QTest::newRow("no where") << "Select * from links";
    QTest::newRow("or") << "Select * from links where SiteName = 'a' or 1 = 1";
    QTest::newRow("number") << "Select * from links where SiteName = 1";
    QTest::newRow("dangling &") << "Select * from links where SiteName = 'a' &";
    QTest::newRow("unclosed bracket") << "Select * from [links where SiteName = 'a'";
}

void tst_engine::dialectRefusesOtherTexts()
{
    QFETCH(QString, text);
    QCOMPARE(errorOf([&] { parseQuery(text); }), DbErr::SyntaxError);
}

void tst_engine::likePatterns_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("matches");
    QTest::newRow("star") << "Banana"
                          << "b*" << true;
    QTest::newRow("star middle") << "Banana"
                                 << "b*na" << true;
    QTest::newRow("star no") << "Banana"
                             << "c*" << false;
    QTest::newRow("question") << "cat"
                              << "c?t" << true;
    QTest::newRow("question too short") << "ct"
                                        << "c?t" << false;
    QTest::newRow("digit") << "R2D2"
                           << "R#D#" << true;
    QTest::newRow("digit no") << "RXD2"
                              << "R#D#" << false;
    QTest::newRow("set") << "bat"
                         << "[abc]at" << true;
    QTest::newRow("range") << "mat"
                           << "[a-z]at" << true;
    QTest::newRow("negated") << "bat"
                             << "[!b]at" << false;
    QTest::newRow("literal star in set") << "*x"
                                         << "[*]x" << true;
    QTest::newRow("unclosed bracket literal") << "[x"
                                              << "[x" << true;
    QTest::newRow("case") << "ÉCOLE"
                          << "é*" << true;
    QTest::newRow("emoji one char") << "\U0001F600"
                                    << "?" << true;
    QTest::newRow("percent is literal") << "100"
                                        << "1%" << false;
    QTest::newRow("many stars") << "aaaaaaaaaaaaaaaaaaaaaaaaaaaaab"
                                << "*a*a*a*a*a*a*c" << false;
    QTest::newRow("empty") << ""
                           << "*" << true;
}

void tst_engine::likePatterns()
{
    QFETCH(QString, value);
    QFETCH(QString, pattern);
    QFETCH(bool, matches);
    QCOMPARE(likeMatches(value, pattern), matches);
}

void tst_engine::aCopyIsTheCommittedFileAndARestoreIsWhole()
{
    TempLinksDb db;
    QList<Link> links;
    for (int i = 0; i < 3000; ++i)
        links.append({QStringLiteral("name %1").arg(i), QStringLiteral("http://%1.example/").arg(i)});
    db.addLinks(links);
    const Database live = db.open();
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("copy.mdb"));
    {
        // Another process in the middle of a write: the copy is taken meanwhile, of what is committed.
        testkit::WriteLockHolder writer;
        QVERIFY(writer.take(db.path()));
        live.backupTo(copy);
    }
    QCOMPARE(readFile(copy), readFile(db.path()));
    QCOMPARE(errorOf([&] { live.backupTo(copy); }), DbErr::CannotOpen); // never over an existing file
    const QString other = dir.filePath(QStringLiteral("other.mdb"));
    Database::copyFile(db.path(), other, LinksDb::connect());
    QCOMPARE(readFile(other), readFile(db.path()));

    // Changed, then brought back: every record with its identity.
    live.execute(QStringLiteral("DELETE FROM links WHERE rowid % 2 = 0"));
    live.execute(QStringLiteral("INSERT INTO links (SiteName, URL) VALUES ('later', 'x')"));
    live.restoreFrom(copy);
    QCOMPARE(db.links(), links);
    QCOMPARE(live.integrityCheck(), QStringLiteral("ok"));
    QCOMPARE(query(live, QStringLiteral("SELECT * FROM links WHERE SiteName = 'name 2999'")),
             QStringList{"name 2999"});

    // A file that is no copy of ours is refused and changes nothing.
    const QByteArray before = readFile(db.path());
    writeFile(other, QByteArray(4096, 'x'));
    QCOMPARE(errorOf([&] { live.restoreFrom(other); }), DbErr::NotADatabase);
    QCOMPARE(readFile(db.path()), before);
}

QTEST_GUILESS_MAIN(tst_engine)
#include "tst_engine.moc"
