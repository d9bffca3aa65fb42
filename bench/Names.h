#pragma once

#include <QList>
#include <QPair>
#include <QString>

namespace bench {

using Link = QPair<QString, QString>; // SiteName, URL

// Links as people keep them: mixed letter case, blanks, apostrophes, accented letters, digits,
// some names stored twice. The same count always gives the same links.
QList<Link> realisticLinks(int count);

} // namespace bench
