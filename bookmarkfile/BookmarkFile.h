#pragma once

#include "data/Link.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

// The Netscape bookmark file (<!DOCTYPE NETSCAPE-Bookmark-file-1>) that every browser reads and
// writes with "Import/Export bookmarks to HTML". Pure functions: no window, no database.

enum class BookmarkError {
    None,
    CannotRead,   // missing, unreadable, a folder
    Empty,        // no bytes (a lone byte-order mark counts as none)
    TooLarge,     // over BookmarkFile::kMaxFileBytes
    Binary,       // NUL bytes: no text file
    NotBookmarks, // text without a single <A> element
    Cancelled,    // the caller's progress said stop
};

struct BookmarkReadResult {
    BookmarkError error = BookmarkError::None;
    QString reason;                   // for the user, without the file name; empty when read
    QList<Link> links;                // in document order, not stored (id -1); names may repeat
    int skippedWithoutAddress = 0;    // <A> without an HREF, or with an empty one
    int skippedUnopenableAddress = 0; // place:, javascript: and data: addresses
    bool ok() const { return error == BookmarkError::None; }
};

namespace BookmarkFile {

// 100,000 bookmarks export to about 10 MB, and Firefox adds a base64 ICON of 1-5 KB to many of
// them; 64 MB holds either with room to spare and keeps a refused file's cost to a size check.
constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;

// The parser is handed pieces of the document of about this size, cut before <DT> lines; and a
// file is read in blocks of this size, never whole.
constexpr qsizetype kPieceBytes = 256 * 1024;
constexpr qsizetype kReadBlockBytes = 1024 * 1024;

// UTF-8, a leading byte-order mark dropped; bytes that are not valid UTF-8 are read as
// Windows-1252, as browsers read old exports. Every <A> the file writes, at any depth, is one link
// or one skip (the copies the HTML parser makes of an unclosed anchor are not); folder names are
// dropped. A link's name is its anchor's text with white space collapsed (the address when that is
// empty); its address is the HREF with entities decoded and outer blanks and control characters
// trimmed, as URL parsers do.
// Tests choose small pieces to cut wherever the reader may.
BookmarkReadResult read(const QByteArray& bytes, qsizetype pieceBytes = kPieceBytes);
// The same from a file; a file over kMaxFileBytes is refused from its size alone.
// progress(done, total) runs after every block read, in bytes; when it returns false the reading
// stops with Cancelled.
BookmarkReadResult readFile(const QString& path,
                            const std::function<bool(qint64 done, qint64 total)>& progress = {});

// The standard file, one "<DT><A HREF="...">name</A>" line per link in the given order. & < > "
// are escaped; CR and LF become &#13; and &#10; so each link stays on one line; NUL becomes
// U+FFFD, as any HTML reader would read it. Reading it back gives the same links whenever a name
// is not empty and holds no tab, CR, LF, form feed, run of blanks or outer blank, and an address
// has no outer white space.
QByteArray toHtml(const QList<Link>& links);
// Replaces `path` only once the whole new file is on disk; on failure returns false, leaves any
// file there as it was and sets `reason` (for the user, without the file name).
bool writeFile(const QString& path, const QList<Link>& links, QString* reason = nullptr);

} // namespace BookmarkFile
