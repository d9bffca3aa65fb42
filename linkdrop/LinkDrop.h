#pragma once

#include "data/Link.h"

#include <QString>
#include <limits>
#include <optional>

class QMimeData;

// What a drag from a browser, or a copied link, carries: the first address a person could keep as
// a link and the title that came with it. Pure functions: no window, no database.
namespace LinkDrop {

// The formats read, most trusted first: Firefox's address and title pairs (UTF-16), the standard
// list of addresses, an HTML anchor (Chromium and most other programs), plain text.
inline constexpr char MozUrlFormat[] = "text/x-moz-url";
inline constexpr char UriListFormat[] = "text/uri-list";
inline constexpr char HtmlFormat[] = "text/html";

// A link's data is a few hundred bytes. A format larger than this is a document dragged past the
// window, not a link, and is passed over: reading it at every drag would hold the window up.
inline constexpr qsizetype MaxFormatBytes = 1024 * 1024;

// The first usable address (url) in the order above, and its title (name) cleaned as cleanName
// does, cut to nameLimit; the name is empty when nothing carries a title for that address.
// Nothing when the data holds no usable address.
std::optional<Link> firstLink(const QMimeData& data, int nameLimit = std::numeric_limits<int>::max());

// Whether text, exactly as it stands, is an address this program takes: an http:, https:, ftp:,
// mailto: or file: URL with something after its scheme, or a host that begins with "www.". A text
// with white space or control characters inside is a sentence, not an address.
bool isUsableAddress(const QString& text);

// A title as a site name: control characters removed, runs of white space (line breaks, tabs)
// made one blank, outer blanks trimmed, then cut to limit characters without splitting a
// character in two.
QString cleanName(const QString& title, int limit);

} // namespace LinkDrop
