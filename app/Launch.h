#pragma once

#include <optional>

// What the program does before the start-up road: read the command line, then find its links file.
namespace app {

// Reads the command line; call it before the application object exists, so --help and --version
// need no display and a refused command line touches no window and no file. Returns the exit code
// when the program ends here, nothing when it goes on.
std::optional<int> readCommandLine(int argc, char* argv[]);

// Points the program at its links.mdb (data/LinksLocation.h), making the user's data folder on the
// very first start. When that fails, a message box says why and false is returned.
bool useLinksFile();

} // namespace app
