#include "forms/protect/frmLogIn.h"

#include "data/LinksDb.h"
#include "data/Protection.h"
#include "platform/MessageBox.h"
#include "windowkit/Forms.h"
#include "windowkit/Lifecycle.h"
#include "windowkit/StartupRoad.h"
#include "windowkit/WorkProgress.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

frmLogIn::frmLogIn() : ProtectForm(QStringLiteral("Log - In"), Frame::Fixed, 4320, 1920)
{
    setObjectName(QStringLiteral("frmLogIn"));

    Label1 = makeLabel(QStringLiteral("Label1"), QStringLiteral("Username:"));
    placeTwips(Label1, 240, 180, 1215, 285);
    txtus = makeTextBox(QStringLiteral("txtus"), QStringLiteral("Username"), 20, false);
    placeTwips(txtus, 1560, 120, 2520, 315);

    Label2 = makeLabel(QStringLiteral("Label2"), QStringLiteral("Password:"));
    placeTwips(Label2, 240, 660, 1215, 285);
    txtp = makeTextBox(QStringLiteral("txtp"), QStringLiteral("Password"), 10, true);
    placeTwips(txtp, 1560, 600, 2520, 315);

    Command2 = makeButton(QStringLiteral("Command2"), QStringLiteral("Ok"));
    placeTwips(Command2, 840, 1200, 1215, 495);
    Command1 = makeButton(QStringLiteral("Command1"), QStringLiteral("Exit"));
    placeTwips(Command1, 2280, 1200, 1215, 495);
    setDefaultButton(Command2);

    QWidget::setTabOrder(txtus, txtp);
    QWidget::setTabOrder(txtp, Command2);
    QWidget::setTabOrder(Command2, Command1);
    txtus->setFocus();

    kit::onEvent(Command2, &QPushButton::clicked, this, &frmLogIn::Command2_Click);
    kit::onEvent(Command1, &QPushButton::clicked, this, &frmLogIn::Command1_Click);
}

void frmLogIn::Command2_Click()
{
    // One keyed connection from the check to the main list, which is read next.
    const LinksDb::KeepOpen keep;
    // A file an older program protected holds its links plain: they are sealed now, which on a
    // long list takes a moment.
    WorkProgress progress(this, windowTitle(), QStringLiteral("Locking your links with your password..."));
    if (!Protection::logIn(txtus->text(), txtp->text(), progress.reporter())) {
        platform::MsgBox(QStringLiteral("Wrong username or password!"), platform::MsgStyle::Critical,
                         QStringLiteral("Warning"));
        return;
    }
    StartupRoad::finish();
    unload();
}

void frmLogIn::Command1_Click()
{
    kit::endApplication(0);
}
