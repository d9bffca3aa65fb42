#pragma once

#include "app/Form.h"
#include "data/Database.h"

#include <optional>

class ListBox;
class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;

// The main window: the sorted list of link names, the selected link's name and address,
// "Open Link", the count and the menus.
class frmMain : public Form {
    Q_OBJECT

public:
    frmMain();
    ~frmMain() override;

    // Refills the list and the count from table links; selects nothing.
    void PutInTheListTheRecords();
    // Enables "Delete Selected Site Link" when an entry is selected.
    void ButtonsEnabled();

    // Controls, with their designer names; other windows use some of them directly.
    QMenuBar* menuBar = nullptr;
    QWidget* client = nullptr; // the client area below the menu bar; controls live in it
    ListBox* List1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* lblSiteName = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* lblURL = nullptr;
    QPushButton* Command1 = nullptr;
    QLabel* Label15 = nullptr;
    QLabel* lblTotalContacts = nullptr;
    QLabel* lblupdate = nullptr;

    QMenu* mnuContacts = nullptr; // "&Sites", also the list's right-click menu
    QAction* mnuNewContact = nullptr;
    QAction* mnuVBLINE = nullptr;
    QAction* mnuDeleteAllContacts = nullptr;
    QAction* mnuDeleteSelectedContact = nullptr;
    QAction* mnuEditSite = nullptr; // opens the choose-a-link window
    QAction* mnuOptions = nullptr;  // opens the options window
    QAction* mnuExit = nullptr;
    QAction* mnuAbout = nullptr;
    QMenu* mnuSupport = nullptr;
    QAction* mnuUpdates = nullptr;
    QAction* mnuFourm = nullptr;
    QAction* mnuEmail = nullptr;

    // The update check's time-out in milliseconds (60 s; tests set it short).
    int Inet1RequestTimeoutMs = 60000;

    // Form-level state: the main window's connection, current-link cursor and link count.
    Database db;
    Recordset rs;
    int LinkCount = 0;

    // Handlers, one per user event.
    void List1_Click();
    void List1_MouseDown(Qt::MouseButton button, const QPoint& globalPos);
    void List1_MouseMove();
    void Form_MouseMove();
    void Command1_Click();
    void mnuNewContact_Click();            // forms/edit/
    void mnuDeleteAllContacts_Click();     // forms/edit/DeleteLinks.cpp
    void mnuDeleteSelectedContact_Click(); // forms/edit/DeleteLinks.cpp
    void mnuEditSite_Click();              // forms/edit/
    void mnuOptions_Click();               // forms/protect/
    void mnuExit_Click();
    void mnuAbout_Click();   // forms/about/
    void mnuUpdates_Click(); // online/
    void mnuFourm_Click();   // online/
    void mnuEmail_Click();   // online/

protected:
    void Form_Load() override;
    // The link the details labels show, as read when it was selected: commands that act on it
    // first make sure the record still holds exactly this link.
    struct ShownLink {
        qint64 id = -1;
        QString name;
        QString url;
    };
    std::optional<ShownLink> m_shown;
    void showDetails(const QString& name, const QString& url);
    // The record behind the shown link, re-read; it has no current record when the link the user
    // saw is gone or was changed meanwhile.
    Recordset rereadShownLink();
    // Tells the user the link they saw is gone or changed, and lists what the file holds now.
    void linkNoLongerThere();

    void Form_Unload() override;
    void mouseMoveEvent(QMouseEvent* event) override;
};
