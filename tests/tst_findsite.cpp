// The Find Site Link window driven as a user would: typing, Down/Up in the box, Enter, Show in
// List, Esc, what it follows when the links change here or in another copy, and hostile texts.
#include "app/frmMain.h"
#include "data/LinksStore.h"
#include "forms/find/frmFindSite.h"
#include "testkit/TestKit.h"
#include "testkit/Windows.h"
#include "windowkit/Forms.h"
#include "windowkit/ListBox.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

namespace {

const QList<testkit::Link> Sites = {{"News Daily", "https://daily.example/"},
                                    {"Café Crème", "https://creme.example/"},
                                    {"old news", "www.old.example"},
                                    {"München Tourismus", "https://muenchen.example/"},
                                    {"Recipes", "https://news-recipes.example/"}};

// The window through the Sites menu, active with its first search done.
frmFindSite* openFind(testkit::Session& s)
{
    testkit::triggerAction(s.main->mnuFindSite, "mnuFindSite");
    frmFindSite* find = Forms::find<frmFindSite>();
    if (find && !QTest::qWaitForWindowActive(find))
        return nullptr;
    return find;
}

// The main window with these links, then the window as above; nullptr when either did not open.
frmFindSite* startFind(testkit::Session& s, const QList<testkit::Link>& links = Sites)
{
    return s.open(links) ? openFind(s) : nullptr;
}

QStringList shown(const frmFindSite* find)
{
    QStringList names;
    const QAbstractItemModel* model = find->lstMatches->model();
    for (int row = 0; row < model->rowCount(); ++row)
        names.append(model->index(row, 0).data().toString());
    return names;
}

QString selected(const frmFindSite* find)
{
    const std::optional<Link> link = find->selectedLink();
    return link ? link->name : QStringLiteral("<none>");
}

void type(frmFindSite* find, const QString& text)
{
    find->txtFind->selectAll();
    QTest::keyClicks(find->txtFind, text);
}

} // namespace

class tst_findsite : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { testkit::resetApplication(); }

    void opensWithEveryLinkInListOrder();
    void typingFindsAndKeysMoveAndOpen();
    void noMatchDisablesTheCommands();
    void showInListSelectsInTheMainWindow();
    void escapeClosesAndTheSizeIsKept();
    void followsEveryChange();
    void followsAnotherCopy();
    void hostileTextsKeepTheLayout();
};

void tst_findsite::opensWithEveryLinkInListOrder()
{
    testkit::Session s;
    // Identities far apart, as years of deletes leave them.
    s.file.addLinks(Sites);
    QVERIFY(
        s.file.writeFromAnotherProcess("INSERT INTO links (rowid, SiteName, URL) VALUES (900000, 'Zoo', 'z');\n"));
    QVERIFY(s.open());
    // The shortcut works from the main window.
    QTest::keyClick(s.main, Qt::Key_F, Qt::ControlModifier);
    frmFindSite* find = Forms::find<frmFindSite>();
    QVERIFY(find);
    QVERIFY(QTest::qWaitForWindowActive(find));
    QCOMPARE(find->windowTitle(), QStringLiteral("Find Site Link"));
    QCOMPARE(find->palette().color(QPalette::Window), QColor(0, 192, 192));
    QVERIFY(find->minimumSize() != find->maximumSize());
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(find->txtFind));

    QCOMPARE(shown(find), testkit::entries(s.main->List1));
    QCOMPARE(find->lblCount->text(), QStringLiteral("6 of 6 links"));
    QCOMPARE(selected(find), s.main->List1->List(0));
    QVERIFY(find->cmdOpen->isEnabled() && find->cmdShow->isEnabled());

    // What a reader hears: the box, the matches with their addresses, the count.
    QCOMPARE(QAccessible::queryAccessibleInterface(find->txtFind)->text(QAccessible::Name),
             QStringLiteral("Find"));
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(find->lstMatches);
    QCOMPARE(list->text(QAccessible::Name), QStringLiteral("Matches"));
    QCOMPARE(find->lstMatches->model()->index(0, 0).data(Qt::AccessibleTextRole).toString(),
             QStringLiteral("Café Crème, https://creme.example/"));
    QCOMPARE(QAccessible::queryAccessibleInterface(find->lblCount)->text(QAccessible::Name),
             QStringLiteral("6 of 6 links"));

    // One of a kind: the command again brings the same window forward.
    testkit::triggerAction(s.main->mnuFindSite, "mnuFindSite");
    QCOMPARE(Forms::find<frmFindSite>(), find);
    QVERIFY(s.boxes.boxes.isEmpty());
}

void tst_findsite::typingFindsAndKeysMoveAndOpen()
{
    testkit::Session s;
    frmFindSite* find = startFind(s);
    QVERIFY(find);

    type(find, "  NEWS ");
    QCOMPARE(shown(find), (QStringList{"News Daily", "old news", "Recipes"}));
    QCOMPARE(find->lblCount->text(), QStringLiteral("3 of 5 links"));
    QCOMPARE(selected(find), QStringLiteral("News Daily"));

    // Down and Up move through the matches; the typing goes on in the box.
    QTest::keyClick(find->txtFind, Qt::Key_Down);
    QCOMPARE(selected(find), QStringLiteral("old news"));
    QTest::keyClick(find->txtFind, Qt::Key_Down);
    QTest::keyClick(find->txtFind, Qt::Key_Down);
    QCOMPARE(selected(find), QStringLiteral("Recipes"));
    QTest::keyClick(find->txtFind, Qt::Key_Up);
    QCOMPARE(selected(find), QStringLiteral("old news"));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(find->txtFind));
    QCOMPARE(find->txtFind->text(), QStringLiteral("  NEWS "));

    // Enter opens exactly what the main window's "Open Link" opens for the same link.
    QTest::keyClick(find->txtFind, Qt::Key_Return);
    testkit::clickEntry(s.main->List1, testkit::indexOf(s.main->List1, "old news"));
    QTest::mouseClick(s.main->Command1, Qt::LeftButton);
    QCOMPARE(s.opener->opened, (QStringList{"www.old.example", "www.old.example"}));

    // Accents and letter case never matter; a new keystroke selects the first match again.
    QVERIFY(testkit::activate(find));
    type(find, "cafe");
    QCOMPARE(shown(find), QStringList{"Café Crème"});
    type(find, "munchen");
    QCOMPARE(shown(find), QStringList{"München Tourismus"});
    // A double click on a match opens it too.
    const QPoint at = find->lstMatches->visualRect(find->lstMatches->model()->index(0, 0)).center();
    QTest::mouseClick(find->lstMatches->viewport(), Qt::LeftButton, {}, at);
    QTest::mousePress(find->lstMatches->viewport(), Qt::LeftButton, {}, at);
    QMouseEvent twice(QEvent::MouseButtonDblClick, at, find->lstMatches->viewport()->mapToGlobal(at),
                      Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(find->lstMatches->viewport(), &twice);
    QTest::mouseRelease(find->lstMatches->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(s.opener->opened.last(), QStringLiteral("https://muenchen.example/"));
}

void tst_findsite::noMatchDisablesTheCommands()
{
    testkit::Session s;
    frmFindSite* find = startFind(s);
    QVERIFY(find);
    type(find, "news zebra");
    QCOMPARE(shown(find), QStringList{});
    QCOMPARE(find->lblCount->text(), QStringLiteral("0 of 5 links"));
    QVERIFY(!find->cmdOpen->isEnabled());
    QVERIFY(!find->cmdShow->isEnabled());
    QTest::keyClick(find->txtFind, Qt::Key_Return);
    QTest::keyClick(find->txtFind, Qt::Key_Down);
    QVERIFY(s.opener->opened.isEmpty());
    QVERIFY(s.boxes.boxes.isEmpty());

    type(find, "old");
    QCOMPARE(find->lblCount->text(), QStringLiteral("1 of 5 links"));
    QVERIFY(find->cmdOpen->isEnabled() && find->cmdShow->isEnabled());
}

void tst_findsite::showInListSelectsInTheMainWindow()
{
    testkit::Session s;
    frmFindSite* find = startFind(s);
    QVERIFY(find);
    type(find, "news");
    QTest::keyClick(find->txtFind, Qt::Key_Down);
    QTest::mouseClick(find->cmdShow, Qt::LeftButton);

    QVERIFY(QTest::qWaitForWindowActive(s.main));
    QCOMPARE(s.main->List1->Text(), QStringLiteral("old news"));
    QCOMPARE(s.main->lblSiteName->text(), QStringLiteral("old news"));
    QCOMPARE(s.main->lblURL->text(), QStringLiteral("www.old.example"));
    QVERIFY(s.main->mnuDeleteSelectedContact->isEnabled());
    QVERIFY(find->isVisible());

    // The entry shown already: its details come back all the same.
    s.main->lblSiteName->clear();
    QVERIFY(testkit::activate(find));
    QTest::keyClick(find->cmdShow, Qt::Key_Space);
    QCOMPARE(s.main->lblSiteName->text(), QStringLiteral("old news"));
    QVERIFY(s.boxes.boxes.isEmpty());
}

void tst_findsite::escapeClosesAndTheSizeIsKept()
{
    testkit::Session s;
    frmFindSite* find = startFind(s);
    QVERIFY(find);
    type(find, "news");
    find->resize(find->width() + 120, find->height() + 80);
    const QSize size = find->size();
    QTest::keyClick(find->txtFind, Qt::Key_Escape);
    testkit::settle();
    QVERIFY(!Forms::find<frmFindSite>());
    QVERIFY(s.main && s.main->isVisible());

    find = openFind(s);
    QVERIFY(find);
    QCOMPARE(find->size(), size);
    QCOMPARE(find->txtFind->text(), QString());
    QTest::mouseClick(find->cmdClose, Qt::LeftButton);
    testkit::settle();
    QVERIFY(!Forms::find<frmFindSite>());
}

void tst_findsite::followsEveryChange()
{
    testkit::Session s;
    frmFindSite* find = startFind(s);
    QVERIFY(find);
    type(find, "news");
    QTest::keyClick(find->txtFind, Qt::Key_Down);
    QCOMPARE(selected(find), QStringLiteral("old news"));

    // New, edited, deleted elsewhere: the query runs again and the selected link stays selected.
    LinksStore::add(QStringLiteral("Breaking News"), QStringLiteral("https://breaking.example/"));
    QCOMPARE(shown(find), (QStringList{"News Daily", "Breaking News", "old news", "Recipes"}));
    QCOMPARE(find->lblCount->text(), QStringLiteral("4 of 6 links"));
    QCOMPARE(selected(find), QStringLiteral("old news"));

    const QList<Link> all = LinksStore::all();
    const auto stored = [&all](const QString& name) {
        return *std::find_if(all.begin(), all.end(), [&](const Link& l) { return l.name == name; });
    };
    QVERIFY(
        LinksStore::change(stored("Recipes"), QStringLiteral("Recipes"), QStringLiteral("https://food.example/")));
    QCOMPARE(shown(find), (QStringList{"News Daily", "Breaking News", "old news"}));
    QVERIFY(LinksStore::remove(stored("News Daily")));
    QCOMPARE(shown(find), (QStringList{"Breaking News", "old news"}));
    QCOMPARE(selected(find), QStringLiteral("old news"));

    // The selected link edited out of the matches: the first match is selected.
    QVERIFY(LinksStore::change(stored("old news"), QStringLiteral("archive"), QStringLiteral("www.old.example")));
    QCOMPARE(shown(find), QStringList{"Breaking News"});
    QCOMPARE(selected(find), QStringLiteral("Breaking News"));

    QVERIFY(LinksStore::addAll({{QStringLiteral("news one"), QStringLiteral("a")},
                                {QStringLiteral("news two"), QStringLiteral("b")}})
                .done);
    QCOMPARE(shown(find), (QStringList{"news one", "news two", "Breaking News"}));
    QCOMPARE(selected(find), QStringLiteral("Breaking News"));

    // The main window's own commands.
    s.boxes.answerNext(6);
    testkit::triggerAction(s.main->mnuDeleteAllContacts, "mnuDeleteAllContacts");
    QCOMPARE(shown(find), QStringList{});
    QCOMPARE(find->lblCount->text(), QStringLiteral("0 of 0 links"));
    QVERIFY(!find->cmdOpen->isEnabled());
}

void tst_findsite::followsAnotherCopy()
{
    testkit::Session s;
    frmFindSite* find = startFind(s);
    QVERIFY(find);
    type(find, "news");
    QTest::keyClick(find->txtFind, Qt::Key_Down);

    // Another copy adds a link; coming back to the window reads it.
    QVERIFY(s.file.writeFromAnotherProcess(
        "INSERT INTO links (SiteName, URL) VALUES ('news from elsewhere', 'https://else.example/');\n"));
    QVERIFY(testkit::activate(s.main));
    QVERIFY(testkit::activate(find));
    QCOMPARE(shown(find), (QStringList{"News Daily", "news from elsewhere", "old news", "Recipes"}));
    QCOMPARE(selected(find), QStringLiteral("old news"));

    // The main list has not read it yet; Show in List makes it.
    QTest::keyClick(find->txtFind, Qt::Key_Up);
    QTest::mouseClick(find->cmdShow, Qt::LeftButton);
    QCOMPARE(s.main->List1->Text(), QStringLiteral("news from elsewhere"));
    QCOMPARE(s.main->lblURL->text(), QStringLiteral("https://else.example/"));

    // Another copy deletes the selected link before Enter: nothing opens, and the list follows.
    QVERIFY(testkit::activate(find));
    QCOMPARE(selected(find), QStringLiteral("news from elsewhere"));
    QVERIFY(s.file.writeFromAnotherProcess("DELETE FROM links WHERE SiteName = 'news from elsewhere';\n"));
    QTest::keyClick(find->txtFind, Qt::Key_Return);
    QVERIFY(s.opener->opened.isEmpty());
    QCOMPARE(s.boxes.texts(), QStringList{"This site link was deleted or changed meanwhile, so nothing was done. "
                                          "The list now shows the links as they are."});
    QCOMPARE(shown(find), (QStringList{"News Daily", "old news", "Recipes"}));

    // And a keystroke reads another copy's writes too.
    QVERIFY(
        s.file.writeFromAnotherProcess("UPDATE links SET SiteName = 'olden news' WHERE SiteName = 'old news';\n"));
    type(find, "new");
    QCOMPARE(shown(find), (QStringList{"News Daily", "olden news", "Recipes"}));
}

void tst_findsite::hostileTextsKeepTheLayout()
{
    testkit::Session s;
    const QString longName = QString(10000, QLatin1Char('w')) + QStringLiteral(" tail");
    frmFindSite* find =
        startFind(s, {{longName, QString(10000, QLatin1Char('u'))},
                      {QStringLiteral("\u202Eevil override name"), QStringLiteral("https://\u202Ertl.example/")},
                      {QStringLiteral("line\nbreak\ttab\u0001bell"), QStringLiteral("https://ctl.example/")},
                      {QStringLiteral("plain"), QStringLiteral("https://plain.example/")}});
    QVERIFY(find);
    const QSize size = find->size();
    const int lineHeight = find->lstMatches->sizeHintForRow(0);
    QVERIFY(lineHeight > 0 && lineHeight < 40);
    QVERIFY(!find->lstMatches->horizontalScrollBar()->isVisible());
    for (int row = 0; row < 4; ++row) {
        const QRect line = find->lstMatches->visualRect(find->lstMatches->model()->index(row, 0));
        QVERIFY(line.width() <= find->lstMatches->viewport()->width());
        QCOMPARE(line.height(), lineHeight);
    }

    type(find, "tail");
    QCOMPARE(shown(find), QStringList{longName});
    QVERIFY(find->lstMatches->model()->index(0, 0).data(Qt::ToolTipRole).toString().size() < 2100);
    type(find, "evil");
    QCOMPARE(find->lblCount->text(), QStringLiteral("1 of 4 links"));
    type(find, QString(1000, QLatin1Char('w')));
    QCOMPARE(shown(find), QStringList{longName});
    type(find, QString(1000, QLatin1Char('z')));
    QCOMPARE(find->lblCount->text(), QStringLiteral("0 of 4 links"));
    QCOMPARE(find->size(), size);
    QVERIFY(s.boxes.boxes.isEmpty());
}

QTEST_MAIN(tst_findsite)
#include "tst_findsite.moc"
