#include "data/Protection.h"

#include "data/DbError.h"
#include "data/LinksDb.h"
#include "data/LinksStore.h"
#include "data/SettingsStore.h"
#include "vault/Vault.h"

namespace Protection {

namespace {

[[noreturn]] void settingsChanged()
{
    throw DbError(DbErr::KeyChanged, QStringLiteral("Another copy of the program changed the protection of '%1' "
                                                    "meanwhile; nothing was changed. Please try again.")
                                         .arg(LinksDb::path()));
}

} // namespace

std::shared_ptr<const vault::Key> deriveKey(const QString& username, const QString& password,
                                            const QString& passwordHash)
{
    return vault::Key::derive(username, password, vault::keySalt(passwordHash));
}

bool logIn(const QString& username, const QString& password, const Progress& progress)
{
    const LinksDb::KeepOpen keep;
    // Read afresh on every attempt: another copy may have changed the credentials meanwhile.
    const SettingsStore::Settings settings = SettingsStore::read();
    // Exact comparisons; a Null field matches nothing, not even an empty entry.
    if (!settings.username || *settings.username != username || !settings.password)
        return false;
    const QString stored = *settings.password;
    const bool inClear = !vault::isPasswordHash(stored);
    if (inClear ? stored != password : !vault::verifyPassword(stored, password))
        return false;
    // Switched off by another copy since the log-in window came up: nothing is sealed.
    if (settings.protection != SettingsStore::Protection::Protected)
        return true;

    // A password an older file kept in clear is stored as a hash from now on.
    const QString hash = inClear ? vault::hashPassword(password) : stored;
    std::shared_ptr<const vault::Key> key = deriveKey(username, password, hash);
    if (!inClear && !LinksStore::anyStoredPlain()) {
        LinksStore::useKey(std::move(key), hash);
        return true;
    }
    LinksStore::reseal(
        key, key, hash,
        [&] {
            if (SettingsStore::read().password != stored)
                settingsChanged();
            if (inClear)
                SettingsStore::setPasswordHash(hash);
        },
        progress);
    return true;
}

void protect(const QString& username, const QString& password, const Progress& progress,
             const WithNewKey& beforeCommit)
{
    const LinksDb::KeepOpen keep;
    // Hashed and derived before anything is written, so a failure leaves the file untouched.
    const QString hash = vault::hashPassword(password);
    const std::shared_ptr<const vault::Key> key = deriveKey(username, password, hash);
    LinksStore::reseal(
        LinksStore::key(), key, hash,
        [&] {
            SettingsStore::setProtected(username, hash);
            if (beforeCommit)
                beforeCommit(key, hash);
        },
        progress);
}

void unprotect(const Progress& progress)
{
    const LinksDb::KeepOpen keep;
    LinksStore::reseal(
        LinksStore::key(), nullptr, QString(), [] { SettingsStore::setUnprotected(); }, progress);
}

void forgetKey()
{
    LinksStore::useKey(nullptr, QString());
}

} // namespace Protection
