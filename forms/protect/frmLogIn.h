#pragma once

#include "forms/protect/ProtectForm.h"

class QLabel;
class QLineEdit;
class QPushButton;

// The log-in of a protected program: the stored user name and password open the main window.
class frmLogIn : public ProtectForm {
    Q_OBJECT

public:
    frmLogIn();

    QLabel* Label1 = nullptr;
    QLineEdit* txtus = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtp = nullptr;
    QPushButton* Command2 = nullptr; // "Ok"
    QPushButton* Command1 = nullptr; // "Exit"

    void Command1_Click();
    void Command2_Click();
};
