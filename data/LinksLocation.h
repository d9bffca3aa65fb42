#pragma once

#include <QString>

// Where the program keeps its links.mdb. A links.mdb beside the executable means portable use and
// wins. Otherwise the file is the user's, in the user's data folder; on an installed program's very
// first start, when that folder does not exist yet, the folder is made with a fresh installed file
// (under a temporary name, renamed into place once whole; what a killed first start left under
// such a name is cleared by a later one).
namespace LinksLocation {

struct Choice {
    QString folder; // the folder of the links.mdb to open; empty on failure
    QString error;  // why the data folder could not be made; nothing of it is left behind
};

Choice choose(const QString& programFolder, const QString& userFolder);

} // namespace LinksLocation
