#include "bookmarkfile/DocumentScan.h"

#include "bookmarkfile/Ascii.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>

namespace {

constexpr qsizetype kNeedMore = -1;
constexpr size_t kNone = size_t(-1);

using BookmarkFile::ascii::isHtmlSpace;
constexpr auto isAsciiAlpha = BookmarkFile::ascii::isAlpha;
constexpr auto asciiLower = BookmarkFile::ascii::lower;

std::string lowered(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), asciiLower);
    return out;
}

bool oneOf(std::string_view name, std::initializer_list<std::string_view> names)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

// What the tree builder does with an element, as far as its depth goes.
enum TagFlag : unsigned {
    Void = 1u << 0,       // never holds anything
    Formatting = 1u << 1, // kept in the list of formatting elements and reopened when closed by another
    Special = 1u << 2,    // an end tag of another element never closes past it
    ClosesP = 1u << 3,    // its start tag closes an open paragraph
    Boundary = 1u << 4,   // bounds the default scope: end tags look no further down
    Marker = 1u << 5,     // the formatting elements opened inside it end with it
    RawText = 1u << 6,    // its text is not markup, up to its own end tag
    Breakout = 1u << 7,   // its start tag leaves SVG and MathML
    Block = 1u << 8,      // its end tag closes it when it is in scope
    Heading = 1u << 9,
    TablePart = 1u << 10,   // its end tag closes it when it is in table scope
    Foreign = 1u << 11,     // an SVG or MathML element (of an open element only)
    Integration = 1u << 12, // an SVG or MathML element whose children are HTML (of an open element only)
    MathMl = 1u << 13,      // a MathML element, not an SVG one (of an open element only)
    Unsure = 1u << 14,      // a table part the parser may have dropped (of an open element only)
};

unsigned tagFlags(std::string_view name)
{
    static const std::unordered_map<std::string_view, unsigned> table = [] {
        std::unordered_map<std::string_view, unsigned> t;
        const auto add = [&t](std::initializer_list<std::string_view> names, unsigned flag) {
            for (std::string_view n : names)
                t[n] |= flag;
        };
        add({"area", "base", "basefont", "bgsound", "br", "col", "embed", "frame", "hr", "image", "img", "input",
             "keygen", "link", "meta", "param", "source", "track", "wbr"},
            Void);
        add({"a", "b", "big", "code", "em", "font", "i", "nobr", "s", "small", "strike", "strong", "tt", "u"},
            Formatting);
        add({"address",    "applet",  "area",   "article", "aside",     "base",     "basefont", "bgsound",
             "blockquote", "body",    "br",     "button",  "caption",   "center",   "col",      "colgroup",
             "dd",         "details", "dir",    "div",     "dl",        "dt",       "embed",    "fieldset",
             "figcaption", "figure",  "footer", "form",    "frame",     "frameset", "h1",       "h2",
             "h3",         "h4",      "h5",     "h6",      "head",      "header",   "hgroup",   "hr",
             "html",       "iframe",  "img",    "input",   "keygen",    "li",       "link",     "listing",
             "main",       "marquee", "menu",   "meta",    "nav",       "noembed",  "noframes", "noscript",
             "object",     "ol",      "p",      "param",   "plaintext", "pre",      "script",   "section",
             "select",     "source",  "style",  "summary", "table",     "tbody",    "td",       "template",
             "textarea",   "tfoot",   "th",     "thead",   "title",     "tr",       "track",    "ul",
             "wbr",        "xmp"},
            Special);
        add({"address", "article", "aside",     "blockquote", "center", "details", "dialog",  "dir",
             "div",     "dl",      "fieldset",  "figcaption", "figure", "footer",  "header",  "hgroup",
             "main",    "menu",    "nav",       "ol",         "p",      "search",  "section", "summary",
             "ul",      "h1",      "h2",        "h3",         "h4",     "h5",      "h6",      "pre",
             "listing", "form",    "plaintext", "xmp",        "hr",     "li",      "dd",      "dt"},
            ClosesP);
        add({"applet", "caption", "html", "table", "td", "th", "marquee", "object", "template"}, Boundary);
        add({"applet", "caption", "marquee", "object", "td", "th", "template"}, Marker);
        // The parser here reads <noscript> as markup, so it is not among them.
        add({"title", "textarea", "style", "xmp", "iframe", "noembed", "noframes"}, RawText);
        add({"b",     "big",   "blockquote", "body",   "br",   "center", "code",  "dd", "div",  "dl",   "dt",
             "em",    "embed", "h1",         "h2",     "h3",   "h4",     "h5",    "h6", "head", "hr",   "i",
             "img",   "li",    "listing",    "menu",   "meta", "nobr",   "ol",    "p",  "pre",  "ruby", "s",
             "small", "span",  "strong",     "strike", "sub",  "sup",    "table", "tt", "u",    "ul",   "var"},
            Breakout);
        add({"address", "article", "aside", "blockquote", "button",     "center",  "details", "dialog",
             "dir",     "div",     "dl",    "fieldset",   "figcaption", "figure",  "footer",  "header",
             "hgroup",  "listing", "main",  "menu",       "nav",        "ol",      "pre",     "search",
             "section", "summary", "ul",    "form",       "applet",     "marquee", "object",  "template"},
            Block);
        add({"h1", "h2", "h3", "h4", "h5", "h6"}, Heading);
        add({"table", "tbody", "thead", "tfoot", "tr", "td", "th", "caption", "colgroup"}, TablePart);
        return t;
    }();
    const auto found = table.find(name);
    return found == table.end() ? 0u : found->second;
}

// SVG and MathML elements whose content is HTML again; they also bound scopes like a table.
bool isIntegrationPoint(std::string_view name, bool mathMl)
{
    return mathMl ? oneOf(name, {"mi", "mo", "mn", "ms", "mtext", "annotation-xml"})
                  : oneOf(name, {"foreignobject", "desc", "title"});
}

// The tags a bookmark file is written with; any other makes the cuts unsafe.
bool inBookmarkVocabulary(std::string_view name)
{
    return oneOf(name, {"a", "dl", "dt", "dd", "p", "h1", "h2", "h3", "h4", "h5", "h6", "hr", "br", "meta",
                        "title", "html", "head", "body"});
}

enum class Match { No, Yes, NeedMore };

} // namespace

struct DocumentScan::State {
    State(qsizetype pieceBytes, int maxDepth, quint64 maxWork)
        : pieceBytes(std::max<qsizetype>(pieceBytes, 1)), maxDepth(maxDepth), maxWork(maxWork)
    {
    }

    const qsizetype pieceBytes;
    const int maxDepth;
    const quint64 maxWork;

    // What is not scanned yet, from the document offset bufferStart on; `at` is where to go on.
    QByteArray buffer;
    qint64 bufferStart = 0;
    qsizetype at = 0;
    qsizetype waitFor = 0; // a token was cut: scan again only once the buffer holds this much
    bool last = false;
    const char* p = nullptr;
    qsizetype n = 0;

    bool tooDeep = false;
    bool tooSlow = false;
    int deepest = 0;
    qsizetype anchors = 0;
    quint64 nodes = 0;
    std::vector<qint64> cuts;

    bool cutting = true;
    bool anchorOpen = false;
    qint64 lastCut = 0;
    size_t cutBase = 0; // open elements that the piece begun at the last cut does not have

    // The parser's own steps that grow with the depth: every tag looks through the open elements,
    // and every character of text inside a formatting element looks for it among them. Counted
    // for the whole document and for the pieces, each from a fresh start. The scan's own steps
    // through the open elements are counted too: they follow the parser's.
    quint64 work = 0;
    quint64 pieceWork = 0;
    quint64 steps = 0;

    enum class Mode { Normal, RawText, Script, CData } mode = Mode::Normal;
    std::string rawName;    // the element whose end tag ends RawText; none after <plaintext>
    size_t rawOpen = kNone; // where the element of RawText or Script stands among the open ones
    enum class ScriptState { Data, Escaped, EscapedDash, EscapedDashDash, Double, DoubleDash, DoubleDashDash };
    ScriptState script = ScriptState::Data;

    // The open elements as the parser would hold them (the document's html and body are not
    // counted) and its list of formatting elements: formatting elements, open or closed by another
    // (the parser opens those again before the next text), and markers, back to which the list is
    // cleared when a cell, a caption, a template or an object ends. Of the entries alike in name and
    // attributes since the last marker, the list keeps three.
    struct Open {
        std::string name;
        unsigned flags = 0;
        quint64 entry = 0;        // its entry in the list, 0 for none
        bool fresh = false;       // a template that has met no start tag yet: it drops end tags
        bool columnGroup = false; // a template whose first was <col>: it drops all but columns and templates
    };
    struct Entry {
        quint64 id = 0;     // 0 for markers
        size_t markers = 1; // how many markers in a row the entry stands for
        std::string name;
        std::string key;     // name and attributes
        size_t open = kNone; // its place among the open elements, kNone once closed
    };
    std::vector<Open> stack;
    std::vector<Entry> list;
    size_t closedInList = 0; // entries closed by another element, which open again
    quint64 nextId = 1;
    std::vector<size_t> templates; // the open templates, by place
    bool formPointer = false;      // a form is open as far as new forms go, until its end tag
    // A frameset may replace the body, and then the parser drops all else but framesets; or it may
    // be dropped itself. The open elements follow the second case, this count the first.
    size_t framesets = 0;

    void scan();
    // Over the limit whether the cuts hold or not.
    bool overWork() const { return steps > maxWork || (work > maxWork && (!cutting || pieceWork > maxWork)); }
    void text(std::string_view run);
    void tagWork();
    bool scanNormal();
    bool skipToken(qsizetype lt, qsizetype end);
    bool scanRawText();
    bool scanScript();
    bool scanCData();
    void endRawText();

    // Tokens, from a '<' at `lt`.
    std::string_view tagName(qsizetype from) const;
    qsizetype skipPast(qsizetype from, char c) const;
    qsizetype skipComment(qsizetype from) const;
    template <typename OnName> qsizetype skipAttributes(qsizetype from, bool* selfClosing, OnName onName) const;
    qsizetype skipAttributes(qsizetype from, bool* selfClosing = nullptr) const
    {
        return skipAttributes(from, selfClosing, [](std::string_view) {});
    }
    Match startsWith(qsizetype at, std::string_view text, bool ignoreCase) const;
    Match endTagOf(qsizetype lt, std::string_view name) const;

    // Cuts.
    void beforeToken(qsizetype lt);
    void stopCutting();
    void cutterStartTag(std::string_view name);
    void cutterEndTag(std::string_view name);

    // The tree.
    // `attributes` runs from the end of the name to the tag's '>', both included.
    void startTag(const std::string& name, std::string_view attributes, bool selfClosing);
    void htmlStartTag(const std::string& name, unsigned flags, std::string_view attributes, bool selfClosing);
    bool tableStartTag(const std::string& name);
    void endTag(const std::string& name);
    void htmlEndTag(const std::string& name, unsigned flags);
    void push(const std::string& name, unsigned flags, std::string_view attributes = {});
    void pushOpen(Open&& open);
    void popTo(size_t index, bool closingItsOwnFormatting);
    void removeOpen(size_t index);
    size_t afterLastMarker() const;
    size_t entryIndex(quint64 id) const;
    void dropEntry(size_t index);
    void clearToLastMarker();
    void reconstruct();
    void noahsArk(const Entry& added);
    enum class Adoption { NotInList, Removed, OutOfScope, Closed, Kept };
    Adoption adopt(const std::string& name);
    void closeOtherElement(const std::string& name);
    size_t findInScope(std::string_view name, unsigned stopFlags,
                       std::initializer_list<std::string_view> stopNames = {});
    size_t findNearest(std::initializer_list<std::string_view> names,
                       std::initializer_list<std::string_view> stopNames);
    void closeParagraph();
    void closeListItem(std::initializer_list<std::string_view> names);
    bool inForeignContent() const;
    bool inSelect() const;
    Match framesetInText(qsizetype lt);
};

DocumentScan::DocumentScan(qsizetype pieceBytes, int maxDepth, quint64 maxWork)
    : d(std::make_unique<State>(pieceBytes, maxDepth, maxWork))
{
}

DocumentScan::~DocumentScan() = default;

void DocumentScan::add(QByteArrayView part, bool last)
{
    if (d->tooDeep || d->tooSlow)
        return;
    d->buffer.append(part);
    d->last = last;
    // A long token cut by a part's end is scanned again only once the text has doubled, so that
    // scanning stays linear however long the token.
    if (!last && d->buffer.size() < d->waitFor)
        return;
    d->scan();
    d->bufferStart += d->at;
    d->buffer.remove(0, d->at);
    d->at = 0;
    d->waitFor = d->buffer.isEmpty() ? 0 : 2 * d->buffer.size();
    // Cuts can only stop: while they hold, the pieces' count decides, and the whole document's
    // once they stop.
    d->tooSlow = d->cutting && last ? d->pieceWork > d->maxWork : d->overWork();
    if (last || d->tooDeep || d->tooSlow)
        d->buffer = QByteArray();
}

bool DocumentScan::tooSlow() const
{
    return d->tooSlow;
}

bool DocumentScan::tooDeep() const
{
    return d->tooDeep;
}

qsizetype DocumentScan::anchors() const
{
    return d->anchors;
}

quint64 DocumentScan::nodes() const
{
    return d->nodes;
}

const std::vector<qint64>& DocumentScan::cuts() const
{
    return d->cuts;
}

void DocumentScan::State::scan()
{
    p = buffer.constData();
    n = buffer.size();
    while (at < n && !tooDeep && !overWork()) {
        bool whole = true;
        switch (mode) {
        case Mode::Normal:
            whole = scanNormal();
            break;
        case Mode::RawText:
            whole = scanRawText();
            break;
        case Mode::Script:
            whole = scanScript();
            break;
        case Mode::CData:
            whole = scanCData();
            break;
        }
        if (!whole) {
            // At the document's end the rest lies inside a token that never ends: no element.
            if (last)
                at = n;
            return;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// The tokenizer's states

std::string_view DocumentScan::State::tagName(qsizetype from) const
{
    qsizetype end = from;
    while (end < n && !isHtmlSpace(p[end]) && p[end] != '/' && p[end] != '>')
        ++end;
    return end < n ? std::string_view(p + from, size_t(end - from)) : std::string_view();
}

qsizetype DocumentScan::State::skipPast(qsizetype from, char c) const
{
    const void* found = from < n ? std::memchr(p + from, c, size_t(n - from)) : nullptr;
    return found ? static_cast<const char*>(found) - p + 1 : kNeedMore;
}

// `from` is just past "<!--". "<!-->" and "<!--->" are whole comments; others end at "-->" or "--!>".
qsizetype DocumentScan::State::skipComment(qsizetype from) const
{
    if (from < n && p[from] == '>')
        return from + 1;
    if (from + 1 < n && p[from] == '-' && p[from + 1] == '>')
        return from + 2;
    const std::string_view rest(p + std::min(from, n), size_t(n - std::min(from, n)));
    for (size_t dashes = rest.find("--"); dashes != std::string_view::npos; dashes = rest.find("--", dashes + 1)) {
        if (rest.substr(dashes + 2, 1) == ">")
            return from + qsizetype(dashes) + 3;
        if (rest.substr(dashes + 2, 2) == "!>")
            return from + qsizetype(dashes) + 4;
    }
    return kNeedMore;
}

// The attribute states, from just past a tag's name to just past its '>'. A quote opens a value
// only where a value may start, so `<a b"c>` ends at its first '>'.
template <typename OnName>
qsizetype DocumentScan::State::skipAttributes(qsizetype from, bool* selfClosing, OnName onName) const
{
    enum { BeforeName, Name, AfterName, BeforeValue, Unquoted, SelfClosing } state = BeforeName;
    qsizetype nameStart = from;
    for (qsizetype i = from; i < n; ++i) {
        const char c = p[i];
        const bool space = isHtmlSpace(c);
        if (state == Name && (space || c == '/' || c == '=' || c == '>'))
            onName(std::string_view(p + nameStart, size_t(i - nameStart)));
        if (state == SelfClosing) {
            if (c == '>') {
                if (selfClosing)
                    *selfClosing = true;
                return i + 1;
            }
            state = BeforeName; // and the character is read again there
        }
        if (c == '>')
            return i + 1;
        switch (state) {
        case BeforeName:
        case AfterName:
            if (c == '/') {
                state = SelfClosing;
            } else if (c == '=' && state == AfterName) {
                state = BeforeValue;
            } else if (!space) {
                state = Name;
                nameStart = i;
            }
            break;
        case Name:
            state = c == '=' ? BeforeValue : space ? AfterName : c == '/' ? SelfClosing : Name;
            break;
        case BeforeValue:
            if (c == '"' || c == '\'') {
                const void* close = std::memchr(p + i + 1, c, size_t(n - i - 1));
                if (!close)
                    return kNeedMore;
                i = static_cast<const char*>(close) - p;
                state = BeforeName;
            } else if (!space) {
                state = Unquoted;
            }
            break;
        case Unquoted:
            if (space)
                state = BeforeName;
            break;
        case SelfClosing:
            break;
        }
    }
    return kNeedMore;
}

Match DocumentScan::State::startsWith(qsizetype from, std::string_view text, bool ignoreCase) const
{
    const qsizetype have = std::min<qsizetype>(n - from, qsizetype(text.size()));
    for (qsizetype i = 0; i < have; ++i) {
        const char c = ignoreCase ? asciiLower(p[from + i]) : p[from + i];
        if (c != text[size_t(i)])
            return Match::No;
    }
    return have == qsizetype(text.size()) ? Match::Yes : Match::NeedMore;
}

// Whether the '<' at lt starts the end tag of `name` (lower case): "</name" and a blank, '/' or '>'.
Match DocumentScan::State::endTagOf(qsizetype lt, std::string_view name) const
{
    const Match open = startsWith(lt, "</", false);
    if (open != Match::Yes)
        return open;
    const Match tag = startsWith(lt + 2, name, true);
    if (tag != Match::Yes)
        return tag;
    const qsizetype after = lt + 2 + qsizetype(name.size());
    if (after >= n)
        return Match::NeedMore;
    return isHtmlSpace(p[after]) || p[after] == '/' || p[after] == '>' ? Match::Yes : Match::No;
}

// A token from lt to end that makes no element; false when its end is not in yet.
bool DocumentScan::State::skipToken(qsizetype lt, qsizetype end)
{
    if (end == kNeedMore)
        return false;
    beforeToken(lt);
    at = end;
    return true;
}

bool DocumentScan::State::scanNormal()
{
    const void* found = std::memchr(p + at, '<', size_t(n - at));
    const qsizetype lt = found ? static_cast<const char*>(found) - p : n;
    text(std::string_view(p + at, size_t(lt - at)));
    at = lt;
    if (!found)
        return true;
    if (n - lt < 2)
        return false;
    const char next = p[lt + 1];
    if (next == '!') {
        const Match comment = startsWith(lt, "<!--", false);
        if (comment == Match::NeedMore)
            return false;
        if (comment == Match::Yes) {
            const qsizetype end = skipComment(lt + 4);
            nodes += end != kNeedMore;
            return skipToken(lt, end);
        }
        // Character data is a section of text only inside SVG and MathML; elsewhere it is a
        // bogus comment, like a doctype.
        const Match cdata = startsWith(lt, "<![CDATA[", false);
        if (cdata == Match::NeedMore)
            return false;
        if (cdata == Match::Yes && !stack.empty() && (stack.back().flags & Foreign)) {
            stopCutting();
            mode = Mode::CData;
            at = lt + 9;
            return true;
        }
        return skipToken(lt, skipPast(lt + 2, '>'));
    }
    if (next == '?')
        return skipToken(lt, skipPast(lt + 2, '>'));
    if (next == '/') {
        if (n - lt < 3)
            return false;
        if (p[lt + 2] == '>') // "</>" is dropped
            return skipToken(lt, lt + 3);
        if (!isAsciiAlpha(p[lt + 2])) // a bogus comment
            return skipToken(lt, skipPast(lt + 2, '>'));
        const std::string_view name = tagName(lt + 2);
        if (!name.data())
            return false;
        const qsizetype end = skipAttributes(lt + 2 + qsizetype(name.size()));
        if (end == kNeedMore)
            return false;
        const std::string lower = lowered(name);
        ++nodes; // a few make an element (</p>, </br>); all cost the parser about as much
        beforeToken(lt);
        cutterEndTag(lower);
        tagWork();
        endTag(lower);
        at = end;
        return true;
    }
    if (!isAsciiAlpha(next)) { // a '<' that is text
        text(std::string_view(p + lt, 1));
        at = lt + 1;
        return true;
    }
    const std::string_view name = tagName(lt + 1);
    if (!name.data())
        return false;
    const qsizetype attributesStart = lt + 1 + qsizetype(name.size());
    bool selfClosing = false;
    quint64 attributes = 0;
    const qsizetype end =
        skipAttributes(attributesStart, &selfClosing, [&attributes](std::string_view) { ++attributes; });
    if (end == kNeedMore)
        return false;
    nodes += 1 + attributes;
    const std::string lower = lowered(name);
    beforeToken(lt);
    cutterStartTag(lower);
    tagWork();
    startTag(lower, std::string_view(p + attributesStart, size_t(end - attributesStart)), selfClosing);
    at = end;
    return true;
}

// The text of title, textarea, style and the like runs to their own end tag, whatever it holds;
// nothing after <plaintext> is markup at all.
bool DocumentScan::State::scanRawText()
{
    for (;;) {
        const void* found = std::memchr(p + at, '<', size_t(n - at));
        if (!found) {
            at = n;
            return true;
        }
        const qsizetype lt = static_cast<const char*>(found) - p;
        const Match end = rawName.empty() ? Match::No : endTagOf(lt, rawName);
        if (end == Match::NeedMore) {
            at = lt;
            return false;
        }
        if (end == Match::Yes) {
            const qsizetype after = skipAttributes(lt + 2 + qsizetype(rawName.size()));
            if (after == kNeedMore) {
                at = lt;
                return false;
            }
            endRawText();
            at = after;
            return true;
        }
        if (framesetInText(lt) == Match::NeedMore) {
            at = lt;
            return false;
        }
        at = lt + 1;
    }
}

// Inside a frameset the parser drops title, style, script and the like, and with them their end
// tags, so the framesets counted in their text stay open: only the element itself goes.
void DocumentScan::State::endRawText()
{
    mode = Mode::Normal;
    if (rawOpen < stack.size())
        removeOpen(rawOpen);
    rawOpen = kNone;
}

// Inside a frameset the parser drops raw-text elements, so a frameset in what would be their text
// is an element: counted as one, whichever the parser does.
Match DocumentScan::State::framesetInText(qsizetype lt)
{
    const Match tag = startsWith(lt, "<frameset", true);
    if (tag != Match::Yes)
        return tag;
    if (lt + 9 >= n)
        return Match::NeedMore;
    if (!isHtmlSpace(p[lt + 9]) && p[lt + 9] != '/' && p[lt + 9] != '>')
        return Match::No;
    ++framesets;
    pushOpen(Open{});
    stack.pop_back();
    return Match::Yes;
}

// A script's text ends at "</script", except where "<!--" and "<script" have escaped it twice.
bool DocumentScan::State::scanScript()
{
    using S = ScriptState;
    for (qsizetype i = at; i < n; ++i) {
        const char c = p[i];
        if (c == '<') {
            at = i;
            const bool escapedTwice =
                script == S::Double || script == S::DoubleDash || script == S::DoubleDashDash;
            const Match end = endTagOf(i, "script");
            if (end == Match::NeedMore || framesetInText(i) == Match::NeedMore)
                return false;
            if (end == Match::Yes && !escapedTwice) {
                const qsizetype after = skipAttributes(i + 8);
                if (after == kNeedMore)
                    return false;
                endRawText();
                at = after;
                return true;
            }
            if (end == Match::Yes) { // the end of the inner "<script", not of this one
                script = S::Escaped;
                i += 7;
                continue;
            }
            if (script == S::Data) {
                const Match comment = startsWith(i, "<!--", false);
                if (comment == Match::NeedMore)
                    return false;
                if (comment == Match::Yes) {
                    script = S::EscapedDashDash;
                    i += 3;
                }
                continue;
            }
            if (!escapedTwice) {
                const Match inner = startsWith(i, "<script", true);
                if (inner == Match::NeedMore || (inner == Match::Yes && i + 7 >= n))
                    return false;
                if (inner == Match::Yes && (isHtmlSpace(p[i + 7]) || p[i + 7] == '/' || p[i + 7] == '>')) {
                    script = S::Double;
                    i += 6;
                    continue;
                }
                script = S::Escaped;
            } else {
                script = S::Double;
            }
            continue;
        }
        switch (script) {
        case S::Data:
            break;
        case S::Escaped:
        case S::EscapedDash:
        case S::EscapedDashDash:
            if (c == '-')
                script = script == S::Escaped ? S::EscapedDash : S::EscapedDashDash;
            else
                script = c == '>' && script == S::EscapedDashDash ? S::Data : S::Escaped;
            break;
        case S::Double:
        case S::DoubleDash:
        case S::DoubleDashDash:
            if (c == '-')
                script = script == S::Double ? S::DoubleDash : S::DoubleDashDash;
            else
                script = c == '>' && script == S::DoubleDashDash ? S::Data : S::Double;
            break;
        }
    }
    at = n;
    return true;
}

bool DocumentScan::State::scanCData()
{
    const std::string_view rest(p + at, size_t(n - at));
    const size_t found = rest.find("]]>");
    const qsizetype end = found == std::string_view::npos ? n : at + qsizetype(found);
    for (const char* lt; (lt = static_cast<const char*>(std::memchr(p + at, '<', size_t(end - at))));) {
        if (framesetInText(lt - p) == Match::NeedMore) {
            at = lt - p;
            return false;
        }
        at = lt - p + 1;
    }
    if (found == std::string_view::npos) {
        at = std::max(at, n - 2);
        return false;
    }
    mode = Mode::Normal;
    at = end + 3;
    return true;
}

// ---------------------------------------------------------------------------------------------
// The parser's work

void DocumentScan::State::tagWork()
{
    work += stack.size() + closedInList + 2;
    pieceWork += stack.size() - std::min(cutBase, stack.size()) + 2;
}

// Each character looks for the last entry of the list among the open elements, from the bottom
// up, unless that entry is a marker.
void DocumentScan::State::text(std::string_view run)
{
    if (run.empty())
        return;
    ++nodes;
    reconstruct();
    if (list.empty() || list.back().id == 0)
        return;
    const quint64 bytes = run.size();
    work += bytes * (stack.size() + closedInList + 2);
    if (list.back().open != kNone && list.back().open >= cutBase)
        pieceWork += bytes * (stack.size() - cutBase + 2);
}

// ---------------------------------------------------------------------------------------------
// Cuts

void DocumentScan::State::beforeToken(qsizetype lt)
{
    const qint64 offset = bufferStart + lt;
    if (cutting && !anchorOpen && offset >= lastCut + pieceBytes) {
        cuts.push_back(offset);
        lastCut = offset;
        cutBase = stack.size();
    }
}

void DocumentScan::State::stopCutting()
{
    cutting = false;
    cuts.clear();
}

void DocumentScan::State::cutterStartTag(std::string_view name)
{
    if (!cutting)
        return;
    if (anchorOpen || !inBookmarkVocabulary(name))
        stopCutting();
    else if (name == "a")
        anchorOpen = true;
}

void DocumentScan::State::cutterEndTag(std::string_view name)
{
    if (!cutting)
        return;
    if (anchorOpen ? name != "a" : !inBookmarkVocabulary(name))
        stopCutting();
    else if (name == "a")
        anchorOpen = false;
}

// ---------------------------------------------------------------------------------------------
// The tree

bool DocumentScan::State::inForeignContent() const
{
    return !stack.empty() && (stack.back().flags & Foreign) && !(stack.back().flags & Integration);
}

// A select takes only options and a few others; every other tag inside it is dropped.
bool DocumentScan::State::inSelect() const
{
    for (auto open = stack.rbegin(); open != stack.rend(); ++open) {
        if (open->flags & Foreign)
            return false;
        if (open->name == "select")
            return true;
        if (open->name != "option" && open->name != "optgroup")
            return false;
    }
    return false;
}

void DocumentScan::State::push(const std::string& name, unsigned flags, std::string_view attributes)
{
    Open open{name, flags, 0, name == "template", false};
    if ((flags & Formatting) && !(flags & Foreign)) {
        // Anchors never pile up (a new one closes the last), so theirs are all alike.
        Entry entry{nextId++, 1, name, name == "a" ? name : name + '\0' + std::string(attributes), stack.size()};
        noahsArk(entry);
        open.entry = entry.id;
        list.push_back(std::move(entry));
    } else if ((flags & Marker) && !(flags & Foreign)) {
        // One entry stands for markers in a row.
        if (!list.empty() && list.back().id == 0)
            ++list.back().markers;
        else
            list.push_back(Entry{});
    }
    pushOpen(std::move(open));
}

void DocumentScan::State::pushOpen(Open&& open)
{
    if (open.name == "template" && !(open.flags & Foreign))
        templates.push_back(stack.size());
    stack.push_back(std::move(open));
    const int depth = int(stack.size() + closedInList + framesets);
    if (depth > maxDepth)
        tooDeep = true;
}

// Closes the element at `index` and every element above it. The formatting ones among them stay in
// the list, but not the one whose own end tag closes them.
void DocumentScan::State::popTo(size_t index, bool closingItsOwnFormatting)
{
    while (stack.size() > index) {
        Open open = std::move(stack.back());
        stack.pop_back();
        if (!templates.empty() && templates.back() == stack.size())
            templates.pop_back();
        const size_t entry = open.entry ? entryIndex(open.entry) : kNone;
        if (entry == kNone)
            continue;
        if (stack.size() == index && closingItsOwnFormatting) {
            list.erase(list.begin() + qsizetype(entry));
        } else {
            list[entry].open = kNone;
            ++closedInList;
        }
    }
    cutBase = std::min(cutBase, stack.size());
}

// Takes one element out of the open elements, leaving those above it open.
void DocumentScan::State::removeOpen(size_t index)
{
    if (stack[index].entry)
        dropEntry(entryIndex(stack[index].entry));
    stack.erase(stack.begin() + qsizetype(index));
    for (Entry& entry : list) {
        if (entry.open != kNone && entry.open > index)
            --entry.open;
    }
    for (size_t& place : templates) {
        if (place > index)
            --place;
    }
    if (cutBase > index)
        --cutBase;
}

size_t DocumentScan::State::afterLastMarker() const
{
    size_t from = list.size();
    while (from > 0 && list[from - 1].id != 0)
        --from;
    return from;
}

size_t DocumentScan::State::entryIndex(quint64 id) const
{
    size_t i = list.size();
    while (i-- > 0 && list[i].id != id)
        ;
    return i;
}

// Takes an entry out of the list: an open element stays open, but is not opened again once closed.
void DocumentScan::State::dropEntry(size_t index)
{
    if (list[index].open != kNone)
        stack[list[index].open].entry = 0;
    else if (list[index].id != 0)
        --closedInList;
    list.erase(list.begin() + qsizetype(index));
}

void DocumentScan::State::clearToLastMarker()
{
    while (!list.empty()) {
        if (list.back().id == 0) {
            if (--list.back().markers == 0)
                list.pop_back();
            return;
        }
        dropEntry(list.size() - 1);
    }
}

// A fourth entry alike in name and attributes since the last marker drops the first of the three.
void DocumentScan::State::noahsArk(const Entry& added)
{
    const size_t from = afterLastMarker();
    size_t first = kNone;
    int alike = 0;
    for (size_t i = from; i < list.size(); ++i) {
        if (list[i].name == added.name && list[i].key == added.key && alike++ == 0)
            first = i;
    }
    if (alike >= 3)
        dropEntry(first);
}

// The entries closed since the last one still open (or the last marker) open again, in order.
void DocumentScan::State::reconstruct()
{
    size_t from = list.size();
    while (from > 0 && list[from - 1].id != 0 && list[from - 1].open == kNone)
        --from;
    for (size_t i = from; i < list.size(); ++i) {
        list[i].open = stack.size();
        --closedInList;
        pushOpen(Open{list[i].name, tagFlags(list[i].name), list[i].id, false, false});
    }
}

// The adoption agency as far as the open elements go, for the last entry of this name since the
// last marker: one closed leaves the list; one open but out of scope is passed over; otherwise it
// closes, and so does all above the last block inside it (all it holds when there is none); the
// formatting ones among them stay in the list. Past eight blocks the parser gives up the rounds,
// and the estimate keeps all open.
DocumentScan::State::Adoption DocumentScan::State::adopt(const std::string& name)
{
    size_t entry = list.size();
    const size_t from = afterLastMarker();
    while (entry-- > from && list[entry].name != name)
        ;
    if (entry == kNone || entry < from)
        return Adoption::NotInList;
    const size_t index = list[entry].open;
    if (index == kNone) {
        dropEntry(entry);
        return Adoption::Removed;
    }
    size_t lastBlock = kNone;
    int blocks = 0;
    for (size_t i = index + 1; i < stack.size(); ++i) {
        ++steps;
        if (stack[i].flags & Boundary)
            return Adoption::OutOfScope;
        if (stack[i].flags & Special) {
            lastBlock = i;
            ++blocks;
        }
    }
    if (blocks > 8)
        return Adoption::Kept;
    if (lastBlock == kNone) {
        popTo(index, true);
    } else {
        popTo(lastBlock + 1, false);
        removeOpen(index);
    }
    return Adoption::Closed;
}

// Any other end tag closes the nearest open element of its name, unless a special one comes first.
void DocumentScan::State::closeOtherElement(const std::string& name)
{
    for (size_t i = stack.size(); i-- > 0;) {
        ++steps;
        if (stack[i].name == name) {
            popTo(i, false);
            return;
        }
        if (stack[i].flags & Special)
            return;
    }
}

// The nearest open HTML element named `name`, unless an element with stopFlags or stopNames comes first.
size_t DocumentScan::State::findInScope(std::string_view name, unsigned stopFlags,
                                        std::initializer_list<std::string_view> stopNames)
{
    for (size_t i = stack.size(); i-- > 0;) {
        ++steps;
        const Open& open = stack[i];
        if (open.name == name && !(open.flags & Foreign))
            return i;
        if ((open.flags & stopFlags) || oneOf(open.name, stopNames))
            return kNone;
    }
    return kNone;
}

size_t DocumentScan::State::findNearest(std::initializer_list<std::string_view> names,
                                        std::initializer_list<std::string_view> stopNames)
{
    for (size_t i = stack.size(); i-- > 0;) {
        ++steps;
        const Open& open = stack[i];
        if (open.flags & Foreign)
            continue;
        if (oneOf(open.name, names))
            return i;
        if (oneOf(open.name, stopNames))
            return kNone;
    }
    return kNone;
}

void DocumentScan::State::closeParagraph()
{
    const size_t paragraph = findInScope("p", Boundary, {"button"});
    if (paragraph != kNone)
        popTo(paragraph, false);
}

// A new list item closes the open one, unless a block other than a div, address or paragraph
// stands between them.
void DocumentScan::State::closeListItem(std::initializer_list<std::string_view> names)
{
    for (size_t i = stack.size(); i-- > 0;) {
        ++steps;
        const Open& open = stack[i];
        if (!(open.flags & Foreign) && oneOf(open.name, names)) {
            popTo(i, false);
            break;
        }
        if ((open.flags & Special) && !oneOf(open.name, {"address", "div", "p"}))
            break;
    }
    closeParagraph();
}

void DocumentScan::State::startTag(const std::string& name, std::string_view attributes, bool selfClosing)
{
    // What belongs in the head leaves a template as it was.
    const bool headOnly = oneOf(
        name, {"base", "basefont", "bgsound", "link", "meta", "noframes", "script", "style", "template", "title"});
    if (!templates.empty() && stack[templates.back()].fresh && !headOnly) {
        stack[templates.back()].fresh = false;
        stack[templates.back()].columnGroup = name == "col";
    }
    if (!stack.empty() && stack.back().columnGroup && name != "template")
        return;
    const unsigned flags = tagFlags(name);
    if (name == "frameset") {
        // The parser may take it for the body's replacement, and then drops all else but framesets;
        // or it may drop it. The open elements go on as in the second case, the count covers the first.
        ++framesets;
        pushOpen(Open{});
        stack.pop_back();
    }
    if (inForeignContent()) {
        bool breakout = flags & Breakout;
        if (name == "font") {
            const auto fontLeaves = [&breakout](std::string_view attribute) {
                const std::string lower = lowered(attribute);
                breakout = breakout || lower == "color" || lower == "face" || lower == "size";
            };
            const char* const savedP = p;
            const qsizetype savedN = n;
            p = attributes.data();
            n = qsizetype(attributes.size());
            skipAttributes(0, nullptr, fontLeaves);
            p = savedP;
            n = savedN;
        }
        if (!breakout) {
            const unsigned space = stack.back().flags & MathMl;
            if (!selfClosing)
                push(name,
                     Foreign | space | (isIntegrationPoint(name, space) ? Integration | Boundary | Special : 0u));
            return;
        }
        while (inForeignContent())
            popTo(stack.size() - 1, false);
    }
    htmlStartTag(name, flags, attributes, selfClosing);
}

void DocumentScan::State::htmlStartTag(const std::string& name, unsigned flags, std::string_view attributes,
                                       bool selfClosing)
{
    if (name == "html" || name == "body" || name == "head")
        return;
    if (name == "frameset")
        return;
    if (inSelect()) {
        // A table part inside a select inside a table ends the select; most else is dropped.
        const size_t select = findInScope("select", 0);
        const bool inTable = findNearest({"table"}, {"template"}) != kNone;
        if (name == "select") {
            popTo(select, false);
            return;
        }
        if (name == "input" || name == "keygen" || name == "textarea" || ((flags & TablePart) && inTable))
            popTo(select, false);
        else if (!oneOf(name, {"option", "optgroup", "script", "template"}))
            return;
    }
    if (name == "svg" || name == "math") {
        reconstruct();
        if (!selfClosing)
            push(name, Foreign | (name == "math" ? MathMl : 0u));
        return;
    }
    if (name == "li") {
        closeListItem({"li"});
    } else if (name == "dd" || name == "dt") {
        closeListItem({"dd", "dt"});
    } else if (flags & ClosesP) {
        closeParagraph();
        if ((flags & Heading) && !stack.empty() && (tagFlags(stack.back().name) & Heading) &&
            !(stack.back().flags & Foreign))
            popTo(stack.size() - 1, false);
    }
    if ((name == "option" || name == "optgroup") && !stack.empty() && stack.back().name == "option")
        popTo(stack.size() - 1, false);
    if (name == "a") {
        // An anchor still in the list closes first, and leaves the list whatever came of that.
        const Adoption adoption = adopt("a");
        if (adoption == Adoption::OutOfScope) {
            const size_t from = afterLastMarker();
            for (size_t i = list.size(); i-- > from;) {
                if (list[i].name == "a") {
                    dropEntry(i);
                    break;
                }
            }
        }
        ++anchors;
    } else if (name == "nobr" && findInScope("nobr", Boundary) != kNone) {
        reconstruct();
        adopt("nobr");
    } else if (name == "button" && findInScope("button", Boundary) != kNone) {
        popTo(findInScope("button", Boundary), false);
    } else if (name == "form" && templates.empty()) {
        if (formPointer)
            return; // a form inside a form is dropped
        formPointer = true;
    }
    // Blocks, list items, table parts and what belongs in the head open without reopening the
    // formatting elements first; the rest reopen them.
    const bool reopens =
        name == "xmp" ||
        !((flags & (ClosesP | Heading | TablePart)) ||
          oneOf(name, {"base", "basefont", "bgsound", "link", "meta", "noframes", "script", "style", "template",
                       "title", "hr", "textarea", "iframe", "noembed", "param", "source", "track", "col"}));
    if (reopens && !inSelect())
        reconstruct();
    if (((flags & TablePart) || name == "col") && !tableStartTag(name))
        return;
    if (flags & Void)
        return;
    push(name, flags, attributes);
    rawOpen = stack.size() - 1;
    if (name == "plaintext") {
        stopCutting();
        mode = Mode::RawText;
        rawName.clear();
    } else if (name == "script") {
        mode = Mode::Script;
        script = ScriptState::Data;
    } else if (flags & RawText) {
        mode = Mode::RawText;
        rawName = name;
    }
}

// Rows, cells, sections and column groups close their open siblings back to their table (a cell
// that closes clears the list back to its marker), and the parser supplies the section, row or
// column group a file leaves out. Outside a table or template they are dropped, but a table opens.
// Whether the element itself opens.
bool DocumentScan::State::tableStartTag(const std::string& name)
{
    if (name == "table") {
        const size_t context = findNearest({"table", "td", "th", "caption"}, {"template"});
        if (context != kNone && stack[context].name == "table")
            popTo(context, false);
        return true;
    }
    const bool cell = name == "td" || name == "th";
    const size_t context = name == "tr" ? findNearest({"tbody", "thead", "tfoot", "table"}, {"template"})
                           : cell       ? findNearest({"tr", "tbody", "thead", "tfoot", "table"}, {"template"})
                                        : findNearest({"table"}, {"template"});
    // Inside a template, where the parser may take them as a table would or drop them, they are
    // counted as open, closing nothing, and their end tags close nothing either.
    if (context == kNone || (stack[context].flags & Unsure)) {
        if (templates.empty() || findNearest({"table"}, {"template"}) != kNone || name == "col")
            return false;
        push(name, tagFlags(name) | Unsure);
        return false;
    }
    bool cellClosed = false;
    for (size_t i = context + 1; i < stack.size(); ++i)
        cellClosed = cellClosed || oneOf(stack[i].name, {"td", "th", "caption"});
    popTo(context + 1, false);
    if (cellClosed)
        clearToLastMarker();
    if ((name == "tr" || cell) && stack.back().name == "table")
        push("tbody", tagFlags("tbody"));
    if (cell && stack.back().name != "tr")
        push("tr", tagFlags("tr"));
    if (name == "col" && stack.back().name != "colgroup")
        push("colgroup", tagFlags("colgroup"));
    return name != "col";
}

void DocumentScan::State::endTag(const std::string& name)
{
    // A template drops end tags until its first start tag, and one of columns for good.
    if (!templates.empty() && name != "template" && (stack[templates.back()].fresh || stack.back().columnGroup))
        return;
    if (!stack.empty() && (stack.back().flags & Foreign)) {
        for (size_t i = stack.size(); i-- > 0 && (stack[i].flags & Foreign);) {
            ++steps;
            if (stack[i].name == name) {
                popTo(i, false);
                return;
            }
        }
    }
    htmlEndTag(name, tagFlags(name));
}

void DocumentScan::State::htmlEndTag(const std::string& name, unsigned flags)
{
    size_t index = kNone;
    bool clearsList = false;
    if (name == "body" || name == "html") {
        return;
    } else if (name == "frameset") {
        framesets -= framesets > 0 ? 1 : 0;
        return;
    } else if (name == "br") {
        reconstruct(); // read as <br>
        return;
    } else if (inSelect() && !oneOf(name, {"option", "optgroup", "select", "template"})) {
        // Dropped inside a select, but for the end of a table part around it.
        const size_t select = findInScope("select", 0);
        const size_t part = (flags & TablePart) ? findInScope(name, 0, {"table", "template"}) : kNone;
        if (part == kNone || (stack[part].flags & Unsure))
            return;
        popTo(select, false);
        index = findInScope(name, 0, {"table", "template"});
    } else if (name == "p") {
        index = findInScope("p", Boundary, {"button"});
    } else if (name == "li") {
        index = findInScope("li", Boundary, {"ol", "ul"});
    } else if (name == "dd" || name == "dt") {
        index = findInScope(name, Boundary);
    } else if (name == "form") {
        // The form alone leaves the open elements, not what it holds; without a form begun outside
        // a template, the end tag is dropped (as the parser here does, inside templates too).
        index = formPointer ? findInScope(name, Boundary) : kNone;
        formPointer = false;
        if (index != kNone)
            removeOpen(index);
        return;
    } else if (flags & Heading) {
        for (size_t i = stack.size(); i-- > 0 && !(stack[i].flags & Boundary);) {
            ++steps;
            if ((tagFlags(stack[i].name) & Heading) && !(stack[i].flags & Foreign)) {
                index = i;
                break;
            }
        }
    } else if (flags & Formatting) {
        if (adopt(name) == Adoption::NotInList)
            closeOtherElement(name);
        return;
    } else if (flags & TablePart) {
        index = findInScope(name, 0, {"table", "template"});
        if (index != kNone && (stack[index].flags & Unsure))
            return;
        clearsList = oneOf(name, {"td", "th", "caption"});
    } else if (flags & Block) {
        index = findInScope(name, Boundary);
        clearsList = flags & Marker;
    } else if (name == "select" && inSelect()) {
        index = findInScope(name, 0);
    } else {
        closeOtherElement(name);
        return;
    }
    if (index == kNone)
        return;
    popTo(index, false);
    if (clearsList)
        clearToLastMarker();
}
