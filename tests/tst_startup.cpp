// The start-up road: which window the settings record in table Other opens, what the decision
// writes, and when the application ends before the main window exists.

#include "app/Startup.h"
#include "app/frmMain.h"
#include "forms/protect/frmFirstTime.h"
#include "forms/protect/frmLogIn.h"
#include "forms/protect/frmPassword.h"
#include "forms/protect/frmPasswordProtected.h"
#include "testkit/TestKit.h"
#include "testkit/Windows.h"
#include "windowkit/Forms.h"
#include "windowkit/Lifecycle.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using testkit::isShown;
using testkit::settle;

namespace {

// Notes the class of every window that is shown, so a window that flashed up and went away
// again is caught too.
class ShownWindows : public QObject {
public:
    ShownWindows() { qApp->installEventFilter(this); }
    ~ShownWindows() override { qApp->removeEventFilter(this); }
    QStringList classes;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            if (auto* form = qobject_cast<Form*>(watched); form && form->isWindow())
                classes.append(QString::fromLatin1(form->metaObject()->className()));
        }
        return false;
    }
};

struct OtherRecord {
    QVariant firstRun, passwordProtected, username, password;
};

OtherRecord readOther(const testkit::TempLinksDb& db)
{
    return {db.other(QStringLiteral("FirstRun")), db.other(QStringLiteral("PasswordProtected")),
            db.other(QStringLiteral("Username")), db.other(QStringLiteral("Password"))};
}

// FirstRun is compared by number, Null kept apart from 0.
QString describe(const QVariant& v)
{
    if (!v.isValid() || v.isNull())
        return QStringLiteral("<Null>");
    return v.toString();
}

} // namespace

class tst_startup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup();
    void startupDecision_data();
    void startupDecision();
    void damagedRecord_data();
    void damagedRecord();
    void damagedRecord_realBoxEndsWithCodeOne();
    void welcome_nextOpensChoiceWithoutEnding_data();
    void welcome_nextOpensChoiceWithoutEnding();
    void closingLastWindow_endsAndWritesNothing_data();
    void closingLastWindow_endsAndWritesNothing();
    void firstStartThenProtectedStart_roundTrip();
    void unreadableDatabase_failsBeforeAnyWindow();
    void secondCopy_meetsTheInstanceRuleOnlyAtTheMainWindow_data();
    void secondCopy_meetsTheInstanceRuleOnlyAtTheMainWindow();
};

void tst_startup::cleanup()
{
    testkit::resetApplication();
}

void tst_startup::startupDecision_data()
{
    QTest::addColumn<QVariant>("firstRun");
    QTest::addColumn<QVariant>("passwordProtected");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("firstRunAfter");

    const QVariant null;
    const QStringList welcome{"frmFirstTime"};
    // The six rows of the decision, then the values that count as "not 1" and as neither.
    QTest::newRow("1, Yes: log-in only") << QVariant(1) << QVariant("Yes") << QStringList{"frmLogIn"} << "1";
    QTest::newRow("1, No: main only, 1 again") << QVariant(1) << QVariant("No") << QStringList{"frmMain"} << "1";
    QTest::newRow("0, No: welcome, first start recorded") << QVariant(0) << QVariant("No") << welcome << "1";
    QTest::newRow("0, Yes: log-in and welcome")
        << QVariant(0) << QVariant("Yes") << QStringList{"frmFirstTime", "frmLogIn"} << "0";
    QTest::newRow("0, other: welcome, nothing written") << QVariant(0) << QVariant("Maybe") << welcome << "0";

    QTest::newRow("Null, No") << null << QVariant("No") << welcome << "1";
    QTest::newRow("2, No") << QVariant(2) << QVariant("No") << welcome << "1";
    QTest::newRow("text yes, No") << QVariant("yes") << QVariant("No") << welcome << "1";
    QTest::newRow("Null, Yes") << null << QVariant("Yes") << QStringList{"frmFirstTime", "frmLogIn"} << "<Null>";
    QTest::newRow("2, Yes") << QVariant(2) << QVariant("Yes") << QStringList{"frmFirstTime", "frmLogIn"} << "2";
    QTest::newRow("0, yes in lower case") << QVariant(0) << QVariant("yes") << welcome << "0";
    QTest::newRow("0, NO in capitals") << QVariant(0) << QVariant("NO") << welcome << "0";
    QTest::newRow("0, No with a blank") << QVariant(0) << QVariant("No ") << welcome << "0";
    QTest::newRow("0, Null") << QVariant(0) << null << welcome << "0";
}

void tst_startup::startupDecision()
{
    QFETCH(QVariant, firstRun);
    QFETCH(QVariant, passwordProtected);
    QFETCH(QStringList, shown);
    QFETCH(QString, firstRunAfter);

    testkit::Session s;
    s.file.setOther(firstRun, passwordProtected, QStringLiteral("ann"), QStringLiteral("pw"));
    const OtherRecord before = readOther(s.file);
    ShownWindows windows;

    QVERIFY(app::start());
    settle();

    QStringList seen = windows.classes;
    seen.sort();
    QCOMPARE(seen, shown);
    QCOMPARE(isShown<frmFirstTime>(), shown.contains("frmFirstTime"));
    QCOMPARE(isShown<frmLogIn>(), shown.contains("frmLogIn"));
    QCOMPARE(isShown<frmMain>(), shown.contains("frmMain"));
    QVERIFY(!kit::hasEnded());
    QVERIFY2(s.boxes.boxes.isEmpty(), qPrintable(s.boxes.texts().join('|')));

    const OtherRecord after = readOther(s.file);
    QCOMPARE(describe(after.firstRun), firstRunAfter);
    QCOMPARE(after.passwordProtected, before.passwordProtected);
    QCOMPARE(after.username, before.username);
    QCOMPARE(after.password, before.password);
}

void tst_startup::damagedRecord_data()
{
    QTest::addColumn<QVariant>("passwordProtected");
    QTest::newRow("yes in lower case") << QVariant("yes");
    QTest::newRow("Yes with a blank") << QVariant("Yes ");
    QTest::newRow("empty text") << QVariant("");
    QTest::newRow("Null") << QVariant();
}

void tst_startup::damagedRecord()
{
    QFETCH(QVariant, passwordProtected);

    testkit::Session s;
    s.file.setOther(1, passwordProtected, QStringLiteral("ann"), QStringLiteral("pw"));
    const QByteArray fileBefore = s.file.bytes();
    ShownWindows windows;

    QVERIFY(!app::start());
    QVERIFY(kit::hasEnded());
    QCOMPARE(kit::exitCode(), 1);
    QCOMPARE(s.boxes.boxes.size(), 1);
    QCOMPARE(s.boxes.boxes.at(0).text,
             QStringLiteral(
                 "The settings record in links.mdb is damaged: PasswordProtected must be \"Yes\" or \"No\"."));
    QCOMPARE(s.boxes.boxes.at(0).title, QStringLiteral("Orvane Tessary"));
    QCOMPARE(s.boxes.boxes.at(0).style, 16);
    QVERIFY(windows.classes.isEmpty());
    QCOMPARE(s.file.bytes(), fileBefore);
}

void tst_startup::damagedRecord_realBoxEndsWithCodeOne()
{
    // With Qt's own box its modal loop runs: nothing deferred may end the application (with
    // code 0) underneath the box before the user has read it.
    testkit::TempLinksDb db;
    db.setOther(1, QStringLiteral("Perhaps"));
    testkit::FakeInstanceGuard guard;

    QString seenText;
    bool stillRunningWhileUp = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return; // the comparison below fails
        // Give deferred work a chance to run while the box is up.
        settle();
        seenText = box->text();
        stillRunningWhileUp = !kit::hasEnded() && box->isVisible();
        QTest::keyClick(box, Qt::Key_Return);
    });
    QVERIFY(!app::start());
    QCOMPARE(seenText,
             QStringLiteral(
                 "The settings record in links.mdb is damaged: PasswordProtected must be \"Yes\" or \"No\"."));
    QVERIFY(stillRunningWhileUp);
    QVERIFY(kit::hasEnded());
    QCOMPARE(kit::exitCode(), 1);
}

void tst_startup::welcome_nextOpensChoiceWithoutEnding_data()
{
    QTest::addColumn<bool>("byEnter");
    QTest::newRow("mouse on Next") << false;
    QTest::newRow("Enter") << true;
}

void tst_startup::welcome_nextOpensChoiceWithoutEnding()
{
    QFETCH(bool, byEnter);

    testkit::Session s;
    QVERIFY(app::start());

    frmFirstTime* welcome = Forms::find<frmFirstTime>();
    QVERIFY(welcome && welcome->isVisible());
    QCOMPARE(welcome->windowTitle(), QStringLiteral("Orvane Tessary"));
    QCOMPARE(
        welcome->Label1->text(),
        QStringLiteral("This is the first time you have run Orvane Tessary.  Thank you for using our software!"));
    QCOMPARE(welcome->Command1->text(), QStringLiteral("Next"));
    QVERIFY(welcome->Command1->isDefault());
    // The first start is on record while the welcome is still on screen.
    QCOMPARE(s.file.other("FirstRun").toInt(), 1);

    if (byEnter) {
        welcome->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(welcome));
        QCOMPARE(QApplication::focusWidget(), welcome->Command1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    } else {
        QTest::mouseClick(welcome->Command1, Qt::LeftButton);
    }
    QVERIFY(isShown<frmPassword>());
    QVERIFY(!Forms::find<frmFirstTime>());
    settle();
    QVERIFY(!kit::hasEnded());
    QVERIFY(isShown<frmPassword>());
    QVERIFY(!Forms::find<frmMain>());
    QCOMPARE(s.file.other("PasswordProtected").toString(), QStringLiteral("No"));
}

void tst_startup::closingLastWindow_endsAndWritesNothing_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<int>("firstRun");
    QTest::addColumn<QString>("passwordProtected");
    QTest::newRow("welcome") << "frmFirstTime" << 0 << "No";
    QTest::newRow("protection choice") << "frmPassword" << 0 << "No";
    QTest::newRow("credentials") << "frmPasswordProtected" << 0 << "No";
    QTest::newRow("log-in") << "frmLogIn" << 1 << "Yes";
}

void tst_startup::closingLastWindow_endsAndWritesNothing()
{
    QFETCH(QString, window);
    QFETCH(int, firstRun);
    QFETCH(QString, passwordProtected);

    testkit::Session s;
    s.file.setOther(firstRun, passwordProtected, QStringLiteral("ann"), QStringLiteral("pw"));
    QVERIFY(app::start());

    // Walk the first-start road as far as the window under test.
    if (window != "frmFirstTime" && window != "frmLogIn")
        QTest::mouseClick(Forms::find<frmFirstTime>()->Command1, Qt::LeftButton);
    if (window == "frmPasswordProtected") {
        QTest::mouseClick(Forms::find<frmPassword>()->Command1, Qt::LeftButton);
        frmPasswordProtected* credentials = Forms::find<frmPasswordProtected>();
        QVERIFY(credentials);
        QTest::keyClicks(credentials->txtus, QStringLiteral("bob"));
        QTest::keyClicks(credentials->txtp, QStringLiteral("x"));
        QTest::keyClicks(credentials->txtp2, QStringLiteral("x"));
    }
    settle();
    const OtherRecord before = readOther(s.file);

    QWidget* last = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible()) {
            QVERIFY2(!last, "only one window should be open");
            last = w;
        }
    }
    QVERIFY(last);
    QCOMPARE(QString::fromLatin1(last->metaObject()->className()), window);

    last->close(); // as Alt+F4 does
    settle();
    QVERIFY(kit::hasEnded());
    QCOMPARE(kit::exitCode(), 0);
    QVERIFY(s.boxes.boxes.isEmpty());

    const OtherRecord after = readOther(s.file);
    QCOMPARE(after.firstRun.toInt(), 1);
    QCOMPARE(after.passwordProtected, before.passwordProtected);
    QCOMPARE(after.passwordProtected.toString(), passwordProtected);
    QCOMPARE(after.username.toString(), QStringLiteral("ann"));
    QCOMPARE(after.password.toString(), QStringLiteral("pw"));
}

void tst_startup::firstStartThenProtectedStart_roundTrip()
{
    testkit::TempLinksDb db;
    testkit::FakeInstanceGuard guard;
    {
        testkit::ScriptedMessageBox boxes;
        QVERIFY(app::start());
        QTest::mouseClick(Forms::find<frmFirstTime>()->Command1, Qt::LeftButton);
        QTest::mouseClick(Forms::find<frmPassword>()->Command1, Qt::LeftButton);
        frmPasswordProtected* credentials = Forms::find<frmPasswordProtected>();
        QVERIFY(credentials);
        QTest::keyClicks(credentials->txtus, QStringLiteral("Ann"));
        QTest::keyClicks(credentials->txtp, QStringLiteral("open sesam"));
        QTest::keyClicks(credentials->txtp2, QStringLiteral("open sesam"));
        QTest::mouseClick(credentials->Command2, Qt::LeftButton);
        settle();
        QVERIFY(isShown<frmMain>());
        QVERIFY(!kit::hasEnded());
        QCOMPARE(boxes.boxes.size(), 1);
    }
    testkit::resetApplication();

    // The next start asks for exactly those credentials.
    testkit::ScriptedMessageBox boxes;
    ShownWindows windows;
    QVERIFY(app::start());
    QCOMPARE(windows.classes, QStringList{"frmLogIn"});
    frmLogIn* logIn = Forms::find<frmLogIn>();
    QTest::keyClicks(logIn->txtus, QStringLiteral("Ann"));
    QTest::keyClicks(logIn->txtp, QStringLiteral("open sesam"));
    QTest::mouseClick(logIn->Command2, Qt::LeftButton);
    settle();
    QVERIFY(boxes.boxes.isEmpty());
    QVERIFY(isShown<frmMain>());
    // Reaching the main window ran its load step.
    QCOMPARE(Forms::find<frmMain>()->windowTitle(), QStringLiteral(" Orvane Tessary V/ 1. 0. 0"));
    QVERIFY(!Forms::find<frmLogIn>());
    QVERIFY(!kit::hasEnded());
}

void tst_startup::unreadableDatabase_failsBeforeAnyWindow()
{
    testkit::Session s;
    QVERIFY(QFile::remove(s.file.path()));
    ShownWindows windows;

    QVERIFY(!app::start());
    QVERIFY(kit::hasEnded());
    QCOMPARE(kit::exitCode(), 1);
    QCOMPARE(s.boxes.boxes.size(), 1);
    QVERIFY2(s.boxes.boxes.at(0).text.startsWith(QStringLiteral("Run-time error '3024':")),
             qPrintable(s.boxes.boxes.at(0).text));
    QVERIFY(windows.classes.isEmpty());
}

void tst_startup::secondCopy_meetsTheInstanceRuleOnlyAtTheMainWindow_data()
{
    QTest::addColumn<bool>("protectedStart");
    QTest::newRow("protected: log-in first") << true;
    QTest::newRow("unprotected: straight to the rule") << false;
}

void tst_startup::secondCopy_meetsTheInstanceRuleOnlyAtTheMainWindow()
{
    QFETCH(bool, protectedStart);

    testkit::Session s;
    s.file.setOther(1, protectedStart ? QStringLiteral("Yes") : QStringLiteral("No"), QStringLiteral("ann"),
                    QStringLiteral("pw"));
    s.guard.running = true;

    const bool running = app::start();
    if (protectedStart) {
        QVERIFY(running);
        QVERIFY(s.boxes.boxes.isEmpty());
        frmLogIn* logIn = Forms::find<frmLogIn>();
        QVERIFY(logIn && logIn->isVisible());
        QTest::keyClicks(logIn->txtus, QStringLiteral("ann"));
        QTest::keyClicks(logIn->txtp, QStringLiteral("pw"));
        QTest::mouseClick(logIn->Command2, Qt::LeftButton);
    }
    settle();
    QCOMPARE(s.boxes.texts(), QStringList{"Orvane Tessary is already running in memory"});
    QVERIFY(kit::hasEnded());
    QCOMPARE(kit::exitCode(), 0);
    QVERIFY(!Forms::find<frmMain>());
    QCOMPARE(s.file.other("FirstRun").toInt(), 1);
    QCOMPARE(s.file.other("PasswordProtected").toString(),
             protectedStart ? QStringLiteral("Yes") : QStringLiteral("No"));
}

QTEST_MAIN(tst_startup)
#include "tst_startup.moc"
