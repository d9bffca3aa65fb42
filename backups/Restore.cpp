#include "backups/Restore.h"

#include "backups/Backups.h"
#include "data/Database.h"
#include "data/LinksDb.h"
#include "data/LinksStore.h"
#include "data/Protection.h"
#include "data/SettingsStore.h"

#include <QFile>
#include <QScopeGuard>

namespace backups {

Checked check(const Backup& backup)
{
    Checked checked;
    try {
        const Database db = Database::open(backup.path, LinksDb::connect());
        const QString integrity = db.integrityCheck();
        if (integrity != QLatin1String("ok")) {
            checked.why = QStringLiteral("'%1' is damaged: %2.").arg(backup.path, integrity);
            return checked;
        }
        const SettingsStore::Settings settings = SettingsStore::read(db);
        const SettingsStore::Settings live = SettingsStore::read();
        const std::shared_ptr<const vault::Key> key = LinksStore::key();
        const bool liveProtected = live.protection == SettingsStore::Protection::Protected;
        // Sealed with the key in use: every link must open with it.
        const bool sameKey = settings.protection == SettingsStore::Protection::Protected && key &&
                             liveProtected && settings.password == live.password;
        LinksStore::checkOpensIn(db, sameKey ? key : nullptr);

        Candidate candidate;
        candidate.backup = backup;
        candidate.backup.links = LinksStore::countIn(db);
        switch (settings.protection) {
        case SettingsStore::Protection::Neither:
            checked.why = QStringLiteral("'%1' is damaged: its settings record does not say whether it is "
                                         "password protected.")
                              .arg(backup.path);
            return checked;
        case SettingsStore::Protection::Unprotected:
            candidate.fit = liveProtected && key ? Candidate::Fit::SealedForThisSession : Candidate::Fit::AsItIs;
            break;
        case SettingsStore::Protection::Protected:
            if (sameKey) {
                candidate.fit = Candidate::Fit::AsItIs;
            } else {
                candidate.fit = Candidate::Fit::NeedsItsOwnLogIn;
                candidate.username = settings.username.value_or(QString());
            }
            break;
        }
        checked.candidate = candidate;
    } catch (const DbError& e) {
        checked.why = e.description();
    }
    return checked;
}

Restored restore(const Candidate& candidate)
{
    const QString chosen = candidate.backup.path;
    if (!before(Reason::Restore, chosen))
        return Restored::Stopped;

    QString source = chosen;
    const QString sealed = chosen + QStringLiteral(".restore.tmp");
    const auto removeSealed = qScopeGuard([&sealed] { QFile::remove(sealed); });
    if (candidate.fit == Candidate::Fit::SealedForThisSession) {
        // A copy of the backup sealed for the credentials in use, with the settings of now.
        const SettingsStore::Settings live = SettingsStore::read();
        QFile::remove(sealed);
        if (!QFile::copy(chosen, sealed))
            throw DbError(DbErr::CannotOpen, QStringLiteral("'%1' cannot be written.").arg(sealed));
        const Database db = Database::open(sealed, LinksDb::connect());
        LinksStore::resealIn(db, nullptr, LinksStore::key(), [&] {
            SettingsStore::setProtected(db, live.username.value_or(QString()), live.password.value_or(QString()));
        });
        source = sealed;
    }
    LinksDb::open().restoreFrom(source);
    prune();
    if (candidate.fit == Candidate::Fit::NeedsItsOwnLogIn) {
        Protection::forgetKey();
        return Restored::NeedsLogIn;
    }
    LinksStore::reload();
    return Restored::Done;
}

} // namespace backups
