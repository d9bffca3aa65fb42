// Faults of the shared test helpers would make every suite that uses them lie: these check the
// parts that are not plain recorders.

#include "app/frmMain.h"
#include "data/LinksDb.h"
#include "testkit/TestKit.h"
#include "testkit/Windows.h"
#include "windowkit/Forms.h"
#include "windowkit/Lifecycle.h"
#include "windowkit/ListBox.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

namespace {

class PlainForm : public Form {
public:
    PlainForm() { setObjectName(QStringLiteral("PlainForm")); }
};

// Sends a request in the given pieces and returns everything the server wrote until it closed.
QByteArray exchange(quint16 port, const QList<QByteArray>& pieces)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000))
        return "not connected";
    for (const QByteArray& piece : pieces) {
        socket.write(piece);
        socket.flush();
        // Let the server see this piece on its own before the next arrives.
        QTest::qWait(20);
    }
    // The server runs on this thread: wait by spinning events, never by blocking.
    QByteArray answer;
    const bool closed = QTest::qWaitFor(
        [&] {
            answer += socket.readAll();
            return socket.state() == QAbstractSocket::UnconnectedState;
        },
        5000);
    return closed ? answer + socket.readAll() : "still open: " + answer;
}

} // namespace

class tst_testkit : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void httpServer_answersWholeRequestsAndCloses();
    void resetApplication_removesWindowsAndLetsLoopsRunAgain();
    void triggerAction_failsLoudlyAndTriggersOtherwise();
    void tempLinksDb_freshInstalledCopyEachTime();
    void tempLinksDb_writesAndReadsBack();
    void session_closesItsWindowsBeforeItsFileGoes();
};

void tst_testkit::httpServer_answersWholeRequestsAndCloses()
{
    testkit::LocalHttpServer server;
    server.serve(QStringLiteral("/v.txt"), 200, "1.0.1");

    // Headers split across two writes are answered once, after the blank line.
    const QByteArray ok = exchange(server.port(), {"GET /v.txt?x=1 HTTP/1.1\r\nHost: 127.0.0.1\r\n", "\r\n"});
    QVERIFY2(ok.startsWith("HTTP/1.1 200 OK\r\n"), ok.constData());
    QVERIFY(ok.contains("\r\nContent-Type: text/plain\r\n"));
    QVERIFY(ok.contains("\r\nContent-Length: 5\r\n"));
    QVERIFY(ok.contains("\r\nConnection: close\r\n"));
    QVERIFY(ok.endsWith("\r\n\r\n1.0.1"));

    const QByteArray missing = exchange(server.port(), {"GET /nothing HTTP/1.1\r\nHost: x\r\n\r\n"});
    QVERIFY2(missing.startsWith("HTTP/1.1 404 Not Found\r\n"), missing.constData());
    QVERIFY(missing.contains("Content-Type: text/html"));
    QVERIFY(missing.contains("<html>"));

    QCOMPARE(server.requestedPaths(), QStringList({"/v.txt?x=1", "/nothing"}));
}

void tst_testkit::resetApplication_removesWindowsAndLetsLoopsRunAgain()
{
    QPointer<PlainForm> form = Forms::show<PlainForm>();
    QVERIFY(form);
    kit::endApplication(0);
    testkit::resetApplication();
    QVERIFY(form.isNull());
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
    QVERIFY(!kit::hasEnded());

    // A local loop (a real box, a synchronous GET) runs until it is told to stop, not at once.
    QEventLoop loop;
    QTimer::singleShot(0, &loop, [&loop] { loop.exit(7); });
    QCOMPARE(loop.exec(), 7);
}

void tst_testkit::triggerAction_failsLoudlyAndTriggersOtherwise()
{
    QAction action(QStringLiteral("Do"));
    int triggered = 0;
    connect(&action, &QAction::triggered, this, [&triggered] { ++triggered; });

    testkit::triggerAction(&action, "mnuDo");
    QCOMPARE(triggered, 1);

    action.setEnabled(false);
    QEXPECT_FAIL("", "a disabled action fails the test", Continue);
    testkit::triggerAction(&action, "mnuDo");
    action.setEnabled(true);
    action.setVisible(false);
    QEXPECT_FAIL("", "a hidden action fails the test", Continue);
    testkit::triggerAction(&action, "mnuDo");
    QEXPECT_FAIL("", "a missing action fails the test", Continue);
    testkit::triggerAction(nullptr, "mnuMissing");
    QCOMPARE(triggered, 1);
}

void tst_testkit::tempLinksDb_freshInstalledCopyEachTime()
{
    QString firstPath;
    {
        testkit::TempLinksDb first;
        firstPath = first.path();
        QCOMPARE(LinksDb::path(), firstPath);
        first.addLinks({{"Zeta", "www.zeta.example"}, {"alpha", "None"}});
        first.setOther(1, "Yes", "ann", "secret");
        // The program's own way in reaches the same file.
        QCOMPARE(LinksDb::open().openRecordset("links", RecordsetType::Table).recordCount(), 2);
    }
    QVERIFY(!QFile::exists(firstPath));

    // The next copy is the installed file again, untouched by what the first one was given.
    testkit::TempLinksDb second;
    QVERIFY(second.path() != firstPath);
    QCOMPARE(LinksDb::path(), second.path());
    QCOMPARE(second.linkCount(), 0);
    QCOMPARE(second.other("FirstRun").toInt(), 0);
    QCOMPARE(second.other("PasswordProtected").toString(), QStringLiteral("No"));
    QVERIFY(!second.bytes().startsWith("SQLite format 3")); // encrypted, not a plain database
}

void tst_testkit::tempLinksDb_writesAndReadsBack()
{
    testkit::TempLinksDb file;
    const QList<testkit::Link> firstBatch{{"Zeta", "www.zeta.example"}, {" blank first", ""}};
    const QList<testkit::Link> secondBatch{{"O'Brien's \"page\"", "mailto:a@b.example"}, {"alpha", "None"}};
    file.addLinks(firstBatch);
    file.addLinks(secondBatch);
    QCOMPARE(file.links(), firstBatch + secondBatch);
    QCOMPARE(file.linkCount(), 4);

    file.setOther(1, "Yes", QVariant(), "pw");
    QCOMPARE(file.other("FirstRun").toInt(), 1);
    QCOMPARE(file.other("PasswordProtected").toString(), QStringLiteral("Yes"));
    QVERIFY(file.other("Username").isNull());
    QCOMPARE(file.other("Password").toString(), QStringLiteral("pw"));

    // Left out, user name and password are empty texts, not Null.
    file.setOther(1, "No");
    QVERIFY(!file.other("Username").isNull());
    QCOMPARE(file.other("Username").toString(), QString());
    QVERIFY(!file.other("Password").isNull());

    // A helper that meets an engine failure fails the test and returns, without aborting the run.
    QEXPECT_FAIL("", "no such field in Other", Continue);
    const QVariant missing = file.other("NoSuchField");
    QVERIFY(!missing.isValid());
}

void tst_testkit::session_closesItsWindowsBeforeItsFileGoes()
{
    QString path;
    QPointer<frmMain> main;
    bool fileThereAtClose = false;
    {
        testkit::Session s;
        QVERIFY(s.open({{"b", "u2"}, {"a", "u1"}}));
        // The links are stored before the window reads them.
        QCOMPARE(s.main->List1->ListCount(), 2);
        path = s.file.path();
        main = s.main;
        connect(s.main, &QObject::destroyed, this, [&] { fileThereAtClose = QFile::exists(path); });
    }
    QVERIFY(main.isNull());
    QVERIFY(fileThereAtClose);
    QVERIFY(!QFile::exists(path));
    QVERIFY(!kit::hasEnded());
}

QTEST_MAIN(tst_testkit)
#include "tst_testkit.moc"
