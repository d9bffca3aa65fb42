#pragma once

#include "windowkit/Form.h"

class ListBox;
class QComboBox;
class QLabel;
class QPushButton;

// Lists the links, narrows the list to one first letter on demand, and hands the link the user
// picks to the edit window, closing itself. It writes nothing.
class frmEditSites : public Form {
    Q_OBJECT

public:
    frmEditSites();

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* Combo1 = nullptr;
    ListBox* List1 = nullptr;
    QPushButton* Command1 = nullptr; // "Cancel"

    // Refills List1 with the links whose name begins with the letter chosen in Combo1.
    void PutInTheListTheRecords();

    void Combo1_Click();
    void List1_Click();
    void Command1_Click();

protected:
    void Form_Load() override;

private:
    void fillWithAllLinks();
};
