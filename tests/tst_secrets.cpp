// What the file gives away: after credentials are set through the real windows, the decrypted
// settings hold no clear-text password, and the raw file holds neither password nor user name.
#include "app/Startup.h"
#include "forms/protect/frmLogIn.h"
#include "forms/protect/frmPasswordProtected.h"
#include "testkit/TestKit.h"
#include "testkit/Windows.h"
#include "windowkit/Forms.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

bool holds(const QByteArray& bytes, const QString& text)
{
    const QByteArray utf16(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    return bytes.contains(text.toUtf8()) || bytes.contains(utf16) || bytes.contains(text.toLatin1());
}

} // namespace

class TestSecrets : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // These suites open windows of the start-up road directly, without the start-up.
    void initTestCase() { app::leadRoadToMainWindow(); }
    void cleanup() { testkit::resetApplication(); }

    void credentialsNeverLieInTheFileInClear()
    {
        const QString user = QStringLiteral("zq-user-Kx9");
        const QString password = QStringLiteral("Pw7!qzR");
        testkit::Session s;
        s.file.setOther(1, QStringLiteral("No"));
        s.file.addLinks({{"a", "u"}});

        frmPasswordProtected* form = Forms::show<frmPasswordProtected>();
        QVERIFY(form);
        QTest::keyClicks(form->txtus, user);
        QTest::keyClicks(form->txtp, password);
        QTest::keyClicks(form->txtp2, password);
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        QCOMPARE(s.file.other(QStringLiteral("PasswordProtected")).toString(), QStringLiteral("Yes"));
        QCOMPARE(s.file.other(QStringLiteral("Username")).toString(), user);

        // Decrypted: the stored password is a salted hash, and no field carries the clear text.
        const QString stored = s.file.other(QStringLiteral("Password")).toString();
        QVERIFY2(stored.startsWith(QLatin1String("$argon2id$")), qPrintable(stored));
        for (const char* field : {"FirstRun", "PasswordProtected", "Username", "Password"})
            QVERIFY(!s.file.other(QLatin1String(field)).toString().contains(password));

        // Raw: encrypted pages hold neither the password nor the user name, nor does a journal.
        QVERIFY(!holds(s.file.bytes(), password));
        QVERIFY(!holds(s.file.bytes(), user));
        QVERIFY(!QFile::exists(s.file.path() + QStringLiteral("-journal")));

        // The hash still lets the owner in, and only the owner.
        testkit::resetApplication();
        frmLogIn* login = Forms::show<frmLogIn>();
        QVERIFY(login);
        QTest::keyClicks(login->txtus, user);
        QTest::keyClicks(login->txtp, password.toLower());
        QTest::mouseClick(login->Command2, Qt::LeftButton);
        QCOMPARE(s.boxes.texts().last(), QStringLiteral("Wrong username or password!"));
        login->txtp->setText(password);
        QTest::mouseClick(login->Command2, Qt::LeftButton);
        QVERIFY(!Forms::find<frmLogIn>());
    }
};

QTEST_MAIN(TestSecrets)
#include "tst_secrets.moc"
