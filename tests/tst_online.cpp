// The update check and the support commands, driven from the real main window's menus against a
// real HTTP server on 127.0.0.1 and, once, a real opener process found on PATH.

#include "app/frmMain.h"
#include "online/Settings.h"
#include "platform/Http.h"
#include "platform/MessageBox.h"
#include "testkit/TestKit.h"
#include "testkit/Windows.h"
#include "windowkit/Forms.h"
#include "windowkit/Lifecycle.h"
#include "windowkit/ListBox.h"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <stdexcept>

using testkit::ScopedEnv;
namespace {

const QString VersionPath = QStringLiteral("/version/tessaryupdate.txt");
const QString ConnectError = QStringLiteral("Error Connecting To Server... Please Try Again Later...");
const QString NoUpgrades = QStringLiteral("No New Upgrades Available At This Time...");
const QString NewerVersion =
    QStringLiteral("There is a Newer version of this software!  Would you like to download and install it now?");
const QString MailTo = QStringLiteral("mailto:support@tessary.example.com?Subject=Orvane Tessary");

// The program up to its main window, its update check asking a local server.
struct Session : testkit::Session {
    explicit Session(bool recordOpener = true)
    {
        if (!recordOpener)
            opener.reset();
        online::setWebHost(server.host());
        if (open({{"beta", "www.beta.example"}, {"Alpha", "http://alpha.example"}}))
            main->Inet1RequestTimeoutMs = 5000;
    }

    void checkForUpdates() { testkit::triggerAction(main ? main->mnuUpdates : nullptr, "mnuUpdates"); }

    testkit::LocalHttpServer server;
};

// A transfer that breaks in a way no HTTP client reports as a reply.
class ThrowingHttpClient : public platform::HttpClient {
public:
    platform::HttpReply get(const QUrl&, int) override { throw std::runtime_error("socket layer broke"); }
};

class ThrowingOpener : public platform::Opener {
public:
    bool open(const QString&) override { throw std::runtime_error("no desktop opener"); }
};

} // namespace

class tst_online : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup();

    void updateCheck_replies_data();
    void updateCheck_replies();
    void updateCheck_unreachableServer();
    void updateCheck_floodOrDripFails_data();
    void updateCheck_floodOrDripFails();
    void updateCheck_keepsLastReplyInLabel();
    void updateCheck_yesOpensDownloadPageAndEnds();
    void updateCheck_noLeavesProgramRunning();
    void updateCheck_brokenStepsNeverEndTheProgram();
    void supportCommands_handExactAddressesToOpener();
    void supportEmail_reachesDesktopOpenerOnPath();
};

void tst_online::cleanup()
{
    online::setWebHost(QString());
    platform::setHttpClient(nullptr);
    testkit::resetApplication();
}

void tst_online::updateCheck_replies_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("caption"); // lblupdate afterwards

    QTest::newRow("same build") << 200 << QByteArray("100") << NoUpgrades << "100";
    QTest::newRow("trailing line break") << 200 << QByteArray("100\n") << NoUpgrades << "100\n";
    QTest::newRow("Windows line break") << 200 << QByteArray("100\r\n") << NoUpgrades << "100\r\n";
    QTest::newRow("blanks around") << 200 << QByteArray(" 100 ") << NoUpgrades << " 100 ";
    QTest::newRow("higher") << 200 << QByteArray("101") << NewerVersion << "101";
    QTest::newRow("lower counts as newer") << 200 << QByteArray("99") << NewerVersion << "99";
    QTest::newRow("empty file") << 200 << QByteArray() << ConnectError << "";
    QTest::newRow("not a number") << 200 << QByteArray("abc") << ConnectError << "abc";
    QTest::newRow("number then text") << 200 << QByteArray("100abc") << ConnectError << "100abc";
    QTest::newRow("two numbers") << 200 << QByteArray("100 101") << ConnectError << "100 101";
    // Editors on Windows start a UTF-8 file with a byte-order mark; it is no part of the number.
    const QByteArray bom("\xEF\xBB\xBF");
    QTest::newRow("byte-order mark") << 200 << bom + "100" << NoUpgrades << "\uFEFF100";
    QTest::newRow("byte-order mark, higher") << 200 << bom + "101\r\n" << NewerVersion << "\uFEFF101\r\n";
    const QByteArray full = QByteArray("100").leftJustified(platform::MaxReplyBytes, ' ');
    QTest::newRow("reply of the longest length read") << 200 << full << NoUpgrades << QString::fromLatin1(full);
    // One byte more and the reply is not kept at all.
    QTest::newRow("reply one byte too long") << 200 << full + ' ' << ConnectError << "";
    // A failed request leaves the label as it was: no reply arrived.
    QTest::newRow("server error with a number") << 500 << QByteArray("100") << ConnectError << "";
    QTest::newRow("missing file page") << 404 << QByteArray("<html><body>Not Found</body></html>") << ConnectError
                                       << "";
}

void tst_online::updateCheck_replies()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, message);
    QFETCH(QString, caption);

    Session s;
    QVERIFY(s.main);
    s.server.serve(VersionPath, status, body, status == 404 ? "text/html" : "text/plain");
    if (message == NewerVersion)
        s.boxes.answerNext(platform::MsgAnswer::No);
    s.checkForUpdates();

    QCOMPARE(s.server.requestedPaths(), QStringList({VersionPath}));
    QCOMPARE(s.boxes.texts(), QStringList({message}));
    const testkit::ScriptedMessageBox::Box& box = s.boxes.boxes.first();
    if (message == NewerVersion) {
        QCOMPARE(box.title, QStringLiteral("Orvane Tessary AutoUpdate"));
        QCOMPARE(box.style, platform::MsgStyle::YesNo + platform::MsgStyle::Question);
    } else {
        QCOMPARE(box.title, QStringLiteral("Orvane Tessary"));
        QCOMPARE(box.style, platform::MsgStyle::OkOnly);
    }
    QCOMPARE(s.main->lblupdate->text(), caption);
    QVERIFY(!s.main->lblupdate->isVisible());
    QVERIFY(s.opener->opened.isEmpty());
    QVERIFY(!kit::hasEnded());
    QCOMPARE(Forms::find<frmMain>(), s.main.data());
}

void tst_online::updateCheck_unreachableServer()
{
    Session s;
    QVERIFY(s.main);

    online::setWebHost(QStringLiteral("127.0.0.1:%1").arg(testkit::refusedPort()));
    s.checkForUpdates();
    QCOMPARE(s.boxes.texts(), QStringList({ConnectError}));

    // A server that takes the request and never answers: the check gives up after its time-out.
    online::setWebHost(s.server.host());
    s.server.silent(VersionPath);
    s.main->Inet1RequestTimeoutMs = 300;
    // The wait shows the busy cursor; the box that ends it does not.
    Qt::CursorShape waiting = Qt::ArrowCursor;
    QTimer::singleShot(100, [&] {
        if (const QCursor* cursor = QGuiApplication::overrideCursor())
            waiting = cursor->shape();
    });
    bool busyAtBox = true;
    s.boxes.onNextBox([&](const auto&) { busyAtBox = QGuiApplication::overrideCursor() != nullptr; });
    s.checkForUpdates();
    QCOMPARE(waiting, Qt::WaitCursor);
    QVERIFY(!busyAtBox);
    QVERIFY(!QGuiApplication::overrideCursor());
    QCOMPARE(s.server.requestedPaths(), QStringList({VersionPath}));
    QCOMPARE(s.boxes.texts(), QStringList({ConnectError, ConnectError}));
    QCOMPARE(s.boxes.boxes.last().title, QStringLiteral("Orvane Tessary"));
    QVERIFY(s.opener->opened.isEmpty());
    QVERIFY(!kit::hasEnded());
    QVERIFY(s.main->isVisible());
}

void tst_online::updateCheck_floodOrDripFails_data()
{
    QTest::addColumn<qint64>("total");
    QTest::addColumn<int>("pieceBytes");
    QTest::addColumn<int>("intervalMs");
    QTest::addColumn<int>("timeoutMs");
    // Far more than the socket buffers on both ends hold, so the client must hang up first; the
    // time-out is so long that ending within half of it shows the length limit ended it.
    QTest::newRow("endless flood") << qint64(32) * 1024 * 1024 << 16 * 1024 << 0 << 60000;
    // Each byte comes well within the time-out: only a limit on the whole transfer ends it.
    QTest::newRow("drip") << qint64(8) << 1 << 250 << 600;
}

void tst_online::updateCheck_floodOrDripFails()
{
    QFETCH(qint64, total);
    QFETCH(int, pieceBytes);
    QFETCH(int, intervalMs);
    QFETCH(int, timeoutMs);

    Session s;
    QVERIFY(s.main);
    s.main->Inet1RequestTimeoutMs = timeoutMs;
    // Taken to its end, the body of ones would read as a newer release.
    s.server.stream(VersionPath, total, pieceBytes, intervalMs);
    QElapsedTimer checking;
    checking.start();
    s.checkForUpdates();
    if (intervalMs == 0)
        QVERIFY2(checking.elapsed() < timeoutMs / 2,
                 "the flood ran into the time-out instead of the length limit");

    QCOMPARE(s.boxes.texts(), QStringList({ConnectError}));
    QCOMPARE(s.boxes.boxes.first().title, QStringLiteral("Orvane Tessary"));
    QCOMPARE(s.main->lblupdate->text(), QString());
    QVERIFY(s.opener->opened.isEmpty());
    QVERIFY(!kit::hasEnded());
    QTRY_COMPARE(s.server.hungUp, QStringList({VersionPath}));
}

void tst_online::updateCheck_keepsLastReplyInLabel()
{
    Session s;
    QVERIFY(s.main);
    s.server.serve(VersionPath, 200, "101");
    s.boxes.answerNext(platform::MsgAnswer::No);
    s.checkForUpdates();
    QCOMPARE(s.main->lblupdate->text(), QStringLiteral("101"));

    s.server.serve(VersionPath, 200, "100");
    s.checkForUpdates();
    QCOMPARE(s.main->lblupdate->text(), QStringLiteral("100"));

    s.server.serve(VersionPath, 503, "busy");
    s.checkForUpdates();
    QCOMPARE(s.main->lblupdate->text(), QStringLiteral("100"));
    QCOMPARE(s.boxes.texts(), QStringList({NewerVersion, NoUpgrades, ConnectError}));
}

void tst_online::updateCheck_yesOpensDownloadPageAndEnds()
{
    Session s;
    QVERIFY(s.main);
    s.server.serve(VersionPath, 200, "101");
    s.boxes.answerNext(platform::MsgAnswer::Yes);
    s.checkForUpdates();

    QCOMPARE(s.opener->opened, QStringList({QStringLiteral("http://%1/tessary.asp").arg(s.server.host())}));
    QCOMPARE(s.boxes.texts(), QStringList({NewerVersion}));
    QVERIFY(kit::hasEnded());
    QCOMPARE(kit::exitCode(), 0);
    QVERIFY(!Forms::find<frmMain>());
}

void tst_online::updateCheck_noLeavesProgramRunning()
{
    Session s;
    QVERIFY(s.main);
    const QString shownName = s.main->lblSiteName->text();
    s.server.serve(VersionPath, 200, "99");
    s.boxes.answerNext(platform::MsgAnswer::No);
    s.checkForUpdates();

    QCOMPARE(s.boxes.texts(), QStringList({NewerVersion}));
    QVERIFY(s.opener->opened.isEmpty());
    QVERIFY(!kit::hasEnded());
    QVERIFY(s.main->isVisible());
    QCOMPARE(s.main->lblSiteName->text(), shownName);

    // The program goes on: the next check runs as the first did.
    s.server.serve(VersionPath, 200, "100");
    s.checkForUpdates();
    QCOMPARE(s.boxes.texts(), QStringList({NewerVersion, NoUpgrades}));
}

void tst_online::updateCheck_brokenStepsNeverEndTheProgram()
{
    Session s;
    QVERIFY(s.main);

    ThrowingHttpClient brokenTransfer;
    platform::setHttpClient(&brokenTransfer);
    s.checkForUpdates();
    platform::setHttpClient(nullptr);
    QCOMPARE(s.boxes.texts(), QStringList({ConnectError}));
    QVERIFY(!kit::hasEnded());

    // The shell call fails after Yes: the main window is not closed and the program goes on.
    s.opener.reset();
    ThrowingOpener brokenOpener;
    platform::setOpener(&brokenOpener);
    s.server.serve(VersionPath, 200, "101");
    s.boxes.answerNext(platform::MsgAnswer::Yes);
    s.checkForUpdates();
    platform::setOpener(nullptr);
    QCOMPARE(s.boxes.texts(), QStringList({ConnectError, NewerVersion, ConnectError}));
    QVERIFY(!kit::hasEnded());
    QCOMPARE(Forms::find<frmMain>(), s.main.data());
    QVERIFY(s.main->isVisible());
}

void tst_online::supportCommands_handExactAddressesToOpener()
{
    Session s;
    QVERIFY(s.main);
    const QString shownName = s.main->lblSiteName->text();
    const int entries = s.main->List1->ListCount();

    testkit::triggerAction(s.main->mnuFourm, "mnuFourm");
    testkit::triggerAction(s.main->mnuEmail, "mnuEmail");

    QCOMPARE(s.opener->opened, QStringList({QStringLiteral("http://forum.tessary.example.com"), MailTo}));
    QVERIFY(s.boxes.boxes.isEmpty());
    QVERIFY(s.server.requestedPaths().isEmpty());
    QVERIFY(!kit::hasEnded());
    QVERIFY(s.main->isVisible());
    QCOMPARE(s.main->lblSiteName->text(), shownName);
    QCOMPARE(s.main->List1->ListCount(), entries);
}

void tst_online::supportEmail_reachesDesktopOpenerOnPath()
{
    QTemporaryDir bin;
    QVERIFY(bin.isValid());
    const QString out = bin.filePath(QStringLiteral("args.txt"));
    // Writes its arguments, one a line, then renames so the test never reads a half-written file.
    QFile script(bin.filePath(QStringLiteral("xdg-open")));
    QVERIFY(script.open(QIODevice::WriteOnly));
    const QByteArray target = out.toUtf8();
    script.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + target + ".part\"\n");
    script.write("mv \"" + target + ".part\" \"" + target + "\"\n");
    script.close();
    QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const ScopedEnv path("PATH", bin.path().toLocal8Bit() + ':' + qgetenv("PATH"));

    Session s(false);
    QVERIFY(s.main);
    testkit::triggerAction(s.main->mnuEmail, "mnuEmail");

    auto written = [&] {
        QFile f(out);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    };
    QTRY_COMPARE_WITH_TIMEOUT(written(), MailTo + QLatin1Char('\n'), 10000);
    QVERIFY(s.boxes.boxes.isEmpty());
    QVERIFY(!kit::hasEnded());
}

QTEST_MAIN(tst_online)
#include "tst_online.moc"
