// The program killed with SIGKILL at random instants while it adds, edits and deletes links
// through its windows (and deletes thousands at once): after every kill the file opens with the
// password, passes the integrity check, and every link is either wholly there or wholly gone.
#include "data/Database.h"
#include "testkit/Harness.h"
#include "testkit/TestKit.h"

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

} // namespace

class TestKills : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyKillLeavesASoundFileAndWholeLinks()
    {
        testkit::TempLinksDb db;
        db.setOther(1, QStringLiteral("No"));
        testkit::RuntimeDir runtime;
        QTemporaryDir scripts;
        QRandomGenerator random(20261207);
        QHash<QString, int> killedDuring;
        int commandsDone = 0;

        for (int cycle = 0; cycle < 50; ++cycle) {
            // Bulk names sort after the k names, so the script's own selections never pick one.
            const QString group = QStringLiteral("zbulk%1").arg(cycle);
            const QString script = scripts.filePath(QStringLiteral("cycle%1.txt").arg(cycle));
            {
                QFile file(script);
                QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Text));
                QStringList lines = {
                    QStringLiteral("add\tk1\t") + urlFor(QStringLiteral("k1")),
                    QStringLiteral("add\tk2\t") + urlFor(QStringLiteral("k2")),
                    QStringLiteral("edit\tk1\tk3\t") + urlFor(QStringLiteral("k3")),
                    QStringLiteral("select\t0"),
                    QStringLiteral("deleteSelected"),
                    QStringLiteral("bulk\t%1\t%2").arg(group).arg(kBulk),
                    QStringLiteral("deleteAll"),
                    QStringLiteral("loop"),
                };
                file.write(lines.join(QLatin1Char('\n')).toUtf8());
            }

            testkit::Harness program(db.folder(), runtime.path());
            program.setEnv(QStringLiteral("TESSARY_HARNESS_SCRIPT"), script);
            program.start();
            QVERIFY2(!program.waitForLine(QStringLiteral("WINDOWS")).isEmpty(), qPrintable(program.stderrText()));
            QThread::msleep(50 + random.bounded(900));
            program.kill();
            QVERIFY2(program.crashed(), "the program ended before it was killed");

            QString last = QStringLiteral("start-up");
            for (const QString& line : program.lines()) {
                if (line.startsWith(QLatin1String("DONE\t"))) {
                    last = line.mid(5);
                    ++commandsDone;
                }
                QVERIFY2(!line.startsWith(QLatin1String("FAILED")), qPrintable(line));
                QVERIFY2(!line.startsWith(QLatin1String("BOX\t16")), qPrintable(line));
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
        }
        QVERIFY2(commandsDone > 50, "the program hardly ran between the kills");
        qInfo() << "50 kills, commands completed:" << commandsDone
                << "last completed before each kill:" << killedDuring;
    }
};

QTEST_MAIN(TestKills)
#include "tst_kills.moc"
