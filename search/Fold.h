#pragma once

#include <QString>
#include <QStringView>
#include <string>
#include <string_view>

// Text as the find compares it: full Unicode case folding, accents and other marks removed,
// compatibility forms made plain ("ﬁ" -> "fi", full-width letters -> ASCII) and the few letters
// that carry their accent in their shape taken as their base letters ("ø" -> "o", "ß" -> "ss").
namespace search {

QString fold(QStringView text);

// Appends the folded UTF-8 text to out; with simplify, blanks are trimmed and each run of them
// becomes one blank (so that a name compares equal to a query whatever its spacing).
void appendFolded(std::string& out, std::string_view utf8, bool simplify);

// Whether appendFolded would append the text unchanged, told without folding it: true only for ASCII
// without capitals (with simplify, also without outer, double or other blanks).
bool foldsToItself(std::string_view utf8, bool simplify);

} // namespace search
