#include "backups/Protect.h"

#include "backups/Backups.h"
#include "data/Database.h"
#include "data/LinksDb.h"
#include "data/LinksStore.h"
#include "data/Protection.h"
#include "data/SettingsStore.h"
#include "vault/Vault.h"

#include <QFile>
#include <QHash>

namespace backups {

namespace {

using KeyRing = QHash<QString, std::shared_ptr<const vault::Key>>; // by the password hash it belongs to

// The key a backup's links were sealed with, nullptr for plain links; nothing when no key at hand
// opens them. A backup sealed for these very credentials at an earlier time gives its key to the
// password just typed.
std::optional<std::shared_ptr<const vault::Key>> keyOf(const SettingsStore::Settings& settings, KeyRing& keys,
                                                       const QString& username, const QString& password)
{
    if (settings.protection != SettingsStore::Protection::Protected || !settings.password ||
        !vault::isPasswordHash(*settings.password))
        return std::shared_ptr<const vault::Key>(); // plain, or an older program's plain links
    const QString& hash = *settings.password;
    if (keys.contains(hash))
        return keys.value(hash);
    if (settings.username != username || !vault::verifyPassword(hash, password))
        return std::nullopt;
    std::shared_ptr<const vault::Key> key = Protection::deriveKey(username, password, hash);
    keys.insert(hash, key);
    return key;
}

bool isDamage(int number)
{
    return number == DbErr::NotAuthentic || number == DbErr::Corrupt || number == DbErr::NotADatabase ||
           number == DbErr::WrongPassword || number == DbErr::TableNotFound || number == DbErr::FieldNotFound;
}

// Writes the converted copy of one backup beside it; false when it cannot be converted. Failing
// to write (a full disk) throws, which undoes the whole step.
bool convert(const Backup& backup, KeyRing& keys, const QString& username, const QString& password,
             const std::shared_ptr<const vault::Key>& key, const QString& hash,
             const Protection::Progress& progress)
{
    const QString pending = pendingPath(backup.path);
    QFile::remove(pending);
    if (!QFile::copy(backup.path, pending)) {
        QFile::remove(pending);
        throw DbError(DbErr::CannotOpen, QStringLiteral("'%1' cannot be written.").arg(pending));
    }
    bool converted = false;
    try {
        // The copy is read and converted through one connection: keying costs a key derivation.
        const Database db = Database::open(pending, LinksDb::connect());
        if (const std::optional<std::shared_ptr<const vault::Key>> from =
                keyOf(SettingsStore::read(db), keys, username, password)) {
            LinksStore::resealIn(
                db, *from, key, [&] { SettingsStore::setProtected(db, username, hash); }, progress);
            converted = true;
        }
    } catch (const DbError& e) {
        QFile::remove(pending);
        QFile::remove(pending + QStringLiteral("-journal"));
        if (isDamage(e.number()))
            return false;
        throw;
    }
    if (!converted) {
        QFile::remove(pending);
        return false;
    }
    if (!syncFile(pending)) {
        QFile::remove(pending);
        throw DbError(DbErr::CannotOpen, QStringLiteral("'%1' cannot be written to the disk.").arg(pending));
    }
    return true;
}

} // namespace

void protect(const QString& username, const QString& password, const Protection::Progress& progress)
{
    finishDaily(true);
    settle();
    const QList<Backup> older = list();
    KeyRing keys;
    if (const std::shared_ptr<const vault::Key> held = LinksStore::key()) {
        if (const std::optional<QString> hash = SettingsStore::read().password)
            keys.insert(*hash, held);
    }

    // One bar for the file and every backup.
    const int fileLinks = LinksStore::count();
    int total = fileLinks;
    for (const Backup& backup : older)
        total += std::max(backup.links, 0);
    int offset = 0;
    const auto along = [&](int done, int) {
        if (progress)
            progress(offset + done, std::max(total, 1));
    };

    Conversion plan;
    try {
        Protection::protect(username, password, along,
                            [&](const std::shared_ptr<const vault::Key>& key, const QString& hash) {
                                plan.passwordHash = hash;
                                offset = fileLinks;
                                for (const Backup& backup : older) {
                                    if (convert(backup, keys, username, password, key, hash, along))
                                        plan.converted.append(backup.path);
                                    else
                                        plan.unconvertible.append(backup.path);
                                    offset += std::max(backup.links, 0);
                                }
                                if (!older.isEmpty())
                                    planConversion(plan);
                            });
    } catch (...) {
        dropConversion(plan);
        for (const Backup& backup : older)
            QFile::remove(pendingPath(backup.path));
        throw;
    }
    if (!older.isEmpty())
        completeConversion(plan);
}

} // namespace backups
