#pragma once

#include "forms/protect/ProtectForm.h"

class QLabel;
class QPushButton;

// The welcome window and start-up window; its load step is the start-up decision.
class frmFirstTime : public ProtectForm {
    Q_OBJECT

public:
    frmFirstTime();

    QLabel* Label1 = nullptr;
    QPushButton* Command1 = nullptr; // "Next"

    void Command1_Click();

protected:
    void Form_Load() override;
};
