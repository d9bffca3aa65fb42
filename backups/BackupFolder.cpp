#include "backups/BackupFolder.h"

#include "data/Database.h"
#include "data/LinksDb.h"
#include "data/LinksStore.h"
#include "data/SettingsStore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace backups {

namespace {

constexpr int KeepNewest = 20;
constexpr int KeepDays = 7;

const QString Temporary = QStringLiteral(".tmp");
const QString Pending = QStringLiteral(".pending");
const QString Journal = QStringLiteral("-journal");
// The number of links of each backup, so the list does not open every file: a cache, rebuilt
// from the files themselves whenever it is missing or incomplete.
const QString CountsFile = QStringLiteral("link-counts.txt");
// The plan of a conversion for new credentials while it runs (see Conversion).
const QString PlanFile = QStringLiteral("converting.txt");

// Each reason: as the file name has it, as the list describes it, and the command it precedes.
struct ReasonTexts {
    Reason reason;
    const char* name;
    const char* described;
    const char* command;
};
constexpr ReasonTexts Reasons[] = {
    {Reason::DeleteAll, "delete-all", "before Delete All Site Links", "Delete All Site Links"},
    {Reason::Import, "import", "before an import", "the import"},
    {Reason::Protect, "protect", "before protection was switched on", "switching protection on"},
    {Reason::NewCredentials, "new-credentials", "before new credentials", "the new user name and password"},
    {Reason::Unprotect, "unprotect", "before protection was switched off", "switching protection off"},
    {Reason::Restore, "restore", "before a restore", "the restore"},
    {Reason::Daily, "daily", "daily", "today's first start"},
};

const ReasonTexts& textsOf(Reason reason)
{
    return *std::find_if(std::begin(Reasons), std::end(Reasons),
                         [reason](const ReasonTexts& texts) { return texts.reason == reason; });
}

bool syncFolder();
void forgetCounts(const QStringList& paths);

std::function<QDateTime()>& clock()
{
    static std::function<QDateTime()> c;
    return c;
}

const QRegularExpression& namePattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("^links-(\\d{4}-\\d{2}-\\d{2}-\\d{6})-([a-z]+(?:-[a-z]+)*)(?:-(\\d+))?\\.mdb$"));
    return pattern;
}

std::optional<Backup> parse(const QString& fileName)
{
    const QRegularExpressionMatch match = namePattern().match(fileName);
    if (!match.hasMatch())
        return std::nullopt;
    QDateTime made = QDateTime::fromString(match.captured(1), QStringLiteral("yyyy-MM-dd-HHmmss"));
    if (!made.isValid())
        return std::nullopt;
    Backup backup;
    backup.path = folder() + QLatin1Char('/') + fileName;
    backup.made = made;
    backup.reason = match.captured(2);
    backup.sequence = match.captured(3).isEmpty() ? 1 : match.captured(3).toInt();
    return backup;
}

QString fileNameOf(const QString& path)
{
    return QFileInfo(path).fileName();
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

QHash<QString, int> readCounts()
{
    QHash<QString, int> counts;
    QFile file(folder() + QLatin1Char('/') + CountsFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return counts;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        bool ok = false;
        const int count = fields.value(1).toInt(&ok);
        if (fields.size() == 2 && ok && count >= 0)
            counts.insert(QString::fromUtf8(fields[0]), count);
    }
    return counts;
}

// Written beside and renamed into place: a kill leaves the old cache or the new one.
void writeCounts(const QHash<QString, int>& counts)
{
    const QString path = folder() + QLatin1Char('/') + CountsFile;
    const QString temporary = path + Temporary;
    QStringList names = counts.keys();
    names.sort();
    QByteArray text;
    for (const QString& name : std::as_const(names))
        text += name.toUtf8() + '\t' + QByteArray::number(counts.value(name)) + '\n';
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size()) {
        file.close();
        QFile::remove(temporary);
        return; // only a cache: the next list counts again
    }
    file.close();
    if (!syncFile(temporary) ||
        ::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()))
        QFile::remove(temporary);
}

void rememberCount(const QString& path, int count)
{
    QHash<QString, int> counts = readCounts();
    counts.insert(fileNameOf(path), count);
    writeCounts(counts);
}

// What a copy holds, read back from the disk through a fresh connection.
struct Content {
    int links = 0;
    QByteArray digest; // links and settings, byte for byte; only when asked for
};

Content readBack(const QString& path, bool withDigest)
{
    const Database db = Database::open(path, LinksDb::connect());
    const QString check = db.integrityCheck();
    if (check != QLatin1String("ok"))
        throw DbError(DbErr::Corrupt, QStringLiteral("'%1' is damaged: %2.").arg(path, check));
    Content content;
    content.links = LinksStore::countIn(db);
    const SettingsStore::Settings settings = SettingsStore::read(db);
    if (withDigest) {
        QCryptographicHash digest(QCryptographicHash::Blake2b_256);
        digest.addData(LinksStore::digestIn(db));
        for (const std::optional<QString>& text : {settings.username, settings.password}) {
            const QByteArray utf8 = text ? text->toUtf8() : QByteArray();
            const qint64 head[2] = {text.has_value(), utf8.size()};
            digest.addData(QByteArrayView(reinterpret_cast<const char*>(head), sizeof head));
            digest.addData(utf8);
        }
        const char flags[2] = {char(settings.firstStartDone), char(settings.protection)};
        digest.addData(QByteArrayView(flags, sizeof flags));
        content.digest = digest.result();
    }
    return content;
}

QByteArray digestOf(const QString& path)
{
    try {
        return readBack(path, true).digest;
    } catch (const DbError&) {
        return {}; // a backup that cannot be read differs from everything
    }
}

QString uniqueName(Reason reason, const QDateTime& made)
{
    int sequence = 0;
    for (const Backup& backup : scan()) {
        if (backup.made == made)
            sequence = std::max(sequence, backup.sequence);
    }
    QString name = QStringLiteral("links-%1-%2").arg(made.toString(QStringLiteral("yyyy-MM-dd-HHmmss")),
                                                    QLatin1String(textsOf(reason).name));
    if (sequence > 0)
        name += QStringLiteral("-%1").arg(sequence + 1);
    return name + QStringLiteral(".mdb");
}

bool makeFolder(QString* why)
{
    const QString dir = folder();
    if (QFileInfo(dir).isDir())
        return true;
    if (QFileInfo::exists(dir)) {
        *why = QStringLiteral("The backups cannot be kept in '%1': a file of that name is in the way.").arg(dir);
        return false;
    }
    if (::mkdir(QFile::encodeName(dir).constData(), 0777) != 0 && errno != EEXIST) {
        *why = QStringLiteral("The folder '%1' cannot be made: %2.").arg(dir, systemError());
        return false;
    }
    return true;
}

} // namespace

QString folder()
{
    return QFileInfo(LinksDb::path()).absolutePath() + QStringLiteral("/backups");
}

QString describe(const QString& reasonName)
{
    for (const ReasonTexts& texts : Reasons) {
        if (reasonName == QLatin1String(texts.name))
            return QLatin1String(texts.described);
    }
    return reasonName;
}

QString commandName(Reason reason)
{
    return QLatin1String(textsOf(reason).command);
}

QList<Backup> scan()
{
    QList<Backup> found;
    const QStringList names = QDir(folder()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        if (std::optional<Backup> backup = parse(name))
            found.append(std::move(*backup));
    }
    std::sort(found.begin(), found.end(), [](const Backup& a, const Backup& b) {
        if (a.made != b.made)
            return a.made > b.made;
        return a.sequence > b.sequence;
    });
    return found;
}

QList<Backup> list()
{
    QList<Backup> found = scan();
    const QHash<QString, int> known = readCounts();
    QHash<QString, int> counts;
    for (Backup& backup : found) {
        const QString name = fileNameOf(backup.path);
        if (known.contains(name)) {
            backup.links = known.value(name);
        } else {
            try {
                backup.links = LinksStore::countIn(Database::open(backup.path, LinksDb::connect()));
            } catch (const DbError&) {
                continue; // unreadable: shown without a number, tried again next time
            }
        }
        counts.insert(name, backup.links);
    }
    if (counts != known)
        writeCounts(counts);
    return found;
}

QList<Backup> expired(const QList<Backup>& newestFirst, const QDate& today)
{
    QSet<QString> kept;
    for (qsizetype i = 0; i < std::min<qsizetype>(KeepNewest, newestFirst.size()); ++i)
        kept.insert(newestFirst[i].path);
    for (int daysAgo = 0; daysAgo < KeepDays; ++daysAgo) {
        const QDate day = today.addDays(-daysAgo);
        const auto newestThatDay = std::find_if(newestFirst.cbegin(), newestFirst.cend(),
                                                [&day](const Backup& b) { return b.made.date() == day; });
        if (newestThatDay != newestFirst.cend())
            kept.insert(newestThatDay->path);
    }
    QList<Backup> gone;
    for (const Backup& backup : newestFirst) {
        if (!kept.contains(backup.path))
            gone.append(backup);
    }
    return gone;
}

Outcome take(Reason reason, const Copier& copy, const TakeOptions& options)
{
    Outcome outcome;
    if (!makeFolder(&outcome.why))
        return outcome;
    const QDateTime made = now();
    const QString path = folder() + QLatin1Char('/') + uniqueName(reason, made);
    const QString temporary = path + Temporary;
    QFile::remove(temporary);
    int links = 0;
    try {
        copy(temporary);
        if (!syncFile(temporary))
            throw DbError(DbErr::CannotOpen, QStringLiteral("'%1' cannot be written to the disk.").arg(temporary));
        const Content content = readBack(temporary, !options.unlessSameAs.isEmpty());
        if (options.expectedLinks >= 0 && content.links != options.expectedLinks)
            throw DbError(DbErr::Corrupt, QStringLiteral("'%1' holds %2 links where %3 holds %4.")
                                              .arg(temporary)
                                              .arg(content.links)
                                              .arg(LinksDb::path())
                                              .arg(options.expectedLinks));
        links = content.links;
        if (!options.unlessSameAs.isEmpty() && content.digest == digestOf(options.unlessSameAs)) {
            // Nothing changed since that backup: it stands for today's, and the next start sees
            // links.mdb unchanged since it without reading either file.
            QFile::remove(temporary);
            ::utimensat(AT_FDCWD, QFile::encodeName(options.unlessSameAs).constData(), nullptr, 0);
            return outcome;
        }
        if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) != 0)
            throw DbError(DbErr::CannotOpen,
                          QStringLiteral("'%1' cannot be renamed: %2.").arg(temporary, systemError()));
    } catch (const DbError& e) {
        QFile::remove(temporary);
        QFile::remove(temporary + Journal);
        // The user knows the backup by its name in the list, not by the temporary one.
        outcome.why = e.description().replace(temporary, path);
        return outcome;
    }
    syncFolder();
    rememberCount(path, links);
    prune(options.spare);
    return outcome;
}

void prune(const QString& spare)
{
    QStringList gone;
    for (const Backup& backup : expired(scan(), now().date())) {
        if (backup.path != spare && QFile::remove(backup.path))
            gone.append(backup.path);
    }
    if (gone.isEmpty())
        return;
    syncFolder();
    forgetCounts(gone);
}

void settle()
{
    const QDir dir(folder());
    if (!dir.exists())
        return;
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (name.endsWith(Temporary) || name.endsWith(Temporary + Journal))
            QFile::remove(dir.filePath(name));
    }
    QFile file(dir.filePath(PlanFile));
    if (file.open(QIODevice::ReadOnly)) {
        // One line per field: the hash, then "+name" for a converted backup, "-name" for one to remove.
        Conversion plan;
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        file.close();
        plan.passwordHash = lines.value(0);
        for (const QString& line : lines.mid(1)) {
            const QString path = dir.filePath(line.mid(1));
            (line.startsWith(QLatin1Char('+')) ? plan.converted : plan.unconvertible).append(path);
        }
        const SettingsStore::Settings live = SettingsStore::read();
        if (live.protection == SettingsStore::Protection::Protected && live.password == plan.passwordHash &&
            !plan.passwordHash.isEmpty())
            completeConversion(plan);
        else
            dropConversion(plan);
    }
    // Converted copies no plan names: a step killed before it wrote its plan.
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (name.endsWith(Pending) || name.endsWith(Pending + Journal))
            QFile::remove(dir.filePath(name));
    }
}

QString pendingPath(const QString& backupPath)
{
    return backupPath + Pending;
}

void planConversion(const Conversion& plan)
{
    const QString path = folder() + QLatin1Char('/') + PlanFile;
    QByteArray text = plan.passwordHash.toUtf8() + '\n';
    for (const QString& converted : plan.converted)
        text += '+' + fileNameOf(converted).toUtf8() + '\n';
    for (const QString& gone : plan.unconvertible)
        text += '-' + fileNameOf(gone).toUtf8() + '\n';
    QFile file(path);
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
    file.close();
    if (!written || !syncFile(path) || !syncFolder()) {
        QFile::remove(path);
        throw DbError(DbErr::CannotOpen, QStringLiteral("'%1' cannot be written.").arg(path));
    }
}

void completeConversion(const Conversion& plan)
{
    // The unconvertible ones first: once the copies are in place nothing of the old state is left.
    for (const QString& path : plan.unconvertible)
        QFile::remove(path);
    for (const QString& path : plan.converted) {
        if (QFile::exists(pendingPath(path)))
            ::rename(QFile::encodeName(pendingPath(path)).constData(), QFile::encodeName(path).constData());
    }
    syncFolder();
    QFile::remove(folder() + QLatin1Char('/') + PlanFile);
    syncFolder();
    forgetCounts(plan.unconvertible);
}

void dropConversion(const Conversion& plan)
{
    for (const QString& path : plan.converted) {
        QFile::remove(pendingPath(path));
        QFile::remove(pendingPath(path) + Journal);
    }
    QFile::remove(folder() + QLatin1Char('/') + PlanFile);
    syncFolder();
}

bool syncFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

namespace {

bool syncFolder()
{
    return syncFile(folder());
}

// Forgets the number of links remembered for these backups (gone or replaced).
void forgetCounts(const QStringList& paths)
{
    QHash<QString, int> counts = readCounts();
    bool changed = false;
    for (const QString& path : paths)
        changed = counts.remove(fileNameOf(path)) > 0 || changed;
    if (changed)
        writeCounts(counts);
}

} // namespace

void setClock(std::function<QDateTime()> c)
{
    clock() = std::move(c);
}

QDateTime now()
{
    const QDateTime t = clock() ? clock()() : QDateTime::currentDateTime();
    // Names hold whole seconds; so does the time a backup is listed with.
    return t.addMSecs(-t.time().msec());
}

} // namespace backups
