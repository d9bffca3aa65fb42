#include "forms/edit/frmEditThisSite.h"

#include "app/Forms.h"
#include "app/Lifecycle.h"
#include "app/LinkList.h"
#include "app/ListBox.h"
#include "app/frmMain.h"
#include "data/LinksDb.h"
#include "app/Look.h"
#include "platform/MessageBox.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

frmEditThisSite::frmEditThisSite()
{
    setObjectName(QStringLiteral("frmEditThisSite"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QStringLiteral("Edit This Site"));
    setClientSizeTwips(7050, 2385);
    Look::setBackground(this, Look::Background);

    auto label = [this](const char* name, const QString& caption, const QFont& font) {
        auto* l = new QLabel(caption, this);
        l->setObjectName(QLatin1String(name));
        l->setAccessibleName(caption);
        l->setFont(font);
        return l;
    };
    Label1 = label("Label1", QStringLiteral("Edit Link Information"), Look::sansSerif(18, true, true));
    Label2 = label("Label2", QStringLiteral("Site Name :"), Look::sansSerif(12, true));
    Label9 = label("Label9", QStringLiteral("URL :"), Look::sansSerif(12, true));

    auto box = [this](const char* name, const QString& accessible) {
        auto* t = new QLineEdit(this);
        t->setObjectName(QLatin1String(name));
        t->setAccessibleName(accessible);
        Look::setBackground(t, Look::EntryYellow);
        return t;
    };
    txtname = box("txtname", QStringLiteral("Site Name"));
    txtURL = box("txtURL", QStringLiteral("URL"));

    auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAccessibleName(caption);
        b->setFont(Look::sansSerif(14.25, true));
        // As on the desktop the program comes from: Enter on a focused button presses that button.
        b->setAutoDefault(true);
        return b;
    };
    Command2 = button("Command2", QStringLiteral("Save"));
    Command1 = button("Command1", QStringLiteral("Cancel"));
    Command2->setDefault(true);

    placeTwips(Label1, 960, 120, 3585, 435);
    placeTwips(Label2, 240, 840, 1410, 300);
    placeTwips(Label9, 1080, 1320, 705, 300);
    placeTwips(txtname, 1800, 840, 5055, 375);
    placeTwips(txtURL, 1800, 1320, 5055, 375);
    placeTwips(Command2, 2040, 1800, 1695, 495);
    placeTwips(Command1, 3720, 1800, 1695, 495);

    setTabOrder(Command1, Command2);
    setTabOrder(Command2, txtURL);
    setTabOrder(txtURL, txtname);
    Command1->setFocus();

    app::onEvent(Command2, &QPushButton::clicked, this, &frmEditThisSite::Command2_Click);
    app::onEvent(Command1, &QPushButton::clicked, this, &frmEditThisSite::Command1_Click);
    // A plain window has no default-button handling of its own: Enter in a box presses "Save".
    connect(txtname, &QLineEdit::returnPressed, Command2, &QPushButton::click);
    connect(txtURL, &QLineEdit::returnPressed, Command2, &QPushButton::click);
}

void frmEditThisSite::setRecord(const QString& key, qint64 id)
{
    m_recordKey = key;
    m_recordId = id;
}

void frmEditThisSite::Command2_Click()
{
    if (txtname->text().isEmpty()) {
        platform::MsgBox(QStringLiteral("You must fill the site name box!"), platform::MsgStyle::Exclamation,
                         QStringLiteral("Warning"));
        return;
    }
    if (txtURL->text().isEmpty())
        txtURL->setText(QStringLiteral("None"));

    Database db = LinksDb::open();
    // Exactly the record that was picked, whatever its name and however many others share it.
    Recordset record = db.openRecord(QStringLiteral("links"), m_recordId);
    if (!record.hasCurrentRecord()) {
        platform::MsgBox(QStringLiteral("This site link no longer exists. It may have been deleted while you were "
                                        "editing it."),
                         platform::MsgStyle::Exclamation, QStringLiteral("Warning"));
        unload();
        return;
    }
    record.edit();
    record.setValue(QStringLiteral("SiteName"), txtname->text());
    record.setValue(QStringLiteral("URL"), txtURL->text());
    record.update();

    Recordset rs = db.openRecordset(QStringLiteral("links"), RecordsetType::Table);
    const int count = rs.recordCount();
    if (frmMain* main = Forms::find<frmMain>()) {
        main->lblTotalContacts->setText(QString::number(count));
        fillLinkList(main->List1, rs, count);
        // The main window reacts as to any selection: the first entry becomes its current link.
        main->List1->setListIndex(0);
    }
    unload();
}

void frmEditThisSite::Command1_Click()
{
    unload();
}
