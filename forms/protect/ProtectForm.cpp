#include "forms/protect/ProtectForm.h"

#include "windowkit/Controls.h"
#include "windowkit/Look.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

ProtectForm::ProtectForm(const QString& caption, Frame frame, int widthTwips, int heightTwips)
{
    // No close box, window menu, minimise or maximise button: the way on is through the buttons.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(caption);
    setAccessibleName(caption);

    Look::setBackground(this, Look::Background);
    setFont(Look::sansSerif(8));

    if (frame == Frame::Fixed)
        setClientSizeTwips(widthTwips, heightTwips);
    else
        resize(twips(widthTwips), twips(heightTwips));
}

QPushButton* ProtectForm::makeButton(const QString& name, const QString& caption)
{
    return Controls::button(this, name, caption, font(), true);
}

QLabel* ProtectForm::makeLabel(const QString& name, const QString& caption)
{
    QLabel* label = Controls::label(this, name, caption, font());
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QLineEdit* ProtectForm::makeTextBox(const QString& name, const QString& accessibleName, int maxLength, bool masked)
{
    auto* box = new QLineEdit(this);
    box->setObjectName(name);
    box->setAccessibleName(accessibleName);
    box->setMaxLength(maxLength);
    if (masked) {
        box->setEchoMode(QLineEdit::Password);
        // Shown as "*" like the desktop's password boxes, not the style's bullet.
        box->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    }
    return box;
}

