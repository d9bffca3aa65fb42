// The protection windows driven as a person would: the protection choice, setting the
// credentials, the log-in and the options window, checked against what they write to table Other.

#include "app/Startup.h"
#include "app/frmMain.h"
#include "forms/protect/frmFirstTime.h"
#include "forms/protect/frmLogIn.h"
#include "forms/protect/frmOptions.h"
#include "forms/protect/frmPassword.h"
#include "forms/protect/frmPasswordProtected.h"
#include "testkit/TestKit.h"
#include "testkit/Windows.h"
#include "vault/Vault.h"
#include "windowkit/Forms.h"
#include "windowkit/Lifecycle.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <sodium.h>

using testkit::isShown;
using testkit::settle;

namespace {

// Verified with libsodium directly, not through the program's own check.
bool hashVerifies(const QString& stored, const QString& password)
{
    if (sodium_init() < 0)
        return false;
    const QByteArray hash = stored.toLatin1();
    const QByteArray bytes = password.toUtf8();
    return stored.startsWith(QLatin1String("$argon2id$")) &&
           crypto_pwhash_str_verify(hash.constData(), bytes.constData(), bytes.size()) == 0;
}

// One record of table Other as four comparable values.
QVariantList otherRecord(const testkit::TempLinksDb& db)
{
    return {db.other("FirstRun"), db.other("PasswordProtected"), db.other("Username"), db.other("Password")};
}

} // namespace

class tst_protect : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // These suites open windows of the start-up road directly, without the start-up.
    void initTestCase() { app::leadRoadToMainWindow(); }
    void cleanup();

    void windowDesign_data();
    void windowDesign();

    void choiceNo_writesOnlyTheSwitchAndOpensMain_data();
    void choiceNo_writesOnlyTheSwitchAndOpensMain();
    void choiceYes_writesNothing();

    void credentials_mismatch_data();
    void credentials_mismatch();
    void maxLengths_data();
    void maxLengths();
    void credentials_enterInAnyBoxPressesOk_data();
    void credentials_enterInAnyBoxPressesOk();
    void credentials_storeHashAndRemind();

    void logIn_data();
    void logIn();
    void logIn_legacyPlainPasswordIsReplacedByHash();
    void logIn_readsRecordAfreshEveryAttempt();
    void logIn_enterInEitherBoxPressesOk_data();
    void logIn_enterInEitherBoxPressesOk();
    void logIn_exitEndsWithoutMainWindow();

    void options_okWritesNothing();
    void options_protectionNoKeepsCredentials();
    void options_protectionYesReplacesCredentials();
};

void tst_protect::cleanup()
{
    testkit::resetApplication();
}

void tst_protect::windowDesign_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("sizable");
    QTest::addColumn<QString>("defaultButton");
    // The focus at opening, then where each Tab leads, round to the start.
    QTest::addColumn<QStringList>("tabOrder");

    QTest::newRow("welcome") << "frmFirstTime"
                             << "Orvane Tessary" << false << "Next" << QStringList{"Command1"};
    QTest::newRow("choice") << "frmPassword"
                            << "Password protected?" << false << "Yes"
                            << QStringList{"Command1", "Command2", "Command1"};
    QTest::newRow("credentials") << "frmPasswordProtected"
                                 << "Password Protected" << false << "Ok"
                                 << QStringList{"txtus", "txtp", "txtp2", "Command2", "txtus"};
    QTest::newRow("log-in") << "frmLogIn"
                            << "Log - In" << false << "Ok"
                            << QStringList{"txtus", "txtp", "Command2", "Command1", "txtus"};
    QTest::newRow("options") << "frmOptions"
                             << "Options" << true << "Ok" << QStringList{"Command2", "Command1", "Command2"};
}

void tst_protect::windowDesign()
{
    QFETCH(QString, window);
    QFETCH(QString, caption);
    QFETCH(bool, sizable);
    QFETCH(QString, defaultButton);
    QFETCH(QStringList, tabOrder);

    testkit::Session s;
    // The welcome's load step needs a record that keeps it open.
    s.file.setOther(0, QStringLiteral("Maybe"));
    Form* form = testkit::showForm(window);
    QVERIFY(form);
    QCOMPARE(form->windowTitle(), caption);

    const Qt::WindowFlags flags = form->windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowTitleHint));
    for (Qt::WindowType button : {Qt::WindowCloseButtonHint, Qt::WindowSystemMenuHint,
                                  Qt::WindowMinimizeButtonHint, Qt::WindowMaximizeButtonHint})
        QVERIFY2(!flags.testFlag(button), "no title-bar buttons");
    QCOMPARE(form->minimumSize() != form->maximumSize(), sizable);
    QVERIFY(form->autoFillBackground());
    QCOMPARE(form->palette().color(QPalette::Window), QColor(0, 192, 192));

    QList<QPushButton*> defaults;
    for (QPushButton* button : form->findChildren<QPushButton*>()) {
        if (button->isDefault())
            defaults.append(button);
    }
    QCOMPARE(defaults.size(), 1);
    QCOMPARE(defaults.at(0)->text(), defaultButton);

    QVERIFY(testkit::activate(form));
    for (int step = 0; step < tabOrder.size(); ++step) {
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus);
        QCOMPARE(focus->objectName(), tabOrder.at(step));
        QTest::keyClick(focus, Qt::Key_Tab);
    }
}

void tst_protect::choiceNo_writesOnlyTheSwitchAndOpensMain_data()
{
    QTest::addColumn<int>("firstRun");
    QTest::addColumn<QString>("passwordProtected");
    QTest::newRow("protected becomes unprotected") << 1 << "Yes";
    QTest::newRow("already unprotected") << 1 << "No";
    QTest::newRow("first start left as it is") << 0 << "Yes";
}

void tst_protect::choiceNo_writesOnlyTheSwitchAndOpensMain()
{
    QFETCH(int, firstRun);
    QFETCH(QString, passwordProtected);

    testkit::Session s;
    const QString stored = vault::hashPassword(QStringLiteral("pw"));
    s.file.setOther(firstRun, passwordProtected, QStringLiteral("ann"), stored);
    frmPassword* choice = Forms::show<frmPassword>();
    QTest::mouseClick(choice->Command2, Qt::LeftButton);

    QCOMPARE(otherRecord(s.file), QVariantList({firstRun, "No", "ann", stored}));
    QVERIFY(isShown<frmMain>());
    QVERIFY(!Forms::find<frmPassword>());
    settle();
    QVERIFY(!kit::hasEnded());
    QVERIFY(s.boxes.boxes.isEmpty());
}

void tst_protect::choiceYes_writesNothing()
{
    testkit::Session s;
    s.file.setOther(1, QStringLiteral("No"), QStringLiteral("ann"), QStringLiteral("pw"));
    const QByteArray before = s.file.bytes();
    frmPassword* choice = Forms::show<frmPassword>();

    // Enter on the window answers "Yes".
    QVERIFY(testkit::activate(choice));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    frmPasswordProtected* credentials = Forms::find<frmPasswordProtected>();
    QVERIFY(credentials && credentials->isVisible());
    QVERIFY(!Forms::find<frmPassword>());
    QVERIFY(credentials->txtus->text().isEmpty());
    QVERIFY(credentials->txtp->text().isEmpty());
    QVERIFY(credentials->txtp2->text().isEmpty());

    // Typed but never confirmed: closing the credentials window leaves the record alone.
    QTest::keyClicks(credentials->txtus, QStringLiteral("bob"));
    QTest::keyClicks(credentials->txtp, QStringLiteral("x"));
    QTest::keyClicks(credentials->txtp2, QStringLiteral("x"));
    credentials->close();
    settle();
    QCOMPARE(s.file.bytes(), before);
    QVERIFY(kit::hasEnded());
    QVERIFY(!Forms::find<frmMain>());
}

void tst_protect::credentials_mismatch_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("repeated");
    QTest::newRow("letter case") << "Secret"
                                 << "secret";
    QTest::newRow("trailing blank") << "abc "
                                    << "abc";
    QTest::newRow("second left empty") << "abc"
                                       << "";
}

void tst_protect::credentials_mismatch()
{
    QFETCH(QString, password);
    QFETCH(QString, repeated);

    testkit::Session s;
    const QByteArray before = s.file.bytes();
    frmPasswordProtected* form = Forms::show<frmPasswordProtected>();
    QTest::keyClicks(form->txtus, QStringLiteral("Ann Lee"));
    QTest::keyClicks(form->txtp, password);
    QTest::keyClicks(form->txtp2, repeated);
    QTest::mouseClick(form->Command2, Qt::LeftButton);

    QCOMPARE(s.boxes.boxes.size(), 1);
    QCOMPARE(s.boxes.boxes.at(0).text, QStringLiteral("links don't match!"));
    QCOMPARE(s.boxes.boxes.at(0).title, QStringLiteral("Warning!"));
    QCOMPARE(s.boxes.boxes.at(0).style, 16);
    QCOMPARE(form->txtus->text(), QStringLiteral("Ann Lee"));
    QVERIFY(form->txtp->text().isEmpty());
    QVERIFY(form->txtp2->text().isEmpty());
    QCOMPARE(Forms::find<frmPasswordProtected>(), form);
    QVERIFY(form->isVisible());
    QVERIFY(!Forms::find<frmMain>());
    QCOMPARE(s.file.bytes(), before);

    // Another try in the same window goes through.
    QTest::keyClicks(form->txtp, repeated);
    QTest::keyClicks(form->txtp2, repeated);
    QTest::mouseClick(form->Command2, Qt::LeftButton);
    QVERIFY(isShown<frmMain>());
    QCOMPARE(s.file.other("PasswordProtected").toString(), QStringLiteral("Yes"));
    QVERIFY(hashVerifies(s.file.other("Password").toString(), repeated));
}

void tst_protect::maxLengths_data()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("credentials") << "frmPasswordProtected";
    QTest::newRow("log-in") << "frmLogIn";
}

void tst_protect::maxLengths()
{
    QFETCH(QString, window);

    testkit::Session s;
    Form* form = testkit::showForm(window);
    QVERIFY(form);
    const QString longName = QStringLiteral("abcdefghijklmnopqrstuvwxyz");
    const QString longPassword = QStringLiteral("0123456789ABCDEF");
    QList<QLineEdit*> passwords{form->findChild<QLineEdit*>("txtp")};
    if (auto* repeat = form->findChild<QLineEdit*>("txtp2"))
        passwords.append(repeat);
    auto* user = form->findChild<QLineEdit*>("txtus");
    QVERIFY(user);

    QTest::keyClicks(user, longName);
    QCOMPARE(user->text(), longName.left(20));
    QCOMPARE(user->echoMode(), QLineEdit::Normal);
    for (QLineEdit* box : passwords) {
        QVERIFY(box);
        QTest::keyClicks(box, longPassword);
        QCOMPARE(box->text(), longPassword.left(10));
        QCOMPARE(box->echoMode(), QLineEdit::Password);
        QCOMPARE(box->displayText(), QString(10, QLatin1Char('*')));
    }
}

void tst_protect::credentials_enterInAnyBoxPressesOk_data()
{
    QTest::addColumn<QString>("box");
    QTest::newRow("txtus") << "txtus";
    QTest::newRow("txtp") << "txtp";
    QTest::newRow("txtp2") << "txtp2";
}

void tst_protect::credentials_enterInAnyBoxPressesOk()
{
    QFETCH(QString, box);

    testkit::Session s;
    frmPasswordProtected* form = Forms::show<frmPasswordProtected>();
    QVERIFY(testkit::activate(form));
    QTest::keyClicks(form->txtus, QStringLiteral("ann"));
    QTest::keyClicks(form->txtp, QStringLiteral("pw"));
    QTest::keyClicks(form->txtp2, QStringLiteral("pw"));
    QTest::keyClick(form->findChild<QLineEdit*>(box), Qt::Key_Return);

    QCOMPARE(s.boxes.boxes.size(), 1);
    QCOMPARE(s.file.other("Username").toString(), QStringLiteral("ann"));
    QVERIFY(isShown<frmMain>());
    QVERIFY(!Forms::find<frmPasswordProtected>());
}

void tst_protect::credentials_storeHashAndRemind()
{
    testkit::Session s;
    s.file.setOther(0, QStringLiteral("No"), QStringLiteral("old"), QStringLiteral("oldpw"));
    frmPasswordProtected* form = Forms::show<frmPasswordProtected>();
    QTest::keyClicks(form->txtus, QStringLiteral(" Ann Lee "));
    QTest::keyClicks(form->txtp, QStringLiteral("s3cr'T pw "));
    QTest::keyClicks(form->txtp2, QStringLiteral("s3cr'T pw "));

    // The record is complete and the main window not yet open while the reminder is up.
    QVariantList whileUp;
    bool mainOpenWhileUp = true;
    s.boxes.onNextBox([&](const testkit::ScriptedMessageBox::Box&) {
        whileUp = otherRecord(s.file);
        mainOpenWhileUp = Forms::find<frmMain>() != nullptr;
    });
    QTest::mouseClick(form->Command2, Qt::LeftButton);

    QCOMPARE(s.boxes.boxes.size(), 1);
    QCOMPARE(s.boxes.boxes.at(0).text,
             QStringLiteral(
                 "Remember your password and your username!\r\r\rUsername =  Ann Lee \rPassword = s3cr'T pw "));
    QCOMPARE(s.boxes.boxes.at(0).title, QStringLiteral("Warning"));
    QCOMPARE(s.boxes.boxes.at(0).style, 64);
    QVERIFY(!mainOpenWhileUp);

    const QVariantList after = otherRecord(s.file);
    QCOMPARE(whileUp, after);
    QCOMPARE(after.at(0).toInt(), 0); // FirstRun is not this window's business
    QCOMPARE(after.at(1).toString(), QStringLiteral("Yes"));
    QCOMPARE(after.at(2).toString(), QStringLiteral(" Ann Lee "));
    const QString stored = after.at(3).toString();
    QVERIFY2(!stored.contains(QStringLiteral("s3cr")), qPrintable(stored));
    QVERIFY(hashVerifies(stored, QStringLiteral("s3cr'T pw ")));
    QVERIFY(!hashVerifies(stored, QStringLiteral("s3cr'T pw")));

    QVERIFY(isShown<frmMain>());
    QVERIFY(!Forms::find<frmPasswordProtected>());
    settle();
    QVERIFY(!kit::hasEnded());
}

void tst_protect::logIn_data()
{
    QTest::addColumn<QVariant>("storedUser");
    QTest::addColumn<QVariant>("storedPassword"); // stored as given
    QTest::addColumn<QString>("typedUser");
    QTest::addColumn<QString>("typedPassword");
    QTest::addColumn<bool>("succeeds");

    const QVariant null;
    const QVariant hashed(vault::hashPassword(QStringLiteral("Pa ss")));
    const QVariant hashedEmpty(vault::hashPassword(QString()));
    QTest::newRow("both right") << QVariant("Ann") << hashed << "Ann"
                                << "Pa ss" << true;
    QTest::newRow("wrong password") << QVariant("Ann") << hashed << "Ann"
                                    << "Pa s" << false;
    QTest::newRow("password in other case") << QVariant("Ann") << hashed << "Ann"
                                            << "pa ss" << false;
    QTest::newRow("user in other case") << QVariant("Ann") << hashed << "ann"
                                        << "Pa ss" << false;
    QTest::newRow("user with trailing blank") << QVariant("Ann") << hashed << "Ann "
                                              << "Pa ss" << false;
    QTest::newRow("empty boxes, empty hashed password") << QVariant("") << hashedEmpty << ""
                                                        << "" << true;
    QTest::newRow("empty boxes, empty text") << QVariant("") << QVariant("") << ""
                                             << "" << true;
    QTest::newRow("empty boxes, Null user") << null << hashedEmpty << ""
                                            << "" << false;
    QTest::newRow("empty boxes, Null password") << QVariant("") << null << ""
                                                << "" << false;
    QTest::newRow("typed password for a Null one") << QVariant("Ann") << null << "Ann"
                                                   << "Pa ss" << false;
    // Ten characters can never be a hash, even when they look like its start.
    QTest::newRow("plain text like a hash prefix") << QVariant("Ann") << QVariant("$argon2id$") << "Ann"
                                                   << "$argon2id$" << true;
    QTest::newRow("plain text password wrong") << QVariant("Ann") << QVariant("pw") << "Ann"
                                               << "PW" << false;
}

void tst_protect::logIn()
{
    QFETCH(QVariant, storedUser);
    QFETCH(QVariant, storedPassword);
    QFETCH(QString, typedUser);
    QFETCH(QString, typedPassword);
    QFETCH(bool, succeeds);

    testkit::Session s;
    s.file.setOther(1, QStringLiteral("Yes"), storedUser, storedPassword);
    frmLogIn* form = Forms::show<frmLogIn>();
    QVERIFY(testkit::activate(form));
    QTest::keyClicks(QApplication::focusWidget(), typedUser);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClicks(QApplication::focusWidget(), typedPassword);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), form->Command2);
    QTest::keyClick(form->Command2, Qt::Key_Space); // presses the focused Ok

    if (succeeds) {
        QVERIFY(s.boxes.boxes.isEmpty());
        QVERIFY(isShown<frmMain>());
        QVERIFY(!Forms::find<frmLogIn>());
        settle();
        QVERIFY(!kit::hasEnded());
        return;
    }
    QCOMPARE(s.boxes.boxes.size(), 1);
    QCOMPARE(s.boxes.boxes.at(0).text, QStringLiteral("Wrong username or password!"));
    QCOMPARE(s.boxes.boxes.at(0).title, QStringLiteral("Warning"));
    QCOMPARE(s.boxes.boxes.at(0).style, 16);
    QCOMPARE(Forms::find<frmLogIn>(), form);
    QVERIFY(form->isVisible());
    QCOMPARE(form->txtus->text(), typedUser);
    QCOMPARE(form->txtp->text(), typedPassword);
    QCOMPARE(QApplication::focusWidget(), form->Command2);
    QVERIFY(!Forms::find<frmMain>());
    QCOMPARE(otherRecord(s.file), QVariantList({1, "Yes", storedUser, storedPassword}));
}

void tst_protect::logIn_legacyPlainPasswordIsReplacedByHash()
{
    testkit::Session s;
    s.file.setOther(1, QStringLiteral("Yes"), QStringLiteral("ann"), QStringLiteral("plain pw"));
    frmLogIn* form = Forms::show<frmLogIn>();

    // A failed attempt leaves the clear text where it is.
    QTest::keyClicks(form->txtus, QStringLiteral("ann"));
    QTest::keyClicks(form->txtp, QStringLiteral("plain"));
    QTest::mouseClick(form->Command2, Qt::LeftButton);
    QCOMPARE(s.boxes.boxes.size(), 1);
    QCOMPARE(s.file.other("Password").toString(), QStringLiteral("plain pw"));

    QTest::keyClicks(form->txtp, QStringLiteral(" pw"));
    QTest::mouseClick(form->Command2, Qt::LeftButton);
    QCOMPARE(s.boxes.boxes.size(), 1);
    QVERIFY(isShown<frmMain>());
    const QString stored = s.file.other("Password").toString();
    QVERIFY2(hashVerifies(stored, QStringLiteral("plain pw")), qPrintable(stored));
    QCOMPARE(otherRecord(s.file), QVariantList({1, "Yes", "ann", stored}));
    testkit::resetApplication();

    // The next log-in goes through the hash.
    frmLogIn* again = Forms::show<frmLogIn>();
    QTest::keyClicks(again->txtus, QStringLiteral("ann"));
    QTest::keyClicks(again->txtp, QStringLiteral("plain pw"));
    QTest::mouseClick(again->Command2, Qt::LeftButton);
    QCOMPARE(s.boxes.boxes.size(), 1);
    QVERIFY(isShown<frmMain>());
    QCOMPARE(s.file.other("Password").toString(), stored);
}

void tst_protect::logIn_readsRecordAfreshEveryAttempt()
{
    testkit::Session s;
    s.file.setOther(1, QStringLiteral("Yes"), QStringLiteral("ann"), vault::hashPassword("one"));
    frmLogIn* form = Forms::show<frmLogIn>();
    QTest::keyClicks(form->txtus, QStringLiteral("ann"));
    QTest::keyClicks(form->txtp, QStringLiteral("two"));
    QTest::mouseClick(form->Command2, Qt::LeftButton);
    QCOMPARE(s.boxes.boxes.size(), 1);

    // Changed meanwhile, as another copy of the program could do.
    s.file.setOther(1, QStringLiteral("Yes"), QStringLiteral("ann"), vault::hashPassword("two"));
    QTest::mouseClick(form->Command2, Qt::LeftButton);
    QCOMPARE(s.boxes.boxes.size(), 1);
    QVERIFY(isShown<frmMain>());
}

void tst_protect::logIn_enterInEitherBoxPressesOk_data()
{
    QTest::addColumn<QString>("box");
    QTest::newRow("txtus") << "txtus";
    QTest::newRow("txtp") << "txtp";
}

void tst_protect::logIn_enterInEitherBoxPressesOk()
{
    QFETCH(QString, box);

    testkit::Session s;
    s.file.setOther(1, QStringLiteral("Yes"), QStringLiteral("ann"), vault::hashPassword("pw"));
    frmLogIn* form = Forms::show<frmLogIn>();
    QVERIFY(testkit::activate(form));
    QTest::keyClicks(form->txtus, QStringLiteral("ann"));
    QTest::keyClicks(form->txtp, QStringLiteral("bad"));
    auto* target = form->findChild<QLineEdit*>(box);
    target->setFocus();
    QTest::keyClick(target, Qt::Key_Return);
    QCOMPARE(s.boxes.texts(), QStringList{"Wrong username or password!"});
    QCOMPARE(QApplication::focusWidget(), target);

    form->txtp->clear();
    QTest::keyClicks(form->txtp, QStringLiteral("pw"));
    QTest::keyClick(target, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(s.boxes.boxes.size(), 1);
    QVERIFY(isShown<frmMain>());
}

void tst_protect::logIn_exitEndsWithoutMainWindow()
{
    testkit::Session s;
    s.file.setOther(1, QStringLiteral("Yes"), QStringLiteral("ann"), QStringLiteral("pw"));
    const QByteArray before = s.file.bytes();
    QPointer<frmLogIn> form = Forms::show<frmLogIn>();
    QTest::keyClicks(form->txtus, QStringLiteral("ann"));
    QTest::keyClicks(form->txtp, QStringLiteral("pw"));
    QTest::mouseClick(form->Command1, Qt::LeftButton);

    // At once, not on a later turn of the event loop.
    QVERIFY(kit::hasEnded());
    QCOMPARE(kit::exitCode(), 0);
    QVERIFY(!Forms::find<frmMain>());
    QVERIFY(!Forms::find<frmLogIn>());
    QVERIFY(form.isNull() || !form->isVisible());
    QVERIFY(s.boxes.boxes.isEmpty());
    QCOMPARE(s.file.bytes(), before);
}

void tst_protect::options_okWritesNothing()
{
    testkit::Session s;
    s.file.setOther(1, QStringLiteral("Yes"), QStringLiteral("ann"), QStringLiteral("pw"));
    const QByteArray before = s.file.bytes();
    QVERIFY(s.open());
    testkit::triggerAction(s.main->mnuOptions, "mnuOptions");
    frmOptions* options = Forms::find<frmOptions>();
    QVERIFY(options && options->isVisible());
    QCOMPARE(options->Label1->text(), QStringLiteral("Options"));
    QVERIFY(options->Label1->font().bold());
    QVERIFY(options->Label1->font().pointSize() > options->Command1->font().pointSize());
    QCOMPARE(options->Command1->text(), QStringLiteral("Program Protection"));

    // The focus starts on Ok, so Enter presses it.
    QVERIFY(testkit::activate(options));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(!Forms::find<frmOptions>());
    settle();
    QVERIFY(!kit::hasEnded());
    QVERIFY(s.main && s.main->isVisible());
    QCOMPARE(s.file.bytes(), before);
    QVERIFY(s.boxes.boxes.isEmpty());
}

void tst_protect::options_protectionNoKeepsCredentials()
{
    testkit::Session s;
    const QString stored = vault::hashPassword(QStringLiteral("pw"));
    s.file.setOther(1, QStringLiteral("Yes"), QStringLiteral("ann"), stored);
    QVERIFY(s.open());
    testkit::triggerAction(s.main->mnuOptions, "mnuOptions");
    QTest::mouseClick(Forms::find<frmOptions>()->Command1, Qt::LeftButton);
    QVERIFY(!Forms::find<frmOptions>());
    frmPassword* choice = Forms::find<frmPassword>();
    QVERIFY(choice && choice->isVisible());

    QTest::mouseClick(choice->Command2, Qt::LeftButton);
    QCOMPARE(otherRecord(s.file), QVariantList({1, "No", "ann", stored}));
    // Still the one main window.
    QCOMPARE(Forms::find<frmMain>(), s.main.data());
    QVERIFY(s.main->isVisible());
    settle();
    QVERIFY(!kit::hasEnded());
}

void tst_protect::options_protectionYesReplacesCredentials()
{
    testkit::Session s;
    s.file.setOther(1, QStringLiteral("Yes"), QStringLiteral("ann"), vault::hashPassword("old"));
    QVERIFY(s.open());
    testkit::triggerAction(s.main->mnuOptions, "mnuOptions");
    QTest::mouseClick(Forms::find<frmOptions>()->Command1, Qt::LeftButton);
    QTest::mouseClick(Forms::find<frmPassword>()->Command1, Qt::LeftButton);
    frmPasswordProtected* credentials = Forms::find<frmPasswordProtected>();
    QVERIFY(credentials);
    QTest::keyClicks(credentials->txtus, QStringLiteral("bob"));
    QTest::keyClicks(credentials->txtp, QStringLiteral("new"));
    QTest::keyClicks(credentials->txtp2, QStringLiteral("new"));
    QTest::mouseClick(credentials->Command2, Qt::LeftButton);

    QCOMPARE(s.file.other("Username").toString(), QStringLiteral("bob"));
    const QString stored = s.file.other("Password").toString();
    QVERIFY(hashVerifies(stored, QStringLiteral("new")));
    QVERIFY(!hashVerifies(stored, QStringLiteral("old")));
    QCOMPARE(Forms::find<frmMain>(), s.main.data());
    settle();
    QVERIFY(!kit::hasEnded());

    // The old credentials no longer open the program; the new ones do.
    frmLogIn* logIn = Forms::show<frmLogIn>();
    QTest::keyClicks(logIn->txtus, QStringLiteral("ann"));
    QTest::keyClicks(logIn->txtp, QStringLiteral("old"));
    QTest::mouseClick(logIn->Command2, Qt::LeftButton);
    QCOMPARE(s.boxes.texts().last(), QStringLiteral("Wrong username or password!"));
    logIn->txtus->clear();
    logIn->txtp->clear();
    QTest::keyClicks(logIn->txtus, QStringLiteral("bob"));
    QTest::keyClicks(logIn->txtp, QStringLiteral("new"));
    QTest::mouseClick(logIn->Command2, Qt::LeftButton);
    QVERIFY(!Forms::find<frmLogIn>());
}

QTEST_MAIN(tst_protect)
#include "tst_protect.moc"
