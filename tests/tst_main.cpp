// The main window driven as a user would: the list, the details, Open Link, the menus, the
// right-click menu, the refill, the enabled-state lag, the single-instance rule and the end.
#include "app/frmMain.h"
#include "testkit/Harness.h"
#include "testkit/TestKit.h"
#include "testkit/Windows.h"
#include "windowkit/Forms.h"
#include "windowkit/Lifecycle.h"
#include "windowkit/ListBox.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QTest>

using testkit::clickEntry;
using testkit::entries;
using testkit::Link;
using testkit::openMain;

class TestMain : public QObject {
    Q_OBJECT

private:
    testkit::FakeInstanceGuard m_guard;

private Q_SLOTS:
    void init() { m_guard.running = false; }
    void cleanup() { testkit::resetApplication(); }

    void looksAsDesigned()
    {
        testkit::TempLinksDb db;
        testkit::ScriptedMessageBox boxes;
        frmMain* form = openMain();
        QVERIFY(form);
        QCOMPARE(form->windowTitle(), QStringLiteral(" Orvane Tessary V/ 1. 0. 0"));
        QCOMPARE(form->client->size(), QSize(354, 314));
        QCOMPARE(form->List1->geometry(), QRect(0, 0, 353, 186));
        QCOMPARE(form->Command1->text(), QStringLiteral("Open Link"));
        QVERIFY(!form->lblupdate->isVisible());
        QCOMPARE(form->palette().color(QPalette::Window), QColor(0, 192, 192));
        QCOMPARE(form->List1->palette().color(QPalette::Base), QColor(255, 255, 0));
        QCOMPARE(form->lblSiteName->palette().color(QPalette::WindowText), QColor(192, 0, 0));
        QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(form->windowFlags() & Qt::WindowMinimizeButtonHint);

        // The menu bar in order, with the Alt letter and the shortcuts; the Sites menu keeps the
        // documented order with the two added commands beside it.
        QStringList bar;
        for (QAction* action : form->menuBar->actions())
            bar.append(action->text());
        QCOMPARE(bar, (QStringList{"&Sites", "About", "Support"}));
        QStringList sites;
        for (QAction* action : form->mnuContacts->actions())
            sites.append(action->isSeparator()
                             ? QStringLiteral("-")
                             : action->text() + QLatin1Char('|') + action->shortcut().toString());
        QCOMPARE(sites,
                 (QStringList{"New Site Link|Ctrl+N", "Edit Site Link|Ctrl+E", "-", "Delete All Site Links|Ctrl+D",
                              "Delete Selected Site Link|Ctrl+X", "Options|Ctrl+O", "Import Bookmarks...|Ctrl+I",
                              "Export Bookmarks...|Ctrl+Shift+E", "EXIT|Del"}));
        QStringList support;
        for (QAction* action : form->mnuSupport->actions())
            support.append(action->text());
        QCOMPARE(support,
                 (QStringList{"Check For New Updates", "Online Support Forum", "Email Valdric / Programmer"}));
        QVERIFY(boxes.boxes.isEmpty());

        // Labels take no focus: Tab goes from the list to "Open Link".
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form->List1));
        QTest::keyClick(form->List1, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form->Command1));
    }

    void emptyTableOpensQuietly()
    {
        testkit::TempLinksDb db;
        testkit::ScriptedMessageBox boxes;
        frmMain* form = openMain();
        QVERIFY(form);
        QCOMPARE(form->List1->ListCount(), 0);
        QCOMPARE(form->lblTotalContacts->text(), QStringLiteral("0"));
        QCOMPARE(form->lblSiteName->text(), QString());
        QCOMPARE(form->lblURL->text(), QString());
        QVERIFY(form->mnuDeleteSelectedContact->isEnabled());
        QVERIFY(boxes.boxes.isEmpty());
        QVERIFY(!kit::hasEnded());
    }

    void listsSortedWithoutRegardToCaseAndSelectsFirst()
    {
        testkit::TempLinksDb db;
        db.addLinks({{"beta", "http://b"},
                     {"Zulu", "z"},
                     {"Alpha", "http://a"},
                     {"gamma", "g"},
                     {"eclair", "e"},
                     {"Éclair", "É"}});
        frmMain* form = openMain();
        QVERIFY(form);
        QCOMPARE(entries(form->List1), (QStringList{"Alpha", "beta", "eclair", "Éclair", "gamma", "Zulu"}));
        QCOMPARE(form->lblTotalContacts->text(), QStringLiteral("6"));
        QCOMPARE(form->List1->ListIndex(), 0);
        QCOMPARE(form->lblSiteName->text(), QStringLiteral("Alpha"));
        QCOMPARE(form->lblURL->text(), QStringLiteral("http://a"));
        QVERIFY(form->mnuDeleteSelectedContact->isEnabled());
        QCOMPARE(form->List1->hasFocus() || QApplication::focusWidget() == nullptr, true);
    }

    // Each entry shows exactly the record it was listed from, whatever its name.
    void selectionShowsTheExactRecord()
    {
        testkit::TempLinksDb db;
        db.addLinks({{" lead", "u-lead"},
                     {"Same", "u-Same"},
                     {"same", "u-same"},
                     {"Dup", "u-dup1"},
                     {"Dup", "u-dup2"},
                     {"O'Brien <b>x</b>", "u-obrien"},
                     {"None here", "None"}});
        frmMain* form = openMain();
        QVERIFY(form);
        QSet<QString> urls;
        for (int i = 0; i < form->List1->ListCount(); ++i) {
            clickEntry(form->List1, i);
            QCOMPARE(form->List1->ListIndex(), i);
            QCOMPARE(form->lblSiteName->text(), form->List1->List(i));
            urls.insert(form->lblURL->text());
        }
        QCOMPARE(urls, (QSet<QString>{"u-lead", "u-Same", "u-same", "u-dup1", "u-dup2", "u-obrien", "None"}));
        QCOMPARE(form->lblSiteName->textFormat(), Qt::PlainText);
    }

    void openLinkHandsTheShownAddressOver()
    {
        testkit::TempLinksDb db;
        db.addLinks({{"a", "www.example.org/a b"}, {"b", "None"}});
        testkit::RecordingOpener opener;
        testkit::ScriptedMessageBox boxes;
        frmMain* form = openMain();
        QVERIFY(form);
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        clickEntry(form->List1, 1);
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QCOMPARE(opener.opened, (QStringList{"www.example.org/a b", "None"}));
        QVERIFY(boxes.boxes.isEmpty());
    }

    void refillOfAnEmptyTableSaysSo()
    {
        testkit::TempLinksDb db;
        db.addLinks({{"only", "u"}});
        testkit::ScriptedMessageBox boxes;
        frmMain* form = openMain();
        QVERIFY(form);
        db.open().execute(QStringLiteral("DELETE FROM links"));
        int entriesWhileAsked = -1;
        boxes.onNextBox([&](const auto&) { entriesWhileAsked = form->List1->ListCount(); });
        form->PutInTheListTheRecords();
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.boxes[0].text, QStringLiteral("You have 0 Links !"));
        QCOMPARE(boxes.boxes[0].title, QStringLiteral("Information"));
        QCOMPARE(boxes.boxes[0].style, 64);
        QCOMPARE(entriesWhileAsked, 1);
        QCOMPARE(form->List1->ListCount(), 0);
        QCOMPARE(form->lblTotalContacts->text(), QStringLiteral("0"));
        // The caller blanks the details, not the refill.
        QCOMPARE(form->lblSiteName->text(), QStringLiteral("only"));
    }

    void refillSelectsNothingAndTheDeleteCommandFollows()
    {
        testkit::TempLinksDb db;
        db.addLinks({{"b", "1"}, {"a", "2"}});
        frmMain* form = openMain();
        QVERIFY(form);
        QVERIFY(form->mnuDeleteSelectedContact->isEnabled());
        db.addLinks({{"c", "3"}});
        form->PutInTheListTheRecords();
        QCOMPARE(entries(form->List1), (QStringList{"a", "b", "c"}));
        QCOMPARE(form->lblTotalContacts->text(), QStringLiteral("3"));
        QCOMPARE(form->List1->ListIndex(), -1);
        QVERIFY(!form->hasCurrentLink());
        QVERIFY(!form->mnuDeleteSelectedContact->isEnabled());
        clickEntry(form->List1, 2);
        QVERIFY(form->mnuDeleteSelectedContact->isEnabled());
    }

    // Input never leaves a list with entries unselected while the details show a link.
    void selectionSurvivesCtrlClickAndBlankArea()
    {
        testkit::TempLinksDb db;
        db.addLinks({{"b", "1"}, {"a", "2"}});
        testkit::ScriptedMessageBox boxes;
        frmMain* form = openMain();
        QVERIFY(form);
        clickEntry(form->List1, 1);
        const testkit::MainState before = testkit::stateOf(form);
        QCOMPARE(before.name, QStringLiteral("b"));

        QWidget* viewport = form->List1->viewport();
        const QRect entry = form->List1->visualRect(form->List1->model()->index(1, 0));
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::ControlModifier, entry.center());
        QVERIFY(testkit::stateOf(form) == before);
        QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(5, viewport->height() - 5));
        QVERIFY(testkit::stateOf(form) == before);
        form->List1->setFocus();
        QTest::keyClick(form->List1, Qt::Key_Space, Qt::ControlModifier);
        QVERIFY(testkit::stateOf(form) == before);
        QVERIFY(form->mnuDeleteSelectedContact->isEnabled());
        QVERIFY(boxes.boxes.isEmpty());
    }

    void arrowKeysSelectLikeAClick()
    {
        testkit::TempLinksDb db;
        db.addLinks({{"b", "ub"}, {"a", "ua"}, {"c", "uc"}});
        testkit::ScriptedMessageBox boxes;
        frmMain* form = openMain();
        QVERIFY(form);
        form->PutInTheListTheRecords(); // nothing selected
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form));
        form->List1->setFocus();
        QTest::keyClick(form->List1, Qt::Key_Down);
        QCOMPARE(form->List1->ListIndex(), 0); // the first arrow picks the first entry
        QCOMPARE(form->lblURL->text(), QStringLiteral("ua"));
        QTest::keyClick(form->List1, Qt::Key_Down);
        QCOMPARE(form->List1->ListIndex(), 1);
        QCOMPARE(form->lblURL->text(), QStringLiteral("ub"));
    }

    void rightClickShowsTheSelectionAndPopsTheSitesMenu()
    {
        testkit::TempLinksDb db;
        db.addLinks({{"a", "ua"}, {"b", "ub"}});
        frmMain* form = openMain();
        QVERIFY(form);
        clickEntry(form->List1, 1);
        db.open().execute(QStringLiteral("UPDATE links SET URL = 'changed' WHERE SiteName = 'b'"));
        clickEntry(form->List1, 0, Qt::RightButton);
        QCOMPARE(form->List1->ListIndex(), 1); // a right-click does not move the selection
        QCOMPARE(form->lblURL->text(), QStringLiteral("changed"));
        QTRY_VERIFY(form->mnuContacts->isVisible());
        QVERIFY(form->mnuContacts->actions().contains(form->mnuDeleteSelectedContact));
        form->mnuContacts->hide();

        // With nothing selected the labels stay as they were.
        form->PutInTheListTheRecords();
        clickEntry(form->List1, 0, Qt::RightButton);
        QCOMPARE(form->lblSiteName->text(), QStringLiteral("b"));
        QCOMPARE(form->List1->ListIndex(), -1);
        QTRY_VERIFY(form->mnuContacts->isVisible());
        form->mnuContacts->hide();
    }

    void everyWayOfClosingEndsTheApplication_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("EXIT") << "exit";
        QTest::newRow("Del key") << "del";
        QTest::newRow("close box") << "close";
    }

    void everyWayOfClosingEndsTheApplication()
    {
        QFETCH(QString, how);
        testkit::TempLinksDb db;
        testkit::ScriptedMessageBox boxes;
        frmMain* form = openMain();
        QVERIFY(form);
        // Another window open beside it disappears with it.
        QPointer<Form> other = new Form();
        Forms::remember(typeid(Form), other);
        other->show();
        if (how == QLatin1String("exit")) {
            testkit::triggerAction(form->mnuExit, "mnuExit");
        } else if (how == QLatin1String("del")) {
            form->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(form));
            QTest::keyClick(form->List1, Qt::Key_Delete);
        } else {
            form->close();
        }
        QVERIFY(kit::hasEnded());
        QCOMPARE(kit::exitCode(), 0);
        QVERIFY(!Forms::find<frmMain>());
        QVERIFY(!other || !other->isVisible());
        QVERIFY(boxes.boxes.isEmpty());
    }

    void secondCopyInTheSameSessionIsRefused()
    {
        testkit::TempLinksDb db;
        db.addLinks({{"a", "u"}});
        testkit::ScriptedMessageBox boxes;
        m_guard.running = true;
        QVERIFY(!Forms::show<frmMain>());
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.boxes[0].text, QStringLiteral("Orvane Tessary is already running in memory"));
        QCOMPARE(boxes.boxes[0].title, QStringLiteral("Orvane Tessary"));
        QCOMPARE(boxes.boxes[0].style, 0);
        QVERIFY(kit::hasEnded());
        QVERIFY(!Forms::find<frmMain>());
    }

    // Real processes meeting through the real lock in a shared runtime folder.
    void secondProcessRefusedWhileTheFirstRunsAndAllowedAfterItWasKilled()
    {
        testkit::TempLinksDb db;
        db.setOther(1, QStringLiteral("No"));
        db.addLinks({{"a", "u"}});
        testkit::RuntimeDir runtime;

        testkit::Harness first(db.folder(), runtime.path());
        first.start();
        QCOMPARE(first.waitForLine(QStringLiteral("WINDOWS")), QStringLiteral("WINDOWS\tfrmMain"));

        testkit::Harness second(db.folder(), runtime.path());
        second.start();
        QVERIFY(second.waitForExit());
        QCOMPARE(second.windowsShown(), QStringList());
        QCOMPARE(second.boxes().size(), 1);
        QCOMPARE(second.boxes()[0].text, QStringLiteral("Orvane Tessary is already running in memory"));
        QCOMPARE(second.boxes()[0].style, 0);
        QVERIFY(!second.crashed());

        first.kill();
        testkit::Harness third(db.folder(), runtime.path());
        third.start();
        QCOMPARE(third.waitForLine(QStringLiteral("WINDOWS")), QStringLiteral("WINDOWS\tfrmMain"));
        QVERIFY(third.boxes().isEmpty());
    }
};

QTEST_MAIN(TestMain)
#include "tst_main.moc"
