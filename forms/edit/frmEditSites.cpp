#include "app/frmMain.h"

// Placeholder until link editing is built.
void frmMain::mnuEditSite_Click() {}
