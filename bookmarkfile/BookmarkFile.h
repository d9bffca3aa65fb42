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
    Binary,       // mostly NUL and other control bytes: no text file
    NotBookmarks, // text without a single <A> element
    TooDeep,      // elements nested deeper than BookmarkFile::kMaxDepth
    TooComplex,   // the parser would take far too long or too much memory over it
    Cancelled,    // the caller's progress said stop
};

struct BookmarkReadResult {
    BookmarkError error = BookmarkError::None;
    QString reason;                   // for the user, without the file name; empty when read
    QList<Link> links;                // in document order, not stored (id -1); names may repeat
    int skippedWithoutAddress = 0;    // <A> without an HREF, or with an empty one
    int skippedUnopenableAddress = 0; // place:, javascript: and data: addresses
    int skippedTooLong = 0;           // a name or an address longer than kMaxTextLength
    bool ok() const { return error == BookmarkError::None; }
};

namespace BookmarkFile {

// 100,000 bookmarks export to about 10 MB, and Firefox adds a base64 ICON of 1-5 KB to many of
// them; 64 MB holds either with room to spare and keeps a refused file's cost to a size check.
constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;

// The parser is handed pieces of the document of about this size, cut before tags outside anchors;
// and a file is read in blocks of this size, never whole.
constexpr qsizetype kPieceBytes = 256 * 1024;
constexpr qsizetype kReadBlockBytes = 1024 * 1024;

// A file whose elements nest deeper is refused before the parser sees it: the parser's time grows
// with the square of the depth. Browsers cap their trees at the same depth; real exports nest a
// few dozen levels at most (two per folder).
constexpr int kMaxDepth = 512;
// The most steps the parser may spend looking through its open elements (about as many
// nanoseconds here): a file that nests hundreds of levels around megabytes of text is refused.
constexpr quint64 kMaxParserSteps = 2'000'000'000;
// The most nodes (elements, attributes, runs of text, comments) a file may hold: the parser takes
// about a third of a microsecond a node here, and an export holds a few per link, far fewer.
constexpr quint64 kMaxNodes = 10'000'000;
// The most memory the parser may hold for one piece, with what allocating costs; a file that
// needs more is refused.
constexpr qsizetype kParserBudgetBytes = 384 * 1024 * 1024;
// The longest name or address the entry boxes take; longer ones are skipped.
constexpr qsizetype kMaxTextLength = 32767;

// UTF-8, a leading byte-order mark dropped; UTF-16 (either byte order) with its byte-order mark;
// bytes that are not valid UTF-8 are read as Windows-1252, as browsers read old exports. A NUL
// reads as U+FFFD, as in an HTML parser; a file made mostly of NUL and other control bytes is
// refused as binary. Every <A> the file writes, at any depth, is one link or one skip (the copies
// the HTML parser makes of an unclosed anchor are not); folder names are dropped.
// A link's name is its anchor's text (the address when that is empty). Where the file lays the
// text out with white space of its own (line breaks, tabs, runs of blanks, blanks at either end),
// that white space is collapsed to single blanks and trimmed; white space written as character
// references is kept as written. Its address is the HREF with entities decoded; blanks and control
// characters that the file writes around it are trimmed, as URL parsers do.
// Tests choose small pieces to cut wherever the reader may, and limits of their own.
BookmarkReadResult read(const QByteArray& bytes, qsizetype pieceBytes = kPieceBytes, int maxDepth = kMaxDepth,
                        quint64 maxParserSteps = kMaxParserSteps);
// The same from a file; a file over kMaxFileBytes is refused from its size alone.
// progress(done, total) runs after every block read, in bytes, and every few thousand allocations
// of a parse (on the reading's own thread, and it must not throw); when it returns false the
// reading stops with Cancelled.
BookmarkReadResult readFile(const QString& path,
                            const std::function<bool(qint64 done, qint64 total)>& progress = {});

// The standard file, one "<DT><A HREF="...">name</A>" line per link in the given order. & < > "
// are escaped, and every character an HTML parser would not give back as it is goes out as a
// numeric character reference that it does: white space other than single inner blanks, control
// characters and non-characters. Reading the file back gives every link exactly, except for what
// no HTML file can carry: NUL, the C1 controls that HTML reads as Windows-1252 (all of U+0080 to
// U+009F but U+0081, U+008D, U+008F, U+0090 and U+009D) and unpaired surrogates are written as
// U+FFFD, and an empty name comes back as the address.
QByteArray toHtml(const QList<Link>& links);
// The name as it comes back from a file that toHtml() wrote: the same, but for the characters
// above that turn into U+FFFD.
QString nameAsRead(const QString& name);
// Replaces `path` only once the whole new file is on disk; on failure returns false, leaves any
// file there as it was and sets `reason` (for the user, without the file name).
bool writeFile(const QString& path, const QList<Link>& links, QString* reason = nullptr);

} // namespace BookmarkFile
