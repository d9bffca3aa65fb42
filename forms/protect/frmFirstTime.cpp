#include "forms/protect/frmFirstTime.h"

#include "data/LinksDb.h"
#include "data/SettingsStore.h"
#include "forms/protect/frmLogIn.h"
#include "forms/protect/frmPassword.h"
#include "platform/MessageBox.h"
#include "windowkit/Forms.h"
#include "windowkit/Lifecycle.h"
#include "windowkit/StartupRoad.h"

#include <QLabel>
#include <QPushButton>

frmFirstTime::frmFirstTime() : ProtectForm(QStringLiteral("Orvane Tessary"), Frame::Fixed, 4800, 1800)
{
    setObjectName(QStringLiteral("frmFirstTime"));

    Label1 =
        makeLabel(QStringLiteral("Label1"), QStringLiteral("This is the first time you have run Orvane Tessary.  "
                                                           "Thank you for using our software!"));
    Label1->setWordWrap(true);
    placeTwips(Label1, 240, 240, 4320, 615);

    Command1 = makeButton(QStringLiteral("Command1"), QStringLiteral("Next"));
    placeTwips(Command1, 3360, 1080, 1215, 495);
    setDefaultButton(Command1);
    Command1->setFocus();

    kit::onEvent(Command1, &QPushButton::clicked, this, &frmFirstTime::Command1_Click);
}

void frmFirstTime::Form_Load()
{
    const LinksDb::KeepOpen keep;
    const SettingsStore::Settings settings = SettingsStore::read();
    const bool firstStartDone = settings.firstStartDone;
    const bool yes = settings.protection == SettingsStore::Protection::Protected;
    const bool no = settings.protection == SettingsStore::Protection::Unprotected;

    // A first start already made and no valid protection setting would leave no window at all:
    // say why instead of ending silently. The box comes first, while this window still counts
    // as open, so the application cannot end underneath it.
    if (firstStartDone && !yes && !no) {
        platform::MsgBox(
            QStringLiteral(
                "The settings record in links.mdb is damaged: PasswordProtected must be \"Yes\" or \"No\"."),
            platform::MsgStyle::Critical, QStringLiteral("Orvane Tessary"));
        kit::endApplication(1);
        return;
    }

    // The welcome is shown only once.
    if (firstStartDone)
        unload();

    if (yes) {
        Forms::show<frmLogIn>();
        return;
    }
    if (no) {
        if (firstStartDone) {
            StartupRoad::finish();
            unload();
            // The main window ends the application when another copy already runs.
            if (kit::hasEnded())
                return;
        }
        SettingsStore::markFirstRunDone();
    }
}

void frmFirstTime::Command1_Click()
{
    Forms::show<frmPassword>();
    unload();
}
