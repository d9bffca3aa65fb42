#pragma once

#include "data/Link.h"

#include <QList>
#include <QString>

namespace bench {

using Link = ::Link;

// Links as people keep them: mixed letter case, blanks, apostrophes, accented letters, digits,
// some names stored twice. The same count always gives the same links.
QList<Link> realisticLinks(int count);

} // namespace bench
