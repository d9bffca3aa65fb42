#include "forms/protect/frmOptions.h"

#include "forms/protect/frmPassword.h"
#include "windowkit/Forms.h"
#include "windowkit/Lifecycle.h"
#include "windowkit/Look.h"

#include <QLabel>
#include <QPushButton>

frmOptions::frmOptions() : ProtectForm(QStringLiteral("Options"), Frame::Sizable, 3600, 2640)
{
    setObjectName(QStringLiteral("frmOptions"));

    Label1 = makeLabel(QStringLiteral("Label1"), QStringLiteral("Options"));
    Label1->setFont(Look::sansSerif(18, true));
    placeTwips(Label1, 240, 120, 3120, 615);

    Command1 = makeButton(QStringLiteral("Command1"), QStringLiteral("Program Protection"));
    placeTwips(Command1, 600, 960, 2400, 495);
    Command2 = makeButton(QStringLiteral("Command2"), QStringLiteral("Ok"));
    placeTwips(Command2, 600, 1680, 2400, 495);
    setDefaultButton(Command2);

    QWidget::setTabOrder(Command2, Command1);
    Command2->setFocus();

    kit::onEvent(Command1, &QPushButton::clicked, this, &frmOptions::Command1_Click);
    kit::onEvent(Command2, &QPushButton::clicked, this, &frmOptions::Command2_Click);
}

void frmOptions::Command1_Click()
{
    Forms::show<frmPassword>();
    unload();
}

void frmOptions::Command2_Click()
{
    unload();
}
