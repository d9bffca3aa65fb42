#include "forms/edit/frmNewSite.h"

#include "app/Controls.h"
#include "app/Forms.h"
#include "app/Lifecycle.h"
#include "app/Look.h"
#include "app/frmMain.h"
#include "data/LinksDb.h"
#include "forms/edit/LinkWindow.h"
#include "platform/MessageBox.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// Whether a link already carries exactly this name. The engine's equality ignores letter case, so
// it narrows the table to the candidates and each candidate is compared exactly here.
bool nameTaken(const Database& db, const QString& name)
{
    Recordset candidates =
        db.openRecordset(QStringLiteral("Select * from links where SiteName = ") + sqlQuote(name));
    if (candidates.recordCount() == 0)
        return false;
    candidates.moveLast();
    const int count = candidates.recordCount();
    candidates.moveFirst();
    for (int i = 0; i < count; ++i) {
        if (candidates.text(QStringLiteral("SiteName")) == name)
            return true;
        candidates.moveNext();
    }
    return false;
}

} // namespace

frmNewSite::frmNewSite()
{
    setObjectName(QStringLiteral("frmNewSite"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QStringLiteral("New  Site Information"));
    setClientSizeTwips(7035, 2565);
    Look::setBackground(this, Look::Background);

    Label1 =
        Controls::label(this, "Label1", QStringLiteral("New Link Information"), Look::sansSerif(18, true, true));
    Label2 = Controls::label(this, "Label2", QStringLiteral("Site Name :"), Look::sansSerif(12, true));
    Label9 = Controls::label(this, "Label9", QStringLiteral("URL :"), Look::sansSerif(12, true));
    txtname = LinkWindow::entryBox(this, "txtname", QStringLiteral("Site Name"));
    txtURL = LinkWindow::entryBox(this, "txtURL", QStringLiteral("URL"));
    // Neither button answers Enter.
    Command2 = Controls::button(this, "Command2", QStringLiteral("Ok"), Look::sansSerif(14.25, true), false);
    Command1 = Controls::button(this, "Command1", QStringLiteral("Cancel"), Look::sansSerif(14.25, true), false);

    placeTwips(Label1, 1560, 120, 3690, 435);
    placeTwips(Label2, 240, 960, 1410, 300);
    placeTwips(Label9, 960, 1440, 705, 300);
    placeTwips(txtname, 1680, 960, 5175, 375);
    placeTwips(txtURL, 1680, 1440, 5175, 375);
    placeTwips(Command2, 2160, 1920, 1695, 495);
    placeTwips(Command1, 3840, 1920, 1695, 495);

    setTabOrder(txtname, txtURL);
    setTabOrder(txtURL, Command2);
    setTabOrder(Command2, Command1);
    txtname->setFocus();

    app::onEvent(Command2, &QPushButton::clicked, this, &frmNewSite::Command2_Click);
    app::onEvent(Command1, &QPushButton::clicked, this, &frmNewSite::Command1_Click);
}

void frmNewSite::Command2_Click()
{
    if (LinkWindow::refuseEmptyName(txtname))
        return;
    const QString name = txtname->text();
    if (txtURL->text().isEmpty())
        txtURL->setText(QStringLiteral("None"));

    Database db = LinksDb::open();
    Recordset rs = db.openRecordset(QStringLiteral("links"), RecordsetType::Table);
    if (nameTaken(db, name)) {
        platform::MsgBox(QStringLiteral("This contact already exists !"), platform::MsgStyle::Information,
                         QStringLiteral("Warning"));
        return;
    }

    rs.addNew();
    rs.setValue(QStringLiteral("SiteName"), name);
    rs.setValue(QStringLiteral("URL"), txtURL->text());
    rs.update();

    // The main window keeps its details, its current link and its menu state: only the list and
    // the count follow the table, with nothing selected.
    LinkWindow::rebuildMainList(rs);
    unload();
}

void frmNewSite::Command1_Click()
{
    unload();
}

void frmMain::mnuNewContact_Click()
{
    Forms::show<frmNewSite>();
}
