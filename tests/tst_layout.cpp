// Where the windows and their controls sit, in twips as designed, with the fonts whose size decides
// whether a caption fits. One row per window or control; a window row is the window itself.

#include "testkit/TestKit.h"
#include "testkit/Windows.h"
#include "windowkit/Form.h"

#include <QLabel>
#include <QMenuBar>
#include <QTest>

namespace {

// Twips to pixels, rounded as the windows round them.
QRect pixels(const QRect& twips)
{
    return {Form::twips(twips.x()), Form::twips(twips.y()), Form::twips(twips.width()),
            Form::twips(twips.height())};
}

} // namespace

class tst_layout : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { testkit::resetApplication(); }

    void placedAsDesigned_data();
    void placedAsDesigned();
};

void tst_layout::placedAsDesigned_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<qreal>("points"); // 0: the font is not checked
    QTest::addColumn<bool>("bold");

    auto row = [](const char* window, const char* control, QRect twips, qreal points = 0, bool bold = false) {
        QTest::addRow("%s %s", window, control) << window << control << twips << points << bold;
    };
    row("frmMain", "client", {0, 0, 5310, 4710});
    row("frmMain", "List1", {0, 0, 5295, 2790});
    row("frmEditSites", "frmEditSites", {0, 0, 5640, 4935});
    row("frmEditThisSite", "frmEditThisSite", {0, 0, 7050, 2385});
    // The client area inside a one-pixel (15 twips) border.
    row("frmAbout", "frmAbout", {0, 0, 8910, 3045});
    row("frmAbout", "client", {15, 15, 8880, 3015});
    row("frmAbout", "Label1", {1425, 120, 6045, 585}, 26.25, true);
    row("frmAbout", "Label2", {3240, 840, 1620, 300}, 12, true);
    row("frmAbout", "Label3", {4920, 840, 1935, 300}, 12, true);
    row("frmAbout", "Label4", {3420, 1320, 1440, 300}, 12, true);
    row("frmAbout", "Label5", {4920, 1320, 1935, 300}, 12, true);
    row("frmAbout", "Label6", {3960, 1800, 915, 300}, 12, true);
    row("frmAbout", "Label7", {4920, 1800, 3720, 300}, 12, true);
    row("frmAbout", "Picture1", {240, 720, 2280, 2160});
    row("frmAbout", "Command1", {4080, 2280, 1695, 495}, 14.25, true);
}

void tst_layout::placedAsDesigned()
{
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(QRect, twips);
    QFETCH(qreal, points);
    QFETCH(bool, bold);

    testkit::Session s;
    Form* form = testkit::showForm(window);
    QVERIFY(form);
    QVERIFY(QTest::qWaitForWindowExposed(form));
    QWidget* widget = control == window ? form : form->findChild<QWidget*>(control);
    QVERIFY2(widget, qPrintable(control));

    // The screen places a window, so only its size counts; a client area starts below the menu bar.
    QRect placed = widget == form ? QRect(QPoint(), form->size()) : widget->geometry();
    if (const auto* bar = form->findChild<QMenuBar*>(); bar && widget->parentWidget() == form)
        placed.translate(0, -bar->height());
    QCOMPARE(placed, pixels(twips));

    if (points > 0) {
        QCOMPARE(widget->font().pointSizeF(), points);
        QCOMPARE(widget->font().bold(), bold);
    }
    // A label shows its whole text in the place it was given.
    if (const auto* label = qobject_cast<QLabel*>(widget); label && !label->text().isEmpty())
        QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(label->text() + " is clipped"));
}

QTEST_MAIN(tst_layout)
#include "tst_layout.moc"
