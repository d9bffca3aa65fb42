#pragma once

// What the program does before the start-up road: find its links file.
namespace app {

// Points the program at its links.mdb (data/LinksLocation.h), making the user's data folder on the
// very first start. When that fails, a message box says why and false is returned.
bool useLinksFile();

} // namespace app
