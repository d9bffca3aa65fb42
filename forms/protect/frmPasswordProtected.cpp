#include "forms/protect/frmPasswordProtected.h"

#include "backups/Backups.h"
#include "backups/Protect.h"
#include "data/LinksDb.h"
#include "data/SettingsStore.h"
#include "platform/MessageBox.h"
#include "windowkit/Forms.h"
#include "windowkit/Lifecycle.h"
#include "windowkit/StartupRoad.h"
#include "windowkit/WorkProgress.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

frmPasswordProtected::frmPasswordProtected()
    : ProtectForm(QStringLiteral("Password Protected"), Frame::Fixed, 4320, 2400)
{
    setObjectName(QStringLiteral("frmPasswordProtected"));

    Label1 = makeLabel(QStringLiteral("Label1"), QStringLiteral("Username:"));
    placeTwips(Label1, 240, 180, 1575, 285);
    txtus = makeTextBox(QStringLiteral("txtus"), QStringLiteral("Username"), 20, false);
    placeTwips(txtus, 1920, 120, 2160, 315);

    Label2 = makeLabel(QStringLiteral("Label2"), QStringLiteral("Password:"));
    placeTwips(Label2, 240, 660, 1575, 285);
    txtp = makeTextBox(QStringLiteral("txtp"), QStringLiteral("Password"), 10, true);
    placeTwips(txtp, 1920, 600, 2160, 315);

    Label3 = makeLabel(QStringLiteral("Label3"), QStringLiteral("Repeat Password:"));
    placeTwips(Label3, 240, 1140, 1575, 285);
    txtp2 = makeTextBox(QStringLiteral("txtp2"), QStringLiteral("Repeat Password"), 10, true);
    placeTwips(txtp2, 1920, 1080, 2160, 315);

    Command2 = makeButton(QStringLiteral("Command2"), QStringLiteral("Ok"));
    placeTwips(Command2, 1560, 1680, 1215, 495);
    setDefaultButton(Command2);

    QWidget::setTabOrder(txtus, txtp);
    QWidget::setTabOrder(txtp, txtp2);
    QWidget::setTabOrder(txtp2, Command2);
    txtus->setFocus();

    kit::onEvent(Command2, &QPushButton::clicked, this, &frmPasswordProtected::Command2_Click);
}

void frmPasswordProtected::Command2_Click()
{
    if (txtp->text() != txtp2->text()) {
        platform::MsgBox(QStringLiteral("links don't match!"), platform::MsgStyle::Critical,
                         QStringLiteral("Warning!"));
        txtp->clear();
        txtp2->clear();
        return;
    }

    // One keyed connection for the backup, the rewrite and the main list that follows.
    const LinksDb::KeepOpen keep;
    // The links as they are now are kept first; then the credentials and every link, sealed with
    // the key they give, in one step with every older backup.
    const bool renewing = SettingsStore::read().protection == SettingsStore::Protection::Protected;
    if (!backups::before(renewing ? backups::Reason::NewCredentials : backups::Reason::Protect))
        return;
    {
        WorkProgress progress(this, windowTitle(), QStringLiteral("Locking your links with your password..."));
        backups::protect(txtus->text(), txtp2->text(), progress.reporter());
    }

    platform::MsgBox(QStringLiteral("Remember your password and your username!") + QStringLiteral("\r\r\r") +
                         QStringLiteral("Username = ") + txtus->text() + QStringLiteral("\r") +
                         QStringLiteral("Password = ") + txtp->text(),
                     platform::MsgStyle::Information, QStringLiteral("Warning"));
    StartupRoad::finish();
    unload();
}
