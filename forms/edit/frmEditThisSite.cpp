#include "forms/edit/frmEditThisSite.h"

#include "forms/edit/LinkWindow.h"
#include "windowkit/Controls.h"
#include "windowkit/Lifecycle.h"
#include "windowkit/Look.h"
#include "windowkit/StaleLink.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

frmEditThisSite::frmEditThisSite()
{
    setObjectName(QStringLiteral("frmEditThisSite"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QStringLiteral("Edit This Site"));
    setClientSizeTwips(7050, 2385);
    Look::setBackground(this, Look::Background);

    Label1 =
        Controls::label(this, "Label1", QStringLiteral("Edit Link Information"), Look::sansSerif(18, true, true));
    Label2 = Controls::label(this, "Label2", QStringLiteral("Site Name :"), Look::sansSerif(12, true));
    Label9 = Controls::label(this, "Label9", QStringLiteral("URL :"), Look::sansSerif(12, true));
    txtname = LinkWindow::entryBox(this, "txtname", QStringLiteral("Site Name"));
    txtURL = LinkWindow::entryBox(this, "txtURL", QStringLiteral("URL"));
    // Enter on a focused button presses that button, as users of desktop dialogs expect.
    Command2 = Controls::button(this, "Command2", QStringLiteral("Save"), Look::sansSerif(14.25, true), true);
    Command1 = Controls::button(this, "Command1", QStringLiteral("Cancel"), Look::sansSerif(14.25, true), true);
    Command2->setDefault(true);

    placeTwips(Label1, 960, 120, 3585, 435);
    placeTwips(Label2, 240, 840, 1410, 300);
    placeTwips(Label9, 1080, 1320, 705, 300);
    placeTwips(txtname, 1800, 840, 5055, 375);
    placeTwips(txtURL, 1800, 1320, 5055, 375);
    placeTwips(Command2, 2040, 1800, 1695, 495);
    placeTwips(Command1, 3720, 1800, 1695, 495);

    setTabOrder(Command1, Command2);
    setTabOrder(Command2, txtURL);
    setTabOrder(txtURL, txtname);
    Command1->setFocus();

    kit::onEvent(Command2, &QPushButton::clicked, this, &frmEditThisSite::Command2_Click);
    kit::onEvent(Command1, &QPushButton::clicked, this, &frmEditThisSite::Command1_Click);
    // A plain window has no default-button handling of its own: Enter in a box presses "Save".
    connect(txtname, &QLineEdit::returnPressed, Command2, &QPushButton::click);
    connect(txtURL, &QLineEdit::returnPressed, Command2, &QPushButton::click);
}

void frmEditThisSite::setRecord(const Link& link)
{
    m_opened = link;
    txtname->setText(link.name);
    txtURL->setText(link.url);
    // A long name or address opens at its start, not scrolled to its end.
    txtname->setCursorPosition(0);
    txtURL->setCursorPosition(0);
}

void frmEditThisSite::Command2_Click()
{
    if (LinkWindow::refuseEmptyName(txtname))
        return;
    txtURL->setText(LinksStore::storedAddress(txtURL->text()));

    // Exactly the record that was picked, whatever its name and however many others share it,
    // and only while it still holds the link this window was opened on.
    if (!LinksStore::change(m_opened, txtname->text(), txtURL->text())) {
        StaleLink::sayNotSaved();
        LinksStore::reload();
    }
    unload();
}

void frmEditThisSite::Command1_Click()
{
    unload();
}
