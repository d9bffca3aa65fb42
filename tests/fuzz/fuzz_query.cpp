// Any text given to the query dialect either parses or is refused with a syntax error; any
// value and pattern given to LIKE give an answer. Nothing else may happen.

#include "data/DbError.h"
#include "data/Query.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const ParsedQuery q = parseQuery(text);
        if (q.table.isEmpty() || q.field.isEmpty())
            std::abort(); // a parsed query always names its table and field
    } catch (const DbError& e) {
        if (e.number() != DbErr::SyntaxError)
            std::abort();
    }
    // The first line is a value, the rest a pattern.
    const qsizetype cut = text.indexOf(QLatin1Char('\n'));
    const QString value = cut < 0 ? text : text.left(cut);
    const QString pattern = cut < 0 ? text : text.mid(cut + 1);
    if (!likeMatches(value, QStringLiteral("*")))
        std::abort();
    likeMatches(value, pattern);
    return 0;
}
