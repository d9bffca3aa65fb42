#include "app/frmMain.h"

// Placeholder until the main window is built.
frmMain::frmMain() = default;
frmMain::~frmMain() = default;
void frmMain::PutInTheListTheRecords() {}
void frmMain::ButtonsEnabled() {}
void frmMain::List1_Click() {}
void frmMain::List1_MouseDown(Qt::MouseButton, const QPoint&) {}
void frmMain::List1_MouseMove() {}
void frmMain::Form_MouseMove() {}
void frmMain::Command1_Click() {}
void frmMain::mnuExit_Click() {}
void frmMain::Form_Load() {}
void frmMain::Form_Unload() {}
void frmMain::mouseMoveEvent(QMouseEvent*) {}
