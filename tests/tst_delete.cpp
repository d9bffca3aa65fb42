// The main window's two delete commands, reached by their keys and menu items, answered Yes or
// No, then the file, the list, the count and the details labels are read back.

#include "app/frmMain.h"
#include "forms/edit/frmNewSite.h"
#include "testkit/TestKit.h"
#include "testkit/Windows.h"
#include "windowkit/Forms.h"
#include "windowkit/Lifecycle.h"
#include "windowkit/ListBox.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using platform::MsgAnswer::No;
using testkit::clickEntry;
using testkit::entries;
using testkit::Link;
using testkit::MainState;
using testkit::stateOf;

namespace {

const QString askOne = QStringLiteral("Are you sure you want to delete this site link ?");
const QString askAll = QStringLiteral("Are you sure you want to delete all your contacts ?");

// Selects the main window's entry that shows this address in the details (names may repeat).
bool selectByAddress(frmMain* main, const QString& url)
{
    for (int row = 0; row < main->List1->ListCount(); ++row) {
        clickEntry(main->List1, row);
        if (main->lblURL->text() == url)
            return true;
    }
    return false;
}

void pressCtrl(frmMain* main, Qt::Key key)
{
    QTest::keyClick(main, key, Qt::ControlModifier);
}

} // namespace

class tst_delete : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { testkit::resetApplication(); }

    void deleteSelected_onlyLinkLeavesAnEmptyWindow();
    void deleteSelected_removesExactlyTheShownRecord();
    void deleteSelected_followsTheSelectionFromTheKeyboard();
    void deleteSelected_withoutCurrentLinkAsksAndChangesNothing();
    void staleLink_isNeitherShownNorDeleted_data();
    void staleLink_isNeitherShownNorDeleted();
    void staleLink_changedInItsAddressIsNotDeleted();
    void answerNo_changesNothing();
    void deleteAll_asksThenEmptiesEverything_data();
    void deleteAll_asksThenEmptiesEverything();
};

void tst_delete::deleteSelected_onlyLinkLeavesAnEmptyWindow()
{
    testkit::Session s;
    QVERIFY(s.open({{"Solo", "www.solo.example"}}));
    QCOMPARE(s.main->lblSiteName->text(), QStringLiteral("Solo"));

    QStringList listWhileTold;
    s.boxes.onNextBox([](const testkit::ScriptedMessageBox::Box&) {});
    s.boxes.onNextBox([&](const testkit::ScriptedMessageBox::Box&) { listWhileTold = entries(s.main->List1); });
    pressCtrl(s.main, Qt::Key_X);

    QCOMPARE(s.boxes.texts(), QStringList({askOne, "You have 0 Links !"}));
    QCOMPARE(s.boxes.boxes[0].title, QStringLiteral("Warning"));
    QCOMPARE(s.boxes.boxes[0].style, 4);
    QCOMPARE(listWhileTold, QStringList({"Solo"}));
    QCOMPARE(s.file.linkCount(), 0);
    QCOMPARE(s.main->List1->ListCount(), 0);
    QCOMPARE(s.main->lblTotalContacts->text(), QStringLiteral("0"));
    QCOMPARE(s.main->lblSiteName->text(), QString());
    QCOMPARE(s.main->lblURL->text(), QString());
    QVERIFY(!kit::hasEnded());
}

void tst_delete::deleteSelected_removesExactlyTheShownRecord()
{
    testkit::Session s;
    // Names a lookup by the trimmed name would miss or confuse.
    QVERIFY(s.open(
        {{"Dup", "first"}, {"Dup", "second"}, {" padded ", "blanks"}, {"O'Brien", "quote"}, {"dup", "lower"}}));

    QVERIFY(selectByAddress(s.main, "second"));
    pressCtrl(s.main, Qt::Key_X);
    QCOMPARE(s.file.links(),
             QList<Link>({{"Dup", "first"}, {" padded ", "blanks"}, {"O'Brien", "quote"}, {"dup", "lower"}}));
    QCOMPARE(s.main->List1->ListIndex(), -1);
    QCOMPARE(s.main->lblSiteName->text(), QString());
    QCOMPARE(s.main->lblURL->text(), QString());
    QCOMPARE(s.main->lblTotalContacts->text(), QStringLiteral("4"));

    QVERIFY(selectByAddress(s.main, "blanks"));
    testkit::triggerAction(s.main->mnuDeleteSelectedContact, "mnuDeleteSelectedContact");
    QVERIFY(selectByAddress(s.main, "quote"));
    testkit::triggerAction(s.main->mnuDeleteSelectedContact, "mnuDeleteSelectedContact");
    QCOMPARE(s.file.links(), QList<Link>({{"Dup", "first"}, {"dup", "lower"}}));
    QCOMPARE(entries(s.main->List1), QStringList({"Dup", "dup"}));
    QCOMPARE(s.boxes.texts(), QStringList({askOne, askOne, askOne}));
}

void tst_delete::deleteSelected_followsTheSelectionFromTheKeyboard()
{
    testkit::Session s;
    QVERIFY(s.open({{"beta", "b"}, {"Alpha", "a"}}));
    QCOMPARE(s.main->lblSiteName->text(), QStringLiteral("Alpha"));
    QVERIFY(s.main->mnuDeleteSelectedContact->isEnabled());

    // After a new link nothing is selected: the command says so at once, with no mouse moving.
    testkit::triggerAction(s.main->mnuNewContact, "mnuNewContact");
    frmNewSite* form = Forms::find<frmNewSite>();
    QVERIFY(form);
    QTest::keyClicks(form->txtname, "gamma");
    QTest::mouseClick(form->Command2, Qt::LeftButton);
    QCOMPARE(s.main->List1->ListIndex(), -1);
    QVERIFY(!s.main->mnuDeleteSelectedContact->isEnabled());
    pressCtrl(s.main, Qt::Key_X);
    QVERIFY(s.boxes.boxes.isEmpty());

    // A keyboard-only user selects with an arrow key and deletes with the shortcut.
    s.main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(s.main));
    s.main->List1->setFocus();
    QTest::keyClick(s.main->List1, Qt::Key_Down);
    QCOMPARE(s.main->lblSiteName->text(), QStringLiteral("Alpha"));
    QVERIFY(s.main->mnuDeleteSelectedContact->isEnabled());
    pressCtrl(s.main, Qt::Key_X);
    QCOMPARE(s.file.links(), QList<Link>({{"beta", "b"}, {"gamma", "None"}}));
    QVERIFY(!s.main->mnuDeleteSelectedContact->isEnabled()); // the refill selects nothing

    testkit::triggerAction(s.main->mnuDeleteAllContacts, "mnuDeleteAllContacts");
    QVERIFY(!s.main->mnuDeleteSelectedContact->isEnabled());
    QCOMPARE(s.boxes.texts(), QStringList({askOne, askAll}));
}

void tst_delete::deleteSelected_withoutCurrentLinkAsksAndChangesNothing()
{
    testkit::Session s;
    QVERIFY(s.open({{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}}));
    QCOMPARE(s.main->lblSiteName->text(), QStringLiteral("a"));

    // Right after a refill there is no current link: the command, run anyway, does nothing.
    pressCtrl(s.main, Qt::Key_X);
    QCOMPARE(s.file.linkCount(), 3);
    s.boxes.boxes.clear();
    const MainState afterRefill = stateOf(s.main);
    s.main->mnuDeleteSelectedContact_Click();
    QVERIFY(s.boxes.boxes.isEmpty());
    QCOMPARE(s.file.linkCount(), 3);
    QVERIFY(stateOf(s.main) == afterRefill);

    // After Delete All.
    testkit::triggerAction(s.main->mnuDeleteAllContacts, "mnuDeleteAllContacts");
    s.boxes.boxes.clear();
    const MainState afterDeleteAll = stateOf(s.main);
    s.main->mnuDeleteSelectedContact_Click();
    QVERIFY(s.boxes.boxes.isEmpty());
    QVERIFY(stateOf(s.main) == afterDeleteAll);
    QVERIFY(!kit::hasEnded());
}

void tst_delete::staleLink_isNeitherShownNorDeleted_data()
{
    QTest::addColumn<bool>("deleteIt");     // select "c" first, then "Delete Selected Site Link"
    QTest::addColumn<bool>("otherProcess"); // the change comes from another copy of the program
    QTest::addColumn<bool>("reused");       // a new link took over c's freed identity
    for (const bool deleteIt : {false, true})
        for (const bool otherProcess : {false, true})
            for (const bool reused : {false, true})
                QTest::addRow("%s, %s, %s", deleteIt ? "delete" : "select",
                              otherProcess ? "other copy" : "same copy", reused ? "identity reused" : "deleted")
                    << deleteIt << otherProcess << reused;
}

// The link on show was changed by another copy in its address alone: the delete refuses as for a
// changed name, and the list shows the links as they are.
void tst_delete::staleLink_changedInItsAddressIsNotDeleted()
{
    testkit::Session s;
    QVERIFY(s.open({{"a", "ua"}, {"b", "ub"}, {"c", "uc"}}));
    clickEntry(s.main->List1, 2);
    QCOMPARE(s.main->lblURL->text(), QStringLiteral("uc"));
    QVERIFY(s.file.writeFromAnotherProcess("UPDATE links SET URL = 'elsewhere' WHERE SiteName = 'c';"));
    const QList<Link> after = s.file.links();

    pressCtrl(s.main, Qt::Key_X);
    QCOMPARE(s.boxes.texts(),
             QStringList({askOne, "This site link was deleted or changed meanwhile, so nothing was "
                                  "done. The list now shows the links as they are."}));
    QCOMPARE(s.file.links(), after);
    QCOMPARE(entries(s.main->List1), QStringList({"a", "b", "c"}));
    QVERIFY(!kit::hasEnded());
}

void tst_delete::staleLink_isNeitherShownNorDeleted()
{
    QFETCH(bool, deleteIt);
    QFETCH(bool, otherProcess);
    QFETCH(bool, reused);
    testkit::Session s;
    QVERIFY(s.open({{"a", "ua"}, {"b", "ub"}, {"c", "uc"}}));
    if (deleteIt) {
        clickEntry(s.main->List1, 2);
        QCOMPARE(s.main->lblURL->text(), QStringLiteral("uc"));
    }

    // c goes; in the reused rows "x" is added next and SQLite hands it c's identity.
    const QByteArray change = reused ? "DELETE FROM links WHERE SiteName = 'c';\n"
                                       "INSERT INTO links (SiteName, URL) VALUES ('x', 'ux');"
                                     : "DELETE FROM links WHERE SiteName = 'c';";
    if (otherProcess) {
        QVERIFY(s.file.writeFromAnotherProcess(change));
    } else {
        s.file.open().execute(QStringLiteral("DELETE FROM links WHERE SiteName = 'c'"));
        if (reused)
            s.file.addLinks({{"x", "ux"}});
    }
    const QList<Link> after = s.file.links();

    if (deleteIt)
        pressCtrl(s.main, Qt::Key_X);
    else
        clickEntry(s.main->List1, 2);

    const QString gone = QStringLiteral("This site link was deleted or changed meanwhile, so nothing was done. "
                                        "The list now shows the links as they are.");
    QCOMPARE(s.boxes.texts(), deleteIt ? QStringList({askOne, gone}) : QStringList({gone}));
    QCOMPARE(s.boxes.boxes.last().title, QStringLiteral("Warning"));
    QCOMPARE(s.boxes.boxes.last().style, 48);
    QCOMPARE(s.file.links(), after);
    QCOMPARE(entries(s.main->List1), reused ? QStringList({"a", "b", "x"}) : QStringList({"a", "b"}));
    QCOMPARE(s.main->lblTotalContacts->text(), QString::number(after.size()));
    QCOMPARE(s.main->lblSiteName->text(), QString());
    QCOMPARE(s.main->lblURL->text(), QString());
    QVERIFY(!s.main->mnuDeleteSelectedContact->isEnabled());
    QVERIFY(!kit::hasEnded());
}

void tst_delete::answerNo_changesNothing()
{
    testkit::Session s;
    const QList<Link> links{{"Alpha", "a"}, {"beta", "b"}};
    QVERIFY(s.open(links));
    const MainState before = stateOf(s.main);
    QCOMPARE(before.name, QStringLiteral("Alpha"));

    s.boxes.answerNext(No);
    pressCtrl(s.main, Qt::Key_X);
    s.boxes.answerNext(No);
    pressCtrl(s.main, Qt::Key_D);

    QCOMPARE(s.boxes.texts(), QStringList({askOne, askAll}));
    QCOMPARE(s.boxes.boxes[1].title, QStringLiteral("Warning"));
    QCOMPARE(s.boxes.boxes[1].style, 4);
    QCOMPARE(s.file.links(), links);
    QVERIFY(stateOf(s.main) == before);

    // The current link is still there to delete.
    pressCtrl(s.main, Qt::Key_X);
    QCOMPARE(s.file.links(), QList<Link>({{"beta", "b"}}));
}

void tst_delete::deleteAll_asksThenEmptiesEverything_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("empty table") << 0;
    QTest::newRow("many links") << 2000;
}

void tst_delete::deleteAll_asksThenEmptiesEverything()
{
    QFETCH(int, count);
    testkit::Session s;
    QList<Link> links;
    for (int i = 0; i < count; ++i)
        links.append({QStringLiteral("site %1").arg(i), QStringLiteral("www.%1.example").arg(i)});
    QVERIFY(s.open(links));
    QCOMPARE(s.main->List1->ListCount(), count);

    pressCtrl(s.main, Qt::Key_D);
    QCOMPARE(s.boxes.texts(), QStringList({askAll}));
    QCOMPARE(s.file.linkCount(), 0);
    QCOMPARE(s.main->List1->ListCount(), 0);
    QCOMPARE(s.main->lblTotalContacts->text(), QStringLiteral("0"));
    QCOMPARE(s.main->lblSiteName->text(), QString());
    QCOMPARE(s.main->lblURL->text(), QString());
    QVERIFY(!kit::hasEnded());

    // The main window goes on with an empty, usable table.
    testkit::triggerAction(s.main->mnuNewContact, "mnuNewContact");
    frmNewSite* form = Forms::find<frmNewSite>();
    QVERIFY(form);
    QTest::keyClicks(form->txtname, "fresh");
    QTest::mouseClick(form->Command2, Qt::LeftButton);
    QCOMPARE(s.file.links(), QList<Link>({{"fresh", "None"}}));
    QCOMPARE(s.main->lblTotalContacts->text(), QStringLiteral("1"));
}

QTEST_MAIN(tst_delete)
#include "tst_delete.moc"
