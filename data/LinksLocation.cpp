#include "data/LinksLocation.h"

#include "data/LinksDb.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace LinksLocation {

namespace {

Choice failed(const QString& folder, const QString& reason)
{
    Choice choice;
    choice.error = QStringLiteral("Orvane Tessary could not create its data folder %1 for your links: %2")
                       .arg(QDir::toNativeSeparators(folder), reason);
    return choice;
}

// What a first start killed half-way left under its temporary name; an hour old, it is no other
// first start's work in progress.
void removeLeftovers(const QString& parent, const QString& prefix)
{
    const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
    for (const QFileInfo& leftover : QDir(parent).entryInfoList(
             {prefix + QLatin1Char('*')}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        if (leftover.lastModified() < hourAgo)
            QDir(leftover.absoluteFilePath()).removeRecursively();
    }
}

// The folder is filled under a temporary name beside it and renamed into place, so it never
// stands without its file, whatever happens half-way.
Choice makeUserFolder(const QString& folder)
{
    const QFileInfo info(folder);
    const QString parent = info.absolutePath();
    if (!QDir().mkpath(parent))
        return failed(folder,
                      QStringLiteral("the folder %1 could not be made.").arg(QDir::toNativeSeparators(parent)));

    const QString prefix = QStringLiteral(".") + info.fileName() + QStringLiteral("-new-");
    removeLeftovers(parent, prefix);
    QTemporaryDir building(parent + QLatin1Char('/') + prefix + QStringLiteral("XXXXXX"));
    if (!building.isValid())
        return failed(folder, building.errorString());
    QString error;
    if (!LinksDb::create(building.filePath(LinksDb::fileName()), &error))
        return failed(folder, error);
    // rename(2) moves a folder in one step and never replaces one that holds a file.
    if (std::rename(QFile::encodeName(building.path()).constData(), QFile::encodeName(folder).constData()) != 0) {
        const int reason = errno;
        // Two first starts at once: the other copy's folder is as fresh as ours.
        if (QFileInfo::exists(folder + QLatin1Char('/') + LinksDb::fileName()))
            return {folder, {}};
        return failed(folder, QString::fromLocal8Bit(std::strerror(reason)));
    }
    building.setAutoRemove(false);
    return {folder, {}};
}

} // namespace

Choice choose(const QString& programFolder, const QString& userFolder)
{
    if (QFileInfo::exists(programFolder + QLatin1Char('/') + LinksDb::fileName()))
        return {programFolder, {}};
    if (userFolder.isEmpty())
        return failed(userFolder, QStringLiteral("the system names no data folder for this user."));
    // A folder that is already there is never refilled: a lost file must show as missing, not
    // hide behind an empty list.
    if (QFileInfo::exists(userFolder))
        return {userFolder, {}};
    return makeUserFolder(userFolder);
}

} // namespace LinksLocation
