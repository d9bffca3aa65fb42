// The New Site window driven from the main window: typing, "Ok" and "Cancel", then the file,
// the boxes and the main window are read back.

#include "app/frmMain.h"
#include "forms/edit/frmNewSite.h"
#include "testkit/TestKit.h"
#include "testkit/Windows.h"
#include "windowkit/Forms.h"
#include "windowkit/Lifecycle.h"
#include "windowkit/ListBox.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

using testkit::entries;
using testkit::Link;

namespace {

frmNewSite* openNewSite(frmMain* main)
{
    testkit::triggerAction(main->mnuNewContact, "mnuNewContact");
    frmNewSite* form = Forms::find<frmNewSite>();
    if (form && !QTest::qWaitForWindowActive(form))
        return nullptr;
    return form;
}

// Types the name, Tab, the address, as a person fills the window from its first box.
void fill(frmNewSite* form, const QString& name, const QString& url)
{
    form->txtname->clear();
    form->txtURL->clear();
    form->txtname->setFocus();
    QTest::keyClicks(QApplication::focusWidget(), name);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClicks(QApplication::focusWidget(), url);
}

} // namespace

class tst_newsite : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { testkit::resetApplication(); }

    void opensEmptyWithTheNameBoxFocusedAndEnterPressesNothing();
    void emptyNameRefusedBeforeAddressBecomesNoneAndBlanksOnlyAccepted();
    void exactDuplicateRefusedWhileCaseAndBlankVariantsAreAdded();
    void okRebuildsMainListAndCountAndLeavesTheDetailsAlone();
    void oneWindowKeepsItsInputAndIsEmptyAfterCancel();
    void okAfterDeleteAllInMainAddsTheOneLink();
};

void tst_newsite::opensEmptyWithTheNameBoxFocusedAndEnterPressesNothing()
{
    testkit::Session s;
    QVERIFY(s.open());
    frmNewSite* form = openNewSite(s.main);
    QVERIFY(form);

    QCOMPARE(form->windowTitle(), QStringLiteral("New  Site Information"));
    QVERIFY(!(form->windowFlags() & Qt::WindowCloseButtonHint));
    QCOMPARE(QApplication::focusWidget(), form->txtname);
    QVERIFY(form->txtname->text().isEmpty());
    QVERIFY(form->txtURL->text().isEmpty());

    // Neither button answers Enter: in a box, or on a focused button.
    QTest::keyClicks(form->txtname, "site");
    QTest::keyClick(form->txtname, Qt::Key_Return);
    form->Command2->setFocus();
    QTest::keyClick(form->Command2, Qt::Key_Return);
    QCOMPARE(Forms::find<frmNewSite>(), form);
    QCOMPARE(s.file.linkCount(), 0);
    QVERIFY(s.boxes.boxes.isEmpty());
}

void tst_newsite::emptyNameRefusedBeforeAddressBecomesNoneAndBlanksOnlyAccepted()
{
    testkit::Session s;
    QVERIFY(s.open());
    QPointer<frmNewSite> form = openNewSite(s.main);
    QVERIFY(form);

    QTest::mouseClick(form->Command2, Qt::LeftButton);
    QCOMPARE(s.boxes.boxes.size(), 1);
    QCOMPARE(s.boxes.boxes[0].text, QStringLiteral("You must fill the site name box!"));
    QCOMPARE(s.boxes.boxes[0].title, QStringLiteral("Warning"));
    QCOMPARE(s.boxes.boxes[0].style, 48);
    QCOMPARE(form->txtURL->text(), QString());
    QCOMPARE(Forms::find<frmNewSite>(), form.data());
    QCOMPARE(s.file.linkCount(), 0);

    fill(form, "   ", "");
    QTest::mouseClick(form->Command2, Qt::LeftButton);
    QCOMPARE(s.boxes.boxes.size(), 1);
    QVERIFY(!Forms::find<frmNewSite>());
    QCOMPARE(s.file.links(), QList<Link>({{"   ", "None"}}));
    QCOMPARE(s.main->lblTotalContacts->text(), QStringLiteral("1"));
    QCOMPARE(entries(s.main->List1), QStringList({"   "}));
}

void tst_newsite::exactDuplicateRefusedWhileCaseAndBlankVariantsAreAdded()
{
    testkit::Session s;
    QVERIFY(s.open({{"Alpha", "a"}, {"O'Brien's", "o"}}));

    for (const QString& taken : {QStringLiteral("Alpha"), QStringLiteral("O'Brien's")}) {
        frmNewSite* form = openNewSite(s.main);
        QVERIFY(form);
        fill(form, taken, "");
        s.boxes.boxes.clear();
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        QCOMPARE(s.boxes.texts(), QStringList({"This contact already exists !"}));
        QCOMPARE(s.boxes.boxes[0].title, QStringLiteral("Warning"));
        QCOMPARE(s.boxes.boxes[0].style, 64);
        // The empty address became "None" before the duplicate stopped the step.
        QCOMPARE(form->txtURL->text(), QStringLiteral("None"));
        QCOMPARE(Forms::find<frmNewSite>(), form);
        QCOMPARE(s.file.linkCount(), 2);
        QTest::mouseClick(form->Command1, Qt::LeftButton);
    }

    // Differ in letter case or an outer blank: not the same name.
    for (const QString& variant : {QStringLiteral("alpha"), QStringLiteral("Alpha "), QStringLiteral(" Alpha")}) {
        frmNewSite* form = openNewSite(s.main);
        QVERIFY(form);
        fill(form, variant, "v");
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        QVERIFY2(!Forms::find<frmNewSite>(), qPrintable(variant));
    }
    QCOMPARE(s.file.links(),
             QList<Link>({{"Alpha", "a"}, {"O'Brien's", "o"}, {"alpha", "v"}, {"Alpha ", "v"}, {" Alpha", "v"}}));
    QCOMPARE(s.boxes.boxes.size(), 1);
}

void tst_newsite::okRebuildsMainListAndCountAndLeavesTheDetailsAlone()
{
    testkit::Session s;
    QVERIFY(s.open({{"beta", "b"}, {"Alpha", "a"}}));
    QCOMPARE(s.main->lblSiteName->text(), QStringLiteral("Alpha"));

    frmNewSite* form = openNewSite(s.main);
    QVERIFY(form);
    fill(form, "gamma", "www.gamma.example");
    QTest::mouseClick(form->Command2, Qt::LeftButton);

    QCOMPARE(s.file.links(), QList<Link>({{"beta", "b"}, {"Alpha", "a"}, {"gamma", "www.gamma.example"}}));
    QCOMPARE(s.main->lblTotalContacts->text(), QStringLiteral("3"));
    QCOMPARE(entries(s.main->List1), QStringList({"Alpha", "beta", "gamma"}));
    QCOMPARE(s.main->List1->ListIndex(), -1);
    QCOMPARE(s.main->lblSiteName->text(), QStringLiteral("Alpha"));
    QCOMPARE(s.main->lblURL->text(), QStringLiteral("a"));
    QVERIFY(!s.main->mnuDeleteSelectedContact->isEnabled()); // nothing is selected
    QVERIFY(s.boxes.boxes.isEmpty());
    QVERIFY(!kit::hasEnded());
}

void tst_newsite::oneWindowKeepsItsInputAndIsEmptyAfterCancel()
{
    testkit::Session s;
    QVERIFY(s.open({{"kept", "k"}}));
    QPointer<frmNewSite> first = openNewSite(s.main);
    QVERIFY(first);
    fill(first, "half typed", "www.half.example");

    s.main->activateWindow();
    frmNewSite* again = openNewSite(s.main);
    QCOMPARE(again, first.data());
    QCOMPARE(again->txtname->text(), QStringLiteral("half typed"));
    QCOMPARE(again->txtURL->text(), QStringLiteral("www.half.example"));

    QTest::mouseClick(again->Command1, Qt::LeftButton);
    QVERIFY(!Forms::find<frmNewSite>());
    QCOMPARE(s.file.links(), QList<Link>({{"kept", "k"}}));
    QCOMPARE(s.main->lblTotalContacts->text(), QStringLiteral("1"));

    frmNewSite* fresh = openNewSite(s.main);
    QVERIFY(fresh);
    QVERIFY(fresh->txtname->text().isEmpty());
    QVERIFY(fresh->txtURL->text().isEmpty());
}

void tst_newsite::okAfterDeleteAllInMainAddsTheOneLink()
{
    testkit::Session s;
    QVERIFY(s.open({{"one", "1"}, {"two", "2"}, {"three", "3"}}));
    frmNewSite* form = openNewSite(s.main);
    QVERIFY(form);
    fill(form, "two", "again");

    testkit::triggerAction(s.main->mnuDeleteAllContacts, "mnuDeleteAllContacts");
    QCOMPARE(s.file.linkCount(), 0);

    // "two" was taken when it was typed, but the table is read afresh at "Ok".
    QTest::mouseClick(form->Command2, Qt::LeftButton);
    QCOMPARE(s.file.links(), QList<Link>({{"two", "again"}}));
    QCOMPARE(s.main->lblTotalContacts->text(), QStringLiteral("1"));
    QCOMPARE(entries(s.main->List1), QStringList({"two"}));
    QCOMPARE(s.boxes.texts(), QStringList({"Are you sure you want to delete all your contacts ?"}));
}

QTEST_MAIN(tst_newsite)
#include "tst_newsite.moc"
