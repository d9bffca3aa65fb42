#pragma once

#include "windowkit/Form.h"

class QLabel;
class QPushButton;

// The About box: product name, picture, programmer and support address, and "Close".
// Everything it shows is fixed; it reads and changes nothing.
class frmAbout : public Form {
    Q_OBJECT

public:
    frmAbout();

    QWidget* client = nullptr; // the client area inside the thin border
    QLabel* Label1 = nullptr;
    QLabel* Picture1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr; // "Copyright :"
    QLabel* Label5 = nullptr; // the year of this release
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QPushButton* Command1 = nullptr;

    void Command1_Click();

protected:
    void paintEvent(QPaintEvent* event) override;
};
