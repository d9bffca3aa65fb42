#pragma once

#include "forms/protect/ProtectForm.h"

class QLabel;
class QPushButton;

// The options window: its one option leads to the protection choice again.
class frmOptions : public ProtectForm {
    Q_OBJECT

public:
    frmOptions();

    QLabel* Label1 = nullptr;
    QPushButton* Command1 = nullptr; // "Program Protection"
    QPushButton* Command2 = nullptr; // "Ok"

    void Command1_Click();
    void Command2_Click();
};
