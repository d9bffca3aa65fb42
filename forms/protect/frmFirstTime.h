#pragma once

#include "app/Form.h"

class QLabel;
class QPushButton;

// The welcome window and start-up window; its load step is the start-up decision.
class frmFirstTime : public Form {
    Q_OBJECT

public:
    frmFirstTime();

    QLabel* Label1 = nullptr;
    QPushButton* Command1 = nullptr;  // "Next"

    void Command1_Click();

protected:
    void Form_Load() override;
};
