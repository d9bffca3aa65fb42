#pragma once

#include "forms/protect/ProtectForm.h"

class QLabel;
class QLineEdit;
class QPushButton;

// Takes a user name and a password typed twice, stores them and switches protection on.
class frmPasswordProtected : public ProtectForm {
    Q_OBJECT

public:
    frmPasswordProtected();

    QLabel* Label1 = nullptr;
    QLineEdit* txtus = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtp = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* txtp2 = nullptr;
    QPushButton* Command2 = nullptr; // "Ok"

    void Command2_Click();
};
