#include "bookmarkfile/BookmarkFile.h"

#include "bookmarkfile/Ascii.h"
#include "bookmarkfile/DocumentScan.h"
#include "bookmarkfile/GuardedParse.h"

#include <QByteArrayView>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <gumbo.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace BookmarkFile {

namespace {

using BookmarkFile::ascii::isHtmlSpace;
constexpr auto isAsciiAlpha = BookmarkFile::ascii::isAlpha;
constexpr auto asciiLower = BookmarkFile::ascii::lower;

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
        if (c == 0) {
            out += "\xEF\xBF\xBD"; // as an HTML parser reads a NUL
            continue;
        }
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

// The text of a quoted attribute value as the file writes it, quotes left out.
std::string_view unquoted(const GumboStringPiece& original)
{
    std::string_view raw(original.data, original.length);
    if (raw.size() >= 2 && (raw.front() == '"' || raw.front() == '\'') && raw.back() == raw.front())
        raw = raw.substr(1, raw.size() - 2);
    return raw;
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
    void noteLayout(std::string_view original);

    BookmarkReadResult& m_result;
    int m_anchors = 0;
    std::string m_text;
    // Whether the text as the file writes it lays itself out with white space: a line break, a
    // tab, a form feed, two blanks in a row or a blank at either end.
    bool m_laidOut = false;
    bool m_anyText = false;
    bool m_blankLast = false;
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
    std::string_view address = href ? std::string_view(href->value) : std::string_view();
    // Blanks the file writes around the address are no part of it; those it writes as character
    // references are.
    if (const std::string_view raw = href ? unquoted(href->original_value) : std::string_view();
        !raw.empty() &&
        (static_cast<unsigned char>(raw.front()) <= 0x20 || static_cast<unsigned char>(raw.back()) <= 0x20))
        address = trimmedAddress(address);
    if (address.empty()) {
        ++m_result.skippedWithoutAddress;
        return;
    }
    // A URL parser strips outer blanks and controls however written, so the test of the scheme does.
    if (hasUnopenableScheme(trimmedAddress(address))) {
        ++m_result.skippedUnopenableAddress;
        return;
    }
    gatherText(anchor);
    if (m_laidOut)
        collapseWhiteSpace(m_text);
    const std::string_view name = m_text.empty() ? address : std::string_view(m_text);
    // A UTF-16 character takes at most three bytes of UTF-8: more bytes than that are too long
    // without converting them.
    const auto tooLong = [](std::string_view text) { return qsizetype(text.size()) > 3 * kMaxTextLength; };
    if (tooLong(name) || tooLong(address)) {
        ++m_result.skippedTooLong;
        return;
    }
    Link link{QString::fromUtf8(name.data(), qsizetype(name.size())),
              QString::fromUtf8(address.data(), qsizetype(address.size()))};
    if (link.name.size() > kMaxTextLength || link.url.size() > kMaxTextLength) {
        ++m_result.skippedTooLong;
        return;
    }
    m_result.links.append(std::move(link));
}

void Collector::gatherText(const GumboNode* anchor)
{
    m_text.clear();
    m_laidOut = m_anyText = m_blankLast = false;
    m_textStack.assign(1, {childrenOf(anchor), 0u});
    while (!m_textStack.empty()) {
        auto& [children, index] = m_textStack.back();
        if (index >= children->length) {
            m_textStack.pop_back();
            continue;
        }
        const auto* node = static_cast<const GumboNode*>(children->data[index++]);
        if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE ||
            node->type == GUMBO_NODE_CDATA) {
            m_text += node->v.text.text;
            noteLayout(std::string_view(node->v.text.original_text.data, node->v.text.original_text.length));
        } else if (const GumboVector* grandchildren = childrenOf(node); grandchildren && grandchildren->length) {
            m_textStack.push_back({grandchildren, 0u});
        }
    }
    m_laidOut = m_laidOut || m_blankLast;
}

void Collector::noteLayout(std::string_view original)
{
    for (size_t i = 0; i < original.size() && !m_laidOut; ++i) {
        const char c = original[i];
        if (c == ' ') {
            m_laidOut = !m_anyText || m_blankLast;
            m_blankLast = true;
        } else {
            m_laidOut = isHtmlSpace(c);
            m_blankLast = false;
        }
        m_anyText = true;
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

BookmarkReadResult tooDeep(int maxDepth)
{
    return failure(
        BookmarkError::TooDeep,
        QStringLiteral("Its elements are nested more than %1 levels deep, where a bookmark file nests a "
                       "few dozen at most, so it is not read.")
            .arg(maxDepth));
}

BookmarkReadResult tooSlow()
{
    return failure(BookmarkError::TooComplex,
                   QStringLiteral("Its markup nests too deeply around too much text: reading it would take far "
                                  "too long, so it is not read."));
}

BookmarkReadResult tooManyNodes()
{
    return failure(BookmarkError::TooComplex,
                   QStringLiteral("It holds more than %1 million elements and runs of text, where a bookmark file "
                                  "holds a few a link: reading it would take far too long, so it is not read.")
                       .arg(kMaxNodes / 1'000'000));
}

BookmarkReadResult tooMuchMemory()
{
    return failure(BookmarkError::TooComplex,
                   QStringLiteral("Reading it would take more than %1 MB of memory: it holds far more markup than "
                                  "a bookmark file, so it is not read.")
                       .arg(kParserBudgetBytes / (1024 * 1024)));
}

BookmarkReadResult cancelled()
{
    return failure(BookmarkError::Cancelled, QStringLiteral("The reading was cancelled."));
}

bool isNonCharacter(char32_t c)
{
    return (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE;
}

// The C1 controls HTML reads as Windows-1252 characters, written as a reference or not.
bool isLostC1Control(char32_t c)
{
    return c >= 0x80 && c <= 0x9F && c != 0x81 && c != 0x8D && c != 0x8F && c != 0x90 && c != 0x9D;
}

// Calls `write` with every character of the text, an unpaired surrogate as U+FFFD.
template <typename Write> void forEachCharacter(const QString& text, Write write)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate())
            c = QChar::surrogateToUcs4(char16_t(c), text[++i].unicode());
        else if (QChar::isSurrogate(c))
            c = 0xFFFD;
        write(c, i + 1 == n);
    }
}

void appendUtf8(QByteArray& out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// Text or an attribute value, so that an HTML parser gives back every character it can.
void appendEscaped(QByteArray& out, const QString& text)
{
    bool first = true;
    char32_t previous = 0;
    forEachCharacter(text, [&](char32_t c, bool last) {
        const bool reference = c == '\t' || c == '\n' || c == '\r' || c == '\f' || (c < 0x20 && c != 0) ||
                               c == 0x7F || (c >= 0x80 && c <= 0x9F && !isLostC1Control(c)) || isNonCharacter(c) ||
                               (c == ' ' && (first || last || previous == ' '));
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"')
            out += "&quot;";
        else if (reference)
            out += "&#" + QByteArray::number(quint32(c)) + ';';
        else if (c == 0 || isLostC1Control(c))
            out += "\xEF\xBF\xBD"; // what a reader would make of it; a NUL would make the file binary
        else
            appendUtf8(out, c);
        previous = c;
        first = false;
    });
}

// Whether a text is binary: more than one byte in 32 a text never holds (NUL and the C0 controls
// other than tab, line feed, form feed, carriage return and escape), counted over blocks; and
// whether it is UTF-8, where a character cut at a block's end is checked with the next block.
class TextCheck {
public:
    void add(QByteArrayView block);
    qint64 bytes() const { return m_bytes; }
    // Binary now, whatever the rest holds, for a text of `total` bytes.
    bool binaryAlready(qint64 total) const { return m_controls * 32 > total; }
    bool binary() const { return m_controls * 32 > m_bytes; }
    bool utf8() const { return m_utf8 && m_carry.isEmpty(); } // once every block is in

private:
    QByteArray m_carry;
    qint64 m_controls = 0;
    qint64 m_bytes = 0;
    bool m_utf8 = true;
};

void TextCheck::add(QByteArrayView block)
{
    m_bytes += block.size();
    for (const char byte : block) {
        const auto c = static_cast<unsigned char>(byte);
        m_controls += c < 0x20 && c != '\t' && c != '\n' && c != '\f' && c != '\r' && c != 0x1B;
    }
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

// Hands the document to the parser piece by piece, at the cuts the scan found, each tree freed
// before the next: the parser's tree takes about ten times the bytes it is given.
class PieceReader {
public:
    PieceReader(bool utf8, const std::vector<qint64>& cuts, BookmarkReadResult& result, GuardedParse& parser)
        : m_utf8(utf8), m_cuts(cuts), m_collector(result), m_parser(parser)
    {
        m_options.max_errors = 0; // every export breaks some HTML rule; keeping the errors only costs memory
    }

    // Parses the whole pieces at the front of `window`, the document from byte `start` on (to its
    // end when `complete`); returns how many bytes it is done with.
    qsizetype read(QByteArrayView window, qint64 start, bool complete);
    bool stopped() const { return m_parser.outcome() != GuardedParse::Outcome::Parsed; }
    int anchors() const { return m_collector.anchors(); }

private:
    void parse(QByteArrayView piece);

    bool m_utf8;
    const std::vector<qint64>& m_cuts;
    size_t m_nextCut = 0;
    Collector m_collector;
    GuardedParse& m_parser;
    GumboOptions m_options = kGumboDefaultOptions;
    std::string m_decoded;
};

qsizetype PieceReader::read(QByteArrayView window, qint64 start, bool complete)
{
    qsizetype used = 0;
    while (!stopped()) {
        const bool lastPiece = m_nextCut >= m_cuts.size();
        const qint64 end = lastPiece ? (complete ? start + window.size() : -1) : m_cuts[m_nextCut];
        if (end < 0 || end > start + window.size())
            break;
        parse(window.sliced(used, end - start - used));
        used = end - start;
        if (lastPiece)
            break;
        ++m_nextCut;
    }
    return used;
}

void PieceReader::parse(QByteArrayView piece)
{
    if (!m_utf8) {
        windows1252ToUtf8(piece, m_decoded);
        piece = QByteArrayView(m_decoded.data(), qsizetype(m_decoded.size()));
    } else if (std::memchr(piece.data(), '\0', size_t(piece.size()))) {
        m_decoded.clear();
        for (const char c : piece)
            c ? void(m_decoded += c) : void(m_decoded += "\xEF\xBF\xBD"); // as an HTML parser reads a NUL
        piece = QByteArrayView(m_decoded.data(), qsizetype(m_decoded.size()));
    }
    const GumboOutput* output = m_parser.parse(m_options, piece.data(), size_t(piece.size()));
    if (output)
        m_collector.collect(output->document);
    m_parser.release();
}

// Where the document's text comes from: blocks of it as UTF-8 (or Windows-1252) bytes, read from
// the start again for the second pass.
class Source {
public:
    virtual ~Source() = default;
    virtual bool rewind() = 0;
    // The next block; empty at the end or on a failure.
    virtual QByteArray next() = 0;
    virtual bool failed() const = 0;
    // How far through the document the last block went, and of what, in the units progress counts.
    virtual qint64 done() const = 0;
    virtual qint64 total() const = 0;
};

enum class Encoding { Bytes, Utf16Le, Utf16Be };

// The byte-order mark a text starts with and its length.
std::pair<Encoding, qint64> byteOrderMark(QByteArrayView start)
{
    if (start.startsWith("\xEF\xBB\xBF"))
        return {Encoding::Bytes, 3};
    if (start.startsWith("\xFF\xFE"))
        return {Encoding::Utf16Le, 2};
    if (start.startsWith("\xFE\xFF"))
        return {Encoding::Utf16Be, 2};
    return {Encoding::Bytes, 0};
}

// UTF-16 turned into UTF-8 block by block; a character cut at a block's end waits for the next.
class Utf16 {
public:
    explicit Utf16(Encoding encoding) : m_encoding(encoding) { reset(); }
    void reset()
    {
        m_decoder =
            QStringDecoder(m_encoding == Encoding::Utf16Le ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
    }
    QByteArray operator()(QByteArrayView block) { return QString(m_decoder.decode(block)).toUtf8(); }

private:
    Encoding m_encoding;
    QStringDecoder m_decoder;
};

class MemorySource : public Source {
public:
    explicit MemorySource(QByteArray text) : m_text(std::move(text)) {}
    bool rewind() override
    {
        m_given = false;
        return true;
    }
    QByteArray next() override
    {
        const bool given = std::exchange(m_given, true);
        return given ? QByteArray() : m_text;
    }
    bool failed() const override { return false; }
    qint64 done() const override { return m_given ? m_text.size() : 0; }
    qint64 total() const override { return m_text.size(); }

private:
    QByteArray m_text;
    bool m_given = false;
};

class FileSource : public Source {
public:
    FileSource(QFile& file, qint64 start, Encoding encoding)
        : m_file(file), m_start(start), m_length(file.size() - start), m_encoding(encoding), m_utf16(encoding)
    {
    }
    bool rewind() override
    {
        m_read = 0;
        m_utf16.reset();
        return m_file.seek(m_start);
    }
    QByteArray next() override
    {
        // Only the bytes there at the start are read, should the file grow meanwhile.
        const QByteArray block = m_file.read(std::min<qint64>(kReadBlockBytes, m_length - m_read));
        m_read += block.size();
        return m_encoding == Encoding::Bytes || block.isEmpty() ? block : m_utf16(block);
    }
    bool failed() const override { return m_file.error() != QFileDevice::NoError; }
    qint64 done() const override { return m_read; }
    qint64 total() const override { return m_length; }

private:
    QFile& m_file;
    qint64 m_start;
    qint64 m_length;
    qint64 m_read = 0;
    Encoding m_encoding;
    Utf16 m_utf16;
};

using Progress = std::function<bool(qint64 done, qint64 total)>;

// Reads the document twice, block by block: once to check it (binary, encoding, depth, the parser's
// work) and find its cuts, then to parse it piece by piece. The first pass is the quick one: it
// counts as a tenth of the reading.
BookmarkReadResult readDocument(Source& source, qsizetype pieceBytes, int maxDepth, quint64 maxSteps,
                                const Progress& progress, const std::function<BookmarkReadResult()>& cannotRead)
{
    qint64 done = 0;
    const qint64 total = std::max<qint64>(source.total(), 1);
    const auto stopped = [&] { return progress && !progress(done, total); };

    TextCheck check;
    DocumentScan scan(pieceBytes, maxDepth, maxSteps);
    if (!source.rewind())
        return cannotRead();
    for (QByteArray block; !(block = source.next()).isEmpty();) {
        check.add(block);
        scan.add(block, false);
        done = source.done() / 10;
        if (stopped())
            return cancelled();
        if (check.binaryAlready(source.total()) || scan.tooDeep() || scan.tooSlow() || scan.nodes() > kMaxNodes)
            break;
    }
    scan.add({}, true);
    if (source.failed())
        return cannotRead();
    if (check.bytes() == 0)
        return failure(BookmarkError::Empty, QStringLiteral("The file is empty."));
    if (check.binaryAlready(source.total()) || check.binary())
        return binaryFile();
    if (scan.tooDeep())
        return tooDeep(maxDepth);
    if (scan.tooSlow())
        return tooSlow();
    if (scan.nodes() > kMaxNodes)
        return tooManyNodes();
    // A document read in one piece is held whole, by the parser too: about 150 bytes a node, and
    // the text once more. One that would not fit is refused before the parser starts.
    if (scan.cuts().empty() && scan.nodes() * 150 + quint64(check.bytes()) > quint64(kParserBudgetBytes))
        return tooMuchMemory();

    BookmarkReadResult result;
    result.links.reserve(scan.anchors());
    // Asked now and then during a long parse as well, so that "Cancel" stops even that.
    GuardedParse parser(size_t(kParserBudgetBytes), [&] { return !stopped(); });
    PieceReader reader(check.utf8(), scan.cuts(), result, parser);
    if (!source.rewind())
        return cannotRead();
    // The window holds what the last piece left over plus one block (all of it, for one piece).
    QByteArray window;
    if (scan.cuts().empty())
        window.reserve(qsizetype(check.bytes()));
    qint64 windowStart = 0;
    for (;;) {
        const QByteArray block = source.next();
        const bool complete = block.isEmpty();
        window += block;
        const qsizetype used = reader.read(window, windowStart, complete);
        window.remove(0, used);
        windowStart += used;
        done = total / 10 + source.done() * 9 / 10;
        if (reader.stopped() || complete || stopped())
            break;
    }
    if (parser.outcome() == GuardedParse::Outcome::OverBudget)
        return tooMuchMemory();
    if (parser.outcome() == GuardedParse::Outcome::Stopped || stopped())
        return cancelled();
    if (source.failed())
        return cannotRead();
    if (reader.anchors() == 0)
        return failure(BookmarkError::NotBookmarks,
                       QStringLiteral("The file holds no links, so it is not a bookmark file."));
    return result;
}

// A document held whole: read from memory, after its byte-order mark, as UTF-8.
BookmarkReadResult readBytes(QByteArray bytes, qsizetype pieceBytes, int maxDepth, quint64 maxParserSteps,
                             const Progress& progress, const std::function<BookmarkReadResult()>& cannotRead)
{
    if (bytes.size() > kMaxFileBytes)
        return tooLarge(bytes.size());
    const auto [encoding, mark] = byteOrderMark(bytes);
    bytes.remove(0, mark);
    MemorySource source(encoding == Encoding::Bytes ? std::move(bytes) : Utf16(encoding)(bytes));
    return readDocument(source, pieceBytes, maxDepth, maxParserSteps, progress, cannotRead);
}

} // namespace

BookmarkReadResult read(const QByteArray& bytes, qsizetype pieceBytes, int maxDepth, quint64 maxParserSteps)
{
    return readBytes(bytes, pieceBytes, maxDepth, maxParserSteps, {}, [] { return binaryFile(); });
}

BookmarkReadResult readFile(const QString& path, const std::function<bool(qint64 done, qint64 total)>& progress)
{
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
            if (progress && !progress(bytes.size() / 10, kMaxFileBytes))
                return cancelled();
        }
        if (file.error() != QFileDevice::NoError)
            return cannotRead();
        return readBytes(std::move(bytes), kPieceBytes, kMaxDepth, kMaxParserSteps, progress, cannotRead);
    }
    const auto [encoding, mark] = byteOrderMark(file.peek(3));
    FileSource source(file, mark, encoding);
    return readDocument(source, kPieceBytes, kMaxDepth, kMaxParserSteps, progress, cannotRead);
}

QString nameAsRead(const QString& name)
{
    const bool changes = std::any_of(name.begin(), name.end(), [](QChar c) {
        return c.unicode() == 0 || c.isSurrogate() || isLostC1Control(c.unicode());
    });
    if (!changes)
        return name;
    QString read;
    read.reserve(name.size());
    forEachCharacter(name, [&read](char32_t c, bool) {
        // QChar::fromUcs4, not QString::fromUcs4: that would take a U+FEFF for a byte-order mark.
        read.append(QChar::fromUcs4(c == 0 || isLostC1Control(c) ? 0xFFFD : c));
    });
    return read;
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
