// The main window driven as a user would: the list, the details, Open Link, the menus, the
// right-click menu, the refill, the enabled-state lag, the single-instance rule and the end.
#include "app/frmMain.h"
#include "data/LinksStore.h"
#include "forms/edit/frmEditSites.h"
#include "forms/edit/frmEditThisSite.h"
#include "forms/edit/frmNewSite.h"
#include "testkit/Harness.h"
#include "testkit/TestKit.h"
#include "testkit/Windows.h"
#include "windowkit/Forms.h"
#include "windowkit/Lifecycle.h"
#include "windowkit/ListBox.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

using testkit::clickEntry;
using testkit::entries;

namespace {
// One command of the user's, driven through its windows on a session whose list holds a, b and c.
using Command = std::function<void(testkit::Session&)>;
} // namespace
Q_DECLARE_METATYPE(Command)
Q_DECLARE_METATYPE(LinksStore::Change)

class TestMain : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { testkit::resetApplication(); }

    void looksAsDesigned()
    {
        testkit::Session s;
        QVERIFY(s.open());
        frmMain* form = s.main;
        QCOMPARE(form->windowTitle(), QStringLiteral(" Orvane Tessary V/ 1. 0. 0"));
        QCOMPARE(form->Command1->text(), QStringLiteral("Open Link"));
        QVERIFY(!form->lblupdate->isVisible());
        QCOMPARE(form->palette().color(QPalette::Window), QColor(0, 192, 192));
        QCOMPARE(form->List1->palette().color(QPalette::Base), QColor(255, 255, 0));
        QCOMPARE(form->lblSiteName->palette().color(QPalette::WindowText), QColor(192, 0, 0));
        QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(form->windowFlags() & Qt::WindowMinimizeButtonHint);

        // The menu bar in order, with the Alt letter and the shortcuts; the Sites menu keeps the
        // documented order with the added commands beside it.
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
                 (QStringList{"New Site Link|Ctrl+N", "Edit Site Link|Ctrl+E", "Find Site Link...|Ctrl+F", "-",
                              "Delete All Site Links|Ctrl+D", "Delete Selected Site Link|Ctrl+X", "Options|Ctrl+O",
                              "Import Bookmarks...|Ctrl+I", "Export Bookmarks...|Ctrl+Shift+E", "Check Links...|",
                              "Restore From Backup...|", "Paste Site Link|Ctrl+V", "EXIT|Del"}));
        QStringList support;
        for (QAction* action : form->mnuSupport->actions())
            support.append(action->text());
        QCOMPARE(support,
                 (QStringList{"Check For New Updates", "Online Support Forum", "Email Valdric / Programmer"}));
        QVERIFY(s.boxes.boxes.isEmpty());

        // Labels take no focus: Tab goes from the list to "Open Link".
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form->List1));
        QTest::keyClick(form->List1, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form->Command1));
    }

    void emptyTableOpensQuietly()
    {
        testkit::Session s;
        QVERIFY(s.open());
        QCOMPARE(s.main->List1->ListCount(), 0);
        QCOMPARE(s.main->lblTotalContacts->text(), QStringLiteral("0"));
        QCOMPARE(s.main->lblSiteName->text(), QString());
        QCOMPARE(s.main->lblURL->text(), QString());
        QVERIFY(s.main->mnuDeleteSelectedContact->isEnabled());
        QVERIFY(s.boxes.boxes.isEmpty());
        QVERIFY(!kit::hasEnded());
    }

    void listsSortedWithoutRegardToCaseAndSelectsFirst()
    {
        testkit::Session s;
        QVERIFY(s.open({{"beta", "http://b"},
                        {"Zulu", "z"},
                        {"Alpha", "http://a"},
                        {"gamma", "g"},
                        {"eclair", "e"},
                        {"Éclair", "É"}}));
        QCOMPARE(entries(s.main->List1), (QStringList{"Alpha", "beta", "eclair", "Éclair", "gamma", "Zulu"}));
        QCOMPARE(s.main->lblTotalContacts->text(), QStringLiteral("6"));
        QCOMPARE(s.main->List1->ListIndex(), 0);
        QCOMPARE(s.main->lblSiteName->text(), QStringLiteral("Alpha"));
        QCOMPARE(s.main->lblURL->text(), QStringLiteral("http://a"));
        QVERIFY(s.main->mnuDeleteSelectedContact->isEnabled());
        QCOMPARE(s.main->List1->hasFocus() || QApplication::focusWidget() == nullptr, true);
    }

    // Each entry shows exactly the record it was listed from, whatever its name.
    void selectionShowsTheExactRecord()
    {
        testkit::Session s;
        QVERIFY(s.open({{" lead", "u-lead"},
                        {"Same", "u-Same"},
                        {"same", "u-same"},
                        {"Dup", "u-dup1"},
                        {"Dup", "u-dup2"},
                        {"O'Brien <b>x</b>", "u-obrien"},
                        {"None here", "None"}}));
        QSet<QString> urls;
        for (int i = 0; i < s.main->List1->ListCount(); ++i) {
            clickEntry(s.main->List1, i);
            QCOMPARE(s.main->List1->ListIndex(), i);
            QCOMPARE(s.main->lblSiteName->text(), s.main->List1->List(i));
            urls.insert(s.main->lblURL->text());
        }
        QCOMPARE(urls, (QSet<QString>{"u-lead", "u-Same", "u-same", "u-dup1", "u-dup2", "u-obrien", "None"}));
        QCOMPARE(s.main->lblSiteName->textFormat(), Qt::PlainText);
    }

    // Whoever shows the links hears of each change once: a second announcement would rebuild the
    // list twice, a missing one leave it stale.
    void everyCommandAnnouncesItsChangeOnce_data()
    {
        QTest::addColumn<Command>("command");
        QTest::addColumn<LinksStore::Change>("change");
        QTest::newRow("new site link") << Command([](testkit::Session& s) {
            testkit::triggerAction(s.main->mnuNewContact, "mnuNewContact");
            auto* form = Forms::find<frmNewSite>();
            QVERIFY(form);
            form->txtname->setText(QStringLiteral("d"));
            form->txtURL->setText(QStringLiteral("ud"));
            QTest::mouseClick(form->Command2, Qt::LeftButton);
        }) << LinksStore::Change::Added;
        QTest::newRow("edit site link") << Command([](testkit::Session& s) {
            testkit::triggerAction(s.main->mnuEditSite, "mnuEditSite");
            auto* chooser = Forms::find<frmEditSites>();
            QVERIFY(chooser);
            chooser->List1->setListIndex(testkit::indexOf(chooser->List1, QStringLiteral("b")));
            auto* editor = Forms::find<frmEditThisSite>();
            QVERIFY(editor);
            editor->txtURL->setText(QStringLiteral("changed"));
            QTest::mouseClick(editor->Command2, Qt::LeftButton);
        }) << LinksStore::Change::Edited;
        QTest::newRow("delete selected") << Command([](testkit::Session& s) {
            clickEntry(s.main->List1, 1);
            testkit::triggerAction(s.main->mnuDeleteSelectedContact, "mnuDeleteSelectedContact");
        }) << LinksStore::Change::Deleted;
        QTest::newRow("delete all") << Command([](testkit::Session& s) {
            testkit::triggerAction(s.main->mnuDeleteAllContacts, "mnuDeleteAllContacts");
        }) << LinksStore::Change::DeletedAll;
        QTest::newRow("import bookmarks") << Command([](testkit::Session& s) {
            QTemporaryDir dir;
            testkit::ScriptedFileDialog dialog;
            dialog.answer = dir.filePath(QStringLiteral("in.html"));
            QFile file(dialog.answer);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("<DL><p><DT><A HREF=\"https://d.example/\">d</A><DT><A HREF=\"https://e.example/\">e</A>");
            file.close();
            testkit::triggerAction(s.main->mnuImportBookmarks, "mnuImportBookmarks");
        }) << LinksStore::Change::Imported;
    }

    void everyCommandAnnouncesItsChangeOnce()
    {
        QFETCH(Command, command);
        QFETCH(LinksStore::Change, change);
        testkit::Session s;
        QVERIFY(s.open({{"a", "ua"}, {"b", "ub"}, {"c", "uc"}}));
        QSignalSpy announced(&LinksStore::instance(), &LinksStore::changed);
        command(s);
        QCOMPARE(announced.size(), 1);
        QCOMPARE(announced[0][0].value<LinksStore::Change>(), change);
        QVERIFY(!kit::hasEnded());
    }

    // A web address goes straight through; "None" is no web or mail address, so the desktop gets it
    // only after a Yes to the question (Enter says No).
    void openLinkHandsTheShownAddressOver()
    {
        testkit::Session s;
        QVERIFY(s.open({{"a", "www.example.org/a b"}, {"b", "None"}}));
        QTest::mouseClick(s.main->Command1, Qt::LeftButton);
        QVERIFY(s.boxes.boxes.isEmpty());
        clickEntry(s.main->List1, 1);
        QTest::mouseClick(s.main->Command1, Qt::LeftButton);
        QCOMPARE(s.opener->opened, (QStringList{"www.example.org/a b"}));
        s.boxes.answerNext(platform::MsgAnswer::Yes);
        QTest::mouseClick(s.main->Command1, Qt::LeftButton);
        QCOMPARE(s.opener->opened, (QStringList{"www.example.org/a b", "None"}));
        const QString asked =
            QStringLiteral("\"None\" is not a web or e-mail address. Opening it hands it to this "
                           "computer's desktop, which may run a program or open a file with it."
                           "\r\rOpen it anyway?");
        QCOMPARE(s.boxes.texts(), (QStringList{asked, asked}));
        QCOMPARE(s.boxes.boxes[0].title, QStringLiteral("Open Link"));
    }

    void refillOfAnEmptyTableSaysSo()
    {
        testkit::Session s;
        QVERIFY(s.open({{"only", "u"}}));
        s.file.open().execute(QStringLiteral("DELETE FROM links"));
        int entriesWhileAsked = -1;
        s.boxes.onNextBox([&](const auto&) { entriesWhileAsked = s.main->List1->ListCount(); });
        s.main->PutInTheListTheRecords();
        QCOMPARE(s.boxes.boxes.size(), 1);
        QCOMPARE(s.boxes.boxes[0].text, QStringLiteral("You have 0 Links !"));
        QCOMPARE(s.boxes.boxes[0].title, QStringLiteral("Information"));
        QCOMPARE(s.boxes.boxes[0].style, 64);
        QCOMPARE(entriesWhileAsked, 1);
        QCOMPARE(s.main->List1->ListCount(), 0);
        QCOMPARE(s.main->lblTotalContacts->text(), QStringLiteral("0"));
        // The caller blanks the details, not the refill.
        QCOMPARE(s.main->lblSiteName->text(), QStringLiteral("only"));
    }

    void refillSelectsNothingAndTheDeleteCommandFollows()
    {
        testkit::Session s;
        QVERIFY(s.open({{"b", "1"}, {"a", "2"}}));
        QVERIFY(s.main->mnuDeleteSelectedContact->isEnabled());
        s.file.addLinks({{"c", "3"}});
        s.main->PutInTheListTheRecords();
        QCOMPARE(entries(s.main->List1), (QStringList{"a", "b", "c"}));
        QCOMPARE(s.main->lblTotalContacts->text(), QStringLiteral("3"));
        QCOMPARE(s.main->List1->ListIndex(), -1);
        QVERIFY(!s.main->hasCurrentLink());
        QVERIFY(!s.main->mnuDeleteSelectedContact->isEnabled());
        clickEntry(s.main->List1, 2);
        QVERIFY(s.main->mnuDeleteSelectedContact->isEnabled());
    }

    // Input never leaves a list with entries unselected while the details show a link.
    void selectionSurvivesCtrlClickAndBlankArea()
    {
        testkit::Session s;
        QVERIFY(s.open({{"b", "1"}, {"a", "2"}}));
        clickEntry(s.main->List1, 1);
        const testkit::MainState before = testkit::stateOf(s.main);
        QCOMPARE(before.name, QStringLiteral("b"));

        QWidget* viewport = s.main->List1->viewport();
        const QRect entry = s.main->List1->visualRect(s.main->List1->model()->index(1, 0));
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::ControlModifier, entry.center());
        QVERIFY(testkit::stateOf(s.main) == before);
        QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(5, viewport->height() - 5));
        QVERIFY(testkit::stateOf(s.main) == before);
        s.main->List1->setFocus();
        QTest::keyClick(s.main->List1, Qt::Key_Space, Qt::ControlModifier);
        QVERIFY(testkit::stateOf(s.main) == before);
        QVERIFY(s.main->mnuDeleteSelectedContact->isEnabled());
        QVERIFY(s.boxes.boxes.isEmpty());
    }

    void arrowKeysSelectLikeAClick()
    {
        testkit::Session s;
        QVERIFY(s.open({{"b", "ub"}, {"a", "ua"}, {"c", "uc"}}));
        s.main->PutInTheListTheRecords(); // nothing selected
        s.main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s.main));
        s.main->List1->setFocus();
        QTest::keyClick(s.main->List1, Qt::Key_Down);
        QCOMPARE(s.main->List1->ListIndex(), 0); // the first arrow picks the first entry
        QCOMPARE(s.main->lblURL->text(), QStringLiteral("ua"));
        QTest::keyClick(s.main->List1, Qt::Key_Down);
        QCOMPARE(s.main->List1->ListIndex(), 1);
        QCOMPARE(s.main->lblURL->text(), QStringLiteral("ub"));
    }

    void rightClickShowsTheSelectionAndPopsTheSitesMenu()
    {
        testkit::Session s;
        QVERIFY(s.open({{"a", "ua"}, {"b", "ub"}}));
        clickEntry(s.main->List1, 1);
        s.file.open().execute(QStringLiteral("UPDATE links SET URL = 'changed' WHERE SiteName = 'b'"));
        clickEntry(s.main->List1, 0, Qt::RightButton);
        QCOMPARE(s.main->List1->ListIndex(), 1); // a right-click does not move the selection
        QCOMPARE(s.main->lblURL->text(), QStringLiteral("changed"));
        QTRY_VERIFY(s.main->mnuContacts->isVisible());
        QVERIFY(s.main->mnuContacts->actions().contains(s.main->mnuDeleteSelectedContact));
        s.main->mnuContacts->hide();

        // With nothing selected the labels stay as they were.
        s.main->PutInTheListTheRecords();
        clickEntry(s.main->List1, 0, Qt::RightButton);
        QCOMPARE(s.main->lblSiteName->text(), QStringLiteral("b"));
        QCOMPARE(s.main->List1->ListIndex(), -1);
        QTRY_VERIFY(s.main->mnuContacts->isVisible());
        s.main->mnuContacts->hide();
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
        testkit::Session s;
        QVERIFY(s.open());
        // Another window open beside it disappears with it.
        QPointer<Form> other = new Form();
        Forms::remember(typeid(Form), other);
        other->show();
        if (how == QLatin1String("exit")) {
            testkit::triggerAction(s.main->mnuExit, "mnuExit");
        } else if (how == QLatin1String("del")) {
            s.main->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(s.main));
            QTest::keyClick(s.main->List1, Qt::Key_Delete);
        } else {
            s.main->close();
        }
        QVERIFY(kit::hasEnded());
        QCOMPARE(kit::exitCode(), 0);
        QVERIFY(!Forms::find<frmMain>());
        QVERIFY(!other || !other->isVisible());
        QVERIFY(s.boxes.boxes.isEmpty());
    }

    void secondCopyInTheSameSessionIsRefused()
    {
        testkit::Session s;
        s.guard.running = true;
        QVERIFY(!s.open({{"a", "u"}}));
        QCOMPARE(s.boxes.boxes.size(), 1);
        QCOMPARE(s.boxes.boxes[0].text, QStringLiteral("Orvane Tessary is already running in memory"));
        QCOMPARE(s.boxes.boxes[0].title, QStringLiteral("Orvane Tessary"));
        QCOMPARE(s.boxes.boxes[0].style, 0);
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
