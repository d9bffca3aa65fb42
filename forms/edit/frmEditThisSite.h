#pragma once

#include "data/LinksStore.h"
#include "windowkit/Form.h"

class QLabel;
class QLineEdit;
class QPushButton;

// Changes the name and address of the one link it was opened for, then rebuilds the main
// window's list and count and selects the list's first entry.
class frmEditThisSite : public Form {
    Q_OBJECT

public:
    frmEditThisSite();

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label9 = nullptr;
    QLineEdit* txtname = nullptr;
    QLineEdit* txtURL = nullptr;
    QPushButton* Command2 = nullptr; // "Save", the default button
    QPushButton* Command1 = nullptr; // "Cancel"

    // The link this window edits, as the opener read it: fills the boxes with it. Saving writes
    // only while the record still holds exactly this link.
    void setRecord(const Link& link);

    void Command2_Click();
    void Command1_Click();

private:
    Link m_opened;
};
