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
using testkit::openMain;
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
    void answerNo_changesNothing();
    void deleteAll_asksThenEmptiesEverything_data();
    void deleteAll_asksThenEmptiesEverything();
};

void tst_delete::deleteSelected_onlyLinkLeavesAnEmptyWindow()
{
    testkit::TempLinksDb file;
    testkit::ScriptedMessageBox boxes;
    testkit::FakeInstanceGuard guard;
    file.addLinks({{"Solo", "www.solo.example"}});
    frmMain* main = openMain();
    QVERIFY(main);
    QCOMPARE(main->lblSiteName->text(), QStringLiteral("Solo"));

    QStringList listWhileTold;
    boxes.onNextBox([](const testkit::ScriptedMessageBox::Box&) {});
    boxes.onNextBox([&](const testkit::ScriptedMessageBox::Box&) { listWhileTold = entries(main->List1); });
    pressCtrl(main, Qt::Key_X);

    QCOMPARE(boxes.texts(), QStringList({askOne, "You have 0 Links !"}));
    QCOMPARE(boxes.boxes[0].title, QStringLiteral("Warning"));
    QCOMPARE(boxes.boxes[0].style, 4);
    QCOMPARE(listWhileTold, QStringList({"Solo"}));
    QCOMPARE(file.linkCount(), 0);
    QCOMPARE(main->List1->ListCount(), 0);
    QCOMPARE(main->lblTotalContacts->text(), QStringLiteral("0"));
    QCOMPARE(main->lblSiteName->text(), QString());
    QCOMPARE(main->lblURL->text(), QString());
    QVERIFY(!kit::hasEnded());
}

void tst_delete::deleteSelected_removesExactlyTheShownRecord()
{
    testkit::TempLinksDb file;
    testkit::ScriptedMessageBox boxes;
    testkit::FakeInstanceGuard guard;
    // Names a lookup by the trimmed name would miss or confuse.
    file.addLinks(
        {{"Dup", "first"}, {"Dup", "second"}, {" padded ", "blanks"}, {"O'Brien", "quote"}, {"dup", "lower"}});
    frmMain* main = openMain();
    QVERIFY(main);

    QVERIFY(selectByAddress(main, "second"));
    pressCtrl(main, Qt::Key_X);
    QCOMPARE(file.links(),
             QList<Link>({{"Dup", "first"}, {" padded ", "blanks"}, {"O'Brien", "quote"}, {"dup", "lower"}}));
    QCOMPARE(main->List1->ListIndex(), -1);
    QCOMPARE(main->lblSiteName->text(), QString());
    QCOMPARE(main->lblURL->text(), QString());
    QCOMPARE(main->lblTotalContacts->text(), QStringLiteral("4"));

    QVERIFY(selectByAddress(main, "blanks"));
    testkit::triggerAction(main->mnuDeleteSelectedContact, "mnuDeleteSelectedContact");
    QVERIFY(selectByAddress(main, "quote"));
    testkit::triggerAction(main->mnuDeleteSelectedContact, "mnuDeleteSelectedContact");
    QCOMPARE(file.links(), QList<Link>({{"Dup", "first"}, {"dup", "lower"}}));
    QCOMPARE(entries(main->List1), QStringList({"Dup", "dup"}));
    QCOMPARE(boxes.texts(), QStringList({askOne, askOne, askOne}));
}

void tst_delete::deleteSelected_followsTheSelectionFromTheKeyboard()
{
    testkit::TempLinksDb file;
    testkit::ScriptedMessageBox boxes;
    testkit::FakeInstanceGuard guard;
    file.addLinks({{"beta", "b"}, {"Alpha", "a"}});
    frmMain* main = openMain();
    QVERIFY(main);
    QCOMPARE(main->lblSiteName->text(), QStringLiteral("Alpha"));
    QVERIFY(main->mnuDeleteSelectedContact->isEnabled());

    // After a new link nothing is selected: the command says so at once, with no mouse moving.
    testkit::triggerAction(main->mnuNewContact, "mnuNewContact");
    frmNewSite* form = Forms::find<frmNewSite>();
    QVERIFY(form);
    QTest::keyClicks(form->txtname, "gamma");
    QTest::mouseClick(form->Command2, Qt::LeftButton);
    QCOMPARE(main->List1->ListIndex(), -1);
    QVERIFY(!main->mnuDeleteSelectedContact->isEnabled());
    pressCtrl(main, Qt::Key_X);
    QVERIFY(boxes.boxes.isEmpty());

    // A keyboard-only user selects with an arrow key and deletes with the shortcut.
    main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main));
    main->List1->setFocus();
    QTest::keyClick(main->List1, Qt::Key_Down);
    QCOMPARE(main->lblSiteName->text(), QStringLiteral("Alpha"));
    QVERIFY(main->mnuDeleteSelectedContact->isEnabled());
    pressCtrl(main, Qt::Key_X);
    QCOMPARE(file.links(), QList<Link>({{"beta", "b"}, {"gamma", "None"}}));
    QVERIFY(!main->mnuDeleteSelectedContact->isEnabled()); // the refill selects nothing

    testkit::triggerAction(main->mnuDeleteAllContacts, "mnuDeleteAllContacts");
    QVERIFY(!main->mnuDeleteSelectedContact->isEnabled());
    QCOMPARE(boxes.texts(), QStringList({askOne, askAll}));
}

void tst_delete::deleteSelected_withoutCurrentLinkAsksAndChangesNothing()
{
    testkit::TempLinksDb file;
    testkit::ScriptedMessageBox boxes;
    testkit::FakeInstanceGuard guard;
    file.addLinks({{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}});
    frmMain* main = openMain();
    QVERIFY(main);
    QCOMPARE(main->lblSiteName->text(), QStringLiteral("a"));

    // Right after a refill there is no current link: the command, run anyway, does nothing.
    pressCtrl(main, Qt::Key_X);
    QCOMPARE(file.linkCount(), 3);
    boxes.boxes.clear();
    const MainState afterRefill = stateOf(main);
    main->mnuDeleteSelectedContact_Click();
    QVERIFY(boxes.boxes.isEmpty());
    QCOMPARE(file.linkCount(), 3);
    QVERIFY(stateOf(main) == afterRefill);

    // After Delete All.
    testkit::triggerAction(main->mnuDeleteAllContacts, "mnuDeleteAllContacts");
    boxes.boxes.clear();
    const MainState afterDeleteAll = stateOf(main);
    main->mnuDeleteSelectedContact_Click();
    QVERIFY(boxes.boxes.isEmpty());
    QVERIFY(stateOf(main) == afterDeleteAll);
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

void tst_delete::staleLink_isNeitherShownNorDeleted()
{
    QFETCH(bool, deleteIt);
    QFETCH(bool, otherProcess);
    QFETCH(bool, reused);
    testkit::TempLinksDb file;
    testkit::ScriptedMessageBox boxes;
    testkit::FakeInstanceGuard guard;
    file.addLinks({{"a", "ua"}, {"b", "ub"}, {"c", "uc"}});
    frmMain* main = openMain();
    QVERIFY(main);
    if (deleteIt) {
        clickEntry(main->List1, 2);
        QCOMPARE(main->lblURL->text(), QStringLiteral("uc"));
    }

    // c goes; in the reused rows "x" is added next and SQLite hands it c's identity.
    const QByteArray change = reused ? "DELETE FROM links WHERE SiteName = 'c';\n"
                                       "INSERT INTO links (SiteName, URL) VALUES ('x', 'ux');"
                                     : "DELETE FROM links WHERE SiteName = 'c';";
    if (otherProcess) {
        QVERIFY(file.writeFromAnotherProcess(change));
    } else {
        file.open().execute(QStringLiteral("DELETE FROM links WHERE SiteName = 'c'"));
        if (reused)
            file.addLinks({{"x", "ux"}});
    }
    const QList<Link> after = file.links();

    if (deleteIt)
        pressCtrl(main, Qt::Key_X);
    else
        clickEntry(main->List1, 2);

    const QString gone = QStringLiteral("This site link was deleted or changed meanwhile, so nothing was done. "
                                        "The list now shows the links as they are.");
    QCOMPARE(boxes.texts(), deleteIt ? QStringList({askOne, gone}) : QStringList({gone}));
    QCOMPARE(boxes.boxes.last().title, QStringLiteral("Warning"));
    QCOMPARE(boxes.boxes.last().style, 48);
    QCOMPARE(file.links(), after);
    QCOMPARE(entries(main->List1), reused ? QStringList({"a", "b", "x"}) : QStringList({"a", "b"}));
    QCOMPARE(main->lblTotalContacts->text(), QString::number(after.size()));
    QCOMPARE(main->lblSiteName->text(), QString());
    QCOMPARE(main->lblURL->text(), QString());
    QVERIFY(!main->mnuDeleteSelectedContact->isEnabled());
    QVERIFY(!kit::hasEnded());
}

void tst_delete::answerNo_changesNothing()
{
    testkit::TempLinksDb file;
    testkit::ScriptedMessageBox boxes;
    testkit::FakeInstanceGuard guard;
    const QList<Link> links{{"Alpha", "a"}, {"beta", "b"}};
    file.addLinks(links);
    frmMain* main = openMain();
    QVERIFY(main);
    const MainState before = stateOf(main);
    QCOMPARE(before.name, QStringLiteral("Alpha"));

    boxes.answerNext(No);
    pressCtrl(main, Qt::Key_X);
    boxes.answerNext(No);
    pressCtrl(main, Qt::Key_D);

    QCOMPARE(boxes.texts(), QStringList({askOne, askAll}));
    QCOMPARE(boxes.boxes[1].title, QStringLiteral("Warning"));
    QCOMPARE(boxes.boxes[1].style, 4);
    QCOMPARE(file.links(), links);
    QVERIFY(stateOf(main) == before);

    // The current link is still there to delete.
    pressCtrl(main, Qt::Key_X);
    QCOMPARE(file.links(), QList<Link>({{"beta", "b"}}));
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
    testkit::TempLinksDb file;
    testkit::ScriptedMessageBox boxes;
    testkit::FakeInstanceGuard guard;
    QList<Link> links;
    for (int i = 0; i < count; ++i)
        links.append({QStringLiteral("site %1").arg(i), QStringLiteral("www.%1.example").arg(i)});
    file.addLinks(links);
    frmMain* main = openMain();
    QVERIFY(main);
    QCOMPARE(main->List1->ListCount(), count);

    pressCtrl(main, Qt::Key_D);
    QCOMPARE(boxes.texts(), QStringList({askAll}));
    QCOMPARE(file.linkCount(), 0);
    QCOMPARE(main->List1->ListCount(), 0);
    QCOMPARE(main->lblTotalContacts->text(), QStringLiteral("0"));
    QCOMPARE(main->lblSiteName->text(), QString());
    QCOMPARE(main->lblURL->text(), QString());
    QVERIFY(!kit::hasEnded());

    // The main window goes on with an empty, usable table.
    testkit::triggerAction(main->mnuNewContact, "mnuNewContact");
    frmNewSite* form = Forms::find<frmNewSite>();
    QVERIFY(form);
    QTest::keyClicks(form->txtname, "fresh");
    QTest::mouseClick(form->Command2, Qt::LeftButton);
    QCOMPARE(file.links(), QList<Link>({{"fresh", "None"}}));
    QCOMPARE(main->lblTotalContacts->text(), QStringLiteral("1"));
}

QTEST_MAIN(tst_delete)
#include "tst_delete.moc"
