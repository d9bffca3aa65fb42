#include "app/frmMain.h"

// Placeholder until link editing is built.
void frmMain::mnuDeleteAllContacts_Click() {}
void frmMain::mnuDeleteSelectedContact_Click() {}
