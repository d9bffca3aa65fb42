#include "app/frmMain.h"

#include "backups/Backups.h"
#include "data/LinksDb.h"
#include "data/Protection.h"
#include "forms/about/frmAbout.h"
#include "forms/backups/frmRestore.h"
#include "forms/bookmarks/Bookmarks.h"
#include "forms/edit/frmEditSites.h"
#include "forms/edit/frmNewSite.h"
#include "forms/find/frmFindSite.h"
#include "forms/linkcheck/frmCheckLinks.h"
#include "forms/protect/frmOptions.h"
#include "linkdrop/LinkDrop.h"
#include "online/Settings.h"
#include "online/SupportLinks.h"
#include "online/UpdateCheck.h"
#include "platform/MessageBox.h"
#include "platform/ShellOpen.h"
#include "platform/SingleInstance.h"
#include "windowkit/Controls.h"
#include "windowkit/Forms.h"
#include "windowkit/Lifecycle.h"
#include "windowkit/ListBox.h"
#include "windowkit/Look.h"
#include "windowkit/StaleLink.h"

#include "TessaryVersion.h"

#include <QAction>
#include <QClipboard>
#include <QDropEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel* makeLabel(QWidget* parent, const char* name, const QString& caption, qreal pointSize)
{
    return Controls::label(parent, name, caption, Look::sansSerif(pointSize, true));
}

QAction* makeAction(QWidget* owner, const char* name, const QString& caption, const QKeySequence& shortcut = {})
{
    auto* action = new QAction(caption, owner);
    action->setObjectName(QLatin1String(name));
    action->setShortcut(shortcut);
    return action;
}

// The browser keeps its tab or its page's link: the drop is a copy, or a link where the browser
// offers no copy.
void acceptAsCopy(QDropEvent* event)
{
    if (event->possibleActions() & Qt::CopyAction)
        event->setDropAction(Qt::CopyAction);
    else if (event->possibleActions() & Qt::LinkAction)
        event->setDropAction(Qt::LinkAction);
    else
        event->setDropAction(event->proposedAction());
    event->accept();
}

} // namespace

frmMain::frmMain()
{
    setObjectName(QStringLiteral("frmMain"));
    // Resizable, with a minimise button and no maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    Look::setBackground(this, Look::Background);
    setMouseTracking(true);

    menuBar = new QMenuBar(this);
    menuBar->setObjectName(QStringLiteral("menuBar"));
    menuBar->setNativeMenuBar(false);

    // Controls keep their places when the frame is resized: the client area has a fixed size.
    client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(twips(5310), twips(4710));
    client->setMouseTracking(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(menuBar);
    layout->addWidget(client, 0, Qt::AlignLeft | Qt::AlignTop);
    layout->addStretch();

    List1 = new ListBox(true, client);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setAccessibleName(QStringLiteral("Sites"));
    Look::setBackground(List1, Look::EntryYellow);
    List1->setFont(Look::sansSerif(8.25, true));
    placeTwips(List1, 0, 0, 5295, 2790);

    Label2 = makeLabel(client, "Label2", QStringLiteral("Name :"), 12);
    placeTwips(Label2, 120, 2880, 855, 300);
    lblSiteName = makeLabel(client, "lblSiteName", QString(), 12);
    lblSiteName->setAccessibleDescription(QStringLiteral("Site name"));
    Look::setTextColour(lblSiteName, Look::DarkRed);
    placeTwips(lblSiteName, 960, 2880, 4530, 300);
    Label9 = makeLabel(client, "Label9", QStringLiteral("URL :"), 12);
    placeTwips(Label9, 120, 3240, 705, 300);
    lblURL = makeLabel(client, "lblURL", QString(), 12);
    lblURL->setAccessibleDescription(QStringLiteral("Address"));
    Look::setTextColour(lblURL, Look::DarkRed);
    placeTwips(lblURL, 840, 3240, 4425, 300);

    Command1 = Controls::button(client, "Command1", QStringLiteral("Open Link"), Look::display(14.25), false);
    placeTwips(Command1, 0, 3600, 5295, 495);

    Label15 = makeLabel(client, "Label15", QStringLiteral("Total Links :"), 12);
    placeTwips(Label15, 1320, 4320, 1470, 300);
    lblTotalContacts = makeLabel(client, "lblTotalContacts", QStringLiteral("99999"), 24);
    Look::setTextColour(lblTotalContacts, Look::DarkRed);
    lblTotalContacts->setAccessibleDescription(QStringLiteral("Number of links"));
    lblTotalContacts->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    placeTwips(lblTotalContacts, 2880, 4200, 1455, 555);

    // Holds the reply of the update check; never shown.
    lblupdate = makeLabel(client, "lblupdate", QString(), 8.25);
    placeTwips(lblupdate, 5400, 1800, 1695, 255);
    lblupdate->setVisible(false);

    setTabOrder(List1, Command1);

    mnuContacts = menuBar->addMenu(QStringLiteral("&Sites"));
    mnuContacts->setObjectName(QStringLiteral("mnuContacts"));
    mnuNewContact =
        makeAction(this, "mnuNewContact", QStringLiteral("New Site Link"), QKeySequence(Qt::CTRL | Qt::Key_N));
    mnuEditSite =
        makeAction(this, "mnuEditSite", QStringLiteral("Edit Site Link"), QKeySequence(Qt::CTRL | Qt::Key_E));
    mnuFindSite =
        makeAction(this, "mnuFindSite", QStringLiteral("Find Site Link..."), QKeySequence(Qt::CTRL | Qt::Key_F));
    mnuVBLINE = makeAction(this, "mnuVBLINE", QString());
    mnuVBLINE->setSeparator(true);
    mnuDeleteAllContacts = makeAction(this, "mnuDeleteAllContacts", QStringLiteral("Delete All Site Links"),
                                      QKeySequence(Qt::CTRL | Qt::Key_D));
    mnuDeleteSelectedContact =
        makeAction(this, "mnuDeleteSelectedContact", QStringLiteral("Delete Selected Site Link"),
                   QKeySequence(Qt::CTRL | Qt::Key_X));
    mnuOptions = makeAction(this, "mnuOptions", QStringLiteral("Options"), QKeySequence(Qt::CTRL | Qt::Key_O));
    mnuImportBookmarks = makeAction(this, "mnuImportBookmarks", QStringLiteral("Import Bookmarks..."),
                                    QKeySequence(Qt::CTRL | Qt::Key_I));
    mnuExportBookmarks = makeAction(this, "mnuExportBookmarks", QStringLiteral("Export Bookmarks..."),
                                    QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
    mnuCheckLinks = makeAction(this, "mnuCheckLinks", QStringLiteral("Check Links..."));
    mnuRestoreBackup = makeAction(this, "mnuRestoreBackup", QStringLiteral("Restore From Backup..."));
    mnuPasteSite =
        makeAction(this, "mnuPasteSite", QStringLiteral("Paste Site Link"), QKeySequence(Qt::CTRL | Qt::Key_V));
    mnuExit = makeAction(this, "mnuExit", QStringLiteral("EXIT"), QKeySequence(Qt::Key_Delete));
    mnuContacts->addActions({mnuNewContact, mnuEditSite, mnuFindSite, mnuVBLINE, mnuDeleteAllContacts,
                             mnuDeleteSelectedContact, mnuOptions, mnuImportBookmarks, mnuExportBookmarks,
                             mnuCheckLinks, mnuRestoreBackup, mnuPasteSite, mnuExit});

    mnuAbout = makeAction(this, "mnuAbout", QStringLiteral("About"));
    menuBar->addAction(mnuAbout);

    mnuSupport = menuBar->addMenu(QStringLiteral("Support"));
    mnuSupport->setObjectName(QStringLiteral("mnuSupport"));
    mnuUpdates = makeAction(this, "mnuUpdates", QStringLiteral("Check For New Updates"));
    mnuFourm = makeAction(this, "mnuFourm", QStringLiteral("Online Support Forum"));
    mnuEmail = makeAction(this, "mnuEmail", QStringLiteral("Email Valdric / Programmer"));
    mnuSupport->addActions({mnuUpdates, mnuFourm, mnuEmail});

    // The shortcuts work whenever the main window is active, menus open or not.
    addActions({mnuNewContact, mnuEditSite, mnuFindSite, mnuDeleteAllContacts, mnuDeleteSelectedContact, mnuOptions,
                mnuImportBookmarks, mnuExportBookmarks, mnuPasteSite, mnuExit});

    // A link dragged from a browser is taken anywhere on the window. The list and the other
    // controls take no drops of their own, so Qt hands a drag over them to the window.
    setAcceptDrops(true);

    kit::onEvent(List1, &ListBox::Click, this, &frmMain::List1_Click);
    kit::onEvent(List1, &ListBox::MouseMove, this, &frmMain::List1_MouseMove);
    // The delete command follows the selection however it changes, not only when the mouse moves.
    kit::onEvent(List1, &ListBox::SelectionStateChanged, this, &frmMain::ButtonsEnabled);
    connect(List1, &ListBox::MouseDown, this, [this](Qt::MouseButton button, const QPoint& globalPos) {
        kit::guarded([&] { List1_MouseDown(button, globalPos); });
    });
    kit::onEvent(Command1, &QPushButton::clicked, this, &frmMain::Command1_Click);
    kit::onEvent(mnuNewContact, &QAction::triggered, this, &frmMain::mnuNewContact_Click);
    kit::onEvent(mnuEditSite, &QAction::triggered, this, &frmMain::mnuEditSite_Click);
    kit::onEvent(mnuFindSite, &QAction::triggered, this, &frmMain::mnuFindSite_Click);
    kit::onEvent(mnuDeleteAllContacts, &QAction::triggered, this, &frmMain::mnuDeleteAllContacts_Click);
    kit::onEvent(mnuDeleteSelectedContact, &QAction::triggered, this, &frmMain::mnuDeleteSelectedContact_Click);
    kit::onEvent(mnuOptions, &QAction::triggered, this, &frmMain::mnuOptions_Click);
    kit::onEvent(mnuImportBookmarks, &QAction::triggered, this, &frmMain::mnuImportBookmarks_Click);
    kit::onEvent(mnuExportBookmarks, &QAction::triggered, this, &frmMain::mnuExportBookmarks_Click);
    kit::onEvent(mnuCheckLinks, &QAction::triggered, this, &frmMain::mnuCheckLinks_Click);
    kit::onEvent(mnuRestoreBackup, &QAction::triggered, this, &frmMain::mnuRestoreBackup_Click);
    kit::onEvent(mnuPasteSite, &QAction::triggered, this, &frmMain::mnuPasteSite_Click);
    kit::onEvent(mnuExit, &QAction::triggered, this, &frmMain::mnuExit_Click);
    kit::onEvent(mnuAbout, &QAction::triggered, this, &frmMain::mnuAbout_Click);
    kit::onEvent(mnuUpdates, &QAction::triggered, this, &frmMain::mnuUpdates_Click);
    kit::onEvent(mnuFourm, &QAction::triggered, this, &frmMain::mnuFourm_Click);
    kit::onEvent(mnuEmail, &QAction::triggered, this, &frmMain::mnuEmail_Click);

    connect(&LinksStore::instance(), &LinksStore::changed, this,
            [this](LinksStore::Change change) { kit::guarded([&] { linksChanged(change); }); });

    resize(twips(5310), twips(4710) + menuBar->sizeHint().height());
}

frmMain::~frmMain()
{
    backups::finishDaily(false);
}

void frmMain::Form_Load()
{
    if (platform::anotherCopyRunning(LinksDb::path())) {
        platform::MsgBox(QStringLiteral("Orvane Tessary is already running in memory"), platform::MsgStyle::OkOnly,
                         QStringLiteral("Orvane Tessary"));
        unload();
        return;
    }

    setWindowTitle(QStringLiteral(" Orvane Tessary V/ %1. %2. %3")
                       .arg(release::Major)
                       .arg(release::Minor)
                       .arg(release::Patch));

    m_keepOpen = std::make_unique<LinksDb::KeepOpen>();
    LinkNames all = LinksStore::names();
    // An empty table leaves the list and the commands as they were made.
    if (all.names.isEmpty()) {
        lblTotalContacts->setText(QStringLiteral("0"));
    } else {
        showList(std::move(all));
        List1->setListIndex(0);
        ButtonsEnabled();
    }
    List1->setFocus();
    backups::startDaily(this);
}

void frmMain::Form_Unload()
{
    backups::finishDaily(false);
    Protection::forgetKey();
    kit::endApplication(0);
}

void frmMain::List1_Click()
{
    const int index = List1->ListIndex();
    // Each entry remembers its record, so the entry shows exactly the link it was listed from,
    // whatever its name (outer blanks, apostrophes, letter case, names stored twice).
    std::optional<Link> link;
    try {
        link = LinksStore::read(List1->ItemData(index));
    } catch (const DbError& e) {
        // A link that cannot be read leaves the labels as they were; one that does not decrypt
        // is a damaged file, which is never shown.
        if (e.number() == DbErr::NotAuthentic || e.number() == DbErr::KeyChanged)
            throw;
        m_current.reset();
        return;
    }
    m_current.reset();
    if (index < 0)
        return;
    // An identity freed by a delete is handed to the next new link: a record that is gone or has
    // another name is not the link this entry was listed for.
    if (!link || link->name != List1->List(index)) {
        linkNoLongerThere();
        return;
    }
    showDetails(link->name, link->url);
    m_current = link;
}

void frmMain::List1_MouseDown(Qt::MouseButton button, const QPoint& globalPos)
{
    if (button != Qt::RightButton)
        return;
    List1_Click();
    mnuContacts->popup(globalPos);
}

void frmMain::List1_MouseMove()
{
    ButtonsEnabled();
}

void frmMain::Form_MouseMove()
{
    ButtonsEnabled();
}

void frmMain::mouseMoveEvent(QMouseEvent* event)
{
    kit::guarded([this] { Form_MouseMove(); });
    Form::mouseMoveEvent(event);
}

void frmMain::PutInTheListTheRecords()
{
    m_current.reset();
    LinkNames all = LinksStore::names();
    // Said while the list still shows what it held.
    if (all.names.isEmpty())
        platform::MsgBox(QStringLiteral("You have 0 Links !"), platform::MsgStyle::Information,
                         QStringLiteral("Information"));
    showList(std::move(all));
}

void frmMain::rebuildList()
{
    showList(LinksStore::names());
}

void frmMain::showList(LinkNames all)
{
    LinkCount = int(all.names.size());
    lblTotalContacts->setText(QString::number(LinkCount));
    List1->setItems(std::move(all.names), std::move(all.ids));
}

void frmMain::linksChanged(LinksStore::Change change)
{
    switch (change) {
    case LinksStore::Change::Added:
    case LinksStore::Change::Imported:
    case LinksStore::Change::Reloaded:
        // The details, the current link and the menu state stay: only the list and the count
        // follow the table, with nothing selected.
        rebuildList();
        break;
    case LinksStore::Change::Edited:
        // As after any selection: the first entry becomes the current link.
        rebuildList();
        List1->setListIndex(0);
        break;
    case LinksStore::Change::Deleted:
        PutInTheListTheRecords();
        showDetails(QString(), QString());
        break;
    case LinksStore::Change::DeletedAll:
        m_current.reset();
        showDetails(QString(), QString());
        List1->Clear();
        LinkCount = 0;
        lblTotalContacts->setText(QStringLiteral("0"));
        break;
    }
}

void frmMain::showDetails(const QString& name, const QString& url)
{
    lblSiteName->setText(name);
    lblURL->setText(url);
    // The labels keep their size; a longer name or address can still be read whole.
    lblSiteName->setToolTip(name);
    lblURL->setToolTip(url);
}

void frmMain::linkNoLongerThere()
{
    StaleLink::sayNothingDone();
    m_current.reset();
    rebuildList();
    showDetails(QString(), QString());
}

void frmMain::ButtonsEnabled()
{
    mnuDeleteSelectedContact->setEnabled(!List1->Text().isEmpty());
}

void frmMain::Command1_Click()
{
    platform::shellOpen(lblURL->text());
}

void frmMain::mnuNewContact_Click()
{
    Forms::show<frmNewSite>();
}

void frmMain::mnuEditSite_Click()
{
    Forms::show<frmEditSites>();
}

void frmMain::mnuDeleteSelectedContact_Click()
{
    // Without a current link (after a refill, a Delete All, or a lookup that found nothing) there
    // is nothing to delete and nothing to ask.
    if (!m_current)
        return;
    if (platform::MsgBox(QStringLiteral("Are you sure you want to delete this site link ?"),
                         platform::MsgStyle::YesNo, QStringLiteral("Warning")) != platform::MsgAnswer::Yes)
        return;
    // Only the link the user saw is deleted, never one that took over its identity meanwhile.
    if (!LinksStore::remove(*m_current))
        linkNoLongerThere();
}

void frmMain::mnuDeleteAllContacts_Click()
{
    if (platform::MsgBox(QStringLiteral("Are you sure you want to delete all your contacts ?"),
                         platform::MsgStyle::YesNo, QStringLiteral("Warning")) != platform::MsgAnswer::Yes)
        return;
    if (!backups::before(backups::Reason::DeleteAll))
        return;
    LinksStore::removeAll();
}

void frmMain::mnuOptions_Click()
{
    Forms::show<frmOptions>();
}

void frmMain::mnuImportBookmarks_Click()
{
    bookmarks::importFile(this);
}

void frmMain::mnuExportBookmarks_Click()
{
    bookmarks::exportFile(this);
}

void frmMain::mnuPasteSite_Click()
{
    addLinkFrom(QGuiApplication::clipboard()->mimeData());
}

bool frmMain::addLinkFrom(const QMimeData* data)
{
    const std::optional<Link> link = data ? LinkDrop::firstLink(*data) : std::nullopt;
    if (!link)
        return false;
    // The one New Site window: opened, or brought to the front keeping what the user typed.
    if (frmNewSite* form = Forms::show<frmNewSite>())
        form->offerLink(link->name, link->url);
    return true;
}

void frmMain::dragEnterEvent(QDragEnterEvent* event)
{
    answerDrag(event, true);
}

void frmMain::dragMoveEvent(QDragMoveEvent* event)
{
    answerDrag(event, false);
}

void frmMain::answerDrag(QDragMoveEvent* event, bool entering)
{
    // Read once as the drag enters, not at every move of the mouse.
    if (entering || event->mimeData() != m_dragData) {
        m_dragData = event->mimeData();
        m_dragCarriesLink = event->mimeData() && LinkDrop::firstLink(*event->mimeData());
    }
    if (m_dragCarriesLink)
        acceptAsCopy(event);
    else
        event->ignore();
}

void frmMain::dropEvent(QDropEvent* event)
{
    m_dragData = nullptr;
    bool offered = false;
    kit::guarded([&] { offered = addLinkFrom(event->mimeData()); });
    if (offered)
        acceptAsCopy(event);
    else
        event->ignore();
}

void frmMain::mnuCheckLinks_Click()
{
    frmCheckLinks::askAndCheck();
}

void frmMain::mnuRestoreBackup_Click()
{
    Forms::show<frmRestore>();
}

void frmMain::mnuExit_Click()
{
    unload();
}

void frmMain::mnuAbout_Click()
{
    Forms::show<frmAbout>();
}

void frmMain::mnuUpdates_Click()
{
    try {
        const online::UpdateCheck check = online::checkForUpdates(Inet1RequestTimeoutMs);
        if (check.replied)
            lblupdate->setText(check.reply);
        repaint();
        switch (check.outcome) {
        case online::UpdateCheck::Failed:
        case online::UpdateCheck::Empty:
            platform::MsgBox(online::ConnectError);
            return;
        case online::UpdateCheck::UpToDate:
            platform::MsgBox(online::NoUpgrades);
            return;
        case online::UpdateCheck::Newer:
            break;
        }
        if (platform::MsgBox(online::NewerVersion, platform::MsgStyle::YesNo + platform::MsgStyle::Question,
                             online::AutoUpdateTitle) != platform::MsgAnswer::Yes)
            return;
        platform::shellOpen(online::downloadPageUrl());
        unload();
    } catch (...) {
        // Nothing of the check may reach the unexpected-failure rule: the program goes on.
        platform::MsgBox(online::ConnectError);
        repaint();
    }
}

void frmMain::mnuFourm_Click()
{
    online::openSupportForum();
}

void frmMain::mnuEmail_Click()
{
    online::openSupportEmail();
}

void frmMain::mnuFindSite_Click()
{
    const bool fresh = !Forms::find<frmFindSite>();
    frmFindSite* find = Forms::load<frmFindSite>();
    if (!find)
        return;
    if (fresh) {
        connect(find, &frmFindSite::ShowInList, this,
                [this](const Link& link) { kit::guarded([&] { showLink(link); }); });
        find->setMainList(List1);
    }
    Forms::showForm(find);
    // Ctrl+F again: a new query replaces the last one.
    find->txtFind->setFocus();
    find->txtFind->selectAll();
}

void frmMain::showLink(const Link& link)
{
    const auto rowOf = [this, &link] {
        for (int row = 0; row < List1->ListCount(); ++row) {
            if (List1->ItemData(row) == link.id && List1->List(row) == link.name)
                return row;
        }
        return -1;
    };
    int row = rowOf();
    // The list does not follow another copy's writes on its own.
    if (row < 0) {
        rebuildList();
        row = rowOf();
    }
    if (row < 0) {
        linkNoLongerThere();
        return;
    }
    if (List1->ListIndex() == row)
        List1_Click();
    else
        List1->setListIndex(row);
    raise();
    activateWindow();
}
