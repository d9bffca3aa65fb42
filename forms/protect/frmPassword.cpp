#include "forms/protect/frmPassword.h"

#include "backups/Backups.h"
#include "data/LinksDb.h"
#include "data/Protection.h"
#include "data/SettingsStore.h"
#include "forms/protect/frmPasswordProtected.h"
#include "windowkit/Forms.h"
#include "windowkit/Lifecycle.h"
#include "windowkit/StartupRoad.h"
#include "windowkit/WorkProgress.h"

#include <QLabel>
#include <QPushButton>

frmPassword::frmPassword() : ProtectForm(QStringLiteral("Password protected?"), Frame::Fixed, 4800, 1560)
{
    setObjectName(QStringLiteral("frmPassword"));

    Label1 = makeLabel(QStringLiteral("Label1"),
                       QStringLiteral("Do you wish to make this program password protected ?"));
    Label1->setWordWrap(true);
    placeTwips(Label1, 240, 240, 4320, 495);

    Command1 = makeButton(QStringLiteral("Command1"), QStringLiteral("Yes"));
    placeTwips(Command1, 960, 840, 1215, 495);
    Command2 = makeButton(QStringLiteral("Command2"), QStringLiteral("No"));
    placeTwips(Command2, 2640, 840, 1215, 495);
    setDefaultButton(Command1);
    QWidget::setTabOrder(Command1, Command2);
    Command1->setFocus();

    kit::onEvent(Command1, &QPushButton::clicked, this, &frmPassword::Command1_Click);
    kit::onEvent(Command2, &QPushButton::clicked, this, &frmPassword::Command2_Click);
}

void frmPassword::Command1_Click()
{
    Forms::show<frmPasswordProtected>();
    unload();
}

void frmPassword::Command2_Click()
{
    // One keyed connection for the backup, the rewrite and the main list that follows.
    const LinksDb::KeepOpen keep;
    // The sealed links are kept first; with protection off already there is nothing to switch off.
    if (SettingsStore::read().protection == SettingsStore::Protection::Protected &&
        !backups::before(backups::Reason::Unprotect))
        return;
    {
        WorkProgress progress(this, windowTitle(), QStringLiteral("Unlocking your links..."));
        Protection::unprotect(progress.reporter());
    }
    StartupRoad::finish();
    unload();
}
