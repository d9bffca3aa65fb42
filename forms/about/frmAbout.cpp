#include "app/frmMain.h"

// Placeholder until the About box is built.
void frmMain::mnuAbout_Click() {}
