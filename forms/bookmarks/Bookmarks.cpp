#include "forms/bookmarks/Bookmarks.h"

#include "backups/Backups.h"
#include "bookmarkfile/BookmarkFile.h"
#include "data/DbError.h"
#include "data/LinksStore.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "windowkit/ListBox.h"

#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QLocale>
#include <QProgressDialog>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <memory>
#include <new>
#include <thread>

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

// A file read beside the window, which stays free to answer "Cancel" at any moment: one parse can
// take seconds. The reading holds its own share of this; once cancelled it ends on its own (soon:
// it asks between blocks and during parses) and what it read is dropped.
struct Reading {
    std::atomic<qint64> done{0};
    std::atomic<qint64> total{1};
    std::atomic<bool> cancelled{false};
    std::atomic<bool> finished{false};
    BookmarkReadResult result;
};

void startReading(const std::shared_ptr<Reading>& reading, const QString& path)
{
    std::thread([reading, path] {
        try {
            reading->result = BookmarkFile::readFile(path, [&reading](qint64 done, qint64 total) {
                reading->done = done;
                reading->total = total;
                return !reading->cancelled;
            });
        } catch (const std::bad_alloc&) {
            reading->result = {};
            reading->result.error = BookmarkError::CannotRead;
            reading->result.reason = QStringLiteral("There is not enough memory to read it.");
        }
        reading->finished = true;
    }).detach();
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

    const auto reading = std::make_shared<Reading>();
    startReading(reading, path);
    {
        QEventLoop waiting;
        QTimer poll;
        poll.setInterval(20);
        QObject::connect(&poll, &QTimer::timeout, &waiting, [&] {
            if (reading->finished || progress.wasCanceled()) {
                waiting.quit();
                return;
            }
            const qint64 total = std::max<qint64>(reading->total, 1);
            progress.setValue(std::max(1, int(Half * std::min<qint64>(reading->done, total) / total)));
        });
        poll.start();
        waiting.exec();
    }
    if (progress.wasCanceled() || reading->result.error == BookmarkError::Cancelled) {
        reading->cancelled = true;
        cancelled();
        return;
    }
    BookmarkReadResult read = std::move(reading->result);
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
        // A name that the export writes with U+FFFD comes back so: it is the stored one.
        added = LinksStore::addAll(
            std::move(read.links),
            [&](int done) { return stillWanted(Half + int(Half * qint64(done) / std::max<qsizetype>(found, 1))); },
            &BookmarkFile::nameAsRead);
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
    if (read.skippedTooLong > 0)
        skipped << QStringLiteral("%1 whose name or address is longer than %2 characters")
                       .arg(links(read.skippedTooLong),
                            QLocale(QLocale::English).toString(BookmarkFile::kMaxTextLength));
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
