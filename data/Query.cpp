#include "data/Query.h"

#include "data/DbError.h"

#include <QList>

#include <vector>

namespace {

[[noreturn]] void syntaxError(const QString& text, const QString& why)
{
    QString shown = text.left(120);
    if (text.size() > 120)
        shown += QStringLiteral("...");
    throw DbError(DbErr::SyntaxError, QStringLiteral("Syntax error in query '%1': %2.").arg(shown, why));
}

class Lexer {
public:
    enum class Kind { End, Word, Text, Symbol };
    struct Token {
        Kind kind = Kind::End;
        QString value;
    };

    explicit Lexer(const QString& text) : m_text(text) {}

    Token next()
    {
        while (m_pos < m_text.size() && m_text[m_pos].isSpace())
            ++m_pos;
        if (m_pos >= m_text.size())
            return {};
        const QChar c = m_text[m_pos];
        if (c == QLatin1Char('\'') || c == QLatin1Char('"'))
            return {Kind::Text, quoted(c)};
        if (c == QLatin1Char('['))
            return {Kind::Word, bracketed()};
        if (c.isLetter() || c == QLatin1Char('_')) {
            const qsizetype start = m_pos;
            while (m_pos < m_text.size() &&
                   (m_text[m_pos].isLetterOrNumber() || m_text[m_pos] == QLatin1Char('_')))
                ++m_pos;
            return {Kind::Word, m_text.mid(start, m_pos - start)};
        }
        ++m_pos;
        return {Kind::Symbol, QString(c)};
    }

private:
    // A literal; the quote character doubled inside stands for itself.
    QString quoted(QChar quote)
    {
        QString value;
        ++m_pos;
        while (true) {
            if (m_pos >= m_text.size())
                syntaxError(m_text, QStringLiteral("a text is not closed"));
            const QChar c = m_text[m_pos++];
            if (c != quote) {
                value += c;
                continue;
            }
            if (m_pos < m_text.size() && m_text[m_pos] == quote) {
                value += quote;
                ++m_pos;
                continue;
            }
            return value;
        }
    }

    QString bracketed()
    {
        const qsizetype close = m_text.indexOf(QLatin1Char(']'), m_pos);
        if (close < 0)
            syntaxError(m_text, QStringLiteral("a name in brackets is not closed"));
        QString name = m_text.mid(m_pos + 1, close - m_pos - 1);
        m_pos = close + 1;
        if (name.isEmpty())
            syntaxError(m_text, QStringLiteral("an empty name"));
        return name;
    }

    const QString& m_text;
    qsizetype m_pos = 0;
};

bool isWord(const Lexer::Token& t, const char* word)
{
    return t.kind == Lexer::Kind::Word && t.value.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

bool isSymbol(const Lexer::Token& t, char symbol)
{
    return t.kind == Lexer::Kind::Symbol && t.value == QLatin1Char(symbol);
}

// One element of a LIKE pattern: a literal character, any character, a digit, a set, or a run.
struct PatternItem {
    enum class Kind { Char, Any, Digit, Set, Star } kind;
    explicit PatternItem(Kind k, char32_t c = 0) : kind(k), ch(c) {}
    char32_t ch = 0;
    bool negated = false;
    std::vector<std::pair<char32_t, char32_t>> ranges;

    bool matches(char32_t c) const
    {
        switch (kind) {
        case Kind::Char:
            return c == ch;
        case Kind::Any:
            return true;
        case Kind::Digit:
            return c >= U'0' && c <= U'9';
        case Kind::Set: {
            bool in = false;
            for (const auto& [lo, hi] : ranges)
                in = in || (c >= lo && c <= hi);
            return in != negated;
        }
        case Kind::Star:
            return false;
        }
        return false;
    }
};

std::vector<PatternItem> compilePattern(const QList<uint>& p)
{
    std::vector<PatternItem> items;
    for (qsizetype i = 0; i < p.size(); ++i) {
        const char32_t c = p[i];
        if (c == U'*') {
            if (items.empty() || items.back().kind != PatternItem::Kind::Star)
                items.emplace_back(PatternItem::Kind::Star);
        } else if (c == U'?') {
            items.emplace_back(PatternItem::Kind::Any);
        } else if (c == U'#') {
            items.emplace_back(PatternItem::Kind::Digit);
        } else if (c == U'[' && p.indexOf(U']', i + 1) > i) {
            const qsizetype close = p.indexOf(U']', i + 1);
            PatternItem set(PatternItem::Kind::Set);
            qsizetype j = i + 1;
            if (j < close && p[j] == U'!') {
                set.negated = true;
                ++j;
            }
            for (; j < close; ++j) {
                if (j + 2 < close && p[j + 1] == U'-') {
                    set.ranges.emplace_back(std::min<char32_t>(p[j], p[j + 2]),
                                            std::max<char32_t>(p[j], p[j + 2]));
                    j += 2;
                } else {
                    set.ranges.emplace_back(p[j], p[j]);
                }
            }
            items.push_back(std::move(set));
            i = close;
        } else {
            items.emplace_back(PatternItem::Kind::Char, c);
        }
    }
    return items;
}

} // namespace

ParsedQuery parseQuery(const QString& text)
{
    Lexer lex(text);
    auto expectWord = [&](const char* word) {
        if (!isWord(lex.next(), word))
            syntaxError(text, QStringLiteral("%1 expected").arg(QLatin1String(word)));
    };
    auto name = [&](const char* what) {
        const Lexer::Token t = lex.next();
        if (t.kind != Lexer::Kind::Word)
            syntaxError(text, QStringLiteral("a %1 name expected").arg(QLatin1String(what)));
        return t.value;
    };

    ParsedQuery q;
    expectWord("SELECT");
    if (!isSymbol(lex.next(), '*'))
        syntaxError(text, QStringLiteral("* expected after SELECT"));
    expectWord("FROM");
    q.table = name("table");
    expectWord("WHERE");
    q.field = name("field");

    const Lexer::Token op = lex.next();
    if (isSymbol(op, '='))
        q.op = ParsedQuery::Op::Equal;
    else if (isWord(op, "LIKE"))
        q.op = ParsedQuery::Op::Like;
    else
        syntaxError(text, QStringLiteral("= or LIKE expected"));

    // One or more texts joined with &.
    while (true) {
        const Lexer::Token t = lex.next();
        if (t.kind != Lexer::Kind::Text)
            syntaxError(text, QStringLiteral("a text in quotes expected"));
        q.operand += t.value;
        Lexer::Token after = lex.next();
        if (isSymbol(after, '&'))
            continue;
        if (isSymbol(after, ';'))
            after = lex.next();
        if (after.kind != Lexer::Kind::End)
            syntaxError(text, QStringLiteral("unexpected '%1'").arg(after.value));
        return q;
    }
}

bool textEqualsIgnoreCase(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool likeMatches(const QString& value, const QString& pattern)
{
    const QList<uint> v = value.toCaseFolded().toUcs4();
    const std::vector<PatternItem> items = compilePattern(pattern.toCaseFolded().toUcs4());

    // Greedy match with one backtracking point at the last star: linear for each star.
    qsizetype vi = 0;
    size_t pi = 0;
    qsizetype starV = -1;
    size_t starP = 0;
    while (vi < v.size()) {
        if (pi < items.size() && items[pi].kind == PatternItem::Kind::Star) {
            starP = ++pi;
            starV = vi;
        } else if (pi < items.size() && items[pi].matches(v[vi])) {
            ++pi;
            ++vi;
        } else if (starV >= 0) {
            pi = starP;
            vi = ++starV;
        } else {
            return false;
        }
    }
    while (pi < items.size() && items[pi].kind == PatternItem::Kind::Star)
        ++pi;
    return pi == items.size();
}
