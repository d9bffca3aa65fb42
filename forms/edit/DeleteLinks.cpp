#include "app/ListBox.h"
#include "app/frmMain.h"
#include "data/LinksDb.h"
#include "platform/MessageBox.h"

#include <QLabel>

void frmMain::mnuDeleteSelectedContact_Click()
{
    // Without a current link (after a refill, a Delete All, or a lookup that found nothing) there
    // is nothing to delete and nothing to ask.
    if (!rs.hasCurrentRecord() && !m_shown)
        return;
    if (platform::MsgBox(QStringLiteral("Are you sure you want to delete this site link ?"),
                         platform::MsgStyle::YesNo, QStringLiteral("Warning")) != platform::MsgAnswer::Yes)
        return;

    // Only the link the user saw is deleted, never one that took over its identity meanwhile.
    Recordset record = rereadShownLink();
    if (!record.hasCurrentRecord()) {
        linkNoLongerThere();
        return;
    }
    record.deleteRecord();
    // The refill points the current-link cursor at the whole table again.
    PutInTheListTheRecords();
    showDetails(QString(), QString());
}

void frmMain::mnuDeleteAllContacts_Click()
{
    if (platform::MsgBox(QStringLiteral("Are you sure you want to delete all your contacts ?"),
                         platform::MsgStyle::YesNo, QStringLiteral("Warning")) != platform::MsgAnswer::Yes)
        return;

    db = LinksDb::open();
    {
        // All or nothing: a failure part-way leaves every link in place.
        Transaction transaction(db);
        db.execute(QStringLiteral("DELETE FROM links"));
        transaction.commit();
    }
    rs = db.openRecordset(QStringLiteral("links"), RecordsetType::Table);
    m_shown.reset();

    showDetails(QString(), QString());
    List1->Clear();
    lblTotalContacts->setText(QStringLiteral("0"));
}
