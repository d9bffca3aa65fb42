#include "app/frmMain.h"

// Placeholder until the options window is built.
void frmMain::mnuOptions_Click() {}
