#pragma once

// What every window says when the link it showed was deleted or changed by another window or
// another copy of the program before a command could act on it. The list is then shown afresh.
namespace StaleLink {

// The command was not carried out (delete, open, select).
void sayNothingDone();
// The user's changes to the link were not written (save, a new address).
void sayNotSaved();

} // namespace StaleLink
