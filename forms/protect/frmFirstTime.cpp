#include "forms/protect/frmFirstTime.h"

// Placeholder until the start-up road is built.
frmFirstTime::frmFirstTime() = default;
void frmFirstTime::Command1_Click() {}
void frmFirstTime::Form_Load() {}
