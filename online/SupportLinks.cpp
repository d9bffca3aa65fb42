#include "app/frmMain.h"

// Placeholder until the support commands are built.
void frmMain::mnuFourm_Click() {}
void frmMain::mnuEmail_Click() {}
