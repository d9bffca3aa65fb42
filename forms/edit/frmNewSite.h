#pragma once

#include "windowkit/Form.h"

class QLabel;
class QLineEdit;
class QPushButton;

// Adds one link: a name that no link has yet (exactly, letter case and blanks counted) and an
// address, "None" when left empty. Rebuilds the main window's list and count, selecting nothing.
class frmNewSite : public Form {
    Q_OBJECT

public:
    frmNewSite();

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label9 = nullptr;
    QLineEdit* txtname = nullptr;
    QLineEdit* txtURL = nullptr;
    QPushButton* Command2 = nullptr; // "Ok"
    QPushButton* Command1 = nullptr; // "Cancel"

    void Command2_Click();
    void Command1_Click();

    // A link brought by a drop or a paste: fills each box the user has not typed in since the
    // window opened (or has emptied again), the name cleaned and cut to the name box's limit.
    // Nothing is stored until "Ok".
    void offerLink(const QString& name, const QString& url);

private:
    void txtname_Edited();
    void txtURL_Edited();

    bool m_nameTyped = false;
    bool m_urlTyped = false;
};
