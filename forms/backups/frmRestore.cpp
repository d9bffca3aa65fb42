#include "forms/backups/frmRestore.h"

#include "backups/Backups.h"
#include "backups/Restore.h"
#include "platform/MessageBox.h"
#include "windowkit/Controls.h"
#include "windowkit/Lifecycle.h"
#include "windowkit/ListBox.h"
#include "windowkit/Look.h"

#include <QLabel>
#include <QLocale>
#include <QPushButton>

namespace {

const QString Title = QStringLiteral("Restore From Backup");

QString links(int n)
{
    if (n < 0)
        return QStringLiteral("number of links unknown");
    return n == 1 ? QStringLiteral("1 link")
                  : QStringLiteral("%1 links").arg(QLocale(QLocale::English).toString(n));
}

// "7 December 2026 at 22:10:05"
QString when(const QDateTime& made)
{
    return QLocale(QLocale::English).toString(made, QStringLiteral("d MMMM yyyy 'at' HH:mm:ss"));
}

} // namespace

frmRestore::frmRestore()
{
    setObjectName(QStringLiteral("frmRestore"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(Title);
    setClientSizeTwips(6600, 4560);
    Look::setBackground(this, Look::Background);

    Label1 = Controls::label(this, "Label1", QStringLiteral("Choose the backup to bring your links back to :"),
                             Look::sansSerif(9.75, true));
    List1 = new ListBox(false, this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setAccessibleName(QStringLiteral("Backups"));
    Look::setBackground(List1, Look::EntryYellow);
    List1->setFont(Look::sansSerif(8.25, true));
    Label2 = Controls::label(this, "Label2", QString(), Look::sansSerif(8.25));
    Label2->setWordWrap(true);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Command1 = Controls::button(this, "Command1", QStringLiteral("Restore"), Look::sansSerif(12, true), true);
    Command2 = Controls::button(this, "Command2", QStringLiteral("Cancel"), Look::sansSerif(12, true), true);
    setDefaultButton(Command1);
    setCancelButton(Command2);

    placeTwips(Label1, 240, 120, 6120, 300);
    placeTwips(List1, 240, 480, 6120, 2760);
    placeTwips(Label2, 240, 3300, 6120, 480);
    placeTwips(Command1, 1440, 3900, 1695, 495);
    placeTwips(Command2, 3480, 3900, 1695, 495);

    setTabOrder(List1, Command1);
    setTabOrder(Command1, Command2);
    List1->setFocus();

    kit::onEvent(Command1, &QPushButton::clicked, this, &frmRestore::Command1_Click);
    kit::onEvent(Command2, &QPushButton::clicked, this, &frmRestore::Command2_Click);
}

QString frmRestore::entryText(const backups::Backup& backup)
{
    return QStringLiteral("%1 - %2 - %3")
        .arg(QLocale(QLocale::English).toString(backup.made, QStringLiteral("d MMM yyyy, HH:mm:ss")),
             backups::describe(backup.reason), links(backup.links));
}

void frmRestore::Form_Load()
{
    m_backups = backups::available();
    QStringList texts;
    QList<qint64> rows;
    for (qsizetype i = 0; i < m_backups.size(); ++i) {
        texts.append(entryText(m_backups[i]));
        rows.append(i);
    }
    List1->setItems(texts, rows);
    Label2->setText(QStringLiteral("Backups are kept in %1").arg(backups::folder()));
    if (m_backups.isEmpty()) {
        Label1->setText(QStringLiteral("There is no backup yet."));
        Command1->setEnabled(false);
        return;
    }
    List1->setListIndex(0);
}

void frmRestore::Command1_Click()
{
    const int index = List1->ListIndex();
    if (index < 0 || index >= m_backups.size())
        return;
    const backups::Backup& chosen = m_backups[index];

    const backups::Checked checked = backups::check(chosen);
    if (!checked.candidate) {
        platform::MsgBox(QStringLiteral("This backup cannot be restored:\r\r%1\r\rYour links were not changed.")
                             .arg(checked.why),
                         platform::MsgStyle::Exclamation, Title);
        return;
    }
    const backups::Candidate& candidate = *checked.candidate;
    QString question =
        QStringLiteral("Bring your links back to the backup of %1 (%2, %3)?\r\r%4\r\r"
                       "Your links as they are now are backed up first.")
            .arg(when(chosen.made), backups::describe(chosen.reason), links(candidate.backup.links), chosen.path);
    const bool ownLogIn = candidate.fit == backups::Candidate::Fit::NeedsItsOwnLogIn;
    if (ownLogIn)
        question += QStringLiteral("\r\rThis backup is protected with the user name and password in use when it "
                                   "was made (user name \"%1\"). The program then ends; start it again and log "
                                   "in with them.")
                        .arg(candidate.username);
    if (platform::MsgBox(question, platform::MsgStyle::YesNo + platform::MsgStyle::Question, Title) !=
        platform::MsgAnswer::Yes)
        return;

    switch (backups::restore(candidate)) {
    case backups::Restored::Stopped:
        return;
    case backups::Restored::NeedsLogIn:
        platform::MsgBox(QStringLiteral("Your links are back as they were on %1: %2.\r\r"
                                        "Orvane Tessary ends now. Start it again and log in with the user name "
                                        "and password of that time.")
                             .arg(when(chosen.made), links(candidate.backup.links)),
                         platform::MsgStyle::Information, Title);
        kit::endApplication(0);
        return;
    case backups::Restored::Done:
        platform::MsgBox(QStringLiteral("Your links are back as they were on %1: %2.")
                             .arg(when(chosen.made), links(candidate.backup.links)),
                         platform::MsgStyle::Information, Title);
        unload();
        return;
    }
}

void frmRestore::Command2_Click()
{
    unload();
}

