#include "search/Fold.h"

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
const char* expansion(char16_t c)
{
    switch (c) {
    case 0x00DF: return "ss"; // ß (ẞ folds to it)
    case 0x00E6: return "ae"; // æ
    case 0x0153: return "oe"; // œ
    case 0x00F8: return "o";  // ø
    case 0x0142: return "l";  // ł
    case 0x0111: return "d";  // đ
    case 0x00F0: return "d";  // ð
    case 0x0127: return "h";  // ħ
    default: return nullptr;
    }
}

bool isAscii(QStringView text)
{
    for (QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

char lowerAscii(char16_t c)
{
    return char(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
}

} // namespace

QString fold(QStringView text)
{
    if (isAscii(text)) {
        QString out(text.size(), Qt::Uninitialized);
        QChar* to = out.data();
        for (QChar c : text)
            *to++ = QLatin1Char(lowerAscii(c.unicode()));
        return out;
    }
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

void appendFolded(std::string& out, QStringView text, bool simplify)
{
    if (!isAscii(text)) {
        const QString folded = simplify ? fold(text).simplified() : fold(text);
        const QByteArray utf8 = folded.toUtf8();
        out.append(utf8.constData(), size_t(utf8.size()));
        return;
    }
    // Most names and addresses are ASCII: folded straight into the buffer.
    const size_t start = out.size();
    for (QChar qc : text) {
        const char16_t c = qc.unicode();
        if (simplify && qc.isSpace()) {
            if (out.size() > start && out.back() != ' ')
                out.push_back(' ');
            continue;
        }
        out.push_back(lowerAscii(c));
    }
    if (simplify && out.size() > start && out.back() == ' ')
        out.pop_back();
}

} // namespace search
