#include "bookmarkfile/BookmarkFile.h"

#include <QByteArrayView>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <gumbo.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace BookmarkFile {

namespace {

bool isHtmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

bool isAsciiAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool equalsIgnoreCase(std::string_view text, std::string_view lowerCase)
{
    if (text.size() != lowerCase.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (asciiLower(text[i]) != lowerCase[i])
            return false;
    }
    return true;
}

// Where a document may be cut into pieces that each parse, from a fresh start, to the links the
// whole document gives: just before a <DT> start tag in plain text while no <A> is open. That holds
// while every tag so far belongs to a bookmark file's vocabulary and every anchor so far held only
// text: a piece then starts inside nothing but lists, headings and paragraphs, and only a tag
// inside an anchor could close the anchor early by closing one of them. The first tag that breaks
// this stops the cutting, and pieces already cut must be read again as one. The scanner follows the
// HTML tokenizer through comments, tags, quoted attributes and <TITLE> text; the text may arrive in
// parts, and a token it ends inside is scanned again once more text follows.
class PieceCutter {
public:
    static constexpr qsizetype kNeedMore = -1;

    // The first cut at or after `least` in `text` (the document from the last cut on, which
    // `complete` says runs to its end); the end of a complete text when there is none, otherwise
    // kNeedMore.
    qsizetype nextCut(QByteArrayView text, qsizetype least, bool complete);
    // The text now starts `bytes` further on.
    void dropFront(qsizetype bytes) { m_at -= bytes; }
    // No cut is safe any more, nor were the ones made before.
    bool stopped() const { return m_stopped; }

private:
    qsizetype scanToken(qsizetype lt, qsizetype least, bool& cut); // the token's end, or kNeedMore
    std::string_view tagName(qsizetype from) const;
    qsizetype skipPast(qsizetype from, char c) const;
    qsizetype skipComment(qsizetype from) const;
    qsizetype skipAttributes(qsizetype from) const;
    qsizetype findEndTag(qsizetype from, std::string_view name) const;

    const char* m_p = nullptr;
    qsizetype m_n = 0;
    qsizetype m_at = 0; // scanned so far; always a position in plain text
    bool m_anchorOpen = false;
    bool m_stopped = false;
};

bool inBookmarkVocabulary(std::string_view name)
{
    static constexpr std::string_view kNames[] = {"a",  "dl", "dt", "dd", "p",    "h1",    "h2",   "h3",   "h4",
                                                  "h5", "h6", "hr", "br", "meta", "title", "html", "head", "body"};
    for (std::string_view known : kNames) {
        if (equalsIgnoreCase(name, known))
            return true;
    }
    return false;
}

qsizetype PieceCutter::nextCut(QByteArrayView text, qsizetype least, bool complete)
{
    m_p = text.data();
    m_n = text.size();
    while (!m_stopped && m_at < m_n) {
        const void* found = std::memchr(m_p + m_at, '<', size_t(m_n - m_at));
        if (!found) {
            m_at = m_n;
            break;
        }
        const qsizetype lt = static_cast<const char*>(found) - m_p;
        bool cut = false;
        const qsizetype end = scanToken(lt, least, cut);
        if (cut) {
            m_at = lt;
            return lt;
        }
        if (end == kNeedMore) {
            m_at = complete ? m_n : lt; // at the document's end, the rest lies inside the token
            break;
        }
        m_at = end;
    }
    return complete ? m_n : kNeedMore;
}

// `lt` is at a '<'. Sets `cut` instead when the token is a <DT> start tag that may begin a piece.
qsizetype PieceCutter::scanToken(qsizetype lt, qsizetype least, bool& cut)
{
    if (m_n - lt < 4) // "<!--" needs four bytes to be told from other markup
        return kNeedMore;
    const char next = m_p[lt + 1];
    if (next == '!')
        return std::string_view(m_p + lt, 4) == "<!--" ? skipComment(lt + 4) : skipPast(lt + 2, '>');
    if (next == '?')
        return skipPast(lt + 2, '>'); // a bogus comment
    if (next == '/') {
        if (!isAsciiAlpha(m_p[lt + 2]))
            return skipPast(lt + 2, '>'); // "</>" is dropped, anything else is a bogus comment
        const std::string_view name = tagName(lt + 2);
        if (!name.data())
            return kNeedMore;
        if (!inBookmarkVocabulary(name) || (m_anchorOpen && !equalsIgnoreCase(name, "a"))) {
            m_stopped = true;
            return m_n;
        }
        const qsizetype end = skipAttributes(lt + 2 + qsizetype(name.size()));
        if (end != kNeedMore && equalsIgnoreCase(name, "a"))
            m_anchorOpen = false;
        return end;
    }
    if (!isAsciiAlpha(next))
        return lt + 1; // a '<' that is text
    const std::string_view name = tagName(lt + 1);
    if (!name.data())
        return kNeedMore;
    if (lt >= least && !m_anchorOpen && equalsIgnoreCase(name, "dt")) {
        cut = true;
        return lt;
    }
    if (!inBookmarkVocabulary(name) || m_anchorOpen) {
        m_stopped = true;
        return m_n;
    }
    qsizetype end = skipAttributes(lt + 1 + qsizetype(name.size()));
    if (end != kNeedMore && equalsIgnoreCase(name, "title"))
        end = findEndTag(end, "title");
    if (end != kNeedMore && equalsIgnoreCase(name, "a"))
        m_anchorOpen = true;
    return end;
}

// A null view when the text ends inside the name.
std::string_view PieceCutter::tagName(qsizetype from) const
{
    qsizetype end = from;
    while (end < m_n && !isHtmlSpace(m_p[end]) && m_p[end] != '/' && m_p[end] != '>')
        ++end;
    return end < m_n ? std::string_view(m_p + from, size_t(end - from)) : std::string_view();
}

qsizetype PieceCutter::skipPast(qsizetype from, char c) const
{
    const void* found = from < m_n ? std::memchr(m_p + from, c, size_t(m_n - from)) : nullptr;
    return found ? static_cast<const char*>(found) - m_p + 1 : kNeedMore;
}

// `from` is just past "<!--". "<!-->" and "<!--->" are whole comments; others end at "-->" or "--!>".
qsizetype PieceCutter::skipComment(qsizetype from) const
{
    if (from < m_n && m_p[from] == '>')
        return from + 1;
    if (from + 1 < m_n && m_p[from] == '-' && m_p[from + 1] == '>')
        return from + 2;
    const std::string_view rest(m_p + from, size_t(m_n - from));
    for (size_t dashes = rest.find("--"); dashes != std::string_view::npos; dashes = rest.find("--", dashes + 1)) {
        if (rest.substr(dashes + 2, 1) == ">")
            return from + qsizetype(dashes) + 3;
        if (rest.substr(dashes + 2, 2) == "!>")
            return from + qsizetype(dashes) + 4;
    }
    return kNeedMore;
}

// The tokenizer's attribute states, from just past a tag's name to just past its '>'. A quote
// opens a value only where a value may start, so `<a b"c>` ends at its first '>'.
qsizetype PieceCutter::skipAttributes(qsizetype from) const
{
    enum { BeforeName, Name, AfterName, BeforeValue, Unquoted } state = BeforeName;
    for (qsizetype i = from; i < m_n; ++i) {
        const char c = m_p[i];
        const bool space = isHtmlSpace(c);
        if (c == '>')
            return i + 1;
        switch (state) {
        case BeforeName:
            if (!space && c != '/')
                state = Name;
            break;
        case Name:
            state = c == '=' ? BeforeValue : space ? AfterName : c == '/' ? BeforeName : Name;
            break;
        case AfterName:
            if (!space)
                state = c == '=' ? BeforeValue : c == '/' ? BeforeName : Name;
            break;
        case BeforeValue:
            if (c == '"' || c == '\'') {
                const void* close = std::memchr(m_p + i + 1, c, size_t(m_n - i - 1));
                if (!close)
                    return kNeedMore;
                i = static_cast<const char*>(close) - m_p;
                state = BeforeName;
            } else if (!space) {
                state = Unquoted;
            }
            break;
        case Unquoted:
            if (space)
                state = BeforeName;
            break;
        }
    }
    return kNeedMore;
}

// Just past the text of a text-only element: the '<' of its end tag.
qsizetype PieceCutter::findEndTag(qsizetype from, std::string_view name) const
{
    const std::string_view text(m_p, size_t(m_n));
    for (size_t at = text.find("</", size_t(from)); at != std::string_view::npos; at = text.find("</", at + 2)) {
        const size_t after = at + 2 + name.size();
        if (after >= text.size())
            break;
        if (equalsIgnoreCase(text.substr(at + 2, name.size()), name) &&
            (isHtmlSpace(text[after]) || text[after] == '/' || text[after] == '>'))
            return qsizetype(at);
    }
    return kNeedMore;
}

// Windows-1252's 0x80..0x9F; the five bytes it leaves undefined map to the C1 controls, as browsers do.
constexpr char16_t kWindows1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                           0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                           0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                           0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void windows1252ToUtf8(QByteArrayView in, std::string& out)
{
    out.clear();
    out.reserve(size_t(in.size()) + size_t(in.size()) / 8);
    for (const char byte : in) {
        const auto c = static_cast<unsigned char>(byte);
        if (c < 0x80) {
            out += byte;
            continue;
        }
        const char16_t u = c < 0xA0 ? kWindows1252High[c - 0x80] : char16_t(c);
        if (u < 0x800) {
            out += char(0xC0 | (u >> 6));
        } else {
            out += char(0xE0 | (u >> 12));
            out += char(0x80 | ((u >> 6) & 0x3F));
        }
        out += char(0x80 | (u & 0x3F));
    }
}

// Outer C0 controls and blanks, which the URL standard strips from every address too.
std::string_view trimmedAddress(std::string_view address)
{
    while (!address.empty() && static_cast<unsigned char>(address.front()) <= 0x20)
        address.remove_prefix(1);
    while (!address.empty() && static_cast<unsigned char>(address.back()) <= 0x20)
        address.remove_suffix(1);
    return address;
}

// Places, bookmarklets and inline data open nothing a user could keep as a link. A URL parser
// drops tabs and newlines anywhere, so "java&#10;script:" is still javascript: and is caught too.
bool hasUnopenableScheme(std::string_view address)
{
    std::string scheme;
    for (const char c : address) {
        if (c == '\t' || c == '\n' || c == '\r')
            continue;
        if (c == ':')
            return scheme == "place" || scheme == "javascript" || scheme == "data";
        const bool schemeChar = isAsciiAlpha(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        if (!schemeChar || scheme.size() == 10) // no scheme, or one longer than "javascript"
            return false;
        scheme += asciiLower(c);
    }
    return false;
}

void collapseWhiteSpace(std::string& text)
{
    size_t out = 0;
    bool blankPending = false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (isHtmlSpace(text[i])) {
            blankPending = out > 0;
            continue;
        }
        if (blankPending)
            text[out++] = ' ';
        blankPending = false;
        text[out++] = text[i];
    }
    text.resize(out);
}

const GumboVector* childrenOf(const GumboNode* node)
{
    switch (node->type) {
    case GUMBO_NODE_DOCUMENT:
        return &node->v.document.children;
    case GUMBO_NODE_ELEMENT:
    case GUMBO_NODE_TEMPLATE:
        return &node->v.element.children;
    default:
        return nullptr;
    }
}

// Walks a parsed piece without recursion (files can nest deeper than the stack) and turns each
// anchor the file wrote into a link or a skip count. The parser's own copies of an anchor (made to
// reopen one that was left unclosed) are not anchors of the file and are passed over.
class Collector {
public:
    explicit Collector(BookmarkReadResult& result) : m_result(result) {}
    void collect(const GumboNode* root);
    int anchors() const { return m_anchors; }

private:
    void take(const GumboNode* anchor);
    void gatherText(const GumboNode* anchor);

    BookmarkReadResult& m_result;
    int m_anchors = 0;
    std::string m_text;
    std::vector<std::pair<const GumboVector*, unsigned>> m_stack, m_textStack;
};

void Collector::collect(const GumboNode* root)
{
    m_stack.assign(1, {childrenOf(root), 0u});
    while (!m_stack.empty()) {
        auto& [children, index] = m_stack.back();
        if (index >= children->length) {
            m_stack.pop_back();
            continue;
        }
        const auto* node = static_cast<const GumboNode*>(children->data[index++]);
        if (node->type == GUMBO_NODE_ELEMENT && node->v.element.tag == GUMBO_TAG_A &&
            node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML &&
            !(node->parse_flags & GUMBO_INSERTION_BY_PARSER))
            take(node);
        // Anchors can hold anchors (through <template>), so the walk goes on below this one.
        if (const GumboVector* grandchildren = childrenOf(node); grandchildren && grandchildren->length)
            m_stack.push_back({grandchildren, 0u});
    }
}

void Collector::take(const GumboNode* anchor)
{
    ++m_anchors;
    const GumboAttribute* href = gumbo_get_attribute(&anchor->v.element.attributes, "href");
    const std::string_view address = href ? trimmedAddress(href->value) : std::string_view();
    if (address.empty()) {
        ++m_result.skippedWithoutAddress;
        return;
    }
    if (hasUnopenableScheme(address)) {
        ++m_result.skippedUnopenableAddress;
        return;
    }
    gatherText(anchor);
    collapseWhiteSpace(m_text);
    const QString addressText = QString::fromUtf8(address.data(), qsizetype(address.size()));
    m_result.links.append(Link{
        m_text.empty() ? addressText : QString::fromUtf8(m_text.data(), qsizetype(m_text.size())), addressText});
}

void Collector::gatherText(const GumboNode* anchor)
{
    m_text.clear();
    m_textStack.assign(1, {childrenOf(anchor), 0u});
    while (!m_textStack.empty()) {
        auto& [children, index] = m_textStack.back();
        if (index >= children->length) {
            m_textStack.pop_back();
            continue;
        }
        const auto* node = static_cast<const GumboNode*>(children->data[index++]);
        if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE || node->type == GUMBO_NODE_CDATA)
            m_text += node->v.text.text;
        else if (const GumboVector* grandchildren = childrenOf(node); grandchildren && grandchildren->length)
            m_textStack.push_back({grandchildren, 0u});
    }
}

BookmarkReadResult failure(BookmarkError error, const QString& reason)
{
    BookmarkReadResult result;
    result.error = error;
    result.reason = reason;
    return result;
}

BookmarkReadResult tooLarge(qint64 size)
{
    return failure(BookmarkError::TooLarge,
                   QStringLiteral("The file is %1 MB; bookmark files over %2 MB are not read.")
                       .arg(QString::number(double(size) / (1024 * 1024), 'f', 1))
                       .arg(kMaxFileBytes / (1024 * 1024)));
}

BookmarkReadResult binaryFile()
{
    return failure(BookmarkError::Binary,
                   QStringLiteral("The file holds binary data, not text, so it is not a bookmark file."));
}

void appendEscaped(QByteArray& out, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    for (const char c : utf8) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\r':
            out += "&#13;";
            break;
        case '\n':
            out += "&#10;";
            break;
        case '\0':
            out += "\xEF\xBF\xBD"; // a NUL would make the file binary
            break;
        default:
            out += c;
        }
    }
}

// Hands the document to the parser in pieces of about pieceBytes, each tree freed before the next:
// the parser's tree takes about ten times the bytes it is given.
class PieceReader {
public:
    PieceReader(bool utf8, qsizetype pieceBytes, BookmarkReadResult& result)
        : m_utf8(utf8), m_pieceBytes(std::max<qsizetype>(pieceBytes, 1)), m_collector(result)
    {
        m_options.max_errors = 0; // every export breaks some HTML rule; keeping the errors only costs memory
    }

    // Reads the whole pieces at the front of `text`, the document from the end of the last call on
    // (all of it when `complete`); returns how many bytes it read. Once mustReadWhole(), what it
    // read is void and the document must be read again in one piece.
    qsizetype read(QByteArrayView text, bool complete);
    bool mustReadWhole() const { return m_mustReadWhole; }
    int anchors() const { return m_collector.anchors(); }

private:
    void parse(QByteArrayView piece);

    bool m_utf8;
    qsizetype m_pieceBytes;
    Collector m_collector;
    PieceCutter m_cutter;
    GumboOptions m_options = kGumboDefaultOptions;
    std::string m_decoded;
    int m_pieces = 0;
    bool m_mustReadWhole = false;
};

qsizetype PieceReader::read(QByteArrayView text, bool complete)
{
    qsizetype used = 0;
    while (used < text.size() && !m_mustReadWhole) {
        const bool fitsOnePiece = text.size() - used <= m_pieceBytes;
        if (fitsOnePiece && !complete)
            break;
        // After a cut the rest is scanned to its end, for a tag that voids the cuts.
        const qsizetype cut =
            fitsOnePiece && m_pieces == 0 ? text.size() : m_cutter.nextCut(text, used + m_pieceBytes, complete);
        m_mustReadWhole = m_cutter.stopped() && m_pieces > 0;
        if (cut == PieceCutter::kNeedMore || m_mustReadWhole)
            break;
        parse(text.sliced(used, cut - used));
        ++m_pieces;
        used = cut;
    }
    m_cutter.dropFront(used);
    return used;
}

void PieceReader::parse(QByteArrayView piece)
{
    if (!m_utf8) {
        windows1252ToUtf8(piece, m_decoded);
        piece = QByteArrayView(m_decoded.data(), qsizetype(m_decoded.size()));
    }
    GumboOutput* output = gumbo_parse_with_options(&m_options, piece.data(), size_t(piece.size()));
    m_collector.collect(output->document);
    gumbo_destroy_output(&m_options, output);
}

// Whether blocks of bytes, taken together, hold a NUL, and whether they are UTF-8: a character cut
// at a block's end is checked with the next block.
class TextCheck {
public:
    void add(QByteArrayView block);
    bool binary() const { return m_binary; }
    bool utf8() const { return m_utf8 && m_carry.isEmpty(); } // once every block is in

private:
    QByteArray m_carry;
    bool m_binary = false;
    bool m_utf8 = true;
};

void TextCheck::add(QByteArrayView block)
{
    m_binary = m_binary || std::memchr(block.data(), '\0', size_t(block.size()));
    if (!m_utf8)
        return;
    QByteArray joined = m_carry;
    joined.append(block);
    // Back from the end to the last lead byte; its sequence may go on in the next block.
    qsizetype lead = joined.size() - 1;
    while (lead > 0 && joined.size() - lead < 4 && (uchar(joined[lead]) & 0xC0) == 0x80)
        --lead;
    const uchar c = lead >= 0 ? uchar(joined[lead]) : 0;
    const qsizetype length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    const qsizetype whole = joined.size() - lead < length ? lead : joined.size();
    m_carry = joined.sliced(whole);
    m_utf8 = QByteArrayView(joined).first(whole).isValidUtf8();
}

BookmarkReadResult finished(BookmarkReadResult result, const PieceReader& reader)
{
    if (reader.anchors() == 0)
        return failure(BookmarkError::NotBookmarks,
                       QStringLiteral("The file holds no links, so it is not a bookmark file."));
    return result;
}

BookmarkReadResult readWhole(QByteArrayView text, bool utf8)
{
    BookmarkReadResult result;
    PieceReader reader(utf8, text.size(), result);
    reader.read(text, true);
    return finished(std::move(result), reader);
}

} // namespace

BookmarkReadResult read(const QByteArray& bytes, qsizetype pieceBytes)
{
    QByteArrayView text(bytes);
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);
    if (text.isEmpty())
        return failure(BookmarkError::Empty, QStringLiteral("The file is empty."));
    if (text.size() > kMaxFileBytes)
        return tooLarge(text.size());
    if (std::memchr(text.data(), '\0', size_t(text.size())))
        return binaryFile();
    const bool utf8 = text.isValidUtf8();
    BookmarkReadResult result;
    PieceReader reader(utf8, pieceBytes, result);
    reader.read(text, true);
    return reader.mustReadWhole() ? readWhole(text, utf8) : finished(std::move(result), reader);
}

BookmarkReadResult readFile(const QString& path, const std::function<bool(qint64 done, qint64 total)>& progress)
{
    const auto stopped = [&progress](qint64 done, qint64 total) { return progress && !progress(done, total); };
    const BookmarkReadResult cancelled =
        failure(BookmarkError::Cancelled, QStringLiteral("The reading was cancelled."));
    if (QFileInfo(path).isDir())
        return failure(BookmarkError::CannotRead, QStringLiteral("It is a folder, not a file."));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(BookmarkError::CannotRead,
                       QStringLiteral("The file cannot be opened: %1.").arg(file.errorString()));
    const auto cannotRead = [&file] {
        return failure(BookmarkError::CannotRead,
                       QStringLiteral("The file cannot be read: %1.").arg(file.errorString()));
    };
    if (file.size() > kMaxFileBytes)
        return tooLarge(file.size());
    if (file.isSequential()) {
        // A pipe or a device can be read once only: whole, up to the limit, so one that never ends
        // (/dev/zero) is refused too.
        QByteArray bytes;
        while (bytes.size() <= kMaxFileBytes) {
            const QByteArray block = file.read(kReadBlockBytes);
            if (block.isEmpty())
                break;
            bytes += block;
            if (stopped(bytes.size(), kMaxFileBytes))
                return cancelled;
        }
        if (file.error() != QFileDevice::NoError)
            return cannotRead();
        return bytes.size() > kMaxFileBytes ? tooLarge(bytes.size()) : read(bytes);
    }

    // A file is read twice in blocks, never whole: once to tell its encoding, once to parse it.
    const qint64 start = file.peek(3) == QByteArrayView("\xEF\xBB\xBF") ? 3 : 0;
    if (file.size() <= start)
        return failure(BookmarkError::Empty, QStringLiteral("The file is empty."));
    TextCheck check;
    qint64 checked = 0;
    if (!file.seek(start))
        return cannotRead();
    for (QByteArray block; !(block = file.read(kReadBlockBytes)).isEmpty() && !check.binary();) {
        check.add(block);
        checked += block.size();
        // The first pass is the quick one: it counts as a tenth of the reading.
        if (stopped(checked / 10, file.size()))
            return cancelled;
    }
    if (file.error() != QFileDevice::NoError)
        return cannotRead();
    if (check.binary())
        return binaryFile();

    BookmarkReadResult result;
    PieceReader reader(check.utf8(), kPieceBytes, result);
    if (!file.seek(start))
        return cannotRead();
    // The window holds what the last piece left over plus one block; only the bytes checked above
    // are read, should the file grow meanwhile.
    QByteArray window;
    for (qint64 left = checked;;) {
        const QByteArray block = file.read(std::min<qint64>(kReadBlockBytes, left));
        left -= block.size();
        const bool complete = left <= 0 || block.isEmpty();
        window += block;
        window.remove(0, reader.read(window, complete));
        if (stopped(checked / 10 + (checked - left) * 9 / 10, checked))
            return cancelled;
        if (complete || reader.mustReadWhole())
            break;
    }
    if (reader.mustReadWhole()) {
        window.clear();
        if (!file.seek(start))
            return cannotRead();
        const QByteArray bytes = file.read(checked);
        if (file.error() == QFileDevice::NoError)
            return readWhole(bytes, check.utf8());
    }
    if (file.error() != QFileDevice::NoError)
        return cannotRead();
    return finished(std::move(result), reader);
}

QByteArray toHtml(const QList<Link>& links)
{
    static constexpr char kHeader[] = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                                      "<!-- This is an automatically generated file.\n"
                                      "     It will be read and overwritten.\n"
                                      "     DO NOT EDIT! -->\n"
                                      "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
                                      "<TITLE>Bookmarks</TITLE>\n"
                                      "<H1>Bookmarks</H1>\n"
                                      "<DL><p>\n";
    QByteArray out(kHeader);
    out.reserve(out.size() + links.size() * 96);
    for (const Link& link : links) {
        out += "    <DT><A HREF=\"";
        appendEscaped(out, link.url);
        out += "\">";
        appendEscaped(out, link.name);
        out += "</A>\n";
    }
    out += "</DL><p>\n";
    return out;
}

bool writeFile(const QString& path, const QList<Link>& links, QString* reason)
{
    QSaveFile file(path);
    const auto fail = [&file, reason](const QString& what) {
        // Qt says "Unknown error" where the system gave no reason; that tells a user nothing.
        const QString detail =
            file.error() == QFileDevice::NoError || file.errorString() == QLatin1String("Unknown error")
                ? QString()
                : QStringLiteral(": ") + file.errorString();
        if (reason)
            *reason = what + detail + QStringLiteral(". Any file already there is left as it was.");
        return false;
    };
    if (!file.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("The new file cannot be created there"));
    const QByteArray bytes = toHtml(links);
    if (file.write(bytes) != bytes.size()) {
        const bool failed = fail(QStringLiteral("The new file cannot be written"));
        file.cancelWriting();
        return failed;
    }
    return file.commit() || fail(QStringLiteral("The new file cannot be finished and put in place"));
}

} // namespace BookmarkFile
