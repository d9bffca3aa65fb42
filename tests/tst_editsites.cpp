// The choose-a-link window and the edit window, driven as a person would: picks with the mouse
// and the keyboard, typing, Save and Cancel, then the file and the main window are read back.

#include "app/frmMain.h"
#include "forms/edit/frmEditSites.h"
#include "forms/edit/frmEditThisSite.h"
#include "testkit/TestKit.h"
#include "testkit/Windows.h"
#include "windowkit/Forms.h"
#include "windowkit/Lifecycle.h"
#include "windowkit/ListBox.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using testkit::clickEntry;
using testkit::entries;
using testkit::Link;
using testkit::MainState;
using testkit::stateOf;

namespace {

// Opens the drop-down and clicks the entry, as a mouse user picks it.
void pickInCombo(QComboBox* combo, const QString& text)
{
    const int row = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    QVERIFY2(row >= 0, qPrintable(text));
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    QVERIFY(QTest::qWaitForWindowExposed(view->window()));
    const QModelIndex index = view->model()->index(row, 0);
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
}

// The main window's choose-a-link command, then the window it opened.
frmEditSites* openChooser(frmMain* main)
{
    testkit::triggerAction(main->mnuEditSite, "mnuEditSite");
    frmEditSites* chooser = Forms::find<frmEditSites>();
    if (chooser && !QTest::qWaitForWindowExposed(chooser))
        return nullptr;
    return chooser;
}

// Picks the stored link at this row of the chooser (stored order) and returns the edit window.
frmEditThisSite* openEditorAt(frmMain* main, int row)
{
    frmEditSites* chooser = openChooser(main);
    if (!chooser)
        return nullptr;
    clickEntry(chooser->List1, row);
    return Forms::find<frmEditThisSite>();
}

} // namespace

class tst_editsites : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { testkit::resetApplication(); }

    void chooser_opensWithEveryLinkInStoredOrderAndNoLetterChosen();
    void chooser_letterFilterAndShowAll();
    void chooser_typingIntoComboChangesNothing();
    void chooser_arrowKeysOnClosedComboChooseEntries();
    void chooser_pickFillsEditWindowWithThatRecordAndCloses();
    void chooser_arrowKeysInListPickAsClickDoes();
    void chooser_cancelOpensNothing();
    void chooser_pickOfALinkGoneMeanwhileSaysSo_data();
    void chooser_pickOfALinkGoneMeanwhileSaysSo();

    void tabKeyWalksBothWindowsInTheirOrder();
    void save_unchangedRewritesAndSelectsFirstInMain();
    void save_emptyNameRefusedEmptyUrlBecomesNone();
    void save_renameToOtherNameAndCaseChangeAsTyped();
    void save_changesOnlyThePickedOfEqualNames();
    void save_afterLinkGoneWritesNothingAndKeepsRunning_data();
    void save_afterLinkGoneWritesNothingAndKeepsRunning();
    void cancel_writesNothingAndLeavesMainAlone();
};

void tst_editsites::chooser_opensWithEveryLinkInStoredOrderAndNoLetterChosen()
{
    testkit::Session s;
    QVERIFY(s.open({{"zeta", "z"}, {"Alpha", "a"}, {"9 lives", "n"}, {"beta", "b"}}));
    frmEditSites* chooser = openChooser(s.main);
    QVERIFY(chooser);

    QCOMPARE(chooser->windowTitle(), QStringLiteral("Edit My Sites"));
    // Not sorted: the table's own order.
    QCOMPARE(entries(chooser->List1), QStringList({"zeta", "Alpha", "9 lives", "beta"}));
    QCOMPARE(chooser->List1->ListIndex(), -1);
    QCOMPARE(chooser->focusWidget(), chooser->List1);

    QCOMPARE(chooser->Combo1->count(), 27);
    QCOMPARE(chooser->Combo1->itemText(0), QStringLiteral("Show All My Contacts"));
    QCOMPARE(chooser->Combo1->itemText(1), QStringLiteral("A"));
    QCOMPARE(chooser->Combo1->itemText(26), QStringLiteral("Z"));
    QCOMPARE(chooser->Combo1->currentIndex(), -1);
    QCOMPARE(chooser->Combo1->currentText(), QStringLiteral("<<Choose a letter for a fast search>>"));
    // The prompt is read whole in the combo's documented width.
    const QLineEdit* field = chooser->Combo1->lineEdit();
    QVERIFY2(field->fontMetrics().horizontalAdvance(field->text()) + 4 <= field->width(),
             qPrintable(QStringLiteral("%1 px of prompt in a %2 px field")
                            .arg(field->fontMetrics().horizontalAdvance(field->text()))
                            .arg(field->width())));
    QVERIFY(s.boxes.boxes.isEmpty());
}

void tst_editsites::chooser_letterFilterAndShowAll()
{
    testkit::Session s;
    const QList<Link> links{{"Banana", "1"}, {"apple", "2"}, {"berry", "3"}, {" Bob", "4"},
                            {"Cherry", "5"}, {"B", "6"},     {"ab", "7"}};
    QVERIFY(s.open(links));
    frmEditSites* chooser = openChooser(s.main);
    QVERIFY(chooser);

    pickInCombo(chooser->Combo1, "B");
    QCOMPARE(chooser->Combo1->currentText(), QStringLiteral("B"));
    QCOMPARE(entries(chooser->List1), QStringList({"Banana", "berry", "B"}));

    pickInCombo(chooser->Combo1, "Q");
    QCOMPARE(chooser->List1->ListCount(), 0);
    QVERIFY(s.boxes.boxes.isEmpty());

    pickInCombo(chooser->Combo1, "Show All My Contacts");
    QCOMPARE(entries(chooser->List1), QStringList({"Banana", "apple", "berry", " Bob", "Cherry", "B", "ab"}));
    QCOMPARE(s.file.links(), links);
    QVERIFY(s.boxes.boxes.isEmpty());
}

void tst_editsites::chooser_typingIntoComboChangesNothing()
{
    testkit::Session s;
    QVERIFY(s.open({{"Banana", "1"}, {"Cherry", "2"}}));
    frmEditSites* chooser = openChooser(s.main);
    QVERIFY(chooser);
    QSignalSpy picked(chooser->Combo1, &QComboBox::activated);

    chooser->Combo1->setFocus();
    QWidget* typedInto = QApplication::focusWidget();
    QVERIFY(typedInto);
    chooser->Combo1->lineEdit()->clear();
    QTest::keyClicks(typedInto, "C");
    QTest::keyClick(typedInto, Qt::Key_Return);
    // Leaving the field is no pick either.
    chooser->List1->setFocus();
    QCOMPARE(chooser->Combo1->currentText(), QStringLiteral("C"));
    QCOMPARE(chooser->Combo1->currentIndex(), -1);
    QCOMPARE(chooser->Combo1->count(), 27);
    QCOMPARE(picked.count(), 0);
    QCOMPARE(entries(chooser->List1), QStringList({"Banana", "Cherry"}));
}

void tst_editsites::chooser_arrowKeysOnClosedComboChooseEntries()
{
    testkit::Session s;
    QVERIFY(s.open({{"Banana", "1"}, {"apple", "2"}, {"Cherry", "3"}}));
    frmEditSites* chooser = openChooser(s.main);
    QVERIFY(chooser);
    pickInCombo(chooser->Combo1, "C");
    QCOMPARE(entries(chooser->List1), QStringList({"Cherry"}));

    // Up from "C" lands on "B", then "A": each move refills the list.
    QTest::keyClick(chooser->Combo1, Qt::Key_Up);
    QCOMPARE(chooser->Combo1->currentText(), QStringLiteral("B"));
    QCOMPARE(entries(chooser->List1), QStringList({"Banana"}));
    QTest::keyClick(chooser->Combo1, Qt::Key_Up);
    QCOMPARE(entries(chooser->List1), QStringList({"apple"}));
    QTest::keyClick(chooser->Combo1, Qt::Key_Up);
    QCOMPARE(chooser->Combo1->currentText(), QStringLiteral("Show All My Contacts"));
    QCOMPARE(entries(chooser->List1), QStringList({"Banana", "apple", "Cherry"}));
}

void tst_editsites::chooser_pickFillsEditWindowWithThatRecordAndCloses()
{
    testkit::Session s;
    // Names the trimmed, case-blind lookup by name would get wrong or fail on.
    const QList<Link> links{{"abc", "lower"}, {"ABC", "upper"}, {" padded ", "blanks"}, {"O'Brien's", "quote"}};
    QVERIFY(s.open(links));

    // The edit window stays open between picks: each pick replaces its boxes and its record.
    QPointer<frmEditThisSite> first;
    for (int row = 0; row < links.size(); ++row) {
        QPointer<frmEditSites> chooser = openChooser(s.main);
        QVERIFY(chooser);
        clickEntry(chooser->List1, row);

        QVERIFY(!Forms::find<frmEditSites>());
        QVERIFY(chooser.isNull() || chooser->isHidden());
        frmEditThisSite* editor = Forms::find<frmEditThisSite>();
        QVERIFY(editor);
        QVERIFY(editor->isVisible());
        QCOMPARE(editor->txtname->text(), links[row].name);
        QCOMPARE(editor->txtURL->text(), links[row].url);
        // A long name or address shows its start.
        QCOMPARE(editor->txtname->cursorPosition(), 0);
        QCOMPARE(editor->txtURL->cursorPosition(), 0);
        if (!first)
            first = editor;
        QCOMPARE(editor, first.data());
    }
    QVERIFY(s.boxes.boxes.isEmpty());
    QVERIFY(!kit::hasEnded());
    QCOMPARE(s.file.links(), links);
}

void tst_editsites::chooser_arrowKeysInListPickAsClickDoes()
{
    testkit::Session s;
    const QList<Link> links{{"first", "1"}, {"second", "2"}, {"third", "3"}};
    QVERIFY(s.open(links));
    frmEditSites* chooser = openChooser(s.main);
    QVERIFY(chooser);

    QString landedOn;
    connect(chooser->List1, &ListBox::Click, this, [&] { landedOn = chooser->List1->Text(); });
    chooser->List1->setFocus();
    QTest::keyClick(chooser->List1, Qt::Key_Down);

    // With nothing selected the first arrow picks the first entry, as a click on it would.
    QCOMPARE(landedOn, QStringLiteral("first"));
    QVERIFY(!Forms::find<frmEditSites>());
    frmEditThisSite* editor = Forms::find<frmEditThisSite>();
    QVERIFY(editor);
    QCOMPARE(editor->txtname->text(), landedOn);
    const int row = QStringList({"first", "second", "third"}).indexOf(landedOn);
    QCOMPARE(editor->txtURL->text(), links[row].url);
}

void tst_editsites::chooser_pickOfALinkGoneMeanwhileSaysSo_data()
{
    QTest::addColumn<bool>("reused"); // a new link took over the picked one's freed identity
    QTest::addColumn<int>("letter");  // the combo's entry when the pick is made (0: show all)
    QTest::newRow("deleted, all links") << false << 0;
    QTest::newRow("identity reused, all links") << true << 0;
    QTest::newRow("identity reused, letter G") << true << int('G' - 'A' + 1);
}

void tst_editsites::chooser_pickOfALinkGoneMeanwhileSaysSo()
{
    QFETCH(bool, reused);
    QFETCH(int, letter);
    testkit::Session s;
    QVERIFY(s.open({{"keep", "1"}, {"gold", "3"}, {"gone", "2"}}));
    frmEditSites* chooser = openChooser(s.main);
    QVERIFY(chooser);
    chooser->Combo1->setCurrentIndex(letter);
    chooser->Combo1_Click();
    const int row = testkit::indexOf(chooser->List1, QStringLiteral("gone"));
    QVERIFY(row >= 0);
    QVERIFY(s.file.writeFromAnotherProcess(reused ? "DELETE FROM links WHERE SiteName = 'gone';\n"
                                                    "INSERT INTO links (SiteName, URL) VALUES ('glad', 'x');"
                                                  : "DELETE FROM links WHERE SiteName = 'gone';"));
    const QList<Link> after = s.file.links();

    clickEntry(chooser->List1, row);
    QCOMPARE(s.boxes.texts(), QStringList{"The site link you picked was deleted or changed meanwhile. "
                                          "The list now shows the links as they are."});
    QCOMPARE(s.boxes.boxes[0].style, 48);
    QCOMPARE(s.boxes.boxes[0].title, QStringLiteral("Warning"));
    QVERIFY(!kit::hasEnded());
    QVERIFY(!Forms::find<frmEditThisSite>());
    QCOMPARE(Forms::find<frmEditSites>(), chooser);
    QCOMPARE(s.file.links(), after);
    QStringList left = reused ? QStringList{"glad", "gold"} : QStringList{"gold"};
    if (letter == 0)
        left.prepend(QStringLiteral("keep"));
    QStringList shown = entries(chooser->List1);
    shown.sort();
    left.sort();
    QCOMPARE(shown, left);
    QCOMPARE(chooser->Combo1->currentIndex(), letter);
}

void tst_editsites::chooser_cancelOpensNothing()
{
    testkit::Session s;
    QVERIFY(s.open({{"only", "1"}}));
    frmEditSites* chooser = openChooser(s.main);
    QVERIFY(chooser);

    QTest::mouseClick(chooser->Command1, Qt::LeftButton);
    QVERIFY(!Forms::find<frmEditSites>());
    QVERIFY(!Forms::find<frmEditThisSite>());
    QVERIFY(!kit::hasEnded());

    // The next showing starts afresh with the full list.
    chooser = openChooser(s.main);
    QVERIFY(chooser);
    QCOMPARE(entries(chooser->List1), QStringList({"only"}));
}

void tst_editsites::tabKeyWalksBothWindowsInTheirOrder()
{
    testkit::Session s;
    QVERIFY(s.open({{"one", "1"}}));

    auto walk = [](QWidget* window, const QList<QWidget*>& order) {
        QVERIFY(QTest::qWaitForWindowActive(window));
        for (QWidget* expected : order) {
            QCOMPARE(QApplication::focusWidget(), expected);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(QApplication::focusWidget(), order.first());
    };

    frmEditSites* chooser = openChooser(s.main);
    QVERIFY(chooser);
    walk(chooser, {chooser->List1, chooser->Command1, chooser->Combo1});
    clickEntry(chooser->List1, 0);

    frmEditThisSite* editor = Forms::find<frmEditThisSite>();
    QVERIFY(editor);
    walk(editor, {editor->Command1, editor->Command2, editor->txtURL, editor->txtname});
}

void tst_editsites::save_unchangedRewritesAndSelectsFirstInMain()
{
    testkit::Session s;
    const QList<Link> links{{"gamma", "g"}, {"beta", "b"}, {"Alpha", "a"}};
    QVERIFY(s.open(links));
    // Leave the main window showing something other than its first entry.
    clickEntry(s.main->List1, 2);
    QCOMPARE(s.main->lblSiteName->text(), QStringLiteral("gamma"));

    frmEditThisSite* editor = openEditorAt(s.main, 1);
    QVERIFY(editor);
    QCOMPARE(editor->windowTitle(), QStringLiteral("Edit This Site"));
    QCOMPARE(editor->focusWidget(), editor->Command1);
    QVERIFY(editor->Command2->isDefault());

    QTest::mouseClick(editor->Command2, Qt::LeftButton);
    QVERIFY(!Forms::find<frmEditThisSite>());
    QCOMPARE(s.file.links(), links);
    QCOMPARE(entries(s.main->List1), QStringList({"Alpha", "beta", "gamma"}));
    QCOMPARE(s.main->List1->ListIndex(), 0);
    QCOMPARE(s.main->lblSiteName->text(), QStringLiteral("Alpha"));
    QCOMPARE(s.main->lblURL->text(), QStringLiteral("a"));
    QCOMPARE(s.main->lblTotalContacts->text(), QStringLiteral("3"));
    QVERIFY(s.boxes.boxes.isEmpty());
    QVERIFY(!kit::hasEnded());
}

void tst_editsites::save_emptyNameRefusedEmptyUrlBecomesNone()
{
    testkit::Session s;
    QVERIFY(s.open({{"site", "www.site.example"}, {"other", "o"}}));
    QPointer<frmEditThisSite> editor = openEditorAt(s.main, 0);
    QVERIFY(editor);

    editor->txtname->clear();
    editor->txtURL->clear();
    QTest::mouseClick(editor->Command2, Qt::LeftButton);
    QCOMPARE(s.boxes.boxes.size(), 1);
    QCOMPARE(s.boxes.boxes[0].text, QStringLiteral("You must fill the site name box!"));
    QCOMPARE(s.boxes.boxes[0].title, QStringLiteral("Warning"));
    QCOMPARE(s.boxes.boxes[0].style, 48);
    QCOMPARE(Forms::find<frmEditThisSite>(), editor.data());
    // The name is tested first: the address box stays empty.
    QCOMPARE(editor->txtURL->text(), QString());
    QCOMPARE(s.file.links(), QList<Link>({{"site", "www.site.example"}, {"other", "o"}}));

    // Enter in a box presses "Save".
    QTest::keyClicks(editor->txtname, "renamed");
    QTest::keyClick(editor->txtURL, Qt::Key_Return);
    QVERIFY(!Forms::find<frmEditThisSite>());
    QCOMPARE(s.file.links(), QList<Link>({{"renamed", "None"}, {"other", "o"}}));
    QCOMPARE(s.boxes.boxes.size(), 1);
}

void tst_editsites::save_renameToOtherNameAndCaseChangeAsTyped()
{
    testkit::Session s;
    QVERIFY(s.open({{"Alpha", "a"}, {"beta", "b"}, {"gamma", "g"}}));

    frmEditThisSite* editor = openEditorAt(s.main, 1);
    QVERIFY(editor);
    editor->txtname->setText(QStringLiteral("Alpha"));
    QTest::mouseClick(editor->Command2, Qt::LeftButton);
    QVERIFY(s.boxes.boxes.isEmpty());
    QCOMPARE(s.file.links(), QList<Link>({{"Alpha", "a"}, {"Alpha", "b"}, {"gamma", "g"}}));
    QCOMPARE(entries(s.main->List1), QStringList({"Alpha", "Alpha", "gamma"}));

    editor = openEditorAt(s.main, 2);
    QVERIFY(editor);
    editor->txtname->setText(QStringLiteral("GAMMA"));
    QTest::mouseClick(editor->Command2, Qt::LeftButton);
    QCOMPARE(s.file.links(), QList<Link>({{"Alpha", "a"}, {"Alpha", "b"}, {"GAMMA", "g"}}));
    QCOMPARE(s.main->lblTotalContacts->text(), QStringLiteral("3"));
}

void tst_editsites::save_changesOnlyThePickedOfEqualNames()
{
    testkit::Session s;
    QVERIFY(s.open({{"Same", "one"}, {"Same", "two"}, {"x", "y"}}));

    frmEditThisSite* editor = openEditorAt(s.main, 1);
    QVERIFY(editor);
    QCOMPARE(editor->txtURL->text(), QStringLiteral("two"));
    editor->txtURL->setText(QStringLiteral("changed"));
    QTest::mouseClick(editor->Command2, Qt::LeftButton);
    QCOMPARE(s.file.links(), QList<Link>({{"Same", "one"}, {"Same", "changed"}, {"x", "y"}}));
}

void tst_editsites::save_afterLinkGoneWritesNothingAndKeepsRunning_data()
{
    // "reused": "precious" was added next and took the edited link's identity. "otherCopy": SQL
    // another copy of the program runs meanwhile instead.
    QTest::addColumn<bool>("reused");
    QTest::addColumn<QByteArray>("otherCopy");
    QTest::newRow("deleted") << false << QByteArray();
    QTest::newRow("identity reused") << true << QByteArray();
    QTest::newRow("address changed by another copy")
        << false << QByteArray("UPDATE links SET URL = 'elsewhere' WHERE SiteName = 'gamma';");
    QTest::newRow("name changed by another copy")
        << false << QByteArray("UPDATE links SET SiteName = 'Gamma' WHERE SiteName = 'gamma';");
}

void tst_editsites::save_afterLinkGoneWritesNothingAndKeepsRunning()
{
    QFETCH(bool, reused);
    QFETCH(QByteArray, otherCopy);
    testkit::Session s;
    QVERIFY(s.open({{"Alpha", "a"}, {"beta", "b"}, {"gamma", "g"}}));
    frmEditThisSite* editor = openEditorAt(s.main, 2);
    QVERIFY(editor);
    QCOMPARE(editor->txtname->text(), QStringLiteral("gamma"));
    editor->txtURL->setText(QStringLiteral("new address"));

    if (!otherCopy.isEmpty()) {
        QVERIFY(s.file.writeFromAnotherProcess(otherCopy));
    } else {
        // Meanwhile the user deletes that link in the main window, and perhaps adds another.
        clickEntry(s.main->List1, 2);
        QCOMPARE(s.main->lblSiteName->text(), QStringLiteral("gamma"));
        testkit::triggerAction(s.main->mnuDeleteSelectedContact, "mnuDeleteSelectedContact");
    }
    if (reused)
        s.file.addLinks({{"precious", "p"}});
    const QList<Link> after = s.file.links();
    s.main->PutInTheListTheRecords();
    const MainState before = stateOf(s.main);
    s.boxes.boxes.clear();

    QTest::mouseClick(editor->Command2, Qt::LeftButton);
    QCOMPARE(s.boxes.texts(),
             QStringList{"This site link was deleted or changed meanwhile, so your changes were not "
                         "saved. The list now shows the links as they are."});
    QCOMPARE(s.boxes.boxes[0].title, QStringLiteral("Warning"));
    QCOMPARE(s.boxes.boxes[0].style, 48);
    QVERIFY(!Forms::find<frmEditThisSite>());
    QCOMPARE(s.file.links(), after);
    QVERIFY(stateOf(s.main) == before);
    QCoreApplication::processEvents();
    QVERIFY(!kit::hasEnded());
    QCOMPARE(Forms::find<frmMain>(), s.main.data());
}

void tst_editsites::cancel_writesNothingAndLeavesMainAlone()
{
    testkit::Session s;
    const QList<Link> links{{"Alpha", "a"}, {"beta", "b"}};
    QVERIFY(s.open(links));
    frmEditThisSite* editor = openEditorAt(s.main, 1);
    QVERIFY(editor);
    const MainState before = stateOf(s.main);

    editor->txtname->setText(QStringLiteral("changed"));
    editor->txtURL->setText(QStringLiteral("changed too"));
    QTest::mouseClick(editor->Command1, Qt::LeftButton);
    QVERIFY(!Forms::find<frmEditThisSite>());
    QCOMPARE(s.file.links(), links);
    QVERIFY(stateOf(s.main) == before);
    QVERIFY(s.boxes.boxes.isEmpty());
}

QTEST_MAIN(tst_editsites)
#include "tst_editsites.moc"
