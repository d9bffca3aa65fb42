#include "search/Fold.h"

#include <array>

namespace search {

namespace {

bool isMark(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
        return true;
    default:
        return false;
    }
}

// Case folding maps "ß" to "ss" only in its full form, which Qt does not do; the others have no
// decomposition to lose an accent from, yet the root collation takes them as their base letters.
struct Expansion {
    char16_t letter;
    const char* plain;
};
constexpr Expansion Expansions[] = {
    {0x00DF, "ss"}, // ß (ẞ folds to it)
    {0x00E6, "ae"}, // æ
    {0x0153, "oe"}, // œ
    {0x00F8, "o"},  // ø
    {0x0142, "l"},  // ł
    {0x0111, "d"},  // đ
    {0x00F0, "d"},  // ð
    {0x0127, "h"},  // ħ
};

const char* expansion(char16_t c)
{
    for (const Expansion& e : Expansions) {
        if (e.letter == c)
            return e.plain;
    }
    return nullptr;
}

// Compatibility decomposition, marks dropped, then Qt's (simple) case folding and the expansions.
QString foldSlowly(QStringView text)
{
    const QString decomposed = text.toString().normalized(QString::NormalizationForm_KD);
    QString bare;
    bare.reserve(decomposed.size());
    for (qsizetype i = 0; i < decomposed.size(); ++i) {
        const QChar c = decomposed[i];
        if (c.isHighSurrogate() && i + 1 < decomposed.size() && decomposed[i + 1].isLowSurrogate()) {
            if (!isMark(QChar::surrogateToUcs4(c, decomposed[i + 1])))
                bare.append(c).append(decomposed[i + 1]);
            ++i;
        } else if (!isMark(c.unicode())) {
            bare.append(c);
        }
    }
    QString folded = std::move(bare).toCaseFolded();
    for (qsizetype i = 0; i < folded.size(); ++i) {
        if (const char* plain = expansion(folded[i].unicode())) {
            const QString with = QString::fromLatin1(plain);
            folded.replace(i, 1, with);
            i += with.size() - 1;
        }
    }
    return folded;
}

// Folding never looks at a character's neighbours, so the Latin letters, modifiers and combining
// marks most names are made of fold through a table of what foldSlowly gives each of them alone.
constexpr char16_t TableEnd = 0x0370;

struct Table {
    std::array<QString, TableEnd> text;
    std::array<std::string, TableEnd> utf8;
};

const Table& table()
{
    static const Table built = [] {
        Table t;
        for (char16_t c = 0; c < TableEnd; ++c) {
            t.text[c] = foldSlowly(QStringView(&c, 1));
            const QByteArray utf8 = t.text[c].toUtf8();
            t.utf8[c].assign(utf8.constData(), size_t(utf8.size()));
        }
        return t;
    }();
    return built;
}

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

bool isBlankByte(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Folds through the table; false, with out as it was, when a character lies beyond it.
bool foldThroughTable(std::string& out, std::string_view utf8)
{
    const size_t start = out.size();
    const Table* latin = nullptr;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x80) {
            out.push_back(lowerAscii(char(byte)));
            continue;
        }
        // Two-byte sequences up to U+036F: lead bytes C2 to CD.
        if (byte < 0xC2 || byte > 0xCD || i + 1 >= utf8.size() ||
            (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) != 0x80) {
            out.resize(start);
            return false;
        }
        const char16_t c = char16_t(((byte & 0x1F) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
        if (!latin)
            latin = &table();
        out += latin->utf8[c];
    }
    return true;
}

// Trims out from `start` on and makes each run of blanks one blank, as QString::simplified does for
// the blanks the table can give (ASCII ones and U+0085).
void simplifyFrom(std::string& out, size_t start)
{
    size_t to = start;
    bool blank = false;
    for (size_t i = start; i < out.size(); ++i) {
        const bool nel = out[i] == '\xC2' && i + 1 < out.size() && out[i + 1] == '\x85';
        if (isBlankByte(out[i]) || nel) {
            blank = to > start;
            i += nel ? 1 : 0;
            continue;
        }
        if (blank)
            out[to++] = ' ';
        blank = false;
        out[to++] = out[i];
    }
    out.resize(to);
}

} // namespace

QString fold(QStringView text)
{
    for (QChar c : text) {
        if (c.unicode() >= TableEnd)
            return foldSlowly(text);
    }
    QString out;
    out.reserve(text.size());
    const Table* latin = nullptr;
    for (QChar c : text) {
        if (c.unicode() < 0x80) {
            out.append(QLatin1Char(lowerAscii(char(c.unicode()))));
            continue;
        }
        if (!latin)
            latin = &table();
        out.append(latin->text[c.unicode()]);
    }
    return out;
}

void appendFolded(std::string& out, std::string_view utf8, bool simplify)
{
    const size_t start = out.size();
    if (foldThroughTable(out, utf8)) {
        if (simplify)
            simplifyFrom(out, start);
        return;
    }
    const QString text = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
    const QByteArray folded = (simplify ? foldSlowly(text).simplified() : foldSlowly(text)).toUtf8();
    out.append(folded.constData(), size_t(folded.size()));
}

bool foldsToItself(std::string_view utf8, bool simplify)
{
    char previous = ' ';
    for (const char c : utf8) {
        if (static_cast<unsigned char>(c) >= 0x80 || (c >= 'A' && c <= 'Z'))
            return false;
        if (simplify && (c == ' ' ? previous == ' ' : isBlankByte(c)))
            return false;
        previous = c;
    }
    return !simplify || utf8.empty() || previous != ' ';
}

} // namespace search
