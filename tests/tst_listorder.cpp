// The sorted list box: its order is always that of one stable sort by the collator (alphabetical
// without regard to letter case, equal texts in the order given), however it was filled and
// however many refills reused the order of the one before.

#include "windowkit/ListBox.h"

#include <QCollator>
#include <QLocale>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <random>

namespace {

struct Entry {
    QString text;
    qint64 id;
};

// The order the list promises, computed the plain way.
QList<Entry> expectedOrder(const QList<Entry>& given)
{
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    QList<Entry> sorted = given;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [&collator](const Entry& a, const Entry& b) { return collator.compare(a.text, b.text) < 0; });
    return sorted;
}

QList<Entry> shown(const ListBox& list)
{
    QList<Entry> entries;
    for (int i = 0; i < list.ListCount(); ++i)
        entries.append({list.List(i), list.ItemData(i)});
    return entries;
}

void fill(ListBox& list, const QList<Entry>& entries)
{
    QStringList texts;
    QList<qint64> ids;
    for (const Entry& e : entries) {
        texts.append(e.text);
        ids.append(e.id);
    }
    list.setItems(texts, ids);
}

// Fails with the first entry that differs, which says more than a wall of two lists.
void compareOrder(const QList<Entry>& actual, const QList<Entry>& expected, const QString& when)
{
    QCOMPARE(actual.size(), expected.size());
    for (qsizetype i = 0; i < actual.size(); ++i) {
        if (actual[i].text != expected[i].text || actual[i].id != expected[i].id) {
            QFAIL(qPrintable(QStringLiteral("%1: entry %2 is '%3' (%4), expected '%5' (%6)")
                                 .arg(when)
                                 .arg(i)
                                 .arg(actual[i].text)
                                 .arg(actual[i].id)
                                 .arg(expected[i].text)
                                 .arg(expected[i].id)));
        }
    }
}

// Names that collide on purpose: letter case, accents, blanks, apostrophes, digits.
QString randomName(QRandomGenerator& random)
{
    static const QStringList parts = {"abc",  "ABC",     "Abc",     "éclair", "Eclair", "eclair", "zulu",
                                      "Zulu", "o'brien", "O'Brien", " lead",  "lead ",  "10",     "9",
                                      "ß",    "ss",      "Ærø",     "aero",   "x"};
    QString name = parts[random.bounded(int(parts.size()))];
    if (random.bounded(3) == 0)
        name += QLatin1Char(' ') + parts[random.bounded(int(parts.size()))];
    return name;
}

} // namespace

class tst_listorder : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sortsByTheCollatorKeepingEqualTextsInGivenOrder()
    {
        ListBox list(true);
        const QList<Entry> given = {
            {"beta", 1},   {"Alpha", 2},      {"gamma", 3},     {"Éclair", 4},
            {"eclair", 5}, {"ABC", 6},        {"abc", 7},       {"Abc", 8},
            {"", 9},       {" lead", 10},     {"O'Brien", 11},  {"o'brien", 12},
            {"Zulu", 13},  {"10 things", 14}, {"9 things", 15}, {QString(QChar(0x200B)), 16},
            {"", 17},      {"zulu", 18}};
        fill(list, given);
        compareOrder(shown(list), expectedOrder(given), "first fill");
        // Spot checks that do not rely on the reference: case and accents stand beside their letters.
        QCOMPARE(list.List(list.ListCount() - 1), QStringLiteral("zulu"));
        QVERIFY(list.List(0).isEmpty());
    }

    void everyWayOfFillingGivesTheSameOrder()
    {
        QRandomGenerator random(7);
        QList<Entry> given;
        for (int i = 0; i < 300; ++i)
            given.append({randomName(random), i * 3});
        const QList<Entry> expected = expectedOrder(given);

        ListBox byAddItem(true);
        for (const Entry& e : given)
            byAddItem.AddItem(e.text, e.id);
        compareOrder(shown(byAddItem), expected, "AddItem");

        ListBox bySetItems(true);
        fill(bySetItems, given);
        compareOrder(shown(bySetItems), expected, "setItems");

        // Adding to a list that is already sorted sorts the new entries in among the old.
        ListBox addedLater(true);
        fill(addedLater, given.mid(0, 200));
        for (const Entry& e : given.mid(200))
            addedLater.AddItem(e.text, e.id);
        compareOrder(shown(addedLater), expected, "setItems then AddItem");

        // An unsorted list keeps the given order.
        ListBox unsorted(false);
        fill(unsorted, given);
        compareOrder(shown(unsorted), given, "unsorted");
    }

    // Refills that add, drop, rename and re-case entries, as the windows do after every command;
    // each must give exactly what one full sort of the new entries gives.
    void refillsGiveTheOrderOfAFullSort()
    {
        QRandomGenerator random(11);
        QList<Entry> table;
        qint64 nextId = 1;
        for (int i = 0; i < 2000; ++i)
            table.append({randomName(random), nextId++});
        ListBox list(true);
        fill(list, table);
        compareOrder(shown(list), expectedOrder(table), "first fill");

        for (int round = 0; round < 80; ++round) {
            const int edits = random.bounded(1, round % 10 == 0 ? 400 : 4);
            for (int e = 0; e < edits; ++e) {
                const int at = random.bounded(int(table.size()));
                switch (random.bounded(5)) {
                case 0:
                    table.append({randomName(random), nextId++});
                    break;
                case 1:
                    table.removeAt(at);
                    break;
                case 2:
                    table[at].text = randomName(random);
                    break;
                case 3:
                    table[at].text = table[at].text.toUpper();
                    break;
                default:
                    // A name stored twice.
                    table.append({table[at].text, nextId++});
                    break;
                }
            }
            fill(list, table);
            compareOrder(shown(list), expectedOrder(table), QStringLiteral("round %1").arg(round));
            if (QTest::currentTestFailed())
                return;
        }

        // Everything gone, then back again.
        fill(list, {});
        QCOMPARE(list.ListCount(), 0);
        fill(list, table);
        compareOrder(shown(list), expectedOrder(table), "after an empty refill");
    }

    // Identities that are not in ascending order, repeated or missing give no order to reuse:
    // the list still sorts them right.
    void refillsWithoutUsableIdentitiesStillSort()
    {
        QRandomGenerator random(3);
        QList<Entry> table;
        for (int i = 0; i < 500; ++i)
            table.append({randomName(random), i + 1});
        ListBox list(true);
        fill(list, table);

        QList<Entry> shuffled = table;
        std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(5));
        shuffled[10].text = QStringLiteral("renamed");
        fill(list, shuffled);
        compareOrder(shown(list), expectedOrder(shuffled), "shuffled identities");

        QList<Entry> noIds = table;
        for (Entry& e : noIds)
            e.id = -1;
        noIds[3].text = QStringLiteral("Zz");
        fill(list, noIds);
        compareOrder(shown(list), expectedOrder(noIds), "no identities");

        // Back to ascending identities after all that.
        table.removeAt(7);
        fill(list, table);
        compareOrder(shown(list), expectedOrder(table), "ascending again");

        // setItems without data lists every entry with the identity -1.
        list.setItems({"b", "a"}, {});
        compareOrder(shown(list), {{"a", -1}, {"b", -1}}, "no data");
    }

    // The alphabet is the user's: a refill after the locale changed sorts by the new one.
    void refillAfterALocaleChangeUsesTheNewAlphabet()
    {
        const QLocale saved;
        const QList<Entry> given = {{"zebra", 1}, {"öl", 2}, {"ost", 3}, {"Åsa", 4}, {"apa", 5}};
        ListBox list(true);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        fill(list, given);
        QCOMPARE(list.List(list.ListCount() - 1), QStringLiteral("zebra"));

        QLocale::setDefault(QLocale(QLocale::Swedish, QLocale::Sweden));
        fill(list, given);
        const QList<Entry> swedish = expectedOrder(given);
        QLocale::setDefault(saved);
        compareOrder(shown(list), swedish, "Swedish");
        QCOMPARE(list.List(list.ListCount() - 1), QStringLiteral("öl")); // å, ä, ö come after z
    }

    // A refill selects nothing and reports no selection, like Clear followed by AddItem.
    void refillClearsTheSelectionQuietly()
    {
        ListBox list(true);
        fill(list, {{"b", 1}, {"a", 2}, {"c", 3}});
        QSignalSpy clicks(&list, &ListBox::Click);
        list.setListIndex(1);
        QCOMPARE(clicks.size(), 1);
        QCOMPARE(list.Text(), QStringLiteral("b"));

        fill(list, {{"b", 1}, {"a", 2}, {"c", 3}, {"d", 4}});
        QCOMPARE(list.ListIndex(), -1);
        QCOMPARE(list.Text(), QString());
        QCOMPARE(clicks.size(), 1);
        QCOMPARE(list.ItemData(1), 1);
    }
};

QTEST_MAIN(tst_listorder)
#include "tst_listorder.moc"
