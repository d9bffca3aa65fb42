// Finding links by words of their names and addresses, as a pure function of the links, the main
// list's order and the query: folding, ranking, ties, and the sliced and narrowed searches the
// window runs, which must give exactly what one whole search gives.
#include "search/Find.h"
#include "search/Fold.h"

#include <QTest>
#include <random>

namespace {

// Links given in the main list's order: identities 1, 2, 3... in that order.
QList<Link> listed(const QList<QPair<QString, QString>>& links)
{
    QList<Link> out;
    for (const auto& [name, url] : links)
        out.append(Link{name, url, out.size() + 1});
    return out;
}

std::vector<int> shownOrder(int n)
{
    std::vector<int> order(size_t(n), 0);
    for (int i = 0; i < n; ++i)
        order[size_t(i)] = i;
    return order;
}

QStringList namesFound(const QList<Link>& links, const std::vector<int>& order, const QString& query)
{
    QStringList names;
    for (int position : search::find(links, order, query))
        names.append(links[position].name);
    return names;
}

// Ranks from best to worst, each link's name telling which rank it should take for "sqlite".
const QList<Link> Ranked = listed({
    {"Unrelated", "https://x.example/"},
    {"Database article", "https://www.sqlite.org/lockingv3.html"},
    {"mysqlite tips", "https://tips.example/"},
    {"Locks and SQLite", "https://locks.example/"},
    {"Notes on SQLite", "https://notes.example/"},
    {"SQLite locking notes", "https://notes.example/locking"},
    {"  SQLite  ", "https://www.sqlite.org/"},
});

} // namespace

class tst_find : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void folds_data();
    void folds();
    void foldsAlikeByTableAndWhole();
    void findsAndRanks_data();
    void findsAndRanks();
    void tiesKeepTheListOrder();
    void hostileTextsAreFoundSafely();
    void narrowingAndSlicingFindWhatOneSearchFinds();
};

void tst_find::folds_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("folded");
    const auto row = [](const char* name, const char* text, const char* folded) {
        QTest::newRow(name) << QString::fromUtf8(text) << QString::fromUtf8(folded);
    };
    row("ASCII", "Hello, World 42", "hello, world 42");
    row("acute", "Café", "cafe");
    row("umlaut", "München", "munchen");
    row("combining marks", "e\u0301te\u0301", "ete");
    row("sharp s, full folding", "Straße STRASSE", "strasse strasse");
    row("capital sharp s", "\u1E9E", "ss");
    row("dotted capital I", "İstanbul", "istanbul");
    row("Greek, final sigma", "ΣΊΣΥΦΟΣ σίσυφος", "σισυφοσ σισυφοσ");
    row("ligature", "ﬁle ﬀ", "file ff");
    row("full width", "ＦＵＬＬ", "full");
    row("Kelvin sign", "\u212A", "k");
    row("title-case digraph", "ǅemal", "dzemal");
    row("circled and Roman numerals", "① Ⅻ", "1 xii");
    row("stroked letters", "Ørsted Łódź Đorđe Ħal", "orsted lodz dorde hal");
    row("joined letters", "Æsir Œuvre", "aesir oeuvre");
    row("astral letters kept", "😀𝐀", "😀a");
    row("controls kept", "a\tb\u0001", "a\tb\u0001");
    row("no-break space becomes a blank", "a\u00A0b", "a b");
}

void tst_find::folds()
{
    QFETCH(QString, text);
    QFETCH(QString, folded);
    QCOMPARE(search::fold(text), folded);
}

void tst_find::foldsAlikeByTableAndWhole()
{
    // Latin letters fold through a table of single characters; the whole-text folding (forced by
    // a Greek letter at the end) must agree, and so must the UTF-8 folding the index uses.
    const QString pool = QStringLiteral("aZ ßẞæÆøØłŁđĐðħĲĳŉſǅǰÅå\u0301\u0308\u0327\u0345") +
                         QStringLiteral(" \t\u00A0\u0085\u00A8\u00B4\u02DAıİéÉñÑüÜçÇ'-.ǄǆȨ");
    const QStringList beyond{"Σ", "ΐ", "ﬁ", "Ａ", "한", "😀", "\u3000", "\u2028"};
    std::mt19937 random(11);
    for (int round = 0; round < 2000; ++round) {
        QString text;
        for (int i = 0, n = int(random() % 12); i < n; ++i)
            text.append(pool[int(random() % pool.size())]);
        const QString byTable = search::fold(text);
        const QString whole = search::fold(text + QStringLiteral("Σ"));
        QCOMPARE(byTable + QStringLiteral("σ"), whole);

        if (round % 2)
            text.insert(int(random() % (text.size() + 1)), beyond[int(random() % beyond.size())]);
        const QByteArray utf8 = text.toUtf8();
        for (const bool simplify : {false, true}) {
            std::string folded;
            search::appendFolded(folded, {utf8.constData(), size_t(utf8.size())}, simplify);
            const QString expected = simplify ? search::fold(text).simplified() : search::fold(text);
            QCOMPARE(QString::fromStdString(folded), expected);
            if (search::foldsToItself({utf8.constData(), size_t(utf8.size())}, simplify))
                QCOMPARE(expected, text);
        }
    }
    std::string invalid;
    search::appendFolded(invalid, "A\xC3(\xFF", false);
    QCOMPARE(QString::fromStdString(invalid), QStringLiteral("a\uFFFD(\uFFFD"));
}

void tst_find::findsAndRanks_data()
{
    QTest::addColumn<QList<Link>>("links");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("found");

    const QStringList all{"Unrelated",       "Database article",     "mysqlite tips", "Locks and SQLite",
                          "Notes on SQLite", "SQLite locking notes", "  SQLite  "};
    QTest::newRow("empty query: every link in list order") << Ranked << "" << all;
    QTest::newRow("blanks only") << Ranked << " \t " << all;
    QTest::newRow("the five ranks") << Ranked << "sqlite"
                                    << QStringList{"  SQLite  ",      "SQLite locking notes", "Locks and SQLite",
                                                   "Notes on SQLite", "mysqlite tips",        "Database article"};
    QTest::newRow("blanks around the query")
        << Ranked << "  SQLITE " << QStringList{"  SQLite  ",      "SQLite locking notes", "Locks and SQLite",
                                                "Notes on SQLite", "mysqlite tips",        "Database article"};
    QTest::newRow("every word, anywhere in name or address")
        << Ranked << "sqlite lock" << QStringList{"SQLite locking notes", "Locks and SQLite", "Database article"};
    QTest::newRow("word order: equal ranks in list order")
        << Ranked << "lock sqlite" << QStringList{"Locks and SQLite", "SQLite locking notes", "Database article"};
    QTest::newRow("one word in the name, one in the address")
        << Ranked << "database locking" << QStringList{"Database article"};
    QTest::newRow("a word typed twice")
        << Ranked << "notes notes" << QStringList{"Notes on SQLite", "SQLite locking notes"};
    QTest::newRow("no match") << Ranked << "sqlite zebra" << QStringList{};
    QTest::newRow("nothing listed") << QList<Link>{} << "a" << QStringList{};

    const QList<Link> accents = listed({{"Café Crème", "https://cafe.example/"},
                                        {"München Tourismus", "https://muenchen.example/"},
                                        {"Straße des 17. Juni", "https://berlin.example/"},
                                        {"ΣΊΣΥΦΟΣ", "https://greek.example/"}});
    QTest::newRow("accents in the name") << accents << "cafe creme" << QStringList{"Café Crème"};
    QTest::newRow("umlaut without its dots") << accents << "munchen" << QStringList{"München Tourismus"};
    QTest::newRow("sharp s typed as ss") << accents << "STRASSE" << QStringList{"Straße des 17. Juni"};
    QTest::newRow("sharp s typed") << accents << "straße" << QStringList{"Straße des 17. Juni"};
    QTest::newRow("accents in the query") << accents << "CAFÉ" << QStringList{"Café Crème"};
    QTest::newRow("Greek in any case") << accents << "σίσυφος" << QStringList{"ΣΊΣΥΦΟΣ"};

    const QList<Link> words = listed({{"McDonald's", "https://m.example/"},
                                      {"d'Artagnan", "https://d.example/"},
                                      {"Donald Duck", "https://dd.example/"},
                                      {"Île-de-France", "https://idf.example/"}});
    QTest::newRow("a word starts after an apostrophe, not inside one")
        << words << "artagnan" << QStringList{"d'Artagnan"};
    QTest::newRow("word start before inside") << words << "donald" << QStringList{"Donald Duck", "McDonald's"};
    QTest::newRow("a word starts after a hyphen") << words << "france" << QStringList{"Île-de-France"};
}

void tst_find::findsAndRanks()
{
    QFETCH(QList<Link>, links);
    QFETCH(QString, query);
    QFETCH(QStringList, found);
    QCOMPARE(namesFound(links, shownOrder(int(links.size())), query), found);
}

void tst_find::tiesKeepTheListOrder()
{
    // Stored in one order, listed in another: equal ranks follow the list, whatever the storage.
    const QList<Link> links = listed({{"news weekly", "a"}, {"News Daily", "b"}, {"old news", "c"}, {"new", "d"}});
    const std::vector<int> order{2, 1, 3, 0}; // "old news", "News Daily", "new", "news weekly"
    QCOMPARE(namesFound(links, order, "news"), (QStringList{"News Daily", "news weekly", "old news"}));
    QCOMPARE(namesFound(links, order, "NEW"), (QStringList{"new", "News Daily", "news weekly", "old news"}));
    QCOMPARE(namesFound(links, order, ""), (QStringList{"old news", "News Daily", "new", "news weekly"}));
}

void tst_find::hostileTextsAreFoundSafely()
{
    const QString longName = QString(10000, QLatin1Char('x')) + QStringLiteral(" needle");
    const QList<Link> links = listed({{longName, "https://long.example/"},
                                      {QStringLiteral("\u202Eevil override"), "https://rtl.example/"},
                                      {QStringLiteral("tab\there\u0001"), "https://ctl.example/"},
                                      {QStringLiteral("lone \xD800 surrogate"), "https://bad.example/"},
                                      {QString(), QString()},
                                      {QStringLiteral("'; DROP TABLE links; --"), "x"}});
    const auto order = shownOrder(int(links.size()));
    QCOMPARE(namesFound(links, order, "needle"), QStringList{longName});
    QCOMPARE(namesFound(links, order, "evil"), QStringList{QStringLiteral("\u202Eevil override")});
    QCOMPARE(namesFound(links, order, "here"), QStringList{QStringLiteral("tab\there\u0001")});
    QCOMPARE(namesFound(links, order, "surrogate"), QStringList{QStringLiteral("lone \xD800 surrogate")});
    QCOMPARE(namesFound(links, order, "drop table"), QStringList{QStringLiteral("'; DROP TABLE links; --")});
    QCOMPARE(namesFound(links, order, QString(1000, QLatin1Char('x'))), QStringList{longName});
    QCOMPARE(namesFound(links, order, QString(1000, QLatin1Char('q'))), QStringList{});
    QCOMPARE(namesFound(links, order, QString(500, QLatin1Char(' ')) + QStringLiteral("a b c d e f g")),
             QStringList{});
    // Texts come back exactly as given.
    const search::Index index(links, order);
    QCOMPARE(index.name(0), longName);
    QCOMPARE(index.name(1), QStringLiteral("\u202Eevil override"));
    QCOMPARE(index.name(4), QString());
}

void tst_find::narrowingAndSlicingFindWhatOneSearchFinds()
{
    // Many links from a small vocabulary, so that every query matches some of them.
    const QStringList vocabulary{"café",    "News", "SQLITE", "straße", "münchen", "lock",
                                 "locking", "the",  "Ørsted", "daily",  "blog",    "ÉCLAIR"};
    std::mt19937 random(7);
    QList<Link> links;
    for (int i = 0; i < 3000; ++i) {
        QStringList name;
        for (int w = 0, n = 1 + int(random() % 4); w < n; ++w)
            name << vocabulary[int(random() % vocabulary.size())];
        links.append(
            Link{name.join(QLatin1Char(' ')),
                 QStringLiteral("https://") + vocabulary[int(random() % vocabulary.size())] + ".example/", i + 1});
    }
    std::vector<int> order = shownOrder(int(links.size()));
    std::shuffle(order.begin(), order.end(), random);
    const search::Index index(links, order);

    const auto whole = [&index](const QString& typed) {
        search::Search s(index, search::parseQuery(typed));
        while (!s.run(std::chrono::hours(1))) {
        }
        return s.take().rows;
    };
    std::optional<search::Matches> previous;
    for (const QString typed :
         {"", "l", "lo", "loc", "lock", "lock ", "lock c", "lock ca", "lock caf", "lock cafe", "lock cafe s"}) {
        const search::Query query = search::parseQuery(typed);
        std::optional<std::vector<int>> candidates;
        if (previous) {
            QVERIFY2(query.narrows(previous->query), qPrintable(typed));
            candidates = previous->listed;
        }
        // A slice of no time still works through one batch, so this takes many slices.
        search::Search sliced(index, query, candidates);
        int slices = 1;
        while (!sliced.run(std::chrono::microseconds(0)))
            ++slices;
        QVERIFY(slices > 1 || candidates);
        search::Matches matches = sliced.take();
        QCOMPARE(matches.rows, whole(typed));
        QVERIFY(std::is_sorted(matches.listed.begin(), matches.listed.end()));
        previous = std::move(matches);
    }
    QVERIFY(!previous->rows.empty());
    QVERIFY(!search::parseQuery(u"loc").narrows(search::parseQuery(u"lock")));
    QVERIFY(!search::parseQuery(u"cafe lock").narrows(search::parseQuery(u"lock")));
}

QTEST_MAIN(tst_find)
#include "tst_find.moc"
