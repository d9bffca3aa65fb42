#pragma once

#include "data/LinksStore.h"
#include "windowkit/Form.h"

#include <QPointer>
#include <memory>
#include <optional>

class ListBox;
class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QMimeData;
class QPushButton;
namespace LinksDb {
class KeepOpen;
}

// The main window: the sorted list of link names, the selected link's name and address,
// "Open Link", the count and the menus. Every command of its menus is handled here; a change to the
// links, wherever it is made, reaches it through LinksStore::changed and it rebuilds itself.
class frmMain : public Form {
    Q_OBJECT

public:
    frmMain();
    ~frmMain() override;

    // Refills the list and the count from table links; selects nothing.
    void PutInTheListTheRecords();
    // Enables "Delete Selected Site Link" when an entry is selected.
    void ButtonsEnabled();

    // Controls, with their designer names.
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
    QAction* mnuImportBookmarks = nullptr;
    QAction* mnuExportBookmarks = nullptr;
    QAction* mnuCheckLinks = nullptr; // opens the link check
    QAction* mnuRestoreBackup = nullptr; // opens the restore window
    QAction* mnuPasteSite = nullptr; // the link on the clipboard into New Site, as a drop does
    QAction* mnuExit = nullptr;
    QAction* mnuAbout = nullptr;
    QMenu* mnuSupport = nullptr;
    QAction* mnuUpdates = nullptr;
    QAction* mnuFourm = nullptr;
    QAction* mnuEmail = nullptr;
    QAction* mnuFindSite = nullptr; // opens the find window

    // The update check's time-out in milliseconds (60 s; tests set it short).
    int Inet1RequestTimeoutMs = 60000;

    // Whether a current link stands behind the details (the one a command acts on).
    bool hasCurrentLink() const { return m_current.has_value(); }

    // Opens New Site with the first link the data carries (a drop or the clipboard) for the user
    // to confirm; false, with nothing shown, when it carries none.
    bool addLinkFrom(const QMimeData* data);

    // Handlers, one per user event.
    void List1_Click();
    void List1_MouseDown(Qt::MouseButton button, const QPoint& globalPos);
    void List1_MouseMove();
    void Form_MouseMove();
    void Command1_Click();
    void mnuNewContact_Click();
    void mnuDeleteAllContacts_Click();
    void mnuDeleteSelectedContact_Click();
    void mnuEditSite_Click();
    void mnuOptions_Click();
    void mnuImportBookmarks_Click();
    void mnuExportBookmarks_Click();
    void mnuCheckLinks_Click();
    void mnuRestoreBackup_Click();
    void mnuPasteSite_Click();
    void mnuExit_Click();
    void mnuAbout_Click();
    void mnuUpdates_Click();
    void mnuFourm_Click();
    void mnuEmail_Click();
    void mnuFindSite_Click();

    // Selects this link in the list by its identity, as a click on it would (details shown), and
    // brings the window to the front.
    void showLink(const Link& link);

protected:
    void Form_Load() override;
    void Form_Unload() override;
    void mouseMoveEvent(QMouseEvent* event) override;
    // A link dragged from a browser onto the window, its list or any other control.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The link count and the current link, as read when it was selected: commands that act on it
    // first make sure the record still holds exactly this link.
    int LinkCount = 0;
    std::optional<Link> m_current;
    // The main window's connection: held open for the window's life, so that every command reuses
    // one keyed connection instead of keying the file anew (tens of milliseconds each time).
    std::unique_ptr<LinksDb::KeepOpen> m_keepOpen;
    // The drag under way and whether it carries a link: read once as it enters, not at every move.
    QPointer<const QMimeData> m_dragData;
    bool m_dragCarriesLink = false;

    void linksChanged(LinksStore::Change change);
    // The list and the count from the file, nothing selected.
    void rebuildList();
    void showList(LinkNames all);
    void showDetails(const QString& name, const QString& url);
    // Tells the user the link they saw is gone or changed, and lists what the file holds now.
    void linkNoLongerThere();
    // Takes a drag over the window when it carries a link.
    void answerDrag(QDragMoveEvent* event, bool entering);
};
