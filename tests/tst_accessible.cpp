// What assistive technology reads, asked through Qt's accessibility interfaces as a screen reader
// would: every window's controls say what they show, never an internal object name, and the main
// window's values follow the link and count it shows after real changes.

#include "app/frmMain.h"
#include "forms/about/frmAbout.h"
#include "forms/backups/frmRestore.h"
#include "forms/edit/frmEditSites.h"
#include "forms/edit/frmEditThisSite.h"
#include "forms/edit/frmNewSite.h"
#include "forms/find/frmFindSite.h"
#include "forms/linkcheck/frmCheckLinks.h"
#include "forms/protect/frmFirstTime.h"
#include "forms/protect/frmLogIn.h"
#include "forms/protect/frmOptions.h"
#include "forms/protect/frmPassword.h"
#include "forms/protect/frmPasswordProtected.h"
#include "platform/MessageBox.h"
#include "testkit/TestKit.h"
#include "testkit/Windows.h"
#include "windowkit/Forms.h"
#include "windowkit/ListBox.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

using testkit::clickEntry;

namespace {

// The designer names a person must never hear.
const QRegularExpression InternalName(
    QStringLiteral("^(lbl|txt|mnu|frm|Command[0-9]|List[0-9]|Combo[0-9]|Label[0-9]|Picture[0-9]|client$)"));

// Every accessible object below iface (itself included).
void walk(QAccessibleInterface* iface, const std::function<void(QAccessibleInterface*)>& visit, int depth = 0)
{
    if (!iface || depth > 12)
        return;
    visit(iface);
    for (int i = 0; i < iface->childCount(); ++i)
        walk(iface->child(i), visit, depth + 1);
}

// What a reader announces for a widget: its name, and its text when it offers a text interface.
QString heard(QWidget* widget)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
    if (!iface)
        return QStringLiteral("<no interface>");
    const QString name = iface->text(QAccessible::Name);
    if (QAccessibleTextInterface* text = iface->textInterface()) {
        const QString read = text->text(0, text->characterCount());
        if (read != name)
            return QStringLiteral("<named \"%1\", reads \"%2\">").arg(name, read);
    }
    return name;
}

// The problems a reader would meet in window: internal names, and labels heard otherwise than shown.
QStringList problemsIn(QWidget* window)
{
    QStringList problems;
    walk(QAccessible::queryAccessibleInterface(window), [&](QAccessibleInterface* iface) {
        for (const QAccessible::Text t : {QAccessible::Name, QAccessible::Description}) {
            const QString said = iface->text(t);
            if (InternalName.match(said).hasMatch())
                problems << QStringLiteral("announced as \"%1\"").arg(said);
        }
        if (auto* label = qobject_cast<QLabel*>(iface->object())) {
            if (label->pixmap().isNull() && iface->text(QAccessible::Name) != label->text())
                problems << QStringLiteral("label \"%1\" heard as \"%2\"")
                                .arg(label->text(), iface->text(QAccessible::Name));
        }
        if (auto* button = qobject_cast<QPushButton*>(iface->object())) {
            if (iface->text(QAccessible::Name) != QString(button->text()).remove(QLatin1Char('&')))
                problems << QStringLiteral("button \"%1\" heard as \"%2\"")
                                .arg(button->text(), iface->text(QAccessible::Name));
        }
    });
    return problems;
}

template <typename T> std::function<QWidget*()> made()
{
    return [] { return new T(); };
}

} // namespace

class tst_accessible : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { testkit::resetApplication(); }

    void everyWindowSaysWhatItShows_data();
    void everyWindowSaysWhatItShows();
    void messageBoxesSayWhatTheyShow();
    void mainWindowValuesFollowWhatItShows();
};

void tst_accessible::everyWindowSaysWhatItShows_data()
{
    QTest::addColumn<std::function<QWidget*()>>("make");
    QTest::newRow("main") << made<frmMain>();
    QTest::newRow("new link") << made<frmNewSite>();
    QTest::newRow("choose a link") << made<frmEditSites>();
    QTest::newRow("edit one link") << made<frmEditThisSite>();
    QTest::newRow("about") << made<frmAbout>();
    QTest::newRow("welcome") << made<frmFirstTime>();
    QTest::newRow("protection choice") << made<frmPassword>();
    QTest::newRow("credentials") << made<frmPasswordProtected>();
    QTest::newRow("log-in") << made<frmLogIn>();
    QTest::newRow("options") << made<frmOptions>();
    QTest::newRow("find a link") << made<frmFindSite>();
    QTest::newRow("check links") << made<frmCheckLinks>();
    QTest::newRow("restore from backup") << made<frmRestore>();
}

void tst_accessible::everyWindowSaysWhatItShows()
{
    QFETCH(std::function<QWidget*()>, make);
    std::unique_ptr<QWidget> window(make());
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    const QStringList problems = problemsIn(window.get());
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));
}

void tst_accessible::messageBoxesSayWhatTheyShow()
{
    // The real box, not the tests' recorder: looked at while it is up, then answered.
    platform::setMessageBoxProvider(nullptr);
    QStringList problems;
    QString text;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        QVERIFY(box);
        problems = problemsIn(box);
        walk(QAccessible::queryAccessibleInterface(box), [&](QAccessibleInterface* iface) {
            if (iface->text(QAccessible::Name).contains(QStringLiteral("delete this site link")))
                text = iface->text(QAccessible::Name);
        });
        QTest::keyClick(box, Qt::Key_Escape);
    });
    platform::MsgBox(QStringLiteral("Are you sure you want to delete this site link ?"), platform::MsgStyle::YesNo,
                     QStringLiteral("Warning"));
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));
    QCOMPARE(text, QStringLiteral("Are you sure you want to delete this site link ?"));
}

void tst_accessible::mainWindowValuesFollowWhatItShows()
{
    testkit::Session s;
    QVERIFY(s.open({{"beta", "www.beta.example"}, {"Alpha", "http://alpha.example"}}));

    struct Heard {
        QString name, url, count;
        bool operator==(const Heard&) const = default;
    };
    const auto now = [&s] {
        return Heard{heard(s.main->lblSiteName), heard(s.main->lblURL), heard(s.main->lblTotalContacts)};
    };
    QCOMPARE(QAccessible::queryAccessibleInterface(s.main->lblSiteName)->text(QAccessible::Description),
             QStringLiteral("Site name"));
    QCOMPARE(QAccessible::queryAccessibleInterface(s.main->lblURL)->text(QAccessible::Description),
             QStringLiteral("Address"));
    QCOMPARE(QAccessible::queryAccessibleInterface(s.main->lblTotalContacts)->text(QAccessible::Description),
             QStringLiteral("Number of links"));
    QVERIFY(now() == (Heard{"Alpha", "http://alpha.example", "2"}));

    clickEntry(s.main->List1, 1);
    QVERIFY(now() == (Heard{"beta", "www.beta.example", "2"}));
    // Labels of fixed size and list entries cut long texts: their tooltips hold them whole.
    QCOMPARE(s.main->lblSiteName->toolTip(), QStringLiteral("beta"));
    QCOMPARE(s.main->lblURL->toolTip(), QStringLiteral("www.beta.example"));
    QCOMPARE(s.main->List1->model()->index(1, 0).data(Qt::ToolTipRole).toString(), QStringLiteral("beta"));
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(s.main->List1);
    QCOMPARE(list->text(QAccessible::Name), QStringLiteral("Sites"));

    testkit::triggerAction(s.main->mnuNewContact, "mnuNewContact");
    frmNewSite* add = Forms::find<frmNewSite>();
    QVERIFY(add);
    QTest::keyClicks(add->txtname, "gamma");
    QTest::mouseClick(add->Command2, Qt::LeftButton);
    QVERIFY(now() == (Heard{"beta", "www.beta.example", "3"}));

    clickEntry(s.main->List1, 1);
    testkit::triggerAction(s.main->mnuDeleteSelectedContact, "mnuDeleteSelectedContact");
    QVERIFY(now() == (Heard{"", "", "2"}));
    testkit::triggerAction(s.main->mnuDeleteAllContacts, "mnuDeleteAllContacts");
    QVERIFY(now() == (Heard{"", "", "0"}));
    const QStringList problems = problemsIn(s.main);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));
}

QTEST_MAIN(tst_accessible)
#include "tst_accessible.moc"
