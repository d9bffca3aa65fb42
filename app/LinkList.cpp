#include "app/LinkList.h"

#include "app/ListBox.h"
#include "data/Database.h"

void fillLinkList(ListBox* list, Recordset& rs, int count)
{
    QStringList names;
    QList<qint64> ids;
    if (count > 0) {
        names.reserve(count);
        ids.reserve(count);
        rs.moveFirst();
        for (int i = 0; i < count; ++i) {
            names.append(rs.text(QStringLiteral("SiteName")));
            ids.append(rs.id());
            rs.moveNext();
        }
    }
    // One replacement instead of count insertions: the list sorts once.
    list->Clear();
    list->setItems(std::move(names), std::move(ids));
}
