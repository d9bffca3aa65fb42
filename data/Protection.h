#pragma once

#include <QString>
#include <functional>
#include <memory>

namespace vault {
class Key;
}

// Protection by user name and password. While it is on, the settings record keeps the user name
// and an Argon2id hash of the password, and every name and address in table links is sealed with
// a key derived from the user name and password (vault/Vault.h): without them, nothing in the
// file or the program gives a link back. Each step below changes the settings and converts every
// link in one transaction, so a failure or a kill leaves the whole file as it was.
namespace Protection {

// The key these credentials give for a file whose settings hold this password hash.
std::shared_ptr<const vault::Key> deriveKey(const QString& username, const QString& password,
                                            const QString& passwordHash);

// progress(done, total) runs now and then while links are converted.
using Progress = std::function<void(int done, int total)>;

// The log-in: true when the user name matches exactly and the password matches the stored hash
// (or the clear text an older file kept, which then becomes a hash). The key is then derived and
// held for the session, and links an older program stored plain while protected are sealed.
// False, with nothing changed, for any other entry.
bool logIn(const QString& username, const QString& password, const Progress& progress = {});

// What else must take the new key in the same step: runs inside the transaction, after every
// link is sealed and before the change is committed; a throw undoes the whole step.
using WithNewKey = std::function<void(const std::shared_ptr<const vault::Key>& key, const QString& passwordHash)>;

// Turns protection on with these credentials, or gives it new ones while it is on: every link is
// sealed with the new key.
void protect(const QString& username, const QString& password, const Progress& progress = {},
             const WithNewKey& beforeCommit = {});

// Turns protection off: every link is stored plain again. The stored credentials stay for a later
// "Yes", as they always did.
void unprotect(const Progress& progress = {});

// Lets go of the key (the memory that held it is wiped): the program is ending.
void forgetKey();

} // namespace Protection
