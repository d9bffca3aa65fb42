// The About box opened from the real main window, and the icon every window carries.

#include "app/Startup.h"
#include "app/frmMain.h"
#include "forms/about/frmAbout.h"
#include "testkit/TestKit.h"
#include "testkit/Windows.h"
#include "windowkit/AppIcon.h"
#include "windowkit/Forms.h"
#include "windowkit/Lifecycle.h"
#include "windowkit/ListBox.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>

namespace {

QList<frmAbout*> visibleAboutBoxes()
{
    QList<frmAbout*> found;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* about = qobject_cast<frmAbout*>(w); about && about->isVisible())
            found.append(about);
    }
    return found;
}

// The program up to its main window, with two links.
struct Session : testkit::Session {
    Session() { open({{"beta", "www.beta.example"}, {"Alpha", "http://alpha.example"}}); }
    void about() { testkit::triggerAction(main ? main->mnuAbout : nullptr, "mnuAbout"); }
};

} // namespace

class tst_about : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup();

    void aboutTwice_oneBoxBroughtToFront();
    void aboutBox_textsAndLook();
    void mainWindow_staysUsableWhileAboutIsOpen();
    void close_removesOnlyTheAboutBox();
    void windowIcon_drawnInThreeSizesForEveryWindow();
};

void tst_about::cleanup()
{
    testkit::resetApplication();
}

void tst_about::aboutTwice_oneBoxBroughtToFront()
{
    Session s;
    QVERIFY(s.main);
    s.about();
    QPointer<frmAbout> first = Forms::find<frmAbout>();
    QVERIFY(first);
    QVERIFY(QTest::qWaitForWindowExposed(first));

    s.main->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), s.main.data());
    s.about();
    QCOMPARE(Forms::find<frmAbout>(), first.data());
    QCOMPARE(visibleAboutBoxes(), QList<frmAbout*>({first.data()}));
    QTRY_COMPARE(QApplication::activeWindow(), first.data());
    QVERIFY(s.boxes.boxes.isEmpty());
}

void tst_about::aboutBox_textsAndLook()
{
    Session s;
    QVERIFY(s.main);
    s.about();
    frmAbout* about = Forms::find<frmAbout>();
    QVERIFY(about);
    QVERIFY(QTest::qWaitForWindowExposed(about));

    // No title bar, no title-bar buttons and a fixed size.
    QVERIFY(about->windowTitle().isEmpty());
    QVERIFY(about->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(!(about->windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint)));
    QCOMPARE(about->minimumSize(), about->maximumSize());
    QCOMPARE(about->palette().color(QPalette::Window), QColor(0, 192, 192));
    QVERIFY(about->autoFillBackground());
    const QRect screen = about->screen()->availableGeometry();
    QVERIFY2((about->frameGeometry().center() - screen.center()).manhattanLength() <= 2, "not centred");

    QCOMPARE(about->Label1->text(), QStringLiteral("Orvane Tessary"));
    QVERIFY(about->Label1->alignment() & Qt::AlignHCenter);
    const QList<std::pair<QLabel*, QString>> rows{
        {about->Label2, QStringLiteral("Programmer :")},
        {about->Label3, QStringLiteral("Valdric")},
        {about->Label4, QStringLiteral("Copyright :")},
        {about->Label5, QStringLiteral("2026")},
        {about->Label6, QStringLiteral("E-Mail :")},
        {about->Label7, QStringLiteral("support@tessary.example.com")},
    };
    for (const auto& [label, text] : rows) {
        QCOMPARE(label->text(), text);
        QCOMPARE(label->textFormat(), Qt::PlainText);
    }

    const QPixmap picture = about->Picture1->pixmap();
    QVERIFY(!picture.isNull());
    QCOMPARE(picture.size(), QSize(150, 142));
    QCOMPARE(about->Picture1->contentsRect().size(), QSize(150, 142));

    QCOMPARE(about->Command1->text(), QStringLiteral("Close"));
    QCOMPARE(about->focusWidget(), about->Command1);

    // Clicking the labels or the picture does nothing.
    QTest::mouseClick(about->Label7, Qt::LeftButton);
    QTest::mouseClick(about->Picture1, Qt::LeftButton);
    QCOMPARE(Forms::find<frmAbout>(), about);
    QVERIFY(s.opener->opened.isEmpty());
}

void tst_about::mainWindow_staysUsableWhileAboutIsOpen()
{
    Session s;
    QVERIFY(s.main);
    s.about();
    QPointer<frmAbout> about = Forms::find<frmAbout>();
    QVERIFY(about);
    QVERIFY(QTest::qWaitForWindowExposed(about));

    // A click on the list's second entry selects it and shows its link.
    ListBox* list = s.main->List1;
    QCOMPARE(list->List(1), QStringLiteral("beta"));
    const QRect second = list->visualRect(list->model()->index(1, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(list->ListIndex(), 1);
    QCOMPARE(s.main->lblSiteName->text(), QStringLiteral("beta"));
    QCOMPARE(s.main->lblURL->text(), QStringLiteral("www.beta.example"));

    QTest::mouseClick(s.main->Command1, Qt::LeftButton);
    testkit::triggerAction(s.main->mnuFourm, "mnuFourm");
    QCOMPARE(s.opener->opened, QStringList({"www.beta.example", "http://forum.tessary.example.com"}));
    QVERIFY(about);
    QVERIFY(about->isVisible());
    QVERIFY(s.boxes.boxes.isEmpty());
}

void tst_about::close_removesOnlyTheAboutBox()
{
    Session s;
    QVERIFY(s.main);
    const QList<testkit::Link> storedBefore = s.file.links();
    const QString name = s.main->lblSiteName->text();
    const QString url = s.main->lblURL->text();
    const QString count = s.main->lblTotalContacts->text();

    s.about();
    QPointer<frmAbout> first = Forms::find<frmAbout>();
    QVERIFY(first);
    QTest::mouseClick(first->Command1, Qt::LeftButton);
    QVERIFY(!Forms::find<frmAbout>());
    QVERIFY(visibleAboutBoxes().isEmpty());
    QTRY_VERIFY(first.isNull());

    QVERIFY(!kit::hasEnded());
    QCOMPARE(Forms::find<frmMain>(), s.main.data());
    QVERIFY(s.main->isVisible());
    QCOMPARE(s.main->lblSiteName->text(), name);
    QCOMPARE(s.main->lblURL->text(), url);
    QCOMPARE(s.main->lblTotalContacts->text(), count);
    QCOMPARE(s.main->List1->ListCount(), 2);
    QCOMPARE(s.file.links(), storedBefore);
    QVERIFY(s.boxes.boxes.isEmpty());
    QVERIFY(s.opener->opened.isEmpty());

    // The next About is a new box; Enter on its focused button closes it too, as does Alt+F4.
    s.about();
    QPointer<frmAbout> second = Forms::find<frmAbout>();
    QVERIFY(second);
    QVERIFY(QTest::qWaitForWindowExposed(second));
    QTest::keyClick(second->Command1, Qt::Key_Return);
    QVERIFY(!Forms::find<frmAbout>());

    s.about();
    QPointer<frmAbout> third = Forms::find<frmAbout>();
    QVERIFY(third);
    QVERIFY(third->close());
    QVERIFY(!Forms::find<frmAbout>());
    QVERIFY(!kit::hasEnded());
    QVERIFY(s.main->isVisible());
}

void tst_about::windowIcon_drawnInThreeSizesForEveryWindow()
{
    const QIcon icon = kit::windowIcon();
    const QList<QSize> sizes = icon.availableSizes();
    for (int size : {16, 32, 48}) {
        QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QStringLiteral("no %1 px icon").arg(size)));
        // Drawn at that size, not scaled from another: the pixmap is there and not blank.
        const QImage image = icon.pixmap(QSize(size, size)).toImage();
        QCOMPARE(image.size(), QSize(size, size));
        QVERIFY(image.pixelColor(size / 2, size / 2).alpha() > 0);
    }

    // The start of the program sets it for the whole application: every window shows it.
    testkit::Session s;
    s.file.setOther(1, "No");
    QApplication::setWindowIcon(QIcon());
    app::start();
    QCOMPARE(QApplication::windowIcon().availableSizes(), sizes);
    Forms::show<frmMain>();
    frmAbout* about = Forms::show<frmAbout>();
    QVERIFY(about);
    QCOMPARE(about->windowIcon().cacheKey(), QApplication::windowIcon().cacheKey());
    QCOMPARE(Forms::find<frmMain>()->windowIcon().cacheKey(), QApplication::windowIcon().cacheKey());
}

QTEST_MAIN(tst_about)
#include "tst_about.moc"
