#pragma once

// The start of the application: the welcome window loads and its load step decides which window
// comes next. Returns whether the event loop has anything to run (a window is open and the
// application has not ended); main() then runs the loop.
namespace app {

// Every road of the start-up (welcome, protection choice, credentials, log-in) ends in the main
// window: connects that end to it. Safe to call more than once; start() calls it, and so does
// anything that opens a window of the road directly.
void leadRoadToMainWindow();

bool start();

} // namespace app
