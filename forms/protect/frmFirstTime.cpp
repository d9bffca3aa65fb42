#include "forms/protect/frmFirstTime.h"

#include "app/Forms.h"
#include "app/Lifecycle.h"
#include "app/frmMain.h"
#include "data/LinksDb.h"
#include "forms/protect/frmLogIn.h"
#include "forms/protect/frmPassword.h"
#include "platform/MessageBox.h"

#include <QLabel>
#include <QPushButton>

namespace {

// FirstRun is a number; Null, text that is no number and every other value count as "not 1".
bool isOne(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return false;
    bool isNumber = false;
    const double number = value.toDouble(&isNumber);
    return isNumber && number == 1.0;
}

// PasswordProtected compared exactly; Null is neither "Yes" nor "No".
bool holds(const QVariant& value, const QString& expected)
{
    return value.isValid() && !value.isNull() && value.toString() == expected;
}

} // namespace

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

    app::onEvent(Command1, &QPushButton::clicked, this, &frmFirstTime::Command1_Click);
}

void frmFirstTime::Form_Load()
{
    Database db = LinksDb::open();
    Recordset rs = db.openRecordset(QStringLiteral("Other"), RecordsetType::Table);
    const QVariant firstRun = rs.value(QStringLiteral("FirstRun"));
    const QVariant passwordProtected = rs.value(QStringLiteral("PasswordProtected"));
    const bool yes = holds(passwordProtected, QStringLiteral("Yes"));
    const bool no = holds(passwordProtected, QStringLiteral("No"));

    // A first start already made and no valid protection setting would leave no window at all:
    // say why instead of ending silently. The box comes first, while this window still counts
    // as open, so the application cannot end underneath it.
    if (isOne(firstRun) && !yes && !no) {
        platform::MsgBox(
            QStringLiteral(
                "The settings record in links.mdb is damaged: PasswordProtected must be \"Yes\" or \"No\"."),
            platform::MsgStyle::Critical, QStringLiteral("Orvane Tessary"));
        app::endApplication(1);
        return;
    }

    // The welcome is shown only once.
    if (isOne(firstRun))
        unload();

    if (yes) {
        Forms::show<frmLogIn>();
        return;
    }
    if (no) {
        if (isOne(rs.value(QStringLiteral("FirstRun")))) {
            Forms::show<frmMain>();
            unload();
            // The main window ends the application when another copy already runs.
            if (app::hasEnded())
                return;
        }
        rs.edit();
        rs.setValue(QStringLiteral("FirstRun"), QVariant::fromValue<qint16>(1));
        rs.update();
    }
}

void frmFirstTime::Command1_Click()
{
    Forms::show<frmPassword>();
    unload();
}
