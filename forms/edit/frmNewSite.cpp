#include "forms/edit/frmNewSite.h"

#include "data/LinksStore.h"
#include "forms/edit/LinkWindow.h"
#include "linkdrop/LinkDrop.h"
#include "platform/MessageBox.h"
#include "windowkit/Controls.h"
#include "windowkit/Lifecycle.h"
#include "windowkit/Look.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

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

    kit::onEvent(Command2, &QPushButton::clicked, this, &frmNewSite::Command2_Click);
    kit::onEvent(Command1, &QPushButton::clicked, this, &frmNewSite::Command1_Click);
    // Only the user's own edits count as typing: what a drop put in a box the next drop may replace.
    kit::onEvent(txtname, &QLineEdit::textEdited, this, &frmNewSite::txtname_Edited);
    kit::onEvent(txtURL, &QLineEdit::textEdited, this, &frmNewSite::txtURL_Edited);
}

void frmNewSite::Command2_Click()
{
    if (LinkWindow::refuseEmptyName(txtname))
        return;
    const QString name = txtname->text();
    txtURL->setText(LinksStore::storedAddress(txtURL->text()));

    if (LinksStore::nameTaken(name)) {
        platform::MsgBox(QStringLiteral("This contact already exists !"), platform::MsgStyle::Information,
                         QStringLiteral("Warning"));
        return;
    }
    LinksStore::add(name, txtURL->text());
    unload();
}

void frmNewSite::Command1_Click()
{
    unload();
}

void frmNewSite::offerLink(const QString& name, const QString& url)
{
    if (!m_nameTyped || txtname->text().isEmpty())
        txtname->setText(LinkDrop::cleanName(name, txtname->maxLength()));
    if (!m_urlTyped || txtURL->text().isEmpty())
        txtURL->setText(url);
}

void frmNewSite::txtname_Edited()
{
    m_nameTyped = true;
}

void frmNewSite::txtURL_Edited()
{
    m_urlTyped = true;
}
