// The engine's short cuts for large lists, each held to what the plain cursor steps give: reading
// a field of many records in one pass, filling the main list from a table, and an Update that
// changes nothing.

#include "data/Database.h"
#include "data/LinksDb.h"
#include "data/LinksStore.h"
#include "testkit/TestKit.h"
#include "windowkit/ListBox.h"

#include <QCollator>
#include <QtTest>

#include <functional>

using testkit::errorOf;
using testkit::Link;
using testkit::TempLinksDb;

namespace {

// What was read, the failure number, and where the cursor stood afterwards.
QString outcome(Recordset& rs, const QStringList& texts, const QList<qint64>& ids, int error)
{
    QStringList parts{QString::number(error)};
    for (qsizetype i = 0; i < texts.size(); ++i)
        parts << QStringLiteral("%1=%2").arg(ids.value(i)).arg(texts[i]);
    parts << (rs.hasCurrentRecord() ? QStringLiteral("on %1").arg(rs.id()) : QStringLiteral("on no record"));
    return parts.join(QLatin1Char('|'));
}

// The plain loop: count times read the field and move on; a failure keeps nothing.
QString byLoop(Recordset& rs, const QString& field, int count)
{
    QStringList texts;
    QList<qint64> ids;
    const int error = errorOf([&] {
        for (int i = 0; i < count; ++i) {
            texts.append(rs.text(field));
            ids.append(rs.id());
            rs.moveNext();
        }
    });
    if (error) {
        texts.clear();
        ids.clear();
    }
    return outcome(rs, texts, ids, error);
}

// The same in one pass, appending after what the caller holds and keeping it on a failure.
QString inOnePass(Recordset& rs, const QString& field, int count)
{
    QStringList texts{QStringLiteral("held")};
    QList<qint64> ids{-7};
    const int error = errorOf([&] { rs.readTexts(field, count, texts, ids); });
    if (texts.value(0) != QLatin1String("held") || ids.value(0) != -7)
        return QStringLiteral("lost what the caller held");
    return outcome(rs, texts.mid(1), ids.mid(1), error);
}

QList<Link> manyLinks(int count)
{
    QList<Link> links;
    for (int i = 0; i < count; ++i)
        links.append({QStringLiteral("Site %1 %2").arg(QString::fromUtf8(i % 7 ? "Café" : "o'neil")).arg(i),
                      QStringLiteral("https://example.com/%1").arg(i)});
    return links;
}

QStringList sortedNames(const QList<Link>& links)
{
    QCollator collator(QLocale(QLocale::English, QLocale::UnitedStates));
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    QStringList names;
    for (const Link& l : links)
        names.append(l.name);
    std::stable_sort(names.begin(), names.end(),
                     [&collator](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
    return names;
}

QStringList entries(const ListBox& list)
{
    QStringList texts;
    for (int i = 0; i < list.ListCount(); ++i)
        texts.append(list.List(i));
    return texts;
}

} // namespace

class tst_bulkread : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // From any start and for any count, one pass reads and leaves the cursor as the loop does,
    // across read-ahead chunks, up to the end and one past it.
    void onePassReadsWhatTheLoopReads_data()
    {
        QTest::addColumn<int>("skip");
        QTest::addColumn<int>("count");
        QTest::newRow("first only") << 0 << 1;
        QTest::newRow("all") << 0 << 300;
        QTest::newRow("all but the last") << 0 << 299;
        QTest::newRow("from the middle, across chunks") << 70 << 200;
        QTest::newRow("the last") << 299 << 1;
        QTest::newRow("one too many") << 0 << 301;
        QTest::newRow("from the last, two") << 299 << 2;
        QTest::newRow("none") << 5 << 0;
    }

    void onePassReadsWhatTheLoopReads()
    {
        QFETCH(int, skip);
        QFETCH(int, count);
        TempLinksDb file;
        file.addLinks(manyLinks(300));
        Database db = file.open();
        Recordset a = db.openRecordset(QStringLiteral("links"), RecordsetType::Table);
        Recordset b = db.openRecordset(QStringLiteral("links"), RecordsetType::Table);
        for (int i = 0; i < skip; ++i) {
            a.moveNext();
            b.moveNext();
        }
        QCOMPARE(inOnePass(a, QStringLiteral("SiteName"), count), byLoop(b, QStringLiteral("SiteName"), count));
        // Both go on alike.
        QCOMPARE(errorOf([&] { a.moveNext(); }), errorOf([&] { b.moveNext(); }));
        QCOMPARE(outcome(a, {}, {}, 0), outcome(b, {}, {}, 0));
    }

    // Field names ignore case; numbers and Null read as text() reads them; query cursors and a
    // cursor on no record behave as the loop does.
    void onePassOnOtherFieldsAndCursors()
    {
        TempLinksDb file;
        file.setOther(1, QStringLiteral("No"), QVariant(), QStringLiteral("pw"));
        file.addLinks(manyLinks(40));
        Database db = file.open();
        db.execute(
            QStringLiteral("INSERT INTO Other (FirstRun, PasswordProtected) VALUES (NULL, 'Yes'), (2.5, NULL)"));
        for (const char* field : {"firstrun", "PasswordProtected", "Username"}) {
            Recordset a = db.openRecordset(QStringLiteral("Other"), RecordsetType::Table);
            Recordset b = db.openRecordset(QStringLiteral("Other"), RecordsetType::Table);
            QCOMPARE(inOnePass(a, field, 3), byLoop(b, field, 3));
        }
        Recordset other = db.openRecordset(QStringLiteral("Other"), RecordsetType::Table);
        QStringList texts;
        QList<qint64> ids;
        other.readTexts(QStringLiteral("FirstRun"), 3, texts, ids);
        QCOMPARE(texts, (QStringList{"1", QString(), "2.5"}));
        QCOMPARE(errorOf([&] { other.readTexts(QStringLiteral("NoSuchField"), 1, texts, ids); }),
                 DbErr::FieldNotFound);

        for (int count : {40, 41}) {
            const QString text = QStringLiteral("SELECT * FROM links WHERE SiteName LIKE 's' & '*'");
            Recordset a = db.openRecordset(text);
            Recordset b = db.openRecordset(text);
            QCOMPARE(inOnePass(a, "SiteName", count), byLoop(b, "SiteName", count));
        }
        Recordset none = db.openRecordset(QStringLiteral("Select * from links where SiteName = 'nothing'"));
        QCOMPARE(errorOf([&] { none.readTexts(QStringLiteral("SiteName"), 1, texts, ids); }),
                 DbErr::NoCurrentRecord);
    }

    // Writes made after the cursor read ahead are seen, as the loop sees them.
    void onePassSeesWritesMadeSinceTheCursorRead()
    {
        TempLinksDb file;
        file.addLinks(manyLinks(10));
        Database db = file.open();
        Recordset a = db.openRecordset(QStringLiteral("links"), RecordsetType::Table);
        Recordset b = db.openRecordset(QStringLiteral("links"), RecordsetType::Table);
        {
            Recordset writer = LinksDb::open().openRecordset(QStringLiteral("links"), RecordsetType::Table);
            writer.edit();
            writer.setValue(QStringLiteral("SiteName"), QStringLiteral("first, renamed"));
            writer.update();
            writer.moveNext();
            writer.deleteRecord();
            writer.addNew();
            writer.setValue(QStringLiteral("SiteName"), QStringLiteral("added"));
            writer.setValue(QStringLiteral("URL"), QStringLiteral("u"));
            writer.update();
        }
        const QString read = inOnePass(a, QStringLiteral("SiteName"), 10);
        QCOMPARE(read, byLoop(b, QStringLiteral("SiteName"), 10));
        QVERIFY(read.contains(QLatin1String("first, renamed")) && read.contains(QLatin1String("added")));
        QVERIFY(!read.contains(manyLinks(10)[1].name));
    }

    // The main list's fill: every link once, in list order, each entry with its own record, the
    // refills after changes to the file agree with a full sort each time.
    void fillListsEveryLinkInListOrder()
    {
        TempLinksDb file;
        file.addLinks(
            manyLinks(1500) +
            QList<Link>{{"Éclair", "e1"}, {"eclair", "e2"}, {"ECLAIR", "e3"}, {" lead", "l"}, {"Zulu", "z"}});
        ListBox list(true);
        Database db = file.open();
        const auto refill = [&list] {
            LinkNames all = LinksStore::names();
            list.setItems(std::move(all.names), std::move(all.ids));
        };
        refill();
        QCOMPARE(entries(list), sortedNames(file.links()));
        for (int i = 0; i < list.ListCount(); i += 97)
            QCOMPARE(db.openRecord(QStringLiteral("links"), list.ItemData(i)).text(QStringLiteral("SiteName")),
                     list.List(i));

        // Add, rename, re-case and delete, then refill, as the windows do after each command.
        db.execute(QStringLiteral("INSERT INTO links (SiteName, URL) VALUES ('aardvark', 'a'), ('Éclair', 'e4')"));
        db.execute(QStringLiteral("UPDATE links SET SiteName = 'ZULU' WHERE SiteName = 'Zulu'"));
        db.execute(QStringLiteral("UPDATE links SET SiteName = 'renamed' WHERE rowid = 10"));
        db.execute(QStringLiteral("DELETE FROM links WHERE rowid IN (3, 500, 1501)"));
        refill();
        QCOMPARE(entries(list), sortedNames(file.links()));

        db.execute(QStringLiteral("DELETE FROM links"));
        refill();
        QCOMPARE(list.ListCount(), 0);
    }

    // An Update that changes nothing leaves the file as it was; any change, even of letter case
    // alone, is written and lasts.
    void updateThatChangesNothingLeavesTheFileAlone()
    {
        TempLinksDb file;
        file.setOther(1, QStringLiteral("No"));
        file.addLinks({{"Home", "https://home.example.com/"}});
        const QByteArray before = file.bytes();
        {
            Database db = file.open();
            Recordset other = db.openRecordset(QStringLiteral("Other"), RecordsetType::Table);
            other.edit();
            other.setValue(QStringLiteral("FirstRun"), QVariant::fromValue<qint16>(1));
            other.update();
            Recordset link = db.openRecordset(QStringLiteral("links"), RecordsetType::Table);
            link.edit();
            link.setValue(QStringLiteral("SiteName"), QStringLiteral("Home"));
            link.setValue(QStringLiteral("URL"), QStringLiteral("https://home.example.com/"));
            link.update();
        }
        QVERIFY(file.bytes() == before);

        {
            Recordset link = file.open().openRecordset(QStringLiteral("links"), RecordsetType::Table);
            link.edit();
            link.setValue(QStringLiteral("SiteName"), QStringLiteral("HOME"));
            link.update();
        }
        QVERIFY(file.bytes() != before);
        QCOMPARE(file.links(), (QList<Link>{{"HOME", "https://home.example.com/"}}));
    }

    // Exact means exact even in a column that compares without regard to case; and a record that
    // is gone is reported even when the values would not have changed it.
    void unchangedTestIsExactAndNoticesAGoneRecord()
    {
        TempLinksDb file;
        Database db = file.open();
        db.execute(QStringLiteral("CREATE TABLE tags (Name TEXT COLLATE NOCASE, Weight INTEGER)"));
        db.execute(QStringLiteral("INSERT INTO tags VALUES ('abc', 1), ('gone', 2)"));
        Recordset tags = db.openRecordset(QStringLiteral("tags"), RecordsetType::Table);
        tags.edit();
        tags.setValue(QStringLiteral("Name"), QStringLiteral("ABC"));
        tags.setValue(QStringLiteral("Weight"), QStringLiteral("1"));
        tags.update();
        Recordset check = db.openRecordset(QStringLiteral("tags"), RecordsetType::Table);
        QCOMPARE(check.value(QStringLiteral("Name")).toString(), QStringLiteral("ABC"));
        QCOMPARE(check.value(QStringLiteral("Weight")).toLongLong(), 1);

        tags.moveNext();
        tags.edit();
        tags.setValue(QStringLiteral("Name"), QStringLiteral("gone"));
        db.execute(QStringLiteral("DELETE FROM tags WHERE Name = 'gone'"));
        QCOMPARE(errorOf([&] { tags.update(); }), DbErr::RecordDeleted);
    }
};

QTEST_MAIN(tst_bulkread)
#include "tst_bulkread.moc"
