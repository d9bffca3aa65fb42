#pragma once

#include <QString>
#include <QStringView>
#include <string>

// Text as the find compares it: full Unicode case folding, accents and other marks removed,
// compatibility forms made plain ("ﬁ" -> "fi", full-width letters -> ASCII) and the few letters
// that carry their accent in their shape taken as their base letters ("ø" -> "o", "ß" -> "ss").
namespace search {

QString fold(QStringView text);

// Appends fold(text) to out as UTF-8; with simplify, blanks are trimmed and each run of them becomes
// one blank (so a name compares equal to a query whatever its spacing).
void appendFolded(std::string& out, QStringView text, bool simplify);

} // namespace search
