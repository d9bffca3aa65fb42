#include "app/frmMain.h"

// Placeholder until the update check is built.
void frmMain::mnuUpdates_Click() {}
