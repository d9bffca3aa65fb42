#include "platform/MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace platform {

namespace {

class RealMessageBox : public MessageBoxProvider {
public:
    int show(const QString& text, const QString& title, int style) override
    {
        QMessageBox box;
        box.setWindowTitle(title);
        // The classic boxes break lines at a carriage return alone, too.
        QString shown = text;
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
        box.setText(shown);
        box.setTextFormat(Qt::PlainText);
        switch (style & 0x70) {
        case MsgStyle::Critical:
            box.setIcon(QMessageBox::Critical);
            break;
        case MsgStyle::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case MsgStyle::Exclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case MsgStyle::Information:
            box.setIcon(QMessageBox::Information);
            break;
        default:
            box.setIcon(QMessageBox::NoIcon);
            break;
        }
        if ((style & 0x0F) == MsgStyle::YesNo) {
            QPushButton* yes = box.addButton(QMessageBox::Yes);
            QPushButton* no = box.addButton(QMessageBox::No);
            box.setDefaultButton(style & MsgStyle::DefaultButton2 ? no : yes);
            box.setEscapeButton(QMessageBox::No);
            box.exec();
            return box.clickedButton() == static_cast<QAbstractButton*>(yes) ? MsgAnswer::Yes : MsgAnswer::No;
        }
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
        box.exec();
        return MsgAnswer::Ok;
    }
};

MessageBoxProvider* g_provider = nullptr;

} // namespace

QString applicationTitle()
{
    return QStringLiteral("Orvane Tessary");
}

int MsgBox(const QString& text, int style, const QString& title)
{
    static RealMessageBox real;
    MessageBoxProvider* provider = g_provider ? g_provider : &real;
    return provider->show(text, title.isEmpty() ? applicationTitle() : title, style);
}

void setMessageBoxProvider(MessageBoxProvider* provider)
{
    g_provider = provider;
}

} // namespace platform
