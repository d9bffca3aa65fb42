#pragma once

class QWidget;

// The two bookmark commands of the main window's "Sites" menu: links in from a browser's bookmark
// file and out to one, in the format every browser imports and exports.
namespace bookmarks {

// Asks for a bookmark file and adds its links that are new, all or nothing, then says what it did.
void importFile(QWidget* window);
// Asks where to write and writes every link, in the main list's order, replacing a file only when
// the new one is whole.
void exportFile(QWidget* window);

} // namespace bookmarks
