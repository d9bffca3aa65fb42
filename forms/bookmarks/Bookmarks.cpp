#include "forms/bookmarks/Bookmarks.h"

#include "backups/Backups.h"
#include "bookmarkfile/BookmarkFile.h"
#include "data/DbError.h"
#include "data/LinksStore.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "windowkit/ListBox.h"

#include <QApplication>
#include <QFileInfo>
#include <QProgressDialog>
#include <algorithm>

namespace bookmarks {

namespace {

const QString ImportTitle = QStringLiteral("Import Bookmarks");
const QString ExportTitle = QStringLiteral("Export Bookmarks");
const QString Filter = QStringLiteral("Bookmark files (*.html *.htm);;All files (*)");

QString fileName(const QString& path)
{
    return QFileInfo(path).fileName();
}

// "1 link" / "2 links"
QString links(qsizetype n)
{
    return n == 1 ? QStringLiteral("1 link") : QStringLiteral("%1 links").arg(n);
}

} // namespace

void importFile(QWidget* window)
{
    const QString path = platform::chooseFileToOpen(ImportTitle, Filter);
    if (path.isEmpty())
        return;

    // One bar for both halves of the work: reading the file fills the first half, adding the links
    // the second.
    constexpr int Half = 1000;
    QProgressDialog progress(QStringLiteral("Importing bookmarks from \"%1\"...").arg(fileName(path)),
                             QStringLiteral("Cancel"), 0, 2 * Half, window);
    progress.setWindowTitle(ImportTitle);
    progress.setWindowModality(Qt::ApplicationModal);
    // Shown only when the work lasts: from about a second on.
    progress.setMinimumDuration(1000);
    progress.setValue(0);
    const auto stillWanted = [&progress](int value) {
        progress.setValue(std::max(value, 1));
        QApplication::processEvents();
        return !progress.wasCanceled();
    };
    const auto cancelled = [&progress] {
        progress.reset();
        platform::MsgBox(QStringLiteral("The import was cancelled: nothing was changed."),
                         platform::MsgStyle::Information, ImportTitle);
    };

    BookmarkReadResult read = BookmarkFile::readFile(path, [&](qint64 done, qint64 total) {
        return stillWanted(int(Half * std::min(done, total) / std::max<qint64>(total, 1)));
    });
    if (read.error == BookmarkError::Cancelled) {
        cancelled();
        return;
    }
    if (!read.ok()) {
        progress.reset();
        platform::MsgBox(QStringLiteral("Nothing was imported from \"%1\".\r\r%2").arg(path, read.reason),
                         platform::MsgStyle::Exclamation, ImportTitle);
        return;
    }

    if (!read.links.isEmpty() && !backups::before(backups::Reason::Import)) {
        progress.reset();
        return;
    }

    // Nothing stored is ever changed: a name that is there already, exactly, is skipped, and so is
    // a name met earlier in the same file. The links are moved, not copied: a large file is held once.
    const qsizetype found = read.links.size();
    LinksStore::AddAllResult added;
    try {
        added = LinksStore::addAll(std::move(read.links), [&](int done) {
            return stillWanted(Half + int(Half * qint64(done) / std::max<qsizetype>(found, 1)));
        });
    } catch (const DbError& e) {
        // One transaction: the file is as it was, and the program goes on.
        progress.reset();
        platform::MsgBox(QStringLiteral("Nothing was imported from \"%1\".\r\r%2").arg(path, e.description()),
                         platform::MsgStyle::Exclamation, ImportTitle);
        return;
    }
    if (!added.done) {
        cancelled();
        return;
    }
    progress.reset();

    QStringList skipped;
    if (added.existing > 0)
        skipped << QStringLiteral("%1 whose name is already in your list").arg(links(added.existing));
    if (added.repeated > 0)
        skipped << QStringLiteral("%1 whose name came earlier in the file").arg(links(added.repeated));
    if (read.skippedWithoutAddress > 0)
        skipped << QStringLiteral("%1 without an address").arg(links(read.skippedWithoutAddress));
    if (read.skippedUnopenableAddress > 0)
        skipped << QStringLiteral("%1 that are browser queries, scripts or inline data (place:, javascript:, "
                                  "data:)")
                       .arg(links(read.skippedUnopenableAddress));
    QString text = QStringLiteral("%1 added from \"%2\".").arg(links(added.added), fileName(path));
    if (!skipped.isEmpty())
        text += QStringLiteral("\r\rSkipped:\r") + skipped.join(QLatin1Char('\r'));
    platform::MsgBox(text, platform::MsgStyle::Information, ImportTitle);
}

void exportFile(QWidget*)
{
    const QString path = platform::chooseFileToSave(ExportTitle, Filter, QStringLiteral("bookmarks.html"));
    if (path.isEmpty())
        return;

    // The main list's order: alphabetical as the list shows it, equal names in stored order.
    const QList<Link> stored = LinksStore::all();
    QStringList names;
    names.reserve(stored.size());
    for (const Link& link : stored)
        names.append(link.name);
    QList<Link> out;
    out.reserve(stored.size());
    for (int row : ListBox::listOrder(names))
        out.append(stored[row]);

    QString reason;
    if (!BookmarkFile::writeFile(path, out, &reason)) {
        platform::MsgBox(QStringLiteral("The bookmarks could not be written to \"%1\".\r\r%2").arg(path, reason),
                         platform::MsgStyle::Exclamation, ExportTitle);
        return;
    }
    platform::MsgBox(QStringLiteral("%1 written to \"%2\".").arg(links(out.size()), fileName(path)),
                     platform::MsgStyle::Information, ExportTitle);
}

} // namespace bookmarks
