#pragma once

class ListBox;
class Recordset;

// The loop every window uses to list link names: MoveFirst, then count times read SiteName and
// MoveNext. The list is cleared first and each entry remembers the record it came from, so a
// selection always finds exactly that record. A Null name is listed as empty text.
// Moves the cursor past its last record; count 0 only clears the list.
void fillLinkList(ListBox* list, Recordset& rs, int count);
