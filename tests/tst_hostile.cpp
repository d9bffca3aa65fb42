// Hostile names and addresses through the real windows: each is stored exactly, listed,
// selected, opened unchanged, edited and deleted as exactly that record, beside neighbours that
// stay untouched.
#include "app/frmMain.h"
#include "forms/edit/frmEditSites.h"
#include "forms/edit/frmEditThisSite.h"
#include "forms/edit/frmNewSite.h"
#include "testkit/TestKit.h"
#include "testkit/Windows.h"
#include "windowkit/Forms.h"
#include "windowkit/ListBox.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using testkit::indexOf;
using testkit::Link;

namespace {
// Web and mail addresses go straight to the desktop; others are asked about first; a blank one
// is nothing to open.
enum class Opening { Straight, Asked, Nothing };
} // namespace
Q_DECLARE_METATYPE(Opening)

class TestHostile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { testkit::resetApplication(); }

    void storedListedOpenedEditedAndDeletedExactly_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("url");
        QTest::addColumn<Opening>("opening"); // how "Open Link" treats the address
        QTest::newRow("apostrophes") << "O'Brien's 'quoted'"
                                     << "http://x.example/?q='1'" << Opening::Straight;
        QTest::newRow("double quotes") << "\"Best\" \"\"site\"\""
                                       << "http://x.example/\"a\"" << Opening::Straight;
        QTest::newRow("like wildcards") << "100% _under_ *star* ?q? #1 [a-z] [!b]"
                                        << "http://x.example/%20_*?" << Opening::Straight;
        QTest::newRow("backslashes") << "back\\slash\\\\"
                                     << "file:\\\\server\\share" << Opening::Asked;
        QTest::newRow("SQL") << "'; DROP TABLE links; --"
                             << "x'); DELETE FROM Other; --" << Opening::Asked;
        QTest::newRow("right-to-left") << QString::fromUtf8("مرحبا بالعالم \u202Eevil")
                                       << QString::fromUtf8("http://مثال.example/") << Opening::Straight;
        QTest::newRow("emoji") << QString::fromUtf8("😀🔗 links 👩‍💻")
                               << QString::fromUtf8("http://x.example/😀") << Opening::Straight;
        QTest::newRow("combining marks") << QString::fromUtf8("e\u0301te\u0301 Z\u0351\u0352")
                                         << "http://x.example/e\u0301" << Opening::Straight;
        QTest::newRow("blanks only") << "   "
                                     << "   " << Opening::Nothing;
        QTest::newRow("outer blanks") << "  padded  "
                                      << " http://x.example/ " << Opening::Asked;
        QTest::newRow("markup") << "<b>bold</b> &amp;"
                                << "<a href=x>y</a>" << Opening::Asked;
        QTest::newRow("100,000 characters")
            << QString(100000, QLatin1Char('n')) << QString(100000, QLatin1Char('u')) << Opening::Asked;
    }

    void storedListedOpenedEditedAndDeletedExactly()
    {
        QFETCH(QString, name);
        QFETCH(QString, url);
        QFETCH(Opening, opening);
        testkit::Session s;
        // Neighbours that a loose match would catch: the trimmed name, another case, the same start.
        const QList<Link> neighbours = {{name.trimmed().isEmpty() ? "x" : name.trimmed() + "x", "n1"},
                                        {name.toUpper() + "!", "n2"},
                                        {"alpha", "n3"}};
        QVERIFY(s.open(neighbours));

        // Stored exactly.
        testkit::triggerAction(s.main->mnuNewContact, "mnuNewContact");
        frmNewSite* add = Forms::find<frmNewSite>();
        QVERIFY(add);
        add->txtname->setText(name);
        add->txtURL->setText(url);
        QTest::mouseClick(add->Command2, Qt::LeftButton);
        QCOMPARE(s.boxes.boxes.size(), 0);
        const QList<Link> added = neighbours + QList<Link>{{name, url}};
        QCOMPARE(s.file.links(), added);

        // Listed, selected and opened as exactly that record.
        const int row = indexOf(s.main->List1, name);
        QVERIFY(row >= 0);
        QCOMPARE(s.main->lblTotalContacts->text(), QStringLiteral("4"));
        s.main->List1->setListIndex(row);
        QCOMPARE(s.main->lblSiteName->text(), name);
        QCOMPARE(s.main->lblURL->text(), url);
        if (opening == Opening::Asked)
            s.boxes.answerNext(platform::MsgAnswer::Yes);
        QTest::mouseClick(s.main->Command1, Qt::LeftButton);
        QCOMPARE(s.opener->opened, opening == Opening::Nothing ? QStringList() : QStringList{url});
        QCOMPARE(s.boxes.boxes.size(), opening == Opening::Straight ? 0 : 1);
        if (opening == Opening::Asked)
            QCOMPARE(s.boxes.boxes[0].style, 4 + 48 + 256);
        s.boxes.boxes.clear();

        // Edited as exactly that record.
        testkit::triggerAction(s.main->mnuEditSite, "mnuEditSite");
        frmEditSites* choose = Forms::find<frmEditSites>();
        QVERIFY(choose);
        choose->List1->setListIndex(indexOf(choose->List1, name));
        frmEditThisSite* edit = Forms::find<frmEditThisSite>();
        QVERIFY(edit);
        QCOMPARE(edit->txtname->text(), name);
        QCOMPARE(edit->txtURL->text(), url);
        edit->txtname->setText(name + QStringLiteral("'2"));
        edit->txtURL->setText(url + QStringLiteral("'2"));
        QTest::mouseClick(edit->Command2, Qt::LeftButton);
        const QList<Link> edited = neighbours + QList<Link>{{name + "'2", url + "'2"}};
        QCOMPARE(s.file.links(), edited);

        // Deleted as exactly that record.
        s.main->List1->setListIndex(indexOf(s.main->List1, name + QStringLiteral("'2")));
        QCOMPARE(s.main->lblURL->text(), url + QStringLiteral("'2"));
        testkit::triggerAction(s.main->mnuDeleteSelectedContact, "mnuDeleteSelectedContact");
        QCOMPARE(s.boxes.texts(), QStringList{"Are you sure you want to delete this site link ?"});
        QCOMPARE(s.file.links(), neighbours);
        QCOMPARE(s.main->List1->ListCount(), 3);
    }
};

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
