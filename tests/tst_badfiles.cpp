// Bad database files at start-up, each met by the real program in a child process: one clear
// message with a number and a description, a non-zero exit without a crash, no window, and the
// file left as it was.
#include "app/frmMain.h"
#include "data/DbError.h"
#include "testkit/Harness.h"
#include "testkit/TestKit.h"
#include "testkit/Windows.h"
#include "windowkit/Forms.h"
#include "windowkit/ListBox.h"

#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

namespace {

// Runs the sqlcipher shell on a file; an empty key writes a plain, unencrypted SQLite file.
bool runShell(const QString& path, const QByteArray& script)
{
    QProcess shell;
    shell.start(QStringLiteral("sqlcipher"), {path});
    if (!shell.waitForStarted())
        return false;
    shell.write(script);
    shell.closeWriteChannel();
    return shell.waitForFinished() && shell.exitCode() == 0 && shell.readAllStandardError().isEmpty();
}

const QByteArray kSchema =
    "CREATE TABLE links (SiteName TEXT NOT NULL, URL TEXT NOT NULL);\n"
    "CREATE TABLE Other (FirstRun INTEGER, PasswordProtected TEXT, Username TEXT, Password TEXT);\n"
    "INSERT INTO Other VALUES (1, 'No', '', '');\n"
    "INSERT INTO links VALUES ('a', 'u');\n";

} // namespace

class TestBadFiles : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { testkit::resetApplication(); }

    void badFileIsReportedAndLeftAlone_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("number");
        QTest::newRow("missing") << "missing" << DbErr::FileNotFound;
        QTest::newRow("empty") << "empty" << DbErr::NotADatabase;
        QTest::newRow("truncated mid-page") << "truncated" << DbErr::NotADatabase;
        QTest::newRow("only its first page") << "firstpage" << DbErr::Corrupt;
        QTest::newRow("random bytes") << "random" << DbErr::WrongPassword;
        QTest::newRow("plain SQLite") << "plain" << DbErr::NotADatabase;
        QTest::newRow("another password") << "password" << DbErr::WrongPassword;
        QTest::newRow("table Other missing") << "noother" << DbErr::TableNotFound;
        QTest::newRow("Other without its record") << "norecord" << DbErr::NoCurrentRecord;
    }

    void badFileIsReportedAndLeftAlone()
    {
        QFETCH(QString, kind);
        QFETCH(int, number);
        testkit::TempLinksDb db;
        db.setOther(1, QStringLiteral("No"));
        db.addLinks({{"a", "u"}, {"b", "v"}});
        const QByteArray good = db.bytes();
        QVERIFY(good.size() >= 3072);

        QFile file(db.path());
        auto replaceWith = [&](const QByteArray& bytes) {
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(bytes);
            file.close();
        };
        if (kind == QLatin1String("missing")) {
            QVERIFY(file.remove());
        } else if (kind == QLatin1String("empty")) {
            replaceWith({});
        } else if (kind == QLatin1String("truncated")) {
            replaceWith(good.left(good.size() - 500));
        } else if (kind == QLatin1String("firstpage")) {
            replaceWith(good.left(1024));
        } else if (kind == QLatin1String("random")) {
            QByteArray noise(8192, '\0');
            QRandomGenerator gen(42);
            gen.fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
            replaceWith(noise);
        } else if (kind == QLatin1String("plain")) {
            QVERIFY(file.remove());
            QVERIFY(runShell(db.path(), kSchema));
        } else if (kind == QLatin1String("password")) {
            QVERIFY(file.remove());
            QVERIFY(runShell(db.path(),
                             "PRAGMA key = 'not-the-password';\nPRAGMA cipher_compatibility = 3;\n" + kSchema));
        } else if (kind == QLatin1String("noother")) {
            db.open().execute(QStringLiteral("DROP TABLE Other"));
        } else if (kind == QLatin1String("norecord")) {
            db.open().execute(QStringLiteral("DELETE FROM Other"));
        }
        const bool existed = QFile::exists(db.path());
        const QByteArray before = existed ? db.bytes() : QByteArray();

        testkit::RuntimeDir runtime;
        testkit::Harness program(db.folder(), runtime.path());
        program.start();
        QVERIFY(program.waitForExit());
        QVERIFY2(!program.crashed(), qPrintable(program.stderrText()));
        QVERIFY(program.exitCode() != 0);
        QCOMPARE(program.windowsShown(), QStringList());
        const auto boxes = program.boxes();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].style, 16);
        const QString prefix = QStringLiteral("Run-time error '%1':\\n\\n").arg(number);
        QVERIFY2(boxes[0].text.startsWith(prefix), qPrintable(boxes[0].text));
        QVERIFY(boxes[0].text.size() > prefix.size() + 10); // a description follows the number

        QCOMPARE(QFile::exists(db.path()), existed); // a missing file is never created
        if (existed)
            QVERIFY(db.bytes() == before);
    }

    // Without table links the start-up decision still records the start (its one write), then
    // the main window's load step fails; nothing else changes.
    void missingLinksTableFailsAfterTheStartUpWrite()
    {
        testkit::TempLinksDb db;
        db.setOther(1, QStringLiteral("No"), QStringLiteral("kept"), QStringLiteral("kept too"));
        db.open().execute(QStringLiteral("DROP TABLE links"));

        testkit::RuntimeDir runtime;
        testkit::Harness program(db.folder(), runtime.path());
        program.start();
        QVERIFY(program.waitForExit());
        QVERIFY(!program.crashed());
        QCOMPARE(program.exitCode(), 1);
        QCOMPARE(program.windowsShown(), QStringList());
        QCOMPARE(program.boxes().size(), 1);
        QVERIFY(
            program.boxes()[0].text.startsWith(QStringLiteral("Run-time error '%1':").arg(DbErr::TableNotFound)));
        QCOMPARE(db.other(QStringLiteral("FirstRun")).toInt(), 1);
        QCOMPARE(db.other(QStringLiteral("PasswordProtected")).toString(), QStringLiteral("No"));
        QCOMPARE(db.other(QStringLiteral("Username")).toString(), QStringLiteral("kept"));
        QCOMPARE(db.other(QStringLiteral("Password")).toString(), QStringLiteral("kept too"));
    }

    // A file written by other means may hold Null names and addresses: they show as empty text.
    void nullNamesAndAddressesShowAsEmptyText()
    {
        testkit::Session s;
        s.file.setOther(1, QStringLiteral("No"));
        {
            Database raw = s.file.open();
            raw.execute(QStringLiteral("DROP TABLE links"));
            raw.execute(QStringLiteral("CREATE TABLE links (SiteName TEXT, URL TEXT)"));
            raw.execute(QStringLiteral("INSERT INTO links VALUES (NULL, NULL), ('b', NULL), (NULL, 'only-url')"));
        }
        testkit::RuntimeDir runtime;
        testkit::Harness program(s.file.folder(), runtime.path());
        program.start();
        QCOMPARE(program.waitForLine(QStringLiteral("WINDOWS")), QStringLiteral("WINDOWS\tfrmMain"));
        QVERIFY(program.boxes().isEmpty());
        program.kill();

        QVERIFY(s.open());
        QCOMPARE(s.main->List1->ListCount(), 3);
        QCOMPARE(s.main->List1->List(0), QString());
        QCOMPARE(s.main->List1->List(2), QStringLiteral("b"));
        QSet<QString> urls;
        for (int i = 0; i < 3; ++i) {
            s.main->List1->setListIndex(i);
            urls.insert(s.main->lblURL->text());
        }
        QCOMPARE(urls, (QSet<QString>{QString(), QStringLiteral("only-url")}));
        QVERIFY(s.boxes.boxes.isEmpty());
    }
};

QTEST_MAIN(TestBadFiles)
#include "tst_badfiles.moc"
