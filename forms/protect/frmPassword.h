#pragma once

#include "forms/protect/ProtectForm.h"

class QLabel;
class QPushButton;

// The protection choice: "Yes" goes on to the credentials, "No" switches protection off.
class frmPassword : public ProtectForm {
    Q_OBJECT

public:
    frmPassword();

    QLabel* Label1 = nullptr;
    QPushButton* Command1 = nullptr; // "Yes"
    QPushButton* Command2 = nullptr; // "No"

    void Command1_Click();
    void Command2_Click();
};
