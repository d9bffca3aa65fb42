#pragma once

#include "backups/BackupFolder.h"
#include "windowkit/Form.h"

class ListBox;
class QLabel;
class QPushButton;

// "Restore From Backup...": lists the backups newest first with their date and time, reason and
// number of links, and brings links.mdb back to the one chosen after a confirmation naming it.
// The current links are backed up first; the main window then shows the restored list.
class frmRestore : public Form {
    Q_OBJECT

public:
    frmRestore();

    QLabel* Label1 = nullptr;
    ListBox* List1 = nullptr;
    QLabel* Label2 = nullptr;        // where the backups are kept
    QPushButton* Command1 = nullptr; // "Restore"
    QPushButton* Command2 = nullptr; // "Cancel"

    void Command1_Click();
    void Command2_Click();

    // One entry of the list: "7 Dec 2026, 22:10:05 - before Delete All Site Links - 1,234 links".
    static QString entryText(const backups::Backup& backup);

protected:
    void Form_Load() override;
    // Enter restores the selected backup, Escape cancels.

private:
    QList<backups::Backup> m_backups; // in the list's order
};
