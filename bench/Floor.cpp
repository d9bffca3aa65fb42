// The floor: the least work that puts the same sorted names on the screen from the same file.
// One keyed connection of its own, keyed and tuned as the engine's, one plain statement over it,
// the collator's sort on precomputed keys, and the fastest list view Qt has (QListView +
// QStringListModel, uniform item sizes, pre-sorted). Writes are single autocommitted statements,
// as durable as the program's.
#include "bench/Bench.h"

#include "data/LinksDb.h"
#include "windowkit/ListBox.h"
#include "windowkit/Look.h"

#include <QApplication>
#include <QCollator>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QStringListModel>
#include <algorithm>
#include <memory>
#include <vector>

#include <sqlcipher/sqlite3.h>

namespace bench {

namespace {

// Collator order, equal names in stored order: one collation key per name, then the keys sorted
// (faster here than comparing names with the collator n log n times).
void sortNames(QStringList& names)
{
    const QCollator collator = ListBox::collator();
    std::vector<std::pair<QCollatorSortKey, int>> keys;
    keys.reserve(names.size());
    for (int i = 0; i < names.size(); ++i)
        keys.emplace_back(collator.sortKey(names[i]), i);
    std::sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) {
        const int c = a.first.compare(b.first);
        return c < 0 || (c == 0 && a.second < b.second);
    });
    QStringList sorted;
    sorted.reserve(names.size());
    for (const auto& key : keys)
        sorted.append(std::move(names[key.second]));
    names = std::move(sorted);
}

class Step {
public:
    Step(sqlite3* db, const char* sql)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK)
            qFatal("floor: cannot prepare %s: %s", sql, sqlite3_errmsg(db));
    }
    ~Step() { sqlite3_finalize(m_stmt); }
    sqlite3_stmt* get() const { return m_stmt; }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

bool runWrite(sqlite3* db, const char* sql, const QString& a = {}, const QString& b = {}, qint64 id = -1)
{
    Step st(db, sql);
    int index = 1;
    QByteArray ua = a.toUtf8(), ub = b.toUtf8();
    if (!a.isNull())
        sqlite3_bind_text(st.get(), index++, ua.constData(), int(ua.size()), SQLITE_STATIC);
    if (!b.isNull())
        sqlite3_bind_text(st.get(), index++, ub.constData(), int(ub.size()), SQLITE_STATIC);
    if (id >= 0)
        sqlite3_bind_int64(st.get(), index, id);
    return sqlite3_step(st.get()) == SQLITE_DONE;
}

// A window holding the floor's list and the two detail labels.
struct FloorWindow {
    std::unique_ptr<QWidget> window;
    QListView* view = nullptr;
    QStringListModel* model = nullptr;
    QLabel* name = nullptr;
    QLabel* url = nullptr;

    FloorWindow()
    {
        window = std::make_unique<QWidget>();
        window->setObjectName(QStringLiteral("floor"));
        window->resize(354, 340);
        view = new QListView(window.get());
        view->setObjectName(QStringLiteral("floorList"));
        view->setUniformItemSizes(true);
        view->setFont(Look::sansSerif(8.25, true));
        view->setGeometry(0, 0, 353, 186);
        model = new QStringListModel(view);
        view->setModel(model);
        name = new QLabel(window.get());
        name->setGeometry(64, 192, 302, 20);
        url = new QLabel(window.get());
        url->setGeometry(56, 216, 295, 20);
    }
};

bool isFloorList(QObject* watched)
{
    return watched->parent() && watched->parent()->objectName() == QLatin1String("floorList");
}

QStringList scanNames(sqlite3* db)
{
    Step st(db, "SELECT SiteName FROM links");
    QStringList names;
    while (sqlite3_step(st.get()) == SQLITE_ROW)
        names.append(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0)),
                                       sqlite3_column_bytes(st.get(), 0)));
    return names;
}

void rebuild(sqlite3* db, FloorWindow& w)
{
    QStringList names = scanNames(db);
    sortNames(names);
    w.model->setStringList(names);
}

// The identity of the record in stored position `index`.
qint64 idAt(sqlite3* db, int index)
{
    Step st(db, "SELECT rowid FROM links ORDER BY rowid LIMIT 1 OFFSET ?1");
    sqlite3_bind_int(st.get(), 1, index);
    return sqlite3_step(st.get()) == SQLITE_ROW ? sqlite3_column_int64(st.get(), 0) : -1;
}

struct CloseDb {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using KeyedDb = std::unique_ptr<sqlite3, CloseDb>;

// The file keyed and tuned as the engine does it: the same cipher settings, durable writes and
// page cache, so that the floor differs from the program only in the work above the connection.
KeyedDb openKeyed(const QString& folder)
{
    sqlite3* db = nullptr;
    const QByteArray path = QFile::encodeName(folder + QLatin1Char('/') + LinksDb::fileName());
    sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    KeyedDb keyed(db);
    sqlite3_key(db, "vunok", 5);
    sqlite3_exec(db, "PRAGMA cipher_compatibility = 3; PRAGMA synchronous = FULL; PRAGMA cache_size = -32768",
                 nullptr, nullptr, nullptr);
    sqlite3_busy_timeout(db, 5000);
    return keyed;
}

} // namespace

Outcome runFloor(const QString& folder, int linkCount)
{
    Outcome out;
    out.ms.fill(-1);
    PaintWatch watch(isFloorList);

    auto timed = [&](Measure m, const auto& body) {
        const int before = watch.paints();
        QElapsedTimer timer;
        timer.start();
        body();
        if (!watch.waitPainted(before))
            out.problems << QStringLiteral("floor %1: not repainted").arg(QLatin1String(measureName(m)));
        out.ms[m] = msSince(timer);
    };

    KeyedDb conn;
    std::unique_ptr<FloorWindow> w;
    timed(StartUp, [&] {
        conn = openKeyed(folder);
        w = std::make_unique<FloorWindow>();
        rebuild(conn.get(), *w);
        w->view->setCurrentIndex(w->model->index(0));
        w->window->show();
    });
    sqlite3* db = conn.get();
    if (w->model->rowCount() != linkCount)
        out.problems << QStringLiteral("floor listed %1 of %2").arg(w->model->rowCount()).arg(linkCount);

    if (linkCount > 3) {
        const qint64 id = idAt(db, 3);
        timed(Select, [&] {
            w->view->setCurrentIndex(w->model->index(3));
            Step st(db, "SELECT SiteName, URL FROM links WHERE rowid = ?1");
            sqlite3_bind_int64(st.get(), 1, id);
            if (sqlite3_step(st.get()) == SQLITE_ROW) {
                w->name->setText(
                    QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0))));
                w->url->setText(
                    QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 1))));
            }
        });
    }

    timed(Add, [&] {
        if (!runWrite(db, "INSERT INTO links (SiteName, URL) VALUES (?1, ?2)",
                      QStringLiteral("Quokka Watchers' Café"), QStringLiteral("https://quokka.example.com/")))
            out.problems << QStringLiteral("floor add failed");
        rebuild(db, *w);
    });
    if (linkCount > 5) {
        const qint64 id = idAt(db, 5);
        timed(Save, [&] {
            if (!runWrite(db, "UPDATE links SET SiteName = ?1, URL = ?2 WHERE rowid = ?3",
                          QStringLiteral("Renamed"), QStringLiteral("https://renamed.example.com/"), id))
                out.problems << QStringLiteral("floor save failed");
            rebuild(db, *w);
            w->view->setCurrentIndex(w->model->index(0));
        });
    }
    if (linkCount > 2) {
        const qint64 id = idAt(db, 2);
        timed(DeleteSelected, [&] {
            if (!runWrite(db, "DELETE FROM links WHERE rowid = ?1", {}, {}, id))
                out.problems << QStringLiteral("floor delete failed");
            rebuild(db, *w);
        });
    }
    timed(DeleteAll, [&] {
        if (!runWrite(db, "DELETE FROM links"))
            out.problems << QStringLiteral("floor delete all failed");
        w->model->setStringList({});
    });
    return out;
}

long floorStartupRss(const QString& folder, QString* problem)
{
    PaintWatch watch(isFloorList);
    const int before = watch.paints();
    const KeyedDb conn = openKeyed(folder);
    FloorWindow w;
    rebuild(conn.get(), w);
    w.view->setCurrentIndex(w.model->index(0));
    w.window->show();
    if (!watch.waitPainted(before))
        *problem = QStringLiteral("the floor list was never painted");
    return residentKb();
}

} // namespace bench
