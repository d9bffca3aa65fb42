// The engine's short cuts for large lists, each held to what the plain cursor steps give: reading
// a field of many records in one pass, filling the main list from a table, and an Update that
// changes nothing.

#include "app/LinkList.h"
#include "app/ListBox.h"
#include "data/Database.h"
#include "data/LinksDb.h"
#include "testkit/TestKit.h"

#include <QCollator>
#include <QtTest>

#include <functional>

using testkit::Link;
using testkit::TempLinksDb;

namespace {

int errorOf(const std::function<void()>& body)
{
    try {
        body();
    } catch (const DbError& e) {
        return e.number();
    }
    return 0;
}

// What a cursor stands on, as a caller can see it.
QString whereIs(Recordset& rs)
{
    if (!rs.hasCurrentRecord())
        return QStringLiteral("no record");
    return QStringLiteral("%1:%2").arg(rs.id()).arg(rs.text(QStringLiteral("SiteName")));
}

struct Read {
    QStringList texts;
    QList<qint64> ids;
    int error = 0;
    QString after;
};

// The plain loop: count times read the field and move on.
Read byLoop(Recordset& rs, const QString& field, int count)
{
    Read r;
    r.error = errorOf([&] {
        for (int i = 0; i < count; ++i) {
            r.texts.append(rs.text(field));
            r.ids.append(rs.id());
            rs.moveNext();
        }
    });
    if (r.error) {
        r.texts.clear();
        r.ids.clear();
    }
    r.after = whereIs(rs);
    return r;
}

Read inOnePass(Recordset& rs, const QString& field, int count)
{
    Read r;
    r.error = errorOf([&] { rs.readTexts(field, count, r.texts, r.ids); });
    r.after = whereIs(rs);
    return r;
}

void sameRead(const Read& a, const Read& b)
{
    QCOMPARE(a.error, b.error);
    QCOMPARE(a.texts, b.texts);
    QCOMPARE(a.ids, b.ids);
    QCOMPARE(a.after, b.after);
}

QList<Link> manyLinks(int count)
{
    QList<Link> links;
    for (int i = 0; i < count; ++i)
        links.append(
            {QStringLiteral("Site %1 %2").arg(i % 7 ? QStringLiteral("Café") : QStringLiteral("o'neil")).arg(i),
             QStringLiteral("https://example.com/%1").arg(i)});
    return links;
}

QStringList sortedNames(const QList<Link>& links)
{
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    QStringList names;
    for (const Link& l : links)
        names.append(l.first);
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
    // From any start and for any count, one pass reads and leaves the cursor as the loop does,
    // past chunk borders and up to the end.
    void onePassReadsWhatTheLoopReads_data()
    {
        QTest::addColumn<int>("skip");
        QTest::addColumn<int>("count");
        QTest::newRow("first only") << 0 << 1;
        QTest::newRow("two") << 0 << 2;
        QTest::newRow("all") << 0 << 300;
        QTest::newRow("all but the last") << 0 << 299;
        QTest::newRow("from the middle, across read-ahead chunks") << 70 << 200;
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
        sameRead(inOnePass(a, QStringLiteral("SiteName"), count), byLoop(b, QStringLiteral("SiteName"), count));
        // Both go on alike.
        QCOMPARE(errorOf([&] { a.moveNext(); }), errorOf([&] { b.moveNext(); }));
        QCOMPARE(whereIs(a), whereIs(b));
    }

    // Field names ignore case; numbers and Null read as text() reads them; a query cursor and a
    // cursor on no record behave as the loop does.
    void onePassOnOtherFieldsAndCursors()
    {
        TempLinksDb file;
        file.setOther(1, QStringLiteral("No"), QVariant(), QStringLiteral("pw"));
        Database db = file.open();
        db.execute(
            QStringLiteral("INSERT INTO Other (FirstRun, PasswordProtected) VALUES (NULL, 'Yes'), (2.5, NULL)"));
        for (const QString& field :
             {QStringLiteral("firstrun"), QStringLiteral("PasswordProtected"), QStringLiteral("Username")}) {
            Recordset a = db.openRecordset(QStringLiteral("Other"), RecordsetType::Table);
            Recordset b = db.openRecordset(QStringLiteral("Other"), RecordsetType::Table);
            sameRead(inOnePass(a, field, 3), byLoop(b, field, 3));
        }
        Recordset a = db.openRecordset(QStringLiteral("Other"), RecordsetType::Table);
        QStringList texts;
        QList<qint64> ids;
        a.readTexts(QStringLiteral("FirstRun"), 3, texts, ids);
        QCOMPARE(texts, (QStringList{"1", QString(), "2.5"}));
        QCOMPARE(errorOf([&] { a.readTexts(QStringLiteral("NoSuchField"), 1, texts, ids); }),
                 DbErr::FieldNotFound);

        file.addLinks(manyLinks(40));
        Recordset q1 = db.openRecordset(QStringLiteral("SELECT * FROM links WHERE SiteName LIKE 's' & '*'"));
        Recordset q2 = db.openRecordset(QStringLiteral("SELECT * FROM links WHERE SiteName LIKE 's' & '*'"));
        sameRead(inOnePass(q1, QStringLiteral("SiteName"), 41), byLoop(q2, QStringLiteral("SiteName"), 41));
        Recordset q3 = db.openRecordset(QStringLiteral("SELECT * FROM links WHERE SiteName LIKE 's' & '*'"));
        Recordset q4 = db.openRecordset(QStringLiteral("SELECT * FROM links WHERE SiteName LIKE 's' & '*'"));
        sameRead(inOnePass(q3, QStringLiteral("SiteName"), 40), byLoop(q4, QStringLiteral("SiteName"), 40));

        Recordset empty = db.openRecordset(QStringLiteral("Select * from links where SiteName = 'nothing'"));
        QCOMPARE(errorOf([&] { empty.readTexts(QStringLiteral("SiteName"), 1, texts, ids); }),
                 DbErr::NoCurrentRecord);
    }

    // A pass that fails appends nothing to what the caller already holds.
    void failedPassAppendsNothing()
    {
        TempLinksDb file;
        file.addLinks(manyLinks(5));
        Recordset rs = file.open().openRecordset(QStringLiteral("links"), RecordsetType::Table);
        QStringList texts{"kept"};
        QList<qint64> ids{42};
        QCOMPARE(errorOf([&] { rs.readTexts(QStringLiteral("SiteName"), 6, texts, ids); }),
                 DbErr::NoCurrentRecord);
        QCOMPARE(texts, QStringList{"kept"});
        QCOMPARE(ids, QList<qint64>{42});
        QVERIFY(!rs.hasCurrentRecord());
        // Appends after what is there.
        rs.moveFirst();
        rs.readTexts(QStringLiteral("SiteName"), 2, texts, ids);
        QCOMPARE(texts, (QStringList{"kept", manyLinks(5)[0].first, manyLinks(5)[1].first}));
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
        const Read one = inOnePass(a, QStringLiteral("SiteName"), 10);
        sameRead(one, byLoop(b, QStringLiteral("SiteName"), 10));
        QCOMPARE(one.texts.first(), QStringLiteral("first, renamed"));
        QCOMPARE(one.texts.last(), QStringLiteral("added"));
        QVERIFY(!one.texts.contains(manyLinks(10)[1].first));
    }

    // The main list's fill: every link once, in list order, with its identity, and the cursor
    // past its end; refills after changes to the file agree with a full sort each time.
    void fillListsEveryLinkInListOrder()
    {
        TempLinksDb file;
        QList<Link> links = manyLinks(1500);
        links += QList<Link>{{"Éclair", "e1"}, {"eclair", "e2"}, {"ECLAIR", "e3"}, {" lead", "l"}, {"Zulu", "z"}};
        file.addLinks(links);
        ListBox list(true);
        Database db = file.open();
        Recordset rs = db.openRecordset(QStringLiteral("links"), RecordsetType::Table);
        fillLinkList(&list, rs, rs.recordCount());
        QCOMPARE(entries(list), sortedNames(file.links()));
        QVERIFY(!rs.hasCurrentRecord());
        for (int i = 0; i < list.ListCount(); ++i) {
            Recordset one = db.openRecord(QStringLiteral("links"), list.ItemData(i));
            QCOMPARE(one.text(QStringLiteral("SiteName")), list.List(i));
        }

        // Add, rename, re-case and delete, then refill, as the windows do after each command.
        db.execute(QStringLiteral("INSERT INTO links (SiteName, URL) VALUES ('aardvark', 'a'), ('Éclair', 'e4')"));
        db.execute(QStringLiteral("UPDATE links SET SiteName = 'ZULU' WHERE SiteName = 'Zulu'"));
        db.execute(QStringLiteral("UPDATE links SET SiteName = 'renamed' WHERE rowid = 10"));
        db.execute(QStringLiteral("DELETE FROM links WHERE rowid IN (3, 500, 1501)"));
        rs = db.openRecordset(QStringLiteral("links"), RecordsetType::Table);
        fillLinkList(&list, rs, rs.recordCount());
        QCOMPARE(entries(list), sortedNames(file.links()));
        QCOMPARE(list.ListIndex(), -1);

        // An empty table empties the list.
        db.execute(QStringLiteral("DELETE FROM links"));
        rs = db.openRecordset(QStringLiteral("links"), RecordsetType::Table);
        fillLinkList(&list, rs, rs.recordCount());
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
            QCOMPARE(link.text(QStringLiteral("SiteName")), QStringLiteral("Home"));
        }
        QVERIFY(file.bytes() == before);

        {
            Recordset link = file.open().openRecordset(QStringLiteral("links"), RecordsetType::Table);
            link.edit();
            link.setValue(QStringLiteral("SiteName"), QStringLiteral("HOME"));
            link.setValue(QStringLiteral("URL"), QStringLiteral("https://home.example.com/"));
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
