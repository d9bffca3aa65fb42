#pragma once

#include <QString>

class QLineEdit;
class QWidget;

// The pieces the New Site and Edit This Site windows share: their entry boxes and their messages.
namespace LinkWindow {

// A yellow one-line box without a length limit: a name or an address is kept whole.
QLineEdit* entryBox(QWidget* window, const char* name, const QString& accessibleName);

// The empty-name refusal both windows make before anything else.
bool refuseEmptyName(const QLineEdit* txtname);

} // namespace LinkWindow
