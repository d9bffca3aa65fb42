// Two copies of the program on one file at the same time (each in its own desktop session, so
// the single-instance rule lets both through): while each holds its main window's connection and
// cursor, both write links; neither meets a locked database, and each sees what the other wrote.
#include "testkit/Harness.h"
#include "testkit/TestKit.h"

#include <QFile>
#include <QTest>

namespace {

QStringList adds(const QString& prefix, int count)
{
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines.append(QStringLiteral("add\t%1%2\thttp://%1%2.example").arg(prefix).arg(i));
    return lines;
}

} // namespace

class TestTwoCopies : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void bothCopiesWriteAndSeeEachOther()
    {
        testkit::TempLinksDb db;
        db.setOther(1, QStringLiteral("No"));
        QList<testkit::Link> start;
        for (int i = 0; i < 3000; ++i)
            start.append({QStringLiteral("start%1").arg(i), QStringLiteral("u")});
        db.addLinks(start);
        testkit::RuntimeDir sessionA, sessionB;
        QTemporaryDir work;
        const QString go = work.filePath(QStringLiteral("go"));
        const QString goAgain = work.filePath(QStringLiteral("go again"));

        // Both wait at their main windows for the go-ahead, then write at the same time.
        testkit::Harness first(db.folder(), sessionA.path());
        QVERIFY(first.setScript(
            QStringList{"waitfile\t" + go} + adds(QStringLiteral("a"), 40) +
            QStringList{"report", "waitfile\t" + goAgain, "add\tlast\thttp://last", "report", "exit"}));
        first.start();
        QVERIFY(!first.waitForLine(QStringLiteral("WINDOWS")).isEmpty());

        // The second copy runs its start-up, writing FirstRun, while the first holds its main
        // window's connection and cursor.
        testkit::Harness second(db.folder(), sessionB.path());
        QVERIFY(second.setScript(QStringList{"waitfile\t" + go} + adds(QStringLiteral("b"), 40) +
                                 QStringList{"edit\tstart0\tstart0 renamed\thttp://renamed", "report", "exit"}));
        second.start();
        QVERIFY(!second.waitForLine(QStringLiteral("WINDOWS")).isEmpty());
        QVERIFY(QFile(go).open(QIODevice::WriteOnly));
        QVERIFY(second.waitForExit(120000));
        QVERIFY(!second.crashed());
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(!first.waitForLine(QStringLiteral("COUNT")).isEmpty());

        QVERIFY(QFile(goAgain).open(QIODevice::WriteOnly));
        const QString finalCount = first.waitForLine(QStringLiteral("COUNT"), 60000);
        QVERIFY(first.waitForExit(60000));
        QCOMPARE(first.exitCode(), 0);

        // No failure surfaced in either copy: every box was an expected one (none with a stop icon).
        for (testkit::Harness* copy : {&first, &second}) {
            for (const auto& box : copy->boxes())
                QVERIFY2(box.style != 16, qPrintable(box.text));
            QVERIFY(!copy->lines().filter(QStringLiteral("FAILED")).size());
        }
        const int links = db.linkCount();
        QCOMPARE(links, 3000 + 40 + 40 + 1);
        // The first copy's last rebuild counted the other copy's links too.
        QCOMPARE(finalCount, QStringLiteral("COUNT\t%1\t%1").arg(links));
        QCOMPARE(db.other(QStringLiteral("FirstRun")).toInt(), 1);
        bool renamed = false;
        for (const auto& link : db.links())
            renamed = renamed || (link.name == QLatin1String("start0 renamed") &&
                                  link.url == QLatin1String("http://renamed"));
        QVERIFY(renamed);
    }
};

QTEST_MAIN(TestTwoCopies)
#include "tst_twocopies.moc"
