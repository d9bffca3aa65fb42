#include "linkdrop/LinkDrop.h"

#include "bookmarkfile/BookmarkFile.h"
#include "platform/ShellOpen.h"

#include <QByteArray>
#include <QList>
#include <QMimeData>
#include <QStringDecoder>
#include <QStringList>
#include <QUrl>
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace LinkDrop {

namespace {

bool isControl(QChar c)
{
    return c.category() == QChar::Other_Control;
}

// Firefox writes its formats in UTF-16 without a byte-order mark, other programs in UTF-8: a NUL
// byte before the text's end tells UTF-16 apart, and where the first one stands tells its byte
// order ("h\0" or "\0h"). Some programs end the text with a terminating NUL.
QString decodeText(QByteArray bytes)
{
    qsizetype end = bytes.size();
    while (end > 0 && bytes[end - 1] == '\0')
        --end;
    QStringDecoder::Encoding encoding = QStringDecoder::Utf8;
    if (bytes.startsWith("\xFF\xFE")) {
        encoding = QStringDecoder::Utf16LE;
        bytes.remove(0, 2);
    } else if (bytes.startsWith("\xFE\xFF")) {
        encoding = QStringDecoder::Utf16BE;
        bytes.remove(0, 2);
    } else if (bytes.startsWith("\xEF\xBB\xBF")) {
        bytes.remove(0, 3);
    } else if (const qsizetype nul = QByteArrayView(bytes).first(end).indexOf('\0'); nul >= 0) {
        encoding = nul % 2 ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE;
    }
    QStringDecoder decoder(encoding);
    QString text = decoder(bytes);
    while (text.endsWith(QChar(0)))
        text.chop(1);
    return text;
}

QStringList linesOf(const QString& text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    return lines;
}

// Browsers write one address with and without its last slash, percent-encoded or not.
QUrl comparable(const QString& address)
{
    // A bare host is compared as what a browser makes of it.
    QUrl url = QUrl(platform::openerArgument(address)).adjusted(QUrl::StripTrailingSlash | QUrl::NormalizePathSegments);
    if (url.path() == QLatin1String("/"))
        url.setPath(QString());
    return url;
}

bool sameAddress(const QString& a, const QString& b)
{
    if (a == b)
        return true;
    const QUrl ua = comparable(a);
    return ua.isValid() && ua == comparable(b);
}

// The anchors of an HTML fragment, read as a bookmark file is read: a fragment from anywhere gets the
// same checks of depth and size before it is parsed.
QList<Link> anchorsOf(const QByteArray& html)
{
    BookmarkReadResult read = BookmarkFile::read(decodeText(html).toUtf8());
    return read.ok() ? std::move(read.links) : QList<Link>{};
}

// Firefox's pairs: an address on one line, its title on the next, for each link dragged.
QList<Link> mozUrlPairs(const QByteArray& bytes)
{
    QList<Link> pairs;
    if (bytes.isEmpty())
        return pairs;
    const QStringList lines = linesOf(decodeText(bytes));
    for (qsizetype i = 0; i < lines.size(); i += 2)
        pairs.append(Link{i + 1 < lines.size() ? lines[i + 1] : QString(), lines[i].trimmed()});
    return pairs;
}

// The standard list: one address a line, lines beginning with '#' are comments.
QStringList uriList(const QByteArray& bytes)
{
    QStringList uris;
    for (const QString& line : linesOf(decodeText(bytes))) {
        const QString uri = line.trimmed();
        if (!uri.isEmpty() && !uri.startsWith(QLatin1Char('#')))
            uris.append(uri);
    }
    return uris;
}

} // namespace

bool isUsableAddress(const QString& text)
{
    if (text.isEmpty() ||
        std::any_of(text.begin(), text.end(), [](QChar c) { return c.isSpace() || isControl(c); }))
        return false;
    if (text.startsWith(QLatin1String("www."), Qt::CaseInsensitive)) {
        // "www.example.org:8080/path" is a host, and no scheme begins with "www.".
        const QUrl url(platform::openerArgument(text));
        return url.isValid() && url.host().size() > 4 && url.host().startsWith(QLatin1String("www."));
    }
    const QUrl url(text);
    if (!url.isValid())
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("ftp"))
        return !url.host().isEmpty();
    if (scheme == QLatin1String("mailto") || scheme == QLatin1String("file"))
        return !url.path().isEmpty();
    return false;
}

QString cleanName(const QString& title, int limit)
{
    QString name;
    name.reserve(title.size());
    bool blankPending = false;
    for (const QChar c : title) {
        if (c.isSpace()) {
            blankPending = !name.isEmpty();
            continue;
        }
        if (isControl(c))
            continue;
        if (blankPending)
            name += QLatin1Char(' ');
        blankPending = false;
        name += c;
    }
    qsizetype keep = std::max(limit, 0);
    if (name.size() > keep) {
        if (keep > 0 && name[keep - 1].isHighSurrogate() && name[keep].isLowSurrogate())
            --keep;
        name.truncate(keep);
        if (name.endsWith(QLatin1Char(' ')))
            name.chop(1);
    }
    return name;
}

std::optional<Link> firstLink(const QMimeData& data, int nameLimit)
{
    // Titles come from Firefox's pairs and from anchors; addresses from every format.
    QList<Link> titled;
    QStringList addresses;
    const auto bytesOf = [&data](const char* format) {
        const QByteArray bytes =
            data.hasFormat(QLatin1String(format)) ? data.data(QLatin1String(format)) : QByteArray();
        return bytes.size() <= MaxFormatBytes ? bytes : QByteArray();
    };
    titled = mozUrlPairs(bytesOf(MozUrlFormat));
    for (const Link& pair : std::as_const(titled))
        addresses.append(pair.url);
    addresses += uriList(bytesOf(UriListFormat));
    if (const QByteArray html = bytesOf(HtmlFormat); !html.isEmpty()) {
        const QList<Link> anchors = anchorsOf(html);
        for (const Link& anchor : anchors)
            addresses.append(anchor.url);
        titled += anchors;
    }
    if (const QString text = data.hasText() ? data.text() : QString(); text.size() <= MaxFormatBytes / 2) {
        for (const QString& line : linesOf(text))
            addresses.append(line.trimmed());
    }

    const auto address = std::find_if(addresses.cbegin(), addresses.cend(), isUsableAddress);
    if (address == addresses.cend())
        return std::nullopt;
    Link link{QString(), *address};
    for (const Link& candidate : std::as_const(titled)) {
        if (!sameAddress(candidate.url, link.url))
            continue;
        link.name = cleanName(candidate.name, nameLimit);
        if (!link.name.isEmpty())
            break;
    }
    return link;
}

} // namespace LinkDrop
