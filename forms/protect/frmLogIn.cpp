#include "forms/protect/frmLogIn.h"

#include "data/LinksDb.h"
#include "data/SettingsStore.h"
#include "forms/protect/Credentials.h"
#include "platform/MessageBox.h"
#include "windowkit/Forms.h"
#include "windowkit/Lifecycle.h"
#include "windowkit/StartupRoad.h"

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
    const LinksDb::KeepOpen keep;
    // Read afresh on every attempt: another copy may have changed the credentials meanwhile.
    const SettingsStore::Settings settings = SettingsStore::read();
    const Credentials::PasswordCheck password = Credentials::checkPassword(settings.password, txtp->text());
    const bool user = Credentials::userNameMatches(settings.username, txtus->text());

    if (!password.matches || !user) {
        platform::MsgBox(QStringLiteral("Wrong username or password!"), platform::MsgStyle::Critical,
                         QStringLiteral("Warning"));
        return;
    }

    // A password an older file kept in clear is stored as a hash from now on.
    if (password.storedInClear) {
        SettingsStore::setPasswordHash(Credentials::hashPassword(txtp->text()));
    }
    StartupRoad::finish();
    unload();
}

void frmLogIn::Command1_Click()
{
    kit::endApplication(0);
}
