#pragma once

#include <QString>

class QLineEdit;
class QWidget;
class Recordset;
class frmMain;

// The pieces the New Site and Edit This Site windows share: their entry boxes, their messages and
// the rebuild of the main window's list and count after a change.
namespace LinkWindow {

// A yellow one-line box without a length limit: a name or an address is kept whole.
QLineEdit* entryBox(QWidget* window, const char* name, const QString& accessibleName);

// The empty-name refusal both windows make before anything else.
bool refuseEmptyName(const QLineEdit* txtname);

// The main window's count and list from a table cursor on links, nothing selected; returns the
// main window (nullptr when it is not open).
frmMain* rebuildMainList(Recordset& rs);

} // namespace LinkWindow
