#pragma once

#include <QString>

class QFont;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;
class Recordset;
class frmMain;

// The pieces the New Site and Edit This Site windows share: their controls and the rebuild of
// the main window's list and count after a change.
namespace LinkWindow {

QLabel* label(QWidget* window, const char* name, const QString& caption, const QFont& font);
// A yellow one-line box without a length limit: a name or an address is kept whole.
QLineEdit* entryBox(QWidget* window, const char* name, const QString& accessibleName);
QPushButton* button(QWidget* window, const char* name, const QString& caption, bool autoDefault);

// The empty-name refusal both windows make before anything else.
bool refuseEmptyName(const QLineEdit* txtname);

// Tells the user that the link picked or being edited was deleted meanwhile.
void sayLinkIsGone();

// The main window's count and list from a table cursor on links, nothing selected; returns the
// main window (nullptr when it is not open).
frmMain* rebuildMainList(Recordset& rs);

} // namespace LinkWindow
