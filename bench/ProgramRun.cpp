// The program's real windows, driven as a user drives them, on a real encrypted file.
#include "bench/Bench.h"

#include "app/Startup.h"
#include "app/frmMain.h"
#include "data/LinksDb.h"
#include "data/LinksStore.h"
#include "forms/edit/frmEditSites.h"
#include "forms/edit/frmEditThisSite.h"
#include "forms/edit/frmNewSite.h"
#include "forms/protect/frmLogIn.h"
#include "testkit/TestKit.h"
#include "windowkit/Forms.h"
#include "windowkit/Lifecycle.h"
#include "windowkit/ListBox.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace bench {

bool isMainList(QObject* watched)
{
    QObject* list = watched->parent();
    if (!list || list->objectName() != QLatin1String("List1"))
        return false;
    auto* widget = qobject_cast<QWidget*>(list);
    return widget && widget->window()->objectName() == QLatin1String("frmMain");
}

namespace {

// The start-up decision up to the main window, list filled and first entry selected and painted.
// A protected file is timed from the log-in window's Ok instead. Returns the main window, or
// nullptr with a problem noted.
frmMain* startUp(const PaintWatch& watch, Outcome& out, const LogIn* logIn)
{
    int before = watch.paints();
    QElapsedTimer timer;
    timer.start();
    app::start();
    if (logIn) {
        frmLogIn* window = Forms::find<frmLogIn>();
        if (!window) {
            out.problems << QStringLiteral("the log-in window did not open");
            return nullptr;
        }
        window->txtus->setText(logIn->user);
        window->txtp->setText(logIn->password);
        QCoreApplication::processEvents();
        before = watch.paints();
        timer.start();
        window->Command2->click();
    }
    frmMain* form = Forms::find<frmMain>();
    if (!form || kit::hasEnded()) {
        out.problems << QStringLiteral("the main window did not open");
        return nullptr;
    }
    if (!watch.waitPainted(before))
        out.problems << QStringLiteral("the main list was never painted");
    out.ms[StartUp] = msSince(timer);
    return form;
}

void expect(Outcome& out, bool ok, const QString& what)
{
    if (!ok)
        out.problems << what;
}

} // namespace

Outcome runProgram(const QString& folder, int linkCount, const LogIn* logIn)
{
    Outcome out;
    out.ms.fill(-1);
    testkit::resetApplication();
    LinksDb::setFolder(folder);
    testkit::FakeInstanceGuard guard;
    testkit::ScriptedMessageBox boxes; // answers every box with its first button (Yes)
    PaintWatch watch(isMainList);

    frmMain* form = startUp(watch, out, logIn);
    if (!form)
        return out;
    ListBox* list = form->List1;
    expect(out, list->ListCount() == linkCount,
           QStringLiteral("start-up listed %1 of %2 links").arg(list->ListCount()).arg(linkCount));
    expect(out, linkCount == 0 || (list->ListIndex() == 0 && form->lblSiteName->text() == list->List(0)),
           QStringLiteral("start-up did not select and show the first entry"));

    // Select: a click on the fourth entry shows its link.
    if (linkCount > 3) {
        const QRect row = list->visualRect(list->model()->index(3, 0));
        const int before = watch.paints();
        QElapsedTimer timer;
        timer.start();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
        expect(out, watch.waitPainted(before), QStringLiteral("select: the list was not repainted"));
        out.ms[Select] = msSince(timer);
        expect(out, list->ListIndex() == 3 && form->lblSiteName->text() == list->List(3),
               QStringLiteral("select: the fourth entry is not the one shown"));
    }

    // Add: "New Site Link", type, "Ok".
    form->mnuNewContact->trigger();
    if (frmNewSite* add = Forms::find<frmNewSite>()) {
        add->txtname->setText(QStringLiteral("Quokka Watchers' Café"));
        add->txtURL->setText(QStringLiteral("https://quokka.example.com/"));
        QCoreApplication::processEvents();
        const int before = watch.paints();
        QElapsedTimer timer;
        timer.start();
        add->Command2->click();
        expect(out, watch.waitPainted(before), QStringLiteral("add: the list was not repainted"));
        out.ms[Add] = msSince(timer);
        expect(out, list->ListCount() == linkCount + 1 && !Forms::find<frmNewSite>(),
               QStringLiteral("add: the list holds %1 entries, expected %2")
                   .arg(list->ListCount())
                   .arg(linkCount + 1));
    } else {
        out.problems << QStringLiteral("add: New Site Link opened no window");
    }

    // Save: "Edit Site Link", pick the sixth entry, change its name, "Save".
    form->mnuEditSite->trigger();
    frmEditSites* chooser = Forms::find<frmEditSites>();
    if (chooser && chooser->List1->ListCount() > 5) {
        chooser->List1->setListIndex(5);
        QCoreApplication::processEvents();
    }
    if (frmEditThisSite* edit = Forms::find<frmEditThisSite>()) {
        edit->txtname->setText(edit->txtname->text() + QStringLiteral(" (renamed)"));
        QCoreApplication::processEvents();
        const int before = watch.paints();
        QElapsedTimer timer;
        timer.start();
        edit->Command2->click();
        expect(out, watch.waitPainted(before), QStringLiteral("save: the list was not repainted"));
        out.ms[Save] = msSince(timer);
        expect(out, list->ListIndex() == 0 && form->lblSiteName->text() == list->List(0),
               QStringLiteral("save: the first entry is not selected and shown"));
    } else if (linkCount > 5) {
        out.problems << QStringLiteral("save: the edit window did not open");
    }

    // Delete Selected Site Link on the third entry.
    if (list->ListCount() > 2) {
        list->setListIndex(2);
        QCoreApplication::processEvents();
        const int count = list->ListCount();
        const int before = watch.paints();
        QElapsedTimer timer;
        timer.start();
        form->mnuDeleteSelectedContact->trigger();
        expect(out, watch.waitPainted(before), QStringLiteral("delete selected: the list was not repainted"));
        out.ms[DeleteSelected] = msSince(timer);
        expect(out, list->ListCount() == count - 1 && form->lblSiteName->text().isEmpty(),
               QStringLiteral("delete selected: %1 entries left of %2").arg(list->ListCount()).arg(count));
    }

    // Delete All Site Links.
    {
        const int before = watch.paints();
        QElapsedTimer timer;
        timer.start();
        form->mnuDeleteAllContacts->trigger();
        expect(out, watch.waitPainted(before), QStringLiteral("delete all: the list was not repainted"));
        out.ms[DeleteAll] = msSince(timer);
        expect(out, list->ListCount() == 0 && form->lblTotalContacts->text() == QLatin1String("0"),
               QStringLiteral("delete all: the list is not empty"));
        expect(out, LinksStore::count() == 0, QStringLiteral("delete all: links are left in the file"));
    }

    if (kit::hasEnded())
        out.problems << QStringLiteral("the application ended during the run");
    for (const auto& box : boxes.boxes) {
        if (!box.text.startsWith(QLatin1String("Are you sure")))
            out.problems << QStringLiteral("unexpected message: %1").arg(box.text);
    }
    testkit::resetApplication();
    return out;
}

long programStartupRss(const QString& folder, QString* problem)
{
    LinksDb::setFolder(folder);
    testkit::FakeInstanceGuard guard;
    testkit::ScriptedMessageBox boxes;
    PaintWatch watch(isMainList);
    Outcome out;
    startUp(watch, out, nullptr);
    if (!out.problems.isEmpty())
        *problem = out.problems.join(QStringLiteral("; "));
    return residentKb();
}

} // namespace bench
