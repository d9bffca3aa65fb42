#include "forms/about/frmAbout.h"

#include "online/Settings.h"
#include "windowkit/Controls.h"
#include "windowkit/Forms.h"
#include "windowkit/Lifecycle.h"
#include "windowkit/Look.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

static void initAboutResources()
{
    static bool done = false;
    if (!done) {
        Q_INIT_RESOURCE(about);
        done = true;
    }
}

namespace {

// The thin fixed border drawn around the client area, one pixel on each side.
constexpr int Border = 1;

QLabel* rowLabel(QWidget* parent, const char* name, const QString& caption)
{
    QLabel* label = Controls::label(parent, name, caption, Look::sansSerif(12, true));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

} // namespace

frmAbout::frmAbout()
{
    initAboutResources();
    setObjectName(QStringLiteral("frmAbout"));
    setAccessibleName(QStringLiteral("About Orvane Tessary"));
    // No title bar at all, on every window manager: the border is ours (paintEvent).
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QString());
    Look::setBackground(this, Look::Background);
    setFixedSize(twips(8880) + 2 * Border, twips(3015) + 2 * Border);

    client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setGeometry(Border, Border, twips(8880), twips(3015));

    Label1 = Controls::label(client, "Label1", QStringLiteral("Orvane Tessary"), Look::display(26.25, true));
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    placeTwips(Label1, 1425, 120, 6045, 585);

    Picture1 = new QLabel(client);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setAccessibleName(QStringLiteral("Orvane Tessary picture"));
    // The picture box's own one-pixel frame leaves exactly the picture's 150 x 142 inside.
    Picture1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Picture1->setLineWidth(1);
    Picture1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Picture1->setPixmap(QPixmap(QStringLiteral(":/about/Picture1.jpg")));
    placeTwips(Picture1, 240, 720, 2280, 2160);

    Label2 = rowLabel(client, "Label2", QStringLiteral("Programmer :"));
    placeTwips(Label2, 3240, 840, 1620, 300);
    Label3 = rowLabel(client, "Label3", QStringLiteral("Valdric"));
    placeTwips(Label3, 4920, 840, 1935, 300);
    Label4 = rowLabel(client, "Label4", QStringLiteral("Copyright :"));
    placeTwips(Label4, 3420, 1320, 1440, 300);
    Label5 = rowLabel(client, "Label5", QStringLiteral("2026"));
    placeTwips(Label5, 4920, 1320, 1935, 300);
    Label6 = rowLabel(client, "Label6", QStringLiteral("E-Mail :"));
    placeTwips(Label6, 3960, 1800, 915, 300);
    Label7 = rowLabel(client, "Label7", online::SupportEmail);
    // Wider than the classic 3330 twips, up to the picture's margin on the right: our address is
    // longer than that box and a clipped address would show a wrong one.
    placeTwips(Label7, 4920, 1800, 3720, 300);

    // Enter presses the focused button.
    Command1 = Controls::button(client, "Command1", QStringLiteral("Close"), Look::sansSerif(14.25, true), true);
    placeTwips(Command1, 4080, 2280, 1695, 495);
    // The only control that takes the focus.
    Command1->setFocus();

    kit::onEvent(Command1, &QPushButton::clicked, this, &frmAbout::Command1_Click);
}

void frmAbout::Command1_Click()
{
    unload();
}

void frmAbout::paintEvent(QPaintEvent* event)
{
    Form::paintEvent(event);
    QPainter painter(this);
    painter.setPen(QPen(Qt::black, Border));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
