// The platform layer against real components: Qt's message box, a real child process found on
// PATH, a real HTTP server on 127.0.0.1 and a real lock file held by another process.

#include "data/LinksDb.h"
#include "platform/Http.h"
#include "platform/MessageBox.h"
#include "platform/ShellOpen.h"
#include "platform/SingleInstance.h"
#include "testkit/TestKit.h"
#include "testkit/Windows.h"
#include "windowkit/Lifecycle.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <stdexcept>

using namespace platform;

using testkit::ScopedEnv;
namespace {

// What a real box showed, read while it is up, and how the test answered it.
struct SeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    QString defaultButton;
};

// Answers the next real message box by pressing a key on it, after noting what it shows.
void answerRealBoxWith(Qt::Key key, SeenBox* seen)
{
    QTimer::singleShot(0, [key, seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return; // the test sees an empty SeenBox and fails there
        seen->title = box->windowTitle();
        seen->text = box->text();
        seen->icon = box->icon();
        for (QAbstractButton* button : box->buttons())
            seen->buttons.append(button->text().remove(QLatin1Char('&')));
        if (QPushButton* def = box->defaultButton())
            seen->defaultButton = def->text().remove(QLatin1Char('&'));
        QTest::keyClick(box, key);
    });
}

} // namespace

class tst_platform : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void messageBox_scriptedProviderGetsTitleStyleAndAnswers();
    void messageBox_realBoxAfterHandOver();
    void unexpectedFailure_showsNumberAndDescriptionThenEnds();
    void openerArgument_data();
    void openerArgument();
    void shellOpen_asksBeforeAnythingButWebAndMail_data();
    void shellOpen_asksBeforeAnythingButWebAndMail();
    void shellOpen_saysWhenNothingOpens();
    void shellOpen_runsDesktopOpenerFromPath();
    void httpGet_returnsBodyOfSuccess();
    void httpGet_failures_data();
    void httpGet_failures();
    void singleInstance_liveHolderBlocksKilledHolderIsTakenOver();
};

void tst_platform::messageBox_scriptedProviderGetsTitleStyleAndAnswers()
{
    testkit::ScriptedMessageBox boxes;
    QCOMPARE(MsgBox(QStringLiteral("Saved.")), MsgAnswer::Ok);
    QCOMPARE(MsgBox(QStringLiteral("Delete?"), MsgStyle::YesNo + MsgStyle::Question, QStringLiteral("Delete")),
             MsgAnswer::Yes);

    QString textWhileUp;
    boxes.onNextBox([&](const testkit::ScriptedMessageBox::Box& box) { textWhileUp = box.text; });
    boxes.answerNext(MsgAnswer::No);
    QCOMPARE(MsgBox(QStringLiteral("Really?"), MsgStyle::YesNo), MsgAnswer::No);
    QCOMPARE(textWhileUp, QStringLiteral("Really?"));
    // The scripted answer was used once; the next box gets the default again.
    QCOMPARE(MsgBox(QStringLiteral("Again?"), MsgStyle::YesNo), MsgAnswer::Yes);
    QCOMPARE(MsgBox(QStringLiteral("Careful?"), MsgStyle::YesNo + MsgStyle::DefaultButton2), MsgAnswer::No);
    boxes.boxes.removeLast();

    QCOMPARE(boxes.boxes.size(), 4);
    QCOMPARE(boxes.boxes.at(0).title, QStringLiteral("Orvane Tessary"));
    QCOMPARE(boxes.boxes.at(0).style, 0);
    QCOMPARE(boxes.boxes.at(1).title, QStringLiteral("Delete"));
    QCOMPARE(boxes.boxes.at(1).style, 36);
    QCOMPARE(boxes.texts(), QStringList({"Saved.", "Delete?", "Really?", "Again?"}));
}

void tst_platform::messageBox_realBoxAfterHandOver()
{
    {
        testkit::ScriptedMessageBox scripted;
        QCOMPARE(MsgBox(QStringLiteral("scripted")), MsgAnswer::Ok);
    }
    // The scripted provider is gone: the boxes below are Qt's own, answered by keys.
    SeenBox question;
    answerRealBoxWith(Qt::Key_Escape, &question);
    QCOMPARE(MsgBox(QStringLiteral("First line\rSecond line"), MsgStyle::YesNo + MsgStyle::Question),
             MsgAnswer::No);
    QCOMPARE(question.title, QStringLiteral("Orvane Tessary"));
    QCOMPARE(question.text, QStringLiteral("First line\nSecond line"));
    QCOMPARE(question.icon, QMessageBox::Question);
    QCOMPARE(question.buttons.size(), 2);
    QCOMPARE(question.defaultButton, QStringLiteral("Yes"));

    SeenBox yes;
    answerRealBoxWith(Qt::Key_Return, &yes);
    QCOMPARE(MsgBox(QStringLiteral("Sure?"), MsgStyle::YesNo + MsgStyle::Exclamation, QStringLiteral("Check")),
             MsgAnswer::Yes);
    QCOMPARE(yes.title, QStringLiteral("Check"));
    QCOMPARE(yes.icon, QMessageBox::Warning);

    // With the second button as the default, Enter says No.
    SeenBox careful;
    answerRealBoxWith(Qt::Key_Return, &careful);
    QCOMPARE(MsgBox(QStringLiteral("Run it?"), MsgStyle::YesNo + MsgStyle::Exclamation + MsgStyle::DefaultButton2),
             MsgAnswer::No);
    QCOMPARE(careful.defaultButton, QStringLiteral("No"));

    SeenBox stop;
    answerRealBoxWith(Qt::Key_Return, &stop);
    QCOMPARE(MsgBox(QStringLiteral("Stopped."), MsgStyle::Critical), MsgAnswer::Ok);
    QCOMPARE(stop.icon, QMessageBox::Critical);
    QCOMPARE(stop.buttons, QStringList({"OK"}));
}

void tst_platform::unexpectedFailure_showsNumberAndDescriptionThenEnds()
{
    testkit::ScriptedMessageBox boxes;
    kit::guarded([] { throw DbError(DbErr::NoCurrentRecord, QStringLiteral("No current record.")); });
    QCOMPARE(boxes.boxes.size(), 1);
    QCOMPARE(boxes.boxes.at(0).text, QStringLiteral("Run-time error '3021':\n\nNo current record."));
    QCOMPARE(boxes.boxes.at(0).title, QStringLiteral("Orvane Tessary"));
    QCOMPARE(boxes.boxes.at(0).style, int(MsgStyle::Critical));
    QVERIFY(kit::hasEnded());
    QCOMPARE(kit::exitCode(), 1);

    // Once the application has ended, a further failure shows nothing more.
    kit::guarded([] { throw std::runtime_error("late"); });
    QCOMPARE(boxes.boxes.size(), 1);
    testkit::resetApplication();
    QVERIFY(!kit::hasEnded());
}

void tst_platform::openerArgument_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("expected");
    QTest::newRow("www gains http") << "www.example.org"
                                    << "http://www.example.org";
    QTest::newRow("www any case") << "WWW.Example.org/a?b=c"
                                  << "http://WWW.Example.org/a?b=c";
    QTest::newRow("www with port") << "www.example.org:8080/x"
                                   << "http://www.example.org:8080/x";
    QTest::newRow("mailto with space") << "mailto:a@b.example?Subject=Orvane Tessary"
                                       << "mailto:a@b.example?Subject=Orvane Tessary";
    QTest::newRow("http") << "http://www.example.org"
                          << "http://www.example.org";
    QTest::newRow("https") << "https://example.org/x"
                           << "https://example.org/x";
    QTest::newRow("ftp") << "ftp://www.example.org"
                         << "ftp://www.example.org";
    QTest::newRow("None") << "None"
                          << "None";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("bare host") << "example.org"
                               << "example.org";
    // The opener takes whatever starts with '-' for an option ("--help" prints its help).
    QTest::newRow("an option's look") << "--help"
                                      << "./--help";
    QTest::newRow("one dash") << "-x y"
                              << "./-x y";
}

void tst_platform::shellOpen_asksBeforeAnythingButWebAndMail_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("asked");
    for (const char* web : {"http://example.org/a", "HTTPS://EXAMPLE.ORG", "ftp://files.example.org/x",
                            "mailto:me@example.org?subject=hi", "www.example.org", "WWW.example.org/x"})
        QTest::newRow(web) << QString::fromLatin1(web) << false;
    for (const char* other :
         {"file:///usr/share/applications/xterm.desktop", "/usr/bin/xterm", "vbscript:msgbox(1)", "ssh://host",
          "smb://server/share", "ms-msdt:/id PCWDiagnostic", "javascript:alert(1)", "None", "--help", "-x",
          " http://example.org/", "httpx://example.org", "wwwexample.org", "mailto"})
        QTest::newRow(other) << QString::fromLatin1(other) << true;
}

// Enter says No: a target asked about is opened only after Yes, exactly as given.
void tst_platform::shellOpen_asksBeforeAnythingButWebAndMail()
{
    QFETCH(QString, target);
    QFETCH(bool, asked);
    testkit::ScriptedMessageBox boxes;
    testkit::RecordingOpener opener;
    platform::shellOpen(target);
    QCOMPARE(opener.opened, asked ? QStringList() : QStringList{target});
    QCOMPARE(boxes.boxes.size(), asked ? 1 : 0);
    if (!asked)
        return;
    QCOMPARE(boxes.boxes[0].style, MsgStyle::YesNo + MsgStyle::Exclamation + MsgStyle::DefaultButton2);
    QCOMPARE(boxes.boxes[0].title, QStringLiteral("Open Link"));
    QVERIFY2(boxes.boxes[0].text.startsWith(QLatin1Char('"') + target + QLatin1Char('"')),
             qPrintable(boxes.boxes[0].text));
    boxes.answerNext(MsgAnswer::Yes);
    platform::shellOpen(target);
    QCOMPARE(opener.opened, QStringList{target});
}

void tst_platform::shellOpen_saysWhenNothingOpens()
{
    testkit::ScriptedMessageBox boxes;
    testkit::RecordingOpener opener;
    platform::shellOpen(QStringLiteral(" \t"));
    QCOMPARE(boxes.texts(), QStringList{"There is no address to open."});
    QVERIFY(opener.opened.isEmpty());

    boxes.boxes.clear();
    opener.cannotStart = true;
    platform::shellOpen(QStringLiteral("https://example.org/"));
    QCOMPARE(boxes.texts(), QStringList{"\"https://example.org/\" could not be opened: the desktop's opener "
                                        "(xdg-open) could not be started."});
    QCOMPARE(boxes.boxes[0].style, int(MsgStyle::Exclamation));

    // A long target is shown shortened in the box, and handed over whole.
    boxes.boxes.clear();
    opener.cannotStart = false;
    const QString longTarget = QStringLiteral("file:///") + QString(5000, QLatin1Char('x'));
    boxes.answerNext(MsgAnswer::Yes);
    platform::shellOpen(longTarget);
    QVERIFY(boxes.boxes[0].text.size() < 500);
    QCOMPARE(opener.opened.last(), longTarget);
}

void tst_platform::openerArgument()
{
    QFETCH(QString, target);
    QFETCH(QString, expected);
    QCOMPARE(platform::openerArgument(target), expected);
}

void tst_platform::shellOpen_runsDesktopOpenerFromPath()
{
    QTemporaryDir bin;
    QVERIFY(bin.isValid());
    const QString out = bin.filePath(QStringLiteral("args.txt"));
    // Writes one argument per line, then renames so the test never reads a half-written file.
    QFile script(bin.filePath(QStringLiteral("xdg-open")));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > \"" + out.toUtf8() + ".part\"\nmv \"" + out.toUtf8() +
                 ".part\" \"" + out.toUtf8() + "\"\n");
    script.close();
    QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    const ScopedEnv path("PATH", bin.path().toLocal8Bit() + ':' + qgetenv("PATH"));
    auto readArgs = [&] {
        QFile f(out);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    };

    platform::shellOpen(QStringLiteral("mailto:a@b.example?Subject=Orvane Tessary"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), 10000);
    QCOMPARE(readArgs(), QStringLiteral("1\nmailto:a@b.example?Subject=Orvane Tessary\n"));

    QVERIFY(QFile::remove(out));
    platform::shellOpen(QStringLiteral("www.example.org"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), 10000);
    QCOMPARE(readArgs(), QStringLiteral("1\nhttp://www.example.org\n"));

    // Never as an option: one argument, a path in the working folder.
    QVERIFY(QFile::remove(out));
    {
        testkit::ScriptedMessageBox yes;
        yes.answerNext(MsgAnswer::Yes);
        platform::shellOpen(QStringLiteral("--version"));
    }
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), 10000);
    QCOMPARE(readArgs(), QStringLiteral("1\n./--version\n"));

    // With a recorder installed the program's text goes to it unchanged, not to the desktop.
    QVERIFY(QFile::remove(out));
    {
        testkit::RecordingOpener recorder;
        platform::shellOpen(QStringLiteral("www.example.org"));
        QCOMPARE(recorder.opened, QStringList({"www.example.org"}));
    }

    // The opener's own failure is said once it ends with it; when it is missing, at once.
    testkit::ScriptedMessageBox boxes;
    QFile failing(bin.filePath(QStringLiteral("xdg-open")));
    QVERIFY(failing.open(QIODevice::WriteOnly | QIODevice::Truncate));
    failing.write("#!/bin/sh\nexit 3\n");
    failing.close();
    platform::shellOpen(QStringLiteral("https://example.org/"));
    QTRY_COMPARE_WITH_TIMEOUT(
        boxes.texts(),
        QStringList{"\"https://example.org/\" could not be opened: the desktop found nothing "
                    "to open it with (xdg-open ended with code 3)."},
        10000);
    boxes.boxes.clear();
    QVERIFY(QFile::remove(failing.fileName()));
    const ScopedEnv nowhere("PATH", bin.path().toLocal8Bit());
    platform::shellOpen(QStringLiteral("https://example.org/"));
    QCOMPARE(boxes.texts(), QStringList{"\"https://example.org/\" could not be opened: the desktop's opener "
                                        "(xdg-open) could not be started."});
}

void tst_platform::httpGet_returnsBodyOfSuccess()
{
    testkit::LocalHttpServer server;
    server.serve(QStringLiteral("/version/tessaryupdate.txt"), 200, "1.0.1\r\n");
    server.serve(QStringLiteral("/utf8"), 200, "Caf\xc3\xa9", "text/plain; charset=utf-8");

    HttpReply reply =
        httpGet(QUrl(QStringLiteral("http://%1/version/tessaryupdate.txt").arg(server.host())), 5000);
    QVERIFY2(reply.ok, qPrintable(reply.error));
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.body, QStringLiteral("1.0.1\r\n"));

    reply = httpGet(QUrl(QStringLiteral("http://%1/utf8").arg(server.host())), 5000);
    QVERIFY(reply.ok);
    QCOMPARE(reply.body, QStringLiteral("Caf\u00e9"));
    QCOMPARE(server.requestedPaths(), QStringList({"/version/tessaryupdate.txt", "/utf8"}));
}

void tst_platform::httpGet_failures_data()
{
    // status served (-1: silent path, -2: nothing listens, -3: a body that never ends), body, status
    // the reply must carry
    QTest::addColumn<int>("served");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("expectedStatus");
    QTest::newRow("404 not in the table") << 0 << QByteArray() << 404;
    QTest::newRow("500 with a number as body") << 500 << QByteArray("100") << 500;
    QTest::newRow("503") << 503 << QByteArray("busy") << 503;
    QTest::newRow("200 one byte too long") << 200 << QByteArray(MaxReplyBytes + 1, '1') << 200;
    QTest::newRow("silent: times out") << -1 << QByteArray() << 0;
    QTest::newRow("refused") << -2 << QByteArray() << 0;
    QTest::newRow("endless flood: too long, not timed out") << -3 << QByteArray() << 200;
}

void tst_platform::httpGet_failures()
{
    QFETCH(int, served);
    QFETCH(QByteArray, body);
    QFETCH(int, expectedStatus);

    testkit::LocalHttpServer server;
    const QString path = QStringLiteral("/version/tessaryupdate.txt");
    if (served > 0)
        server.serve(path, served, body);
    else if (served == -1)
        server.silent(path);
    else if (served == -3)
        server.stream(path, qint64(32) * 1024 * 1024, 16 * 1024, 0);
    const QString host = served == -2 ? QStringLiteral("127.0.0.1:%1").arg(testkit::refusedPort()) : server.host();

    const HttpReply reply =
        httpGet(QUrl(QStringLiteral("http://%1%2").arg(host, path)), served == -3 ? 10000 : 300);
    QVERIFY(!reply.ok);
    QCOMPARE(reply.status, expectedStatus);
    QVERIFY(reply.body.isEmpty());
    QVERIFY(!reply.error.isEmpty());
    // A flood ends on the length limit long before the time-out could end it.
    if (served == -3 || served == 200)
        QCOMPARE(reply.error, QStringLiteral("The reply is longer than %1 bytes.").arg(MaxReplyBytes));
    if (served != -2)
        QCOMPARE(server.requestedPaths(), QStringList({path}));
}

void tst_platform::singleInstance_liveHolderBlocksKilledHolderIsTakenOver()
{
    QTemporaryDir runtime;
    QVERIFY(runtime.isValid());
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const ScopedEnv env("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    releaseInstanceLock();
    const QString lockPath = instanceLockPath(LinksDb::path());
    QVERIFY2(lockPath.startsWith(runtime.path() + QLatin1Char('/')), qPrintable(lockPath));

    // Another copy holds the lock.
    QProcess other;
    other.start(QStringLiteral(LOCKHOLDER_EXE), {lockPath});
    QVERIFY(other.waitForStarted());
    QVERIFY(other.waitForReadyRead(10000));
    QCOMPARE(other.readLine(), QByteArray("locked\n"));
    QVERIFY(anotherCopyRunning(LinksDb::path()));
    QVERIFY(anotherCopyRunning(LinksDb::path())); // asking again does not take it either

    // Killed without a chance to clean up: its lock file stays, but no longer counts.
    other.kill();
    QVERIFY(other.waitForFinished(10000));
    QVERIFY(QFile::exists(lockPath));
    QVERIFY(!anotherCopyRunning(LinksDb::path()));
    QVERIFY(!anotherCopyRunning(LinksDb::path())); // this copy holds it now

    // While we hold it, a further copy is refused; once we let go, it gets the lock.
    QProcess third;
    third.start(QStringLiteral(LOCKHOLDER_EXE), {lockPath});
    QVERIFY(third.waitForFinished(10000));
    QCOMPARE(third.exitCode(), 1);
    releaseInstanceLock();
    QVERIFY(!QFile::exists(lockPath));
    QProcess fourth;
    fourth.start(QStringLiteral(LOCKHOLDER_EXE), {lockPath});
    QVERIFY(fourth.waitForReadyRead(10000));
    QCOMPARE(fourth.readLine(), QByteArray("locked\n"));
    QVERIFY(anotherCopyRunning(LinksDb::path()));
    fourth.closeWriteChannel(); // its stdin closes: it lets go and ends normally
    QVERIFY(fourth.waitForFinished(10000));
    QCOMPARE(fourth.exitCode(), 0);
    QVERIFY(!anotherCopyRunning(LinksDb::path()));
    releaseInstanceLock();
}

QTEST_MAIN(tst_platform)
#include "tst_platform.moc"
