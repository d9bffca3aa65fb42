#pragma once

// The start of the application: the welcome window loads and its load step decides which window
// comes next. Returns whether the event loop has anything to run (a window is open and the
// application has not ended); main() then runs the loop.
namespace app {
bool start();
}
