#include "forms/edit/LinkWindow.h"

#include "platform/MessageBox.h"
#include "windowkit/Look.h"

#include <QLabel>
#include <QLineEdit>
#include <limits>

namespace LinkWindow {

QLineEdit* entryBox(QWidget* window, const char* name, const QString& accessibleName)
{
    auto* t = new QLineEdit(window);
    t->setObjectName(QLatin1String(name));
    t->setAccessibleName(accessibleName);
    // A line edit cuts text at 32,767 characters unless told otherwise.
    t->setMaxLength(std::numeric_limits<int>::max());
    Look::setBackground(t, Look::EntryYellow);
    return t;
}

bool refuseEmptyName(const QLineEdit* txtname)
{
    if (!txtname->text().isEmpty())
        return false;
    platform::MsgBox(QStringLiteral("You must fill the site name box!"), platform::MsgStyle::Exclamation,
                     QStringLiteral("Warning"));
    return true;
}

} // namespace LinkWindow
