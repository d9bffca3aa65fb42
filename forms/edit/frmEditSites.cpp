#include "forms/edit/frmEditSites.h"

#include "data/LinksStore.h"
#include "forms/edit/LinkWindow.h"
#include "forms/edit/frmEditThisSite.h"
#include "platform/MessageBox.h"
#include "windowkit/Controls.h"
#include "windowkit/Forms.h"
#include "windowkit/Lifecycle.h"
#include "windowkit/ListBox.h"
#include "windowkit/Look.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

const QString showAll = QStringLiteral("Show All My Contacts");

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
    kit::onEvent(Combo1, &QComboBox::activated, this, &frmEditSites::Combo1_Click);
    kit::onEvent(List1, &ListBox::Click, this, &frmEditSites::List1_Click);
    kit::onEvent(Command1, &QPushButton::clicked, this, &frmEditSites::Command1_Click);
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
    LinkNames all = LinksStore::names();
    List1->setItems(std::move(all.names), std::move(all.ids));
}

void frmEditSites::PutInTheListTheRecords()
{
    // Only the combo's own entries reach the query, never text typed into its field.
    LinkNames found = LinksStore::namesStartingWith(Combo1->itemText(Combo1->currentIndex()));
    List1->setItems(std::move(found.names), std::move(found.ids));
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
    // Exactly the record the entry was listed from, whatever its name looks like, and only while
    // it still holds that link: a freed identity goes to the next new link.
    const std::optional<Link> link = LinksStore::read(List1->ItemData(index));
    if (!link || link->name != List1->List(index)) {
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
    frmEditThisSite* editor = Forms::load<frmEditThisSite>();
    if (!editor)
        return;
    editor->setRecord(*link);
    Forms::showForm(editor);
    unload();
}

void frmEditSites::Command1_Click()
{
    unload();
}
