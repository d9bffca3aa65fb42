// The program killed with SIGKILL at random instants while it adds, edits and deletes links
// through its windows (and deletes thousands at once): after every kill the file opens with the
// password, passes the integrity check, and every link is either wholly there or wholly gone.
// The same for the backups it makes meanwhile, and while it restores them.
#include "backups/BackupFolder.h"
#include "backups/Backups.h"
#include "data/Database.h"
#include "data/LinksDb.h"
#include "testkit/Harness.h"
#include "testkit/TestKit.h"
#include "vault/Vault.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>
#include <QThread>

namespace {

// The same address the harness scripts give a name (tests/harness/Script.cpp).
QString urlFor(const QString& name)
{
    return QStringLiteral("http://%1.example/").arg(name) + name.repeated(20);
}

constexpr int kBulk = 2000;

// Every backup in the list opens with the password, passes the integrity check and holds one of
// the states `whole` accepts; returns how many there are.
int checkBackups(const std::function<bool(const QList<testkit::Link>&)>& whole)
{
    const QList<backups::Backup> listed = backups::scan();
    for (const backups::Backup& backup : listed) {
        const Database file = Database::open(backup.path, LinksDb::connect());
        if (file.integrityCheck() != QLatin1String("ok")) {
            QTest::qFail(qPrintable(QStringLiteral("%1 is damaged").arg(backup.path)), __FILE__, __LINE__);
            return -1;
        }
        const QList<testkit::Link> links = testkit::withoutIds(testkit::linksIn(backup.path));
        if (!whole(links)) {
            QTest::qFail(qPrintable(QStringLiteral("%1 holds a part of the links").arg(backup.path)), __FILE__,
                         __LINE__);
            return -1;
        }
    }
    return int(listed.size());
}

// Starts the program, lets its script run for ms once the main window showed, and kills it: it
// must still run by then, and no command may have failed nor shown an error box.
void runAndKill(testkit::Harness& program, int ms)
{
    program.start();
    QVERIFY2(!program.waitForLine(QStringLiteral("WINDOWS")).isEmpty(), qPrintable(program.stderrText()));
    QThread::msleep(ms);
    program.kill();
    QVERIFY2(program.crashed(), "the program ended before it was killed");
    for (const QString& line : program.lines()) {
        QVERIFY2(!line.startsWith(QLatin1String("FAILED")), qPrintable(line));
        QVERIFY2(!line.startsWith(QLatin1String("BOX\t16")), qPrintable(line));
    }
}

bool hasTemporaryBackup(const QString& folder)
{
    return !QDir(folder).entryList({QStringLiteral("*.tmp")}, QDir::Files).isEmpty();
}

} // namespace

class TestKills : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyKillLeavesASoundFileAndWholeLinks()
    {
        testkit::TempLinksDb db;
        db.setOther(1, QStringLiteral("No"));
        testkit::RuntimeDir runtime;
        QRandomGenerator random(20261207);
        QHash<QString, int> killedDuring;
        int commandsDone = 0;

        for (int cycle = 0; cycle < 50; ++cycle) {
            // Bulk names sort after the k names, so the script's own selections never pick one.
            const QString group = QStringLiteral("zbulk%1").arg(cycle);
            testkit::Harness program(db.folder(), runtime.path());
            QVERIFY(program.setScript({
                QStringLiteral("add\tk1\t") + urlFor(QStringLiteral("k1")),
                QStringLiteral("add\tk2\t") + urlFor(QStringLiteral("k2")),
                QStringLiteral("edit\tk1\tk3\t") + urlFor(QStringLiteral("k3")),
                QStringLiteral("select\t0"),
                QStringLiteral("deleteSelected"),
                QStringLiteral("bulk\t%1\t%2").arg(group).arg(kBulk),
                QStringLiteral("deleteAll"),
                QStringLiteral("loop"),
            }));
            runAndKill(program, 50 + random.bounded(900));
            if (QTest::currentTestFailed())
                return;

            QString last = QStringLiteral("start-up");
            for (const QString& line : program.lines()) {
                if (line.startsWith(QLatin1String("DONE\t"))) {
                    last = line.mid(5);
                    ++commandsDone;
                }
            }
            ++killedDuring[QStringLiteral("after ") + last];

            Database file = db.open();
            QCOMPARE(file.integrityCheck(), QStringLiteral("ok"));
            QHash<QString, int> groups;
            for (const testkit::Link& link : db.links()) {
                QCOMPARE(link.url, urlFor(link.name));
                static const QRegularExpression bulkName(QStringLiteral("^(zbulk\\d+)-\\d+$"));
                const auto match = bulkName.match(link.name);
                if (match.hasMatch())
                    ++groups[match.captured(1)];
                else
                    QVERIFY2(QStringList({"k1", "k2", "k3"}).contains(link.name), qPrintable(link.name));
            }
            for (auto it = groups.cbegin(); it != groups.cend(); ++it)
                QVERIFY2(it.value() == kBulk,
                         qPrintable(QStringLiteral("%1 holds %2 links").arg(it.key()).arg(it.value())));
            QCOMPARE(db.other(QStringLiteral("PasswordProtected")).toString(), QStringLiteral("No"));
            // The backups made before each Delete All: whole files with whole groups.
            QVERIFY(checkBackups([](const QList<testkit::Link>& links) {
                        QHash<QString, int> groups;
                        for (const testkit::Link& link : links) {
                            if (link.name.startsWith(QLatin1String("zbulk")))
                                ++groups[link.name.section(QLatin1Char('-'), 0, 0)];
                        }
                        return std::all_of(groups.cbegin(), groups.cend(), [](int n) { return n == kBulk; });
                    }) >= 0);
        }
        QVERIFY2(commandsDone > 50, "the program hardly ran between the kills");
        qInfo() << "50 kills, commands completed:" << commandsDone
                << "last completed before each kill:" << killedDuring;
    }

    // Restores back and forth between two lists, each backing up the current list first: a kill
    // during a backup leaves no half copy in the list (the next start removes what it left), a
    // kill during a restore leaves links.mdb wholly one list or the other.
    void everyKillDuringABackupOrRestoreLeavesWholeFiles()
    {
        constexpr int kLinks = 20000;
        testkit::TempLinksDb db;
        db.setOther(1, QStringLiteral("No"));
        QList<testkit::Link> listA, listB;
        for (int i = 0; i < kLinks; ++i) {
            const QString a = QStringLiteral("a%1").arg(i, 5, 10, QLatin1Char('0'));
            const QString b = QStringLiteral("b%1").arg(i, 5, 10, QLatin1Char('0'));
            listA.append({a, urlFor(a)});
            listB.append({b, urlFor(b)});
        }
        db.addLinks(listA);
        QVERIFY(backups::before(backups::Reason::Import));
        db.open().execute(QStringLiteral("DELETE FROM links"));
        db.addLinks(listB);
        const auto whole = [&](const QList<testkit::Link>& links) { return links == listA || links == listB; };

        testkit::RuntimeDir runtime;
        QTemporaryDir scripts;
        QRandomGenerator random(20261209);
        int restores = 0, halfCopies = 0;
        for (int cycle = 0; cycle < 30; ++cycle) {
            testkit::Harness program(db.folder(), runtime.path());
            QVERIFY(program.setScript({QStringLiteral("restore\t0"), QStringLiteral("loop")}));
            runAndKill(program, 100 + random.bounded(1500));
            if (QTest::currentTestFailed())
                return;
            for (const QString& line : program.lines()) {
                QVERIFY2(!line.startsWith(QLatin1String("BOX\t52")), qPrintable(line));
                restores += line == QLatin1String("DONE\trestore");
            }
            halfCopies += hasTemporaryBackup(backups::folder());

            QCOMPARE(db.open().integrityCheck(), QStringLiteral("ok"));
            QVERIFY(whole(db.links()));
            const int listed = checkBackups(whole);
            QVERIFY(listed > 0 && listed <= 27);
        }
        // A start after the last kill clears what a kill left behind.
        testkit::Harness program(db.folder(), runtime.path());
        program.setEnv(QStringLiteral("TESSARY_HARNESS_SCRIPT"), scripts.filePath(QStringLiteral("none")));
        program.start();
        QVERIFY(!program.waitForLine(QStringLiteral("WINDOWS")).isEmpty());
        program.kill();
        QVERIFY(!hasTemporaryBackup(backups::folder()));
        QVERIFY2(restores > 20, "the program hardly restored between the kills");
        qInfo() << "30 kills during backups and restores:" << restores << "restores done," << halfCopies
                << "kills left a half copy behind";
    }

    // Switching protection on, giving it new credentials and switching it off convert every link
    // in the same transaction as the settings: after a kill at any moment the file is wholly in
    // one of the three states, every link plain or every link sealed with the stored credentials.
    void everyKillDuringAProtectionChangeLeavesOneWholeState()
    {
        struct Credentials {
            QString user, password;
        };
        const QHash<QString, Credentials> known{{QStringLiteral("ann"), {"ann", "pw one"}},
                                                {QStringLiteral("bob"), {"bob", "pw two"}}};
        constexpr int kLinks = 20000;
        testkit::TempLinksDb db;
        db.setOther(1, QStringLiteral("No"));
        QList<testkit::Link> links;
        for (int i = 0; i < kLinks; ++i) {
            const QString name = QStringLiteral("p%1").arg(i, 5, 10, QLatin1Char('0'));
            links.append({name, urlFor(name)});
        }
        db.addLinks(links);
        testkit::RuntimeDir runtime;
        QTemporaryDir scripts;
        QRandomGenerator random(20261208);
        QHash<QString, int> states;
        int cutConversions = 0;

        QString state = QStringLiteral("plain");
        for (int cycle = 0; cycle < 24; ++cycle) {
            const QString protectAnn = QStringLiteral("protect\tann\tpw one");
            const QString protectBob = QStringLiteral("protect\tbob\tpw two");
            QStringList lines;
            if (state == QLatin1String("plain"))
                lines = {protectAnn, protectBob, QStringLiteral("unprotect")};
            else if (state == QLatin1String("ann"))
                lines = {QStringLiteral("login\tann\tpw one"), protectBob, QStringLiteral("unprotect"),
                         protectAnn};
            else
                lines = {QStringLiteral("login\tbob\tpw two"), QStringLiteral("unprotect"), protectAnn,
                         protectBob};
            // Then idle until killed.
            lines << QStringLiteral("waitfile\t") + scripts.filePath(QStringLiteral("never"));
            testkit::Harness program(db.folder(), runtime.path());
            QVERIFY(program.setScript(lines));
            runAndKill(program, 100 + random.bounded(4000));
            if (QTest::currentTestFailed())
                return;

            QCOMPARE(db.open().integrityCheck(), QStringLiteral("ok"));
            const QList<testkit::Link> stored = db.links();
            QCOMPARE(stored.size(), links.size());
            if (db.other(QStringLiteral("PasswordProtected")).toString() == QLatin1String("No")) {
                state = QStringLiteral("plain");
                QCOMPARE(stored, links);
            } else {
                state = db.other(QStringLiteral("Username")).toString();
                QVERIFY2(known.contains(state), qPrintable(state));
                const QString hash = db.other(QStringLiteral("Password")).toString();
                const Credentials& credentials = known[state];
                QVERIFY(vault::verifyPassword(hash, credentials.password));
                const auto key = vault::Key::derive(credentials.user, credentials.password, vault::keySalt(hash));
                for (qsizetype i = 0; i < stored.size(); ++i) {
                    QCOMPARE(vault::open(*key, stored[i].name, "links.SiteName"), std::optional(links[i].name));
                    QCOMPARE(vault::open(*key, stored[i].url, "links.URL"), std::optional(links[i].url));
                }
            }
            ++states[state];

            // The backups, once a start has settled what the kill left: while protection is on,
            // every one is sealed for the credentials in use; none is ever weaker than the file.
            cutConversions +=
                !QDir(backups::folder()).entryList({QStringLiteral("*.pending")}, QDir::Files).isEmpty();
            backups::settle();
            const QString liveHash = db.other(QStringLiteral("Password")).toString();
            for (const backups::Backup& backup : backups::scan()) {
                const Database file = Database::open(backup.path, LinksDb::connect());
                QCOMPARE(file.integrityCheck(), QStringLiteral("ok"));
                Recordset other = file.openRecordset(QStringLiteral("Other"), RecordsetType::Table);
                const bool sealed =
                    other.value(QStringLiteral("PasswordProtected")).toString() == QLatin1String("Yes");
                const QString hash = other.value(QStringLiteral("Password")).toString();
                const QString user = other.value(QStringLiteral("Username")).toString();
                if (state != QLatin1String("plain"))
                    QVERIFY2(sealed && hash == liveHash, qPrintable(backup.path));
                const QList<testkit::Link> inside = testkit::withoutIds(testkit::linksIn(backup.path));
                if (!sealed) {
                    QCOMPARE(inside, links);
                    continue;
                }
                QVERIFY2(known.contains(user), qPrintable(user));
                const auto key = vault::Key::derive(known[user].user, known[user].password, vault::keySalt(hash));
                QCOMPARE(inside.size(), links.size());
                for (qsizetype i = 0; i < inside.size(); ++i)
                    QCOMPARE(vault::open(*key, inside[i].url, "links.URL"), std::optional(links[i].url));
            }
            QCOMPARE(QDir(backups::folder())
                         .entryList({QStringLiteral("*.pending"), QStringLiteral("converting.txt")}, QDir::Files),
                     QStringList());
            // The newest two are kept between kills, so that each step converts only a few.
            for (const backups::Backup& old : backups::scan().mid(2))
                QFile::remove(old.path);
        }
        QVERIFY2(states.size() == 3, "the kills never caught all three states");
        qInfo() << "24 kills during protection changes, states left:" << states
                << "; backups being converted:" << cutConversions;
    }
};

QTEST_MAIN(TestKills)
#include "tst_kills.moc"
