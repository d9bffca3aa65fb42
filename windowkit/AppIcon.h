#pragma once

#include <QIcon>

namespace kit {

// The program's window icon, drawn at 16, 32 and 48 pixels; every window carries it.
QIcon windowIcon();

} // namespace kit
