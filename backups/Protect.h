#pragma once

#include "data/Protection.h"

// Protection with the backups kept no weaker than the file.
namespace backups {

// Protection::protect (protection on, or new credentials), with every older backup converted in
// the same step: its links resealed with the new key and its settings given the new credentials,
// so that restoring it later opens with the credentials in use. A backup whose links no key at
// hand opens (sealed for other credentials, or damaged) cannot be converted and is removed. All or
// nothing with links.mdb (BackupFolder.h: Conversion): a failure changes nothing, and a kill is
// finished or undone at the next start. progress(done, total) covers the file and the backups.
void protect(const QString& username, const QString& password, const Protection::Progress& progress = {});

} // namespace backups
