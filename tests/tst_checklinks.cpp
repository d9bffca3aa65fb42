// "Check Links..." driven from the main window's Sites menu against a real local HTTP server: the
// question first, the window's progress, problems and summary, and what the user may do with a
// problem ("Use New Address", "Delete"), each changing exactly one link and nothing without asking.
// Cancelling or closing stops every request and leaves the links as they were.

#include "app/frmMain.h"
#include "forms/linkcheck/frmCheckLinks.h"
#include "testkit/ScriptedHttpServer.h"
#include "testkit/TestKit.h"
#include "testkit/Windows.h"
#include "windowkit/Forms.h"
#include "windowkit/ListBox.h"

#include <QAction>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using testkit::Link;
using testkit::Reply;
using testkit::ScriptedHttpServer;

namespace {

const QString Question = QStringLiteral(
    "Checking your links contacts 1 site over the network to ask about 4 links. 1 link that is not a web "
    "address is only listed. Nothing is changed without asking you first.\r\rCheck the links now?");

// Serves a page of each kind the window lists differently; the links to them.
QList<Link> siteLinks(ScriptedHttpServer& site)
{
    site.on("/ok", [](const testkit::SeenRequest&, int) { return Reply{}; });
    site.on("/new", [](const testkit::SeenRequest&, int) { return Reply{}; });
    site.sequence("/old", {Reply::redirect(301, "/new")});
    site.sequence("/gone", {Reply{404}});
    return {{"Fine", site.base() + "/ok"},
            {"Moved", site.base() + "/old"},
            {"Gone", site.base() + "/gone"},
            {"Mail", "mailto:me@example.com"},
            {"Also fine", site.base() + "/ok?x=1"}};
}

// Every row of the problem list: groups as "group", problems as "  name | address | verdict | detail".
QStringList rowsOf(const QTreeWidget* tree)
{
    QStringList rows;
    for (int g = 0; g < tree->topLevelItemCount(); ++g) {
        const QTreeWidgetItem* group = tree->topLevelItem(g);
        rows << group->text(0);
        for (int i = 0; i < group->childCount(); ++i) {
            const QTreeWidgetItem* row = group->child(i);
            rows << QStringLiteral("  %1 | %2 | %3 | %4")
                        .arg(row->text(0), row->text(1), row->text(2), row->text(3));
        }
    }
    return rows;
}

// Starts the check from the menu, answering the question with Yes, and waits until it is done.
frmCheckLinks* checkFromMenu(testkit::Session& s)
{
    testkit::triggerAction(s.main->mnuCheckLinks, "mnuCheckLinks");
    frmCheckLinks* form = Forms::find<frmCheckLinks>();
    if (!form || !QTest::qWaitFor([form] { return !form->isChecking(); }, 30000))
        return nullptr;
    return form;
}

// Selects the problem row of the link with this name.
void selectProblem(frmCheckLinks* form, const QString& name)
{
    QTreeWidgetItem* row = form->tvwProblems->findItems(name, Qt::MatchExactly | Qt::MatchRecursive).value(0);
    QVERIFY2(row, qPrintable(name));
    form->tvwProblems->setCurrentItem(row);
}

} // namespace

class tst_checklinks : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { testkit::resetApplication(); }

    void asksFirstThenListsTheProblemsGrouped();
    void useNewAddressAndDeleteChangeExactlyOneLink();
    void aLinkChangedMeanwhileIsLeftAlone();
    void cancelAndCloseStopEveryRequest();
};

void tst_checklinks::asksFirstThenListsTheProblemsGrouped()
{
    testkit::Session s;
    ScriptedHttpServer site;
    QVERIFY(s.open(siteLinks(site)));
    const QList<Link> before = s.file.links();

    s.boxes.answerNext(platform::MsgAnswer::No);
    testkit::triggerAction(s.main->mnuCheckLinks, "mnuCheckLinks");
    QCOMPARE(s.boxes.texts(), QStringList{Question});
    QCOMPARE(s.boxes.boxes[0].title, QStringLiteral("Check Links"));
    QCOMPARE(s.boxes.boxes[0].style, platform::MsgStyle::YesNo + platform::MsgStyle::Question);
    QVERIFY(!Forms::find<frmCheckLinks>());
    QTest::qWait(100);
    QVERIFY(site.requests.isEmpty());

    frmCheckLinks* form = checkFromMenu(s);
    QVERIFY(form);
    QVERIFY(form->isVisible());
    QCOMPARE(form->windowTitle(), QStringLiteral("Check Links"));
    QCOMPARE(form->lblProgress->text(), QStringLiteral("Checked 5 of 5 links"));
    QCOMPARE(form->prgProgress->value(), 5);
    QCOMPARE(form->prgProgress->maximum(), 5);
    QCOMPARE(form->lblSite->text(), QStringLiteral("Done."));
    QCOMPARE(form->cmdCancel->text(), QStringLiteral("Close"));
    QCOMPARE(form->lblSummary->text(), QStringLiteral("fine: 2, gone: 1, moved: 1, not checked: 1"));
    QCOMPARE(rowsOf(form->tvwProblems),
             (QStringList{"gone (1)", "  Gone | " + site.base() + "/gone | gone | HTTP 404", "moved (1)",
                          "  Moved | " + site.base() + "/old | moved | HTTP 301 to " + site.base() + "/new",
                          "not checked (1)", "  Mail | mailto:me@example.com | not checked | not a web address"}));
    // Asked, not changed.
    QCOMPARE(s.file.links(), before);
    QCOMPARE(s.boxes.boxes.size(), 2);
}

void tst_checklinks::useNewAddressAndDeleteChangeExactlyOneLink()
{
    testkit::Session s;
    ScriptedHttpServer site;
    QVERIFY(s.open(siteLinks(site)));
    frmCheckLinks* form = checkFromMenu(s);
    QVERIFY(form);
    QList<Link> expected = s.file.links();

    // Keyboard only: from the first problem (gone) down past the "moved" group to its link.
    QVERIFY(testkit::activate(form));
    form->tvwProblems->setFocus();
    QVERIFY(form->currentProblem());
    QCOMPARE(form->currentProblem()->link.name, QStringLiteral("Gone"));
    QVERIFY(!form->cmdUseNewAddress->isEnabled());
    QTest::keyClick(form->tvwProblems, Qt::Key_Down);
    QTest::keyClick(form->tvwProblems, Qt::Key_Down);
    QVERIFY(form->currentProblem());
    QCOMPARE(form->currentProblem()->link.name, QStringLiteral("Moved"));
    QVERIFY(form->cmdUseNewAddress->isEnabled());
    // A mnemonic presses its button as a click would be seen: a moment later.
    QTest::keyClick(form, Qt::Key_U, Qt::AltModifier);
    expected[1].url = site.base() + "/new";
    QTRY_COMPARE(s.file.links(), expected);
    QVERIFY(!rowsOf(form->tvwProblems).join('\n').contains(QLatin1String("Moved")));

    // Delete asks exactly as "Delete Selected Site Link" does; No leaves the link.
    selectProblem(form, QStringLiteral("Gone"));
    s.boxes.boxes.clear();
    s.boxes.answerNext(platform::MsgAnswer::No);
    QTest::keyClick(form, Qt::Key_D, Qt::AltModifier);
    QTRY_COMPARE(s.boxes.texts(), QStringList{"Are you sure you want to delete this site link ?"});
    QCOMPARE(s.boxes.boxes[0].title, QStringLiteral("Warning"));
    QCOMPARE(s.boxes.boxes[0].style, platform::MsgStyle::YesNo);
    QCOMPARE(s.file.links(), expected);

    QTest::keyClick(form, Qt::Key_D, Qt::AltModifier);
    expected.removeAt(2);
    QTRY_COMPARE(s.file.links(), expected);
    QCOMPARE(rowsOf(form->tvwProblems),
             (QStringList{"not checked (1)", "  Mail | mailto:me@example.com | not checked | not a web address"}));
    // The main window follows.
    QCOMPARE(testkit::entries(s.main->List1), (QStringList{"Also fine", "Fine", "Mail", "Moved"}));

    // Opening hands the stored address to the browser.
    form->tvwProblems->setCurrentItem(form->tvwProblems->topLevelItem(0)->child(0));
    QTest::keyClick(form, Qt::Key_O, Qt::AltModifier);
    QTRY_COMPARE(s.opener->opened, QStringList{"mailto:me@example.com"});
}

void tst_checklinks::aLinkChangedMeanwhileIsLeftAlone()
{
    testkit::Session s;
    ScriptedHttpServer site;
    QVERIFY(s.open(siteLinks(site)));
    frmCheckLinks* form = checkFromMenu(s);
    QVERIFY(form);
    // Another window or copy changes the moved link after it was checked.
    const auto moved = LinksStore::read(2);
    QVERIFY(moved && moved->name == QStringLiteral("Moved"));
    QVERIFY(LinksStore::change(*moved, moved->name, QStringLiteral("http://edited.example/")));
    const QList<Link> expected = s.file.links();

    selectProblem(form, QStringLiteral("Moved"));
    s.boxes.boxes.clear();
    QTest::mouseClick(form->cmdUseNewAddress, Qt::LeftButton);
    QCOMPARE(s.boxes.texts(),
             QStringList{"This site link was deleted or changed meanwhile, so your changes were not "
                         "saved. The list now shows the links as they are."});
    QCOMPARE(s.file.links(), expected);

    // The same for a delete of a link deleted meanwhile.
    const auto gone = LinksStore::read(3);
    QVERIFY(gone && LinksStore::remove(*gone));
    const QList<Link> left = s.file.links();
    selectProblem(form, QStringLiteral("Gone"));
    s.boxes.boxes.clear();
    QTest::mouseClick(form->cmdDelete, Qt::LeftButton);
    QCOMPARE(s.boxes.texts(), (QStringList{"Are you sure you want to delete this site link ?",
                                           "This site link was deleted or changed meanwhile, so nothing was done. "
                                           "The list now shows the links as they are."}));
    QCOMPARE(s.file.links(), left);
}

void tst_checklinks::cancelAndCloseStopEveryRequest()
{
    testkit::Session s;
    ScriptedHttpServer site;
    site.otherwise([](const testkit::SeenRequest&, int) {
        Reply reply;
        reply.delayMs = 150;
        return reply;
    });
    QList<Link> links;
    for (int i = 0; i < 20; ++i)
        links.append({QStringLiteral("Site %1").arg(i), site.base() + QStringLiteral("/%1").arg(i)});
    QVERIFY(s.open(links));
    const QList<Link> before = s.file.links();

    for (const char* how : {"Cancel", "close the window"}) {
        const qsizetype earlier = site.requests.size();
        testkit::triggerAction(s.main->mnuCheckLinks, "mnuCheckLinks");
        frmCheckLinks* form = Forms::find<frmCheckLinks>();
        QVERIFY(form && form->isChecking());
        QTRY_VERIFY(site.requests.size() > earlier);
        QTRY_VERIFY(form->lblSite->text().startsWith(QLatin1String("Checking ")));
        if (QByteArray(how) == "Cancel") {
            QTest::keyClick(form, Qt::Key_Escape);
            QVERIFY(!form->isChecking());
            QCOMPARE(form->lblSite->text(),
                     QStringLiteral("Cancelled: the links not yet checked are not listed."));
            QCOMPARE(form->cmdCancel->text(), QStringLiteral("Close"));
            QTest::mouseClick(form->cmdCancel, Qt::LeftButton);
        } else {
            form->close();
        }
        QVERIFY2(!Forms::find<frmCheckLinks>(), how);
        // The requests under way were dropped and no more are made.
        QTRY_COMPARE(site.openConnections(), 0);
        const qsizetype made = site.requests.size();
        QTest::qWait(500);
        QCOMPARE(site.requests.size(), made);
        QVERIFY2(made - earlier < 20, how);
        QCOMPARE(s.file.links(), before);
    }
}

QTEST_MAIN(tst_checklinks)
#include "tst_checklinks.moc"
