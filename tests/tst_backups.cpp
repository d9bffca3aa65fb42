// Backups of links.mdb through the real windows: each command that changes much at once first
// makes exactly one backup of the file as it was; the start-up backup comes once a day and only
// for a changed file; the retention keeps what it says; Restore brings every link back after
// backing up the current ones; a damaged backup is refused; a failed backup is told and the
// command waits for the user's answer; with protection on no backup gives a name or address away.
#include "app/Startup.h"
#include "app/frmMain.h"
#include "backups/BackupFolder.h"
#include "backups/Backups.h"
#include "data/Database.h"
#include "data/LinksDb.h"
#include "data/LinksStore.h"
#include "data/Protection.h"
#include "forms/backups/frmRestore.h"
#include "testkit/TestKit.h"
#include "testkit/Windows.h"
#include "vault/Vault.h"
#include "windowkit/Forms.h"
#include "windowkit/Lifecycle.h"
#include "windowkit/ListBox.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

using testkit::Link;

namespace {

const QDateTime Today(QDate(2026, 12, 7), QTime(10, 0, 0));

// Names and addresses as hostile as they come, each with a token of its own to look for.
QList<Link> hostileLinks()
{
    return {
        {"Bk4zTokenA O'Brien's 'x'; DROP TABLE links; --", "https://Bk4zUrlA.example/?q='1'"},
        {QString::fromUtf8("Bk4zTokenB \u202Eevil مرحبا 😀"), QString::fromUtf8("http://Bk4zUrlB.example/é")},
        {QStringLiteral("Bk4zTokenC ctl\x01\x1f\x7f \"quoted\" 100% _*?"), "Bk4zUrlC"},
        {"Bk4zTokenD " + QString(5000, QLatin1Char('n')), "None"},
        {"  Bk4zTokenE padded  ", "<a href=x>Bk4zUrlE</a>"},
    };
}

// What must never be found in a dump of a protected file: every token, as text and in hex.
QList<QByteArray> secrets()
{
    QList<QByteArray> found;
    for (const char* token : {"Bk4zTokenA", "Bk4zTokenB", "Bk4zTokenC", "Bk4zTokenD", "Bk4zTokenE", "Bk4zUrlA",
                              "Bk4zUrlB", "Bk4zUrlC", "Bk4zUrlE"})
        found << QByteArray(token) << QByteArray(token).toHex() << QByteArray(token).toHex().toUpper();
    return found;
}

QByteArray secretIn(const QString& path)
{
    const QByteArray dump = testkit::dumpFile(path);
    if (dump.isEmpty())
        return "<the dump failed>";
    for (const QByteArray& secret : secrets()) {
        if (dump.contains(secret))
            return secret;
    }
    return {};
}

// A file's links as stored (identity, name, address) and its settings record, byte for byte.
struct Stored {
    QList<Link> links;
    QVariantList other;
    bool operator==(const Stored&) const = default;
};

Stored storedIn(const QString& path)
{
    Stored stored{testkit::linksIn(path), {}};
    Recordset other =
        Database::open(path, LinksDb::connect()).openRecordset(QStringLiteral("Other"), RecordsetType::Table);
    for (const char* field : {"FirstRun", "PasswordProtected", "Username", "Password"})
        stored.other << other.value(QLatin1String(field));
    return stored;
}

// The links of a protected file opened with the key the credentials give for its stored hash.
QList<Link> openedIn(const QString& path, const QString& user, const QString& password)
{
    const Stored stored = storedIn(path);
    const auto key = vault::Key::derive(user, password, vault::keySalt(stored.other.value(3).toString()));
    QList<Link> links;
    for (const Link& link : stored.links)
        links.append(Link{vault::open(*key, link.name, "links.SiteName").value_or(QStringLiteral("<sealed>")),
                          vault::open(*key, link.url, "links.URL").value_or(QStringLiteral("<sealed>")), link.id});
    return links;
}

QStringList backupNames()
{
    QStringList names;
    for (const backups::Backup& backup : backups::scan())
        names.append(QFileInfo(backup.path).fileName());
    return names;
}

// Files in the backups folder that are neither a backup nor its cache of link counts.
QStringList leftovers()
{
    QStringList found = QDir(backups::folder()).entryList(QDir::Files | QDir::Hidden);
    found.removeAll(QStringLiteral("link-counts.txt"));
    for (const QString& name : backupNames())
        found.removeAll(name);
    return found;
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void setModified(const QString& path, const QDateTime& when)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(when, QFileDevice::FileModificationTime));
}

// Opens the main window and lets its start-up backup end.
bool openSettled(testkit::Session& s, const QList<Link>& links = {})
{
    const bool open = s.open(links);
    backups::finishDaily(true);
    return open;
}

// Restore From Backup..., the backup at path chosen, Restore (confirmed by the recorder's Yes).
void restoreThroughWindow(frmMain* main, const QString& path)
{
    testkit::triggerAction(main->mnuRestoreBackup, "mnuRestoreBackup");
    frmRestore* window = Forms::find<frmRestore>();
    QVERIFY(window);
    const QList<backups::Backup> listed = backups::scan();
    const auto at = std::find_if(listed.cbegin(), listed.cend(), [&](const auto& b) { return b.path == path; });
    QVERIFY(at != listed.cend());
    window->List1->setListIndex(int(at - listed.cbegin()));
    QTest::keyClick(window->List1, Qt::Key_Return);
}

} // namespace

class tst_backups : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { app::leadRoadToMainWindow(); }
    void cleanup()
    {
        testkit::resetApplication();
        backups::setClock(nullptr);
    }

    void eachTriggerMakesOneBackupOfTheFileAsItWas_data();
    void eachTriggerMakesOneBackupOfTheFileAsItWas();
    void theStartUpBackupComesOnceForAChangedFile_data();
    void theStartUpBackupComesOnceForAChangedFile();
    void retentionKeepsTheNewest20AndOnePerDay_data();
    void retentionKeepsTheNewest20AndOnePerDay();
    void retentionRunsAfterEveryBackup();
    void restoreBringsBackEveryLinkAfterBackingUpTheCurrentOnes();
    void aDamagedBackupIsRefused_data();
    void aDamagedBackupIsRefused();
    void aFailedBackupIsToldAndTheCommandWaitsForTheAnswer_data();
    void aFailedBackupIsToldAndTheCommandWaitsForTheAnswer();
    void backupsAreNeverWeakerThanTheFile();
    void anInterruptedConversionIsFinishedOrUndone_data();
    void anInterruptedConversionIsFinishedOrUndone();
    void aPlainBackupRestoredWhileProtectedIsSealedFirst();
    void aSealedBackupRestoredWhileUnprotectedAsksForItsLogIn();
};

void tst_backups::eachTriggerMakesOneBackupOfTheFileAsItWas_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("protectedBefore");
    QTest::addColumn<QString>("reason");
    QTest::newRow("Delete All Site Links") << "delete all" << false << "delete-all";
    QTest::newRow("Import Bookmarks") << "import" << false << "import";
    QTest::newRow("protection on") << "protect" << false << "protect";
    QTest::newRow("new credentials") << "protect" << true << "new-credentials";
    QTest::newRow("protection off") << "unprotect" << true << "unprotect";
    QTest::newRow("Restore From Backup") << "restore" << false << "restore";
}

void tst_backups::eachTriggerMakesOneBackupOfTheFileAsItWas()
{
    QFETCH(QString, command);
    QFETCH(bool, protectedBefore);
    QFETCH(QString, reason);

    testkit::Session s;
    s.file.setOther(1, QStringLiteral("No"));
    s.file.addLinks(hostileLinks());
    if (protectedBefore)
        Protection::protect(QStringLiteral("ann"), QStringLiteral("pw one"));
    QVERIFY(openSettled(s));
    QString chosen;
    if (command == QLatin1String("restore")) {
        // Something to go back to, then one link more.
        QVERIFY(backups::before(backups::Reason::Import));
        chosen = backups::scan().constFirst().path;
        QVERIFY(LinksStore::remove(LinksStore::all().constFirst()));
    }
    const QStringList before = backupNames();
    const Stored was = storedIn(s.file.path());
    const QList<Link> wasOpened =
        protectedBefore ? openedIn(s.file.path(), QStringLiteral("ann"), QStringLiteral("pw one")) : was.links;

    testkit::ScriptedFileDialog dialog;
    QTemporaryDir bookmarks;
    if (command == QLatin1String("delete all")) {
        testkit::triggerAction(s.main->mnuDeleteAllContacts, "mnuDeleteAllContacts");
    } else if (command == QLatin1String("import")) {
        dialog.answer = bookmarks.filePath(QStringLiteral("b.html"));
        QFile file(dialog.answer);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n<DT><A HREF=\"http://new.example/\">New</A>\n</DL>\n");
        file.close();
        testkit::triggerAction(s.main->mnuImportBookmarks, "mnuImportBookmarks");
    } else if (command == QLatin1String("protect")) {
        testkit::setProtection(s.main, true, QStringLiteral("bob"), QStringLiteral("pw two"));
    } else if (command == QLatin1String("unprotect")) {
        testkit::setProtection(s.main, false);
    } else {
        restoreThroughWindow(s.main, chosen);
    }
    QVERIFY(!kit::hasEnded());

    QStringList added = backupNames();
    for (const QString& name : before)
        added.removeOne(name);
    QCOMPARE(added.size(), 1);
    QVERIFY2(QRegularExpression(QStringLiteral("^links-\\d{4}-\\d{2}-\\d{2}-\\d{6}-%1(-\\d+)?\\.mdb$").arg(reason))
                 .match(added[0])
                 .hasMatch(),
             qPrintable(added[0]));
    const QString made = QDir(backups::folder()).filePath(added[0]);
    if (command == QLatin1String("protect")) {
        // Converted in the same step: the same records, sealed for the credentials now in use.
        QCOMPARE(openedIn(made, QStringLiteral("bob"), QStringLiteral("pw two")), wasOpened);
        QCOMPARE(storedIn(made).other.mid(1), storedIn(s.file.path()).other.mid(1));
    } else {
        QCOMPARE(storedIn(made), was);
    }
    QCOMPARE(leftovers(), QStringList());
    // A backup that succeeds says nothing.
    QCOMPARE(s.boxes.texts().filter(QStringLiteral("could not be backed up")), QStringList());
}

void tst_backups::theStartUpBackupComesOnceForAChangedFile_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("dailies");
    QTest::newRow("first start with links") << "none" << 1;
    QTest::newRow("first start without links") << "no links" << 0;
    QTest::newRow("a backup made today") << "today" << 0;
    QTest::newRow("yesterday's backup, file not written since") << "not written" << 0;
    QTest::newRow("yesterday's backup, written since with the same links") << "same" << 0;
    QTest::newRow("yesterday's backup, file changed since") << "changed" << 1;
}

void tst_backups::theStartUpBackupComesOnceForAChangedFile()
{
    QFETCH(QString, before);
    QFETCH(int, dailies);

    testkit::Session s;
    s.file.setOther(1, QStringLiteral("No"));
    if (before != QLatin1String("no links"))
        s.file.addLinks(hostileLinks());
    const QString live = s.file.path();
    const QDateTime real = QDateTime::currentDateTime();
    if (before != QLatin1String("none") && before != QLatin1String("no links")) {
        backups::setClock([before] { return before == QLatin1String("today") ? Today : Today.addDays(-1); });
        QVERIFY(backups::before(backups::Reason::Import));
        const QString newest = backups::scan().constFirst().path;
        setModified(newest, real.addSecs(-120));
        if (before == QLatin1String("not written"))
            setModified(live, real.addSecs(-240));
        else if (before == QLatin1String("same"))
            setModified(live, real.addSecs(-60));
        else if (before == QLatin1String("changed"))
            s.file.addLinks({{"Bk4zTokenF", "http://Bk4zUrlF.example/"}});
    }
    backups::setClock([] { return Today; });

    // Two starts on the same day.
    for (int start = 0; start < 2; ++start) {
        QVERIFY(openSettled(s));
        testkit::resetApplication();
    }
    QStringList made;
    for (const backups::Backup& backup : backups::scan()) {
        if (backup.reason == QLatin1String("daily")) {
            made.append(backup.path);
            QCOMPARE(backup.made, Today);
        }
    }
    QCOMPARE(made.size(), dailies);
    if (dailies == 1)
        QCOMPARE(storedIn(made[0]), storedIn(live));
    QCOMPARE(s.boxes.texts(), QStringList());
}

void tst_backups::retentionKeepsTheNewest20AndOnePerDay_data()
{
    // Times newest first, and the positions among them that the retention removes.
    QTest::addColumn<QList<QDateTime>>("made");
    QTest::addColumn<QList<int>>("removed");

    QList<QDateTime> minutes;
    for (int i = 0; i < 25; ++i)
        minutes << Today.addSecs(-60 * i);
    QTest::newRow("25 today") << minutes << QList<int>{20, 21, 22, 23, 24};

    QList<QDateTime> days = minutes.mid(0, 20);
    QList<int> dayRemoved;
    for (int d = 1; d <= 9; ++d) {
        days << Today.addDays(-d).addSecs(2 * 3600) << Today.addDays(-d).addSecs(-2 * 3600);
        // The newest of each of the last 7 days (today and 6 before) stays; of older days none.
        if (d >= 7)
            dayRemoved << int(days.size()) - 2;
        dayRemoved << int(days.size()) - 1;
    }
    QTest::newRow("20 today, two a day for 9 days before") << days << dayRemoved;

    QList<QDateTime> gap = minutes.mid(0, 20);
    gap << Today.addDays(-3) << Today.addDays(-10);
    QTest::newRow("20 today, one 3 and one 10 days ago") << gap << QList<int>{21};

    QList<QDateTime> few;
    for (int i = 0; i < 5; ++i)
        few << Today.addDays(-30 - i);
    QTest::newRow("five a month old") << few << QList<int>{};
}

void tst_backups::retentionKeepsTheNewest20AndOnePerDay()
{
    QFETCH(QList<QDateTime>, made);
    QFETCH(QList<int>, removed);
    QList<backups::Backup> list;
    for (const QDateTime& when : made)
        list.append(backups::Backup{QString::number(list.size()), when, QStringLiteral("daily")});
    QList<int> gone;
    for (const backups::Backup& backup : backups::expired(list, Today.date()))
        gone.append(backup.path.toInt());
    QCOMPARE(gone, removed);
}

void tst_backups::retentionRunsAfterEveryBackup()
{
    // 22 backups on 22 days up to today: the two oldest go, with their remembered link counts.
    testkit::TempLinksDb file;
    file.addLinks(hostileLinks());
    for (int d = 21; d >= 0; --d) {
        backups::setClock([d] { return Today.addDays(-d); });
        QVERIFY(backups::before(backups::Reason::Import));
    }
    QStringList expected;
    for (int d = 0; d < 20; ++d)
        expected << QStringLiteral("links-%1-import.mdb")
                        .arg(Today.addDays(-d).toString(QStringLiteral("yyyy-MM-dd-HHmmss")));
    QCOMPARE(backupNames(), expected);
    QFile counts(QDir(backups::folder()).filePath(QStringLiteral("link-counts.txt")));
    QVERIFY(counts.open(QIODevice::ReadOnly));
    QCOMPARE(counts.readAll().count('\n'), 20);
    for (const backups::Backup& backup : backups::available())
        QCOMPARE(backup.links, hostileLinks().size());
    QCOMPARE(leftovers(), QStringList());
}

void tst_backups::restoreBringsBackEveryLinkAfterBackingUpTheCurrentOnes()
{
    testkit::Session s;
    s.file.setOther(1, QStringLiteral("No"));
    QVERIFY(openSettled(s, hostileLinks()));
    QVERIFY(backups::before(backups::Reason::Import));
    const QString chosen = backups::scan().constFirst().path;
    const Stored then = storedIn(s.file.path());
    // Then one link gone, one edited, one added.
    const QList<Link> all = LinksStore::all();
    QVERIFY(LinksStore::remove(all[0]));
    QVERIFY(LinksStore::change(all[1], QStringLiteral("renamed"), all[1].url));
    LinksStore::add(QStringLiteral("Bk4zTokenF later"), QStringLiteral("http://Bk4zUrlF.example/"));
    const Stored now = storedIn(s.file.path());
    const QStringList before = backupNames();

    testkit::triggerAction(s.main->mnuRestoreBackup, "mnuRestoreBackup");
    frmRestore* window = Forms::find<frmRestore>();
    QVERIFY(window);
    // Newest first: the one just made before an import, then the start-up one.
    QCOMPARE(window->List1->ListCount(), 2);
    QVERIFY2(window->List1->List(0).contains(QStringLiteral("before an import - 5 links")),
             qPrintable(window->List1->List(0)));
    QVERIFY2(window->List1->List(1).contains(QStringLiteral("daily - 5 links")),
             qPrintable(window->List1->List(1)));
    QCOMPARE(window->List1->ListIndex(), 0);
    QTest::keyClick(window->List1, Qt::Key_Return);

    QCOMPARE(s.boxes.boxes.size(), 2);
    QVERIFY2(s.boxes.boxes[0].text.contains(chosen), qPrintable(s.boxes.boxes[0].text));
    QCOMPARE(s.boxes.boxes[0].style, platform::MsgStyle::YesNo + platform::MsgStyle::Question);
    QVERIFY2(s.boxes.boxes[1].text.startsWith(QStringLiteral("Your links are back as they were on")),
             qPrintable(s.boxes.boxes[1].text));
    QVERIFY(!Forms::find<frmRestore>());

    QCOMPARE(storedIn(s.file.path()), then);
    QStringList names;
    for (const Link& link : hostileLinks())
        names << link.name;
    QStringList shown = testkit::entries(s.main->List1);
    shown.sort();
    names.sort();
    QCOMPARE(shown, names);
    QCOMPARE(s.main->lblTotalContacts->text(), QStringLiteral("5"));
    // The links as they were before the restore are a backup of their own.
    QStringList added = backupNames();
    for (const QString& name : before)
        added.removeOne(name);
    QCOMPARE(added.size(), 1);
    QCOMPARE(backups::scan().constFirst().reason, QStringLiteral("restore"));
    QCOMPARE(storedIn(QDir(backups::folder()).filePath(added[0])), now);
}

void tst_backups::aDamagedBackupIsRefused_data()
{
    QTest::addColumn<QString>("damage");
    for (const char* damage :
         {"a flipped byte", "cut short", "empty", "another password", "no settings table", "not encrypted"})
        QTest::newRow(damage) << damage;
}

void tst_backups::aDamagedBackupIsRefused()
{
    QFETCH(QString, damage);
    testkit::Session s;
    s.file.setOther(1, QStringLiteral("No"));
    QVERIFY(openSettled(s, hostileLinks()));
    const QString good = backups::scan().constFirst().path;
    // The oldest name: the last entry of the list.
    const QString bad = QDir(backups::folder()).filePath(QStringLiteral("links-2020-01-01-000000-daily.mdb"));
    const QByteArray bytes = bytesOf(good);
    QFile file(bad);
    if (damage == QLatin1String("another password")) {
        Database::create(bad, QStringLiteral(";PWD=another"),
                         QStringLiteral("CREATE TABLE links (SiteName TEXT, URL TEXT);"
                                        "CREATE TABLE Other (FirstRun INTEGER, PasswordProtected TEXT, "
                                        "Username TEXT, Password TEXT);"));
    } else if (damage == QLatin1String("no settings table")) {
        Database::create(bad, LinksDb::connect(), QStringLiteral("CREATE TABLE links (SiteName TEXT, URL TEXT);"));
    } else {
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (damage == QLatin1String("a flipped byte")) {
            QByteArray flipped = bytes;
            flipped[flipped.size() - 100] = char(flipped[flipped.size() - 100] ^ 0x20);
            file.write(flipped);
        } else if (damage == QLatin1String("cut short")) {
            file.write(bytes.left(bytes.size() / 2048 * 1024));
        } else if (damage == QLatin1String("not encrypted")) {
            file.write(QByteArray("SQLite format 3\0", 16) + QByteArray(1008, '\0'));
        }
        file.close();
    }
    const QByteArray live = bytesOf(s.file.path());
    const QStringList before = backupNames();

    restoreThroughWindow(s.main, bad);
    QCOMPARE(s.boxes.boxes.size(), 1);
    const QString text = s.boxes.boxes[0].text;
    QVERIFY2(text.startsWith(QStringLiteral("This backup cannot be restored:")) && text.contains(bad),
             qPrintable(text));
    QCOMPARE(s.boxes.boxes[0].style, platform::MsgStyle::Exclamation);
    QCOMPARE(bytesOf(s.file.path()), live);
    QCOMPARE(backupNames(), before);
    QVERIFY(Forms::find<frmRestore>());
    QVERIFY(!kit::hasEnded());
}

void tst_backups::aFailedBackupIsToldAndTheCommandWaitsForTheAnswer_data()
{
    QTest::addColumn<bool>("diskFull"); // else a file stands where the folder would be
    QTest::addColumn<int>("answer");
    QTest::newRow("folder blocked, stop") << false << int(platform::MsgAnswer::No);
    QTest::newRow("folder blocked, go on") << false << int(platform::MsgAnswer::Yes);
    QTest::newRow("disk full, stop") << true << int(platform::MsgAnswer::No);
}

void tst_backups::aFailedBackupIsToldAndTheCommandWaitsForTheAnswer()
{
    QFETCH(bool, diskFull);
    QFETCH(int, answer);

    testkit::FullDisk disk; // declared first: the session closes its windows before the disk goes
    testkit::Session s;
    s.file.setOther(1, QStringLiteral("No"));
    s.file.addLinks(hostileLinks());
    if (diskFull) {
        const QString why = disk.fill(s.file.path());
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
    } else {
        QFile blocker(backups::folder());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    const QString folder = backups::folder();
    QVERIFY(openSettled(s));
    // The start-up backup failed too, and said so.
    QCOMPARE(s.boxes.boxes.size(), 1);
    QVERIFY2(s.boxes.texts()[0].startsWith(QStringLiteral("Today's backup of your links could not be made")) &&
                 s.boxes.texts()[0].contains(folder),
             qPrintable(s.boxes.texts()[0]));

    const QByteArray before = bytesOf(LinksDb::path());
    s.boxes.answerNext(platform::MsgAnswer::Yes); // "Are you sure...?"
    s.boxes.answerNext(answer);
    testkit::triggerAction(s.main->mnuDeleteAllContacts, "mnuDeleteAllContacts");
    QCOMPARE(s.boxes.boxes.size(), 3);
    const testkit::ScriptedMessageBox::Box question = s.boxes.boxes[2];
    QVERIFY2(question.text.startsWith(QStringLiteral("Your links could not be backed up before Delete All Site "
                                                     "Links:")) &&
                 question.text.contains(folder) &&
                 question.text.endsWith(QStringLiteral("Go on without a backup?")),
             qPrintable(question.text));
    QCOMPARE(question.style, platform::MsgStyle::YesNo + platform::MsgStyle::Exclamation);
    if (answer == platform::MsgAnswer::No)
        QCOMPARE(bytesOf(LinksDb::path()), before);
    else
        QCOMPARE(LinksStore::count(), 0);
    QVERIFY(!kit::hasEnded());
    if (QFileInfo(folder).isDir())
        QCOMPARE(leftovers(), QStringList());
}

void tst_backups::backupsAreNeverWeakerThanTheFile()
{
    testkit::Session s;
    s.file.setOther(1, QStringLiteral("No"));
    const QList<Link> links = hostileLinks();
    QVERIFY(openSettled(s, links));
    const QString daily = backups::scan().constFirst().path;
    QVERIFY(!secretIn(daily).isEmpty()); // the check can fail

    // After each step: how many backups there are, and that each one opens with the credentials
    // in use (or, with protection off, with those it was sealed for) and gives nothing away.
    const auto expect = [&](int count, const QString& user, const QString& password) {
        const QList<backups::Backup> all = backups::scan();
        QCOMPARE(all.size(), count);
        for (const backups::Backup& backup : all) {
            QCOMPARE(secretIn(backup.path), QByteArray());
            QCOMPARE(testkit::withoutIds(openedIn(backup.path, user, password)), links);
        }
    };
    testkit::setProtection(s.main, true, QStringLiteral("ann"), QStringLiteral("pw one"));
    expect(2, QStringLiteral("ann"), QStringLiteral("pw one"));
    for (const backups::Backup& backup : backups::scan())
        QCOMPARE(storedIn(backup.path).other.value(3), s.file.other(QStringLiteral("Password")));

    // Off: the older backups stay sealed, and so does the one made before.
    testkit::setProtection(s.main, false);
    expect(3, QStringLiteral("ann"), QStringLiteral("pw one"));

    // On again with the same credentials: every backup converted, none lost.
    testkit::setProtection(s.main, true, QStringLiteral("ann"), QStringLiteral("pw one"));
    expect(4, QStringLiteral("ann"), QStringLiteral("pw one"));
    // New credentials while on: every backup follows.
    testkit::setProtection(s.main, true, QStringLiteral("bob"), QStringLiteral("pw two"));
    expect(5, QStringLiteral("bob"), QStringLiteral("pw two"));

    // Off, then on with other credentials: the backups sealed for bob cannot be converted and
    // go; the one made before, plain, is sealed for carol.
    testkit::setProtection(s.main, false);
    testkit::setProtection(s.main, true, QStringLiteral("carol"), QStringLiteral("pw three"));
    expect(1, QStringLiteral("carol"), QStringLiteral("pw three"));
    QCOMPARE(backups::scan().constFirst().reason, QStringLiteral("protect"));
    QCOMPARE(leftovers(), QStringList());
    QCOMPARE(s.boxes.texts().filter(QStringLiteral("Run-time error")), QStringList());
}

void tst_backups::anInterruptedConversionIsFinishedOrUndone_data()
{
    QTest::addColumn<bool>("committed"); // whether links.mdb holds the new credentials
    QTest::newRow("killed before links.mdb committed") << false;
    QTest::newRow("killed after links.mdb committed") << true;
}

void tst_backups::anInterruptedConversionIsFinishedOrUndone()
{
    // The state a protection step leaves when killed between writing its plan and finishing:
    // one backup with its converted copy beside it, one that could not be converted.
    QFETCH(bool, committed);
    testkit::TempLinksDb file;
    file.addLinks(hostileLinks());
    QVERIFY(backups::before(backups::Reason::Import));
    file.addLinks({{"Bk4zTokenF", "http://Bk4zUrlF.example/"}});
    QVERIFY(backups::before(backups::Reason::Import));
    const QList<backups::Backup> made = backups::scan();
    QCOMPARE(made.size(), 2);
    const QString kept = made[0].path;
    const QString gone = made[1].path;
    const QByteArray keptBefore = bytesOf(kept);
    const QByteArray goneBefore = bytesOf(gone);
    file.setOther(1, QStringLiteral("Yes"), QStringLiteral("ann"), QStringLiteral("$argon2id$old"));
    QVERIFY(QFile::copy(gone, backups::pendingPath(kept))); // stands for the converted copy
    backups::Conversion plan;
    plan.passwordHash = QStringLiteral("$argon2id$new");
    plan.converted = {kept};
    plan.unconvertible = {gone};
    backups::planConversion(plan);
    if (committed)
        file.setOther(1, QStringLiteral("Yes"), QStringLiteral("ann"), plan.passwordHash);

    backups::settle();
    if (committed) {
        QCOMPARE(backupNames(), QStringList{QFileInfo(kept).fileName()});
        QCOMPARE(bytesOf(kept), goneBefore);
    } else {
        QCOMPARE(backups::scan().size(), 2);
        QCOMPARE(bytesOf(kept), keptBefore);
        QCOMPARE(bytesOf(gone), goneBefore);
    }
    QCOMPARE(leftovers(), QStringList());
}

void tst_backups::aPlainBackupRestoredWhileProtectedIsSealedFirst()
{
    testkit::Session s;
    s.file.setOther(1, QStringLiteral("No"));
    const QList<Link> links = hostileLinks();
    QVERIFY(openSettled(s, links));
    // A plain backup kept aside while protection goes on, then put back (as a user might).
    QTemporaryDir aside;
    const QString plain = aside.filePath(QStringLiteral("plain.mdb"));
    QVERIFY(QFile::copy(backups::scan().constFirst().path, plain));
    testkit::setProtection(s.main, true, QStringLiteral("ann"), QStringLiteral("pw one"));
    const QString back = QDir(backups::folder()).filePath(QStringLiteral("links-2020-01-01-000000-daily.mdb"));
    QVERIFY(QFile::copy(plain, back));
    LinksStore::add(QStringLiteral("Bk4zTokenF later"), QStringLiteral("http://Bk4zUrlF.example/"));
    const QVariantList settings = storedIn(s.file.path()).other;

    restoreThroughWindow(s.main, back);
    QVERIFY(!kit::hasEnded());
    QCOMPARE(storedIn(s.file.path()).other, settings);
    QCOMPARE(testkit::withoutIds(openedIn(s.file.path(), QStringLiteral("ann"), QStringLiteral("pw one"))), links);
    QCOMPARE(testkit::withoutIds(LinksStore::all()), links);
    QCOMPARE(testkit::entries(s.main->List1).size(), links.size());
    QCOMPARE(secretIn(s.file.path()), QByteArray());
    QCOMPARE(leftovers(), QStringList());
}

void tst_backups::aSealedBackupRestoredWhileUnprotectedAsksForItsLogIn()
{
    testkit::Session s;
    s.file.setOther(1, QStringLiteral("No"));
    const QList<Link> links = hostileLinks();
    QVERIFY(openSettled(s, links));
    testkit::setProtection(s.main, true, QStringLiteral("ann"), QStringLiteral("pw one"));
    testkit::setProtection(s.main, false);
    const QString sealed = backups::scan().constFirst().path; // before protection went off
    QCOMPARE(backups::scan().constFirst().reason, QStringLiteral("unprotect"));
    QVERIFY(LinksStore::remove(LinksStore::all().constFirst()));
    s.boxes.boxes.clear();

    restoreThroughWindow(s.main, sealed);
    QCOMPARE(s.boxes.boxes.size(), 2);
    QVERIFY2(s.boxes.texts()[0].contains(QStringLiteral("user name \"ann\"")), qPrintable(s.boxes.texts()[0]));
    QVERIFY2(s.boxes.texts()[1].contains(QStringLiteral("log in")), qPrintable(s.boxes.texts()[1]));
    QVERIFY(kit::hasEnded());
    QVERIFY(!LinksStore::key());
    QCOMPARE(s.file.other(QStringLiteral("PasswordProtected")).toString(), QStringLiteral("Yes"));

    // The next start asks for those credentials and shows every link.
    testkit::resetApplication();
    testkit::logInThroughWindows(QStringLiteral("ann"), QStringLiteral("pw one"));
    frmMain* main = Forms::find<frmMain>();
    QVERIFY(main);
    backups::finishDaily(true);
    QCOMPARE(testkit::entries(main->List1).size(), links.size());
    QCOMPARE(testkit::withoutIds(LinksStore::all()), links);
}

QTEST_MAIN(tst_backups)
#include "tst_backups.moc"
