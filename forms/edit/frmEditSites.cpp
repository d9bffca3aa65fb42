#include "forms/edit/frmEditSites.h"

#include "app/Controls.h"
#include "app/Forms.h"
#include "app/Lifecycle.h"
#include "app/LinkList.h"
#include "app/ListBox.h"
#include "app/Look.h"
#include "app/frmMain.h"
#include "data/LinksDb.h"
#include "forms/edit/LinkWindow.h"
#include "forms/edit/frmEditThisSite.h"
#include "platform/MessageBox.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

const QString showAll = QStringLiteral("Show All My Contacts");

// Runs one step of the letter filter; a failing step is passed over and the next one runs.
template <typename F> void skipOnFailure(F&& step)
{
    try {
        step();
    } catch (const DbError&) {
    }
}

} // namespace

frmEditSites::frmEditSites()
{
    setObjectName(QStringLiteral("frmEditSites"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Edit My Sites"));
    setClientSizeTwips(5640, 4935);
    Look::setBackground(this, Look::Background);

    Label1 = Controls::label(this, "Label1", QStringLiteral("Select the site that you wish to edit :"),
                             Look::sansSerif(13.5, true));
    Label2 = Controls::label(this, "Label2", QStringLiteral("Fast Search :"), Look::sansSerif(13.5, true));

    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setAccessibleName(QStringLiteral("Fast Search"));
    Combo1->setEditable(true);
    // The window's small type, so the prompt fits the box instead of being cut off.
    Combo1->setFont(Look::sansSerif(8.25));
    // The text field is free to type in, but typed text never chooses an entry: the combo would
    // otherwise pick the entry it matches on Enter or when the focus leaves the field.
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->setCompleter(nullptr);
    Combo1->lineEdit()->blockSignals(true);

    List1 = new ListBox(false, this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setAccessibleName(QStringLiteral("Sites"));
    List1->setFont(Look::sansSerif(8.25, true));

    Command1 = Controls::button(this, "Command1", QStringLiteral("Cancel"), Look::sansSerif(14.25, true), false);

    placeTwips(Label1, 240, 120, 5010, 360);
    placeTwips(Label2, 240, 960, 1860, 360);
    placeTwips(Combo1, 2280, 960, 3375, 315);
    placeTwips(List1, 0, 1440, 5655, 2595);
    placeTwips(Command1, 1800, 4200, 1695, 615);

    setTabOrder(List1, Command1);
    setTabOrder(Command1, Combo1);
    List1->setFocus();

    // activated: a pick from the drop-down or a move with the arrow keys, never a typed text.
    app::onEvent(Combo1, &QComboBox::activated, this, &frmEditSites::Combo1_Click);
    app::onEvent(List1, &ListBox::Click, this, &frmEditSites::List1_Click);
    app::onEvent(Command1, &QPushButton::clicked, this, &frmEditSites::Command1_Click);
}

void frmEditSites::Form_Load()
{
    Combo1->addItem(showAll);
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        Combo1->addItem(QString(QLatin1Char(letter)));
    Combo1->setCurrentIndex(-1);
    Combo1->setEditText(QStringLiteral("<<Choose a letter for a fast search>>"));
    // The hint is wider than the box: show its beginning.
    Combo1->lineEdit()->setCursorPosition(0);
    fillWithAllLinks();
}

void frmEditSites::fillWithAllLinks()
{
    Database db = LinksDb::open();
    Recordset rs = db.openRecordset(QStringLiteral("links"), RecordsetType::Table);
    fillLinkList(List1, rs, rs.recordCount());
}

void frmEditSites::PutInTheListTheRecords()
{
    // Only the combo's own entries reach the query, never text typed into its field.
    const QString letter = Combo1->itemText(Combo1->currentIndex());
    Database db = LinksDb::open();
    Recordset rs = db.openRecordset(QStringLiteral("SELECT * FROM links WHERE SiteName LIKE '") + letter +
                                    QStringLiteral("'") + QStringLiteral("& '*'"));

    int count = 0;
    skipOnFailure([&] { rs.moveLast(); });
    skipOnFailure([&] { rs.moveFirst(); });
    skipOnFailure([&] { count = rs.recordCount(); });
    skipOnFailure([&] { rs.moveFirst(); });
    List1->Clear();
    for (int i = 0; i < count; ++i) {
        skipOnFailure([&] { List1->AddItem(rs.text(QStringLiteral("SiteName")), rs.id()); });
        skipOnFailure([&] { rs.moveNext(); });
    }
}

void frmEditSites::Combo1_Click()
{
    if (Combo1->currentText() == showAll)
        fillWithAllLinks();
    else
        PutInTheListTheRecords();
}

void frmEditSites::List1_Click()
{
    const int index = List1->ListIndex();
    Database db = LinksDb::open();
    // Exactly the record the entry was listed from, whatever its name looks like, and only while
    // it still holds that link: a freed identity goes to the next new link.
    Recordset rs = db.openRecord(QStringLiteral("links"), List1->ItemData(index));
    if (!rs.hasCurrentRecord() || rs.text(QStringLiteral("SiteName")) != List1->List(index)) {
        platform::MsgBox(QStringLiteral("The site link you picked was deleted or changed meanwhile. "
                                        "The list now shows the links as they are."),
                         platform::MsgStyle::Exclamation, QStringLiteral("Warning"));
        // The refill keeps the letter the combo shows.
        if (Combo1->currentIndex() > 0)
            PutInTheListTheRecords();
        else
            fillWithAllLinks();
        return;
    }
    const QString name = rs.text(QStringLiteral("SiteName"));
    const QString url = rs.text(QStringLiteral("URL"));

    frmEditThisSite* editor = Forms::load<frmEditThisSite>();
    if (!editor)
        return;
    editor->setRecord(rs.id(), name, url);
    Forms::showForm(editor);
    unload();
}

void frmEditSites::Command1_Click()
{
    unload();
}

void frmMain::mnuEditSite_Click()
{
    Forms::show<frmEditSites>();
}
