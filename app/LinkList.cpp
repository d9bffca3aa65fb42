#include "app/LinkList.h"

#include "app/ListBox.h"
#include "data/Database.h"

void fillLinkList(ListBox* list, Recordset& rs, int count)
{
    QStringList names;
    QList<qint64> ids;
    if (count > 0) {
        rs.moveFirst();
        // The whole loop in one statement: a refill of many names costs one scan.
        rs.readTexts(QStringLiteral("SiteName"), count, names, ids);
    }
    // One replacement instead of a Clear and count insertions: the list sorts once, and what it
    // showed before spares it most of that sort.
    list->setItems(std::move(names), std::move(ids));
}
