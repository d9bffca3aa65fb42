// Protection that really locks the links: with protection on, the file opened with the program's
// own database password shows no name and no address; switching on, changing the credentials and
// switching off give every link back exactly; a damaged sealed text is never shown; every command
// of the main window works the same while protected.
#include "app/Startup.h"
#include "app/frmMain.h"
#include "data/LinksStore.h"
#include "data/Protection.h"
#include "forms/edit/frmEditSites.h"
#include "forms/edit/frmEditThisSite.h"
#include "forms/edit/frmNewSite.h"
#include "forms/find/frmFindSite.h"
#include "testkit/Harness.h"
#include "testkit/TestKit.h"
#include "testkit/Windows.h"
#include "vault/Vault.h"
#include "windowkit/Forms.h"
#include "windowkit/Lifecycle.h"
#include "windowkit/ListBox.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using testkit::Link;

namespace {

// Every name and address holds a token of its own, so that a piece of it found in the file
// cannot be a coincidence; the rest of each is as hostile as names get.
QList<Link> hostileLinks()
{
    return {
        {"Qx7vTokenAlpha O'Brien's 'quoted'", "https://qz9TokenAlphaUrl.example/?q='1'"},
        {"Qx7vTokenBravo '; DROP TABLE links; --", "x'); DELETE FROM Other; --qz9TokenBravoUrl"},
        {QString::fromUtf8("Qx7vTokenCharlie \u202Eevil مرحبا"),
         QString::fromUtf8("http://qz9TokenCharlieUrl.example/😀")},
        {QStringLiteral("Qx7vTokenDelta ctl\x01\x1f\x7f"), "qz9TokenDeltaUrl"},
        {"Qx7vTokenEcho " + QString(20000, QLatin1Char('n')),
         "http://qz9TokenEchoUrl.example/" + QString(20000, 'u')},
        {"Qx7vTokenFoxtrot", "None"},
    };
}

// The pieces of text that must never be found: every token, in every encoding the dump could use.
QList<QByteArray> secretsOf(const QList<Link>& links)
{
    QList<QByteArray> secrets;
    for (const Link& link : links) {
        for (const QString& text : {link.name, link.url}) {
            const qsizetype token = text.indexOf(QLatin1String("Token"));
            if (token < 0)
                continue;
            const QString piece = text.mid(token - 4, 10); // "Qx7vToken" / "qz9TokenA"...
            secrets << piece.toUtf8() << piece.toUtf8().toHex() << piece.toUtf8().toHex().toUpper();
        }
    }
    return secrets;
}

// The first secret the dump holds, or nothing.
QByteArray foundIn(const QByteArray& dump, const QList<QByteArray>& secrets)
{
    for (const QByteArray& secret : secrets) {
        if (dump.contains(secret))
            return secret;
    }
    return {};
}

bool allSealed(const QList<Link>& stored)
{
    return std::all_of(stored.cbegin(), stored.cend(), [](const Link& link) {
        return vault::looksSealed(link.name) && vault::looksSealed(link.url);
    });
}

} // namespace

class tst_locked : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { app::leadRoadToMainWindow(); }
    void cleanup() { testkit::resetApplication(); }

    void onNewCredentialsAndOffGiveEveryLinkBackExactly();
    void wrongCredentialsOpenNothing();
    void everyCommandWorksWhileProtectedAndNothingLeaks();
    void aDamagedNameIsNeverShown();
    void anOlderProtectedFileIsSealedAtItsFirstLogIn();
    void aSecondCopyLogsInOnItsOwn();
};

void tst_locked::onNewCredentialsAndOffGiveEveryLinkBackExactly()
{
    testkit::Session s;
    s.file.setOther(1, QStringLiteral("No"));
    const QList<Link> links = hostileLinks();
    QVERIFY(s.open(links));
    const QList<QByteArray> secrets = secretsOf(links);
    QVERIFY(!foundIn(testkit::dumpFile(s.file.path()), secrets).isEmpty()); // the check can fail

    testkit::setProtection(s.main, true, QStringLiteral("ann"), QStringLiteral("pw one"));
    QVERIFY(allSealed(s.file.links()));
    QCOMPARE(s.file.links().size(), links.size());
    QCOMPARE(foundIn(testkit::dumpFile(s.file.path()), secrets), QByteArray());
    QCOMPARE(testkit::withoutIds(LinksStore::all()), links);
    QCOMPARE(testkit::entries(s.main->List1).size(), links.size());

    const QList<Link> sealedWithOne = s.file.links();
    testkit::setProtection(s.main, true, QStringLiteral("bob"), QStringLiteral("pw two"));
    const QList<Link> sealedWithTwo = s.file.links();
    QVERIFY(allSealed(sealedWithTwo));
    for (qsizetype i = 0; i < links.size(); ++i)
        QVERIFY(sealedWithTwo[i].name != sealedWithOne[i].name);
    QCOMPARE(foundIn(testkit::dumpFile(s.file.path()), secrets), QByteArray());
    QCOMPARE(testkit::withoutIds(LinksStore::all()), links);

    testkit::setProtection(s.main, false);
    QCOMPARE(s.file.other("PasswordProtected").toString(), QStringLiteral("No"));
    QCOMPARE(s.file.links(), links);
    QVERIFY(s.boxes.texts().filter(QStringLiteral("Run-time error")).isEmpty());
}

void tst_locked::wrongCredentialsOpenNothing()
{
    testkit::Session s;
    s.file.setOther(1, QStringLiteral("No"));
    QVERIFY(s.open(hostileLinks()));
    testkit::setProtection(s.main, true, QStringLiteral("ann"), QStringLiteral("secret"));
    const QList<Link> stored = s.file.links();
    const QString hash = s.file.other("Password").toString();
    testkit::resetApplication();

    // Neither a wrong password, nor the right one under another user name, derives the key.
    for (const auto& [user, password] : {std::pair{"ann", "Secret"}, std::pair{"Ann", "secret"}}) {
        QVERIFY(!Protection::logIn(QLatin1String(user), QLatin1String(password)));
        const auto key = vault::Key::derive(QLatin1String(user), QLatin1String(password), vault::keySalt(hash));
        QVERIFY(!vault::open(*key, stored[0].name, "links.SiteName"));
    }
    QVERIFY(!LinksStore::key());
    QCOMPARE(s.file.links(), stored);
}

void tst_locked::everyCommandWorksWhileProtectedAndNothingLeaks()
{
    testkit::Session s;
    s.file.setOther(1, QStringLiteral("No"));
    QList<Link> links = hostileLinks();
    links << Link{"Qx7vTokenGolf apple", "https://qz9TokenGolfUrl.example/"}
          << Link{"Qx7vTokenHotel Apricot", "https://qz9TokenHotelUrl.example/"};
    QVERIFY(s.open(links));
    // The letter chooser's matches and order before protection, to compare with after.
    const LinkNames letterQBefore = LinksStore::namesStartingWith(QStringLiteral("Q"));
    testkit::setProtection(s.main, true, QStringLiteral("ann"), QStringLiteral("pw"));
    QVERIFY(LinksStore::key());
    QCOMPARE(LinksStore::namesStartingWith(QStringLiteral("Q")).names, letterQBefore.names);
    QCOMPARE(LinksStore::namesStartingWith(QStringLiteral("q")).ids, letterQBefore.ids);
    QVERIFY(LinksStore::namesStartingWith(QStringLiteral("Z")).names.isEmpty());

    // New: a name already there, exactly, is refused; a new one is added.
    testkit::triggerAction(s.main->mnuNewContact, "mnuNewContact");
    frmNewSite* add = Forms::find<frmNewSite>();
    QVERIFY(add);
    QTest::keyClicks(add->txtname, QStringLiteral("Qx7vTokenFoxtrot"));
    QTest::mouseClick(add->Command2, Qt::LeftButton);
    QCOMPARE(s.boxes.texts().last(), QStringLiteral("This contact already exists !"));
    add->txtname->setText(QStringLiteral("Qx7vTokenIndia new"));
    add->txtURL->setText(QStringLiteral("https://qz9TokenIndiaUrl.example/"));
    QTest::mouseClick(add->Command2, Qt::LeftButton);
    QVERIFY(!Forms::find<frmNewSite>());
    links << Link{"Qx7vTokenIndia new", "https://qz9TokenIndiaUrl.example/"};
    QCOMPARE(testkit::withoutIds(LinksStore::all()), links);

    // Selecting shows the opened link; Open Link hands over the opened address.
    const int golf = testkit::indexOf(s.main->List1, QStringLiteral("Qx7vTokenGolf apple"));
    testkit::clickEntry(s.main->List1, golf);
    QCOMPARE(s.main->lblURL->text(), QStringLiteral("https://qz9TokenGolfUrl.example/"));
    QTest::mouseClick(s.main->Command1, Qt::LeftButton);
    QCOMPARE(s.opener->opened, QStringList{"https://qz9TokenGolfUrl.example/"});

    // Find by a word of the address: the window searches the opened links.
    frmFindSite* find = Forms::show<frmFindSite>();
    QVERIFY(find);
    QTest::keyClicks(find->txtFind, QStringLiteral("golfurl"));
    QTRY_COMPARE(find->lstMatches->model()->rowCount(), 1);
    QCOMPARE(find->lstMatches->model()->index(0, 0).data().toString(), QStringLiteral("Qx7vTokenGolf apple"));
    find->unload();

    // Edit through the choose-a-link window's letter filter.
    testkit::triggerAction(s.main->mnuEditSite, "mnuEditSite");
    frmEditSites* choose = Forms::find<frmEditSites>();
    QVERIFY(choose);
    choose->Combo1->setCurrentIndex(choose->Combo1->findText(QStringLiteral("Q")));
    Q_EMIT choose->Combo1->activated(choose->Combo1->currentIndex());
    QCOMPARE(testkit::entries(choose->List1).size(), links.size());
    choose->List1->setListIndex(testkit::indexOf(choose->List1, QStringLiteral("Qx7vTokenHotel Apricot")));
    frmEditThisSite* edit = Forms::find<frmEditThisSite>();
    QVERIFY(edit);
    QCOMPARE(edit->txtURL->text(), QStringLiteral("https://qz9TokenHotelUrl.example/"));
    edit->txtname->setText(QStringLiteral("Qx7vTokenJuliet renamed"));
    QTest::mouseClick(edit->Command2, Qt::LeftButton);
    links[7].name = QStringLiteral("Qx7vTokenJuliet renamed");
    QCOMPARE(testkit::withoutIds(LinksStore::all()), links);

    // A window whose link another copy changed meanwhile writes nothing.
    testkit::triggerAction(s.main->mnuEditSite, "mnuEditSite");
    choose = Forms::find<frmEditSites>();
    choose->List1->setListIndex(testkit::indexOf(choose->List1, QStringLiteral("Qx7vTokenIndia new")));
    edit = Forms::find<frmEditThisSite>();
    QVERIFY(edit);
    {
        // Another copy's change, as that copy would store it: sealed with the same key.
        const Link india = LinksStore::all().constLast();
        QVERIFY(LinksStore::change(india, india.name, QStringLiteral("https://qz9TokenKiloUrl.example/")));
        links.last().url = QStringLiteral("https://qz9TokenKiloUrl.example/");
    }
    edit->txtname->setText(QStringLiteral("must not be stored"));
    QTest::mouseClick(edit->Command2, Qt::LeftButton);
    QVERIFY(s.boxes.texts().last().startsWith(QStringLiteral("This site link was deleted or changed meanwhile")));
    QCOMPARE(testkit::withoutIds(LinksStore::all()), links);

    // Delete the selected link.
    testkit::clickEntry(s.main->List1, testkit::indexOf(s.main->List1, QStringLiteral("Qx7vTokenGolf apple")));
    testkit::triggerAction(s.main->mnuDeleteSelectedContact, "mnuDeleteSelectedContact");
    links.removeAt(6);
    QCOMPARE(testkit::withoutIds(LinksStore::all()), links);
    QCOMPARE(s.main->lblTotalContacts->text(), QString::number(links.size()));

    QCOMPARE(foundIn(testkit::dumpFile(s.file.path()), secretsOf(links)), QByteArray());
    QVERIFY(s.boxes.texts().filter(QStringLiteral("Run-time error")).isEmpty());

    // Export, then delete all, then import the export back: the same links, sealed again.
    testkit::ScriptedFileDialog dialog;
    QTemporaryDir dir;
    dialog.answer = dir.filePath(QStringLiteral("out.html"));
    testkit::triggerAction(s.main->mnuExportBookmarks, "mnuExportBookmarks");
    testkit::triggerAction(s.main->mnuDeleteAllContacts, "mnuDeleteAllContacts");
    QCOMPARE(s.file.linkCount(), 0);
    testkit::triggerAction(s.main->mnuImportBookmarks, "mnuImportBookmarks");
    QCOMPARE(s.file.linkCount(), links.size());
    QVERIFY(allSealed(s.file.links()));
    QCOMPARE(foundIn(testkit::dumpFile(s.file.path()), secretsOf(links)), QByteArray());
}

void tst_locked::aDamagedNameIsNeverShown()
{
    testkit::Session s;
    s.file.setOther(1, QStringLiteral("No"));
    QVERIFY(s.open(hostileLinks()));
    testkit::setProtection(s.main, true, QStringLiteral("ann"), QStringLiteral("pw"));
    testkit::resetApplication();

    // One character of one sealed name changed: its ciphertext no longer authenticates.
    const QString name = s.file.links()[2].name;
    QString flipped = name;
    flipped[40] = flipped[40] == QLatin1Char('A') ? QLatin1Char('B') : QLatin1Char('A');
    s.file.open().execute(QStringLiteral("UPDATE links SET SiteName = ?1 WHERE SiteName = ?2"), {flipped, name});
    const QByteArray before = s.file.bytes();

    testkit::logInThroughWindows(QStringLiteral("ann"), QStringLiteral("pw"));
    testkit::settle();
    QVERIFY(kit::hasEnded());
    QCOMPARE(kit::exitCode(), 1);
    const QString box = s.boxes.texts().last();
    QVERIFY2(box.startsWith(QStringLiteral("Run-time error '3913'")), qPrintable(box));
    QVERIFY2(box.contains(s.file.path() + QStringLiteral("' is damaged")), qPrintable(box));
    for (const QString& shown : s.boxes.texts())
        QVERIFY(!shown.contains(QLatin1String("Qx7v")));
    QCOMPARE(s.file.bytes(), before);
}

void tst_locked::anOlderProtectedFileIsSealedAtItsFirstLogIn()
{
    testkit::Session s;
    // What an older program left: credentials hashed, links plain.
    s.file.setOther(1, QStringLiteral("Yes"), QStringLiteral("ann"), vault::hashPassword(QStringLiteral("pw")));
    const QList<Link> links = hostileLinks();
    s.file.addLinks(links);

    testkit::logInThroughWindows(QStringLiteral("ann"), QStringLiteral("pw"));
    frmMain* main = Forms::find<frmMain>();
    QVERIFY(main);
    QCOMPARE(main->lblTotalContacts->text(), QString::number(links.size()));
    QVERIFY(allSealed(s.file.links()));
    QCOMPARE(foundIn(testkit::dumpFile(s.file.path()), secretsOf(links)), QByteArray());
    QCOMPARE(testkit::withoutIds(LinksStore::all()), links);
}

void tst_locked::aSecondCopyLogsInOnItsOwn()
{
    testkit::Session s;
    s.file.setOther(1, QStringLiteral("No"));
    QVERIFY(s.open({{"Qx7vTokenAlpha", "https://qz9TokenAlphaUrl.example/"}}));
    testkit::setProtection(s.main, true, QStringLiteral("ann"), QStringLiteral("pw"));

    // Another copy, in a process of its own, logs in and adds a link, sealed with its own key.
    testkit::RuntimeDir runtime;
    testkit::Harness second(s.file.folder(), runtime.path());
    QVERIFY(second.setScript(
        {"login\tann\tpw", "add\tQx7vTokenBravo\thttps://qz9TokenBravoUrl.example/", "report", "exit"}));
    second.start();
    QCOMPARE(second.waitForLine(QStringLiteral("COUNT")), QStringLiteral("COUNT\t2\t2"));
    QVERIFY(second.waitForExit());

    QVERIFY(allSealed(s.file.links()));
    QCOMPARE(testkit::withoutIds(LinksStore::all()),
             (QList<Link>{{"Qx7vTokenAlpha", "https://qz9TokenAlphaUrl.example/"},
                          {"Qx7vTokenBravo", "https://qz9TokenBravoUrl.example/"}}));
}

QTEST_MAIN(tst_locked)
#include "tst_locked.moc"
