#include "windowkit/ListBox.h"

#include <QAbstractListModel>
#include <QCollator>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QTimer>
#include <algorithm>
#include <limits>
#include <numeric>
#include <vector>

namespace {

// Entries in list order: alphabetical by the collator, equal texts in the order they were given.
// `given` remembers where each entry stood in the input, so the next sort can reuse this order.
struct SortedEntries {
    QStringList texts;
    QList<qint64> data;
    std::vector<int> given;
    QString collation; // the collator's locale; another one orders differently
};

// The input positions `rows` (ascending) in list order; equal texts keep their input order.
// One collation key per text and n log n cheap comparisons of keys beat n log n comparisons of
// texts by the collator. The collator puts an empty text before any other; keys follow it there.
void sortRows(const QCollator& collator, const QStringList& texts, std::vector<int>& rows)
{
    struct Keyed {
        QCollatorSortKey key;
        int row;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(rows.size());
    for (int row : rows)
        keyed.push_back({collator.sortKey(texts[row]), row});
    std::sort(keyed.begin(), keyed.end(), [&texts](const Keyed& a, const Keyed& b) {
        const bool aEmpty = texts[a.row].isEmpty();
        const bool bEmpty = texts[b.row].isEmpty();
        const int c = aEmpty || bEmpty ? int(bEmpty) - int(aEmpty) : a.key.compare(b.key);
        return c < 0 || (c == 0 && a.row < b.row);
    });
    for (size_t i = 0; i < keyed.size(); ++i)
        rows[i] = keyed[i].row;
}

// Most refills list what the list already holds plus or minus a few records. The records that
// kept their identity and text keep their order from `previous`; only the others are sorted,
// each placed by binary search. Works when both inputs give identities in ascending order (the
// stored order of a table); returns false otherwise and the caller sorts everything.
bool reuseOrder(const QCollator& collator, const QStringList& texts, const QList<qint64>& data,
                const SortedEntries& previous, std::vector<int>& order)
{
    const qsizetype n = texts.size();
    const qsizetype m = previous.texts.size();
    if (m == 0 || qsizetype(previous.given.size()) != m || previous.data.size() != m || data.size() != n)
        return false;

    // The previous input, in its own order: rank of the entry that stood at each position.
    std::vector<int> rankAt(m, -1);
    for (qsizetype rank = 0; rank < m; ++rank) {
        const int at = previous.given[rank];
        if (at < 0 || at >= m || rankAt[at] >= 0)
            return false;
        rankAt[at] = int(rank);
    }

    // Walk both inputs by identity. A kept entry takes its old rank; anything else is fresh.
    std::vector<int> keptAtRank(m, -1);
    std::vector<int> fresh;
    qsizetype p = 0;
    qint64 lastOld = std::numeric_limits<qint64>::min();
    qint64 lastNew = std::numeric_limits<qint64>::min();
    for (qsizetype i = 0; i < n; ++i) {
        const qint64 id = data[i];
        if (id <= lastNew)
            return false;
        lastNew = id;
        while (p < m && previous.data[rankAt[p]] < id) {
            if (previous.data[rankAt[p]] <= lastOld)
                return false;
            lastOld = previous.data[rankAt[p]];
            ++p;
        }
        if (p < m && previous.data[rankAt[p]] == id) {
            if (id <= lastOld)
                return false;
            lastOld = id;
            const int rank = rankAt[p++];
            if (previous.texts[rank] == texts[i]) {
                keptAtRank[rank] = int(i);
                continue;
            }
        }
        fresh.push_back(int(i));
    }
    for (; p < m; ++p) {
        if (previous.data[rankAt[p]] <= lastOld)
            return false;
        lastOld = previous.data[rankAt[p]];
    }

    std::vector<int> kept;
    kept.reserve(n - fresh.size());
    for (int row : keptAtRank) {
        if (row >= 0)
            kept.push_back(row);
    }
    sortRows(collator, texts, fresh);

    // Before = earlier in list order: the text sorts first, or sorts equal and came first.
    const auto before = [&](int a, int b) {
        const int c = collator.compare(texts[a], texts[b]);
        return c < 0 || (c == 0 && a < b);
    };
    order.clear();
    order.reserve(n);
    auto next = kept.begin();
    for (int row : fresh) {
        const auto at = std::partition_point(next, kept.end(), [&](int k) { return before(k, row); });
        order.insert(order.end(), next, at);
        order.push_back(row);
        next = at;
    }
    order.insert(order.end(), next, kept.end());
    return true;
}

// Puts texts and data into list order. `previous`, the list's last sorted entries, may spare
// most of the work.
SortedEntries sortEntries(QStringList texts, QList<qint64> data, const SortedEntries& previous)
{
    const QCollator collator = ListBox::collator();
    const QString collation = collator.locale().name();
    const qsizetype n = texts.size();
    std::vector<int> order;
    if (previous.collation != collation || !reuseOrder(collator, texts, data, previous, order)) {
        order.resize(n);
        std::iota(order.begin(), order.end(), 0);
        sortRows(collator, texts, order);
    }
    SortedEntries sorted;
    sorted.collation = collation;
    sorted.texts.reserve(n);
    sorted.data.reserve(n);
    sorted.given = std::move(order);
    for (int row : sorted.given) {
        sorted.texts.append(std::move(texts[row]));
        sorted.data.append(data[row]);
    }
    return sorted;
}

} // namespace

class ListBoxModel : public QAbstractListModel {
public:
    explicit ListBoxModel(bool sorted, QObject* parent) : QAbstractListModel(parent), m_sorted(sorted) {}

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : m_shown; }

    QVariant data(const QModelIndex& index, int role) const override
    {
        // The tooltip shows an entry too long for the list's width whole.
        if ((role != Qt::DisplayRole && role != Qt::ToolTipRole) || index.row() < 0 || index.row() >= m_shown)
            return {};
        return m_entries.texts[index.row()];
    }

    void clear()
    {
        beginResetModel();
        m_entries = {};
        m_shown = 0;
        m_pending = false;
        endResetModel();
    }

    // Appends without telling the view; publish() sorts and tells it once.
    void append(const QString& text, qint64 data)
    {
        if (!m_pending)
            m_entries.given.clear(); // the entries are an input again, no longer a sorted result
        m_entries.texts.append(text);
        m_entries.data.append(data);
        m_pending = true;
    }

    // Every entry at once; the entries shown so far help sort the new ones.
    void replace(QStringList texts, QList<qint64> data)
    {
        data.resize(texts.size(), -1);
        beginResetModel();
        SortedEntries previous;
        if (!m_pending)
            previous = std::move(m_entries);
        if (m_sorted) {
            m_entries = sortEntries(std::move(texts), std::move(data), previous);
        } else {
            m_entries = {std::move(texts), std::move(data), {}, {}};
        }
        previous = {};
        m_shown = int(m_entries.texts.size());
        m_pending = false;
        endResetModel();
    }

    bool pending() const { return m_pending; }

    void publish()
    {
        if (!m_pending)
            return;
        beginResetModel();
        if (m_sorted)
            m_entries = sortEntries(std::move(m_entries.texts), std::move(m_entries.data), {});
        m_shown = int(m_entries.texts.size());
        m_pending = false;
        endResetModel();
    }

    const QString& textAt(int row) const { return m_entries.texts[row]; }
    const QStringList& texts() const { return m_entries.texts; }
    const QList<qint64>& data() const { return m_entries.data; }
    qint64 dataAt(int row) const { return m_entries.data[row]; }
    int count() const { return int(m_entries.texts.size()); }

private:
    bool m_sorted;
    bool m_pending = false;
    int m_shown = 0;
    SortedEntries m_entries;
};

// The plain C locale has no alphabet of its own, so it sorts as English.
QCollator ListBox::collator()
{
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

std::vector<int> ListBox::listOrder(const QStringList& texts)
{
    std::vector<int> order(texts.size());
    std::iota(order.begin(), order.end(), 0);
    sortRows(collator(), texts, order);
    return order;
}

ChoiceView::ChoiceView(QWidget* parent) : QListView(parent)
{
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

QItemSelectionModel::SelectionFlags ChoiceView::selectionCommand(const QModelIndex& index, const QEvent* event) const
{
    if (selectionModel()->hasSelection() && (!index.isValid() || selectionModel()->isSelected(index)))
        return QItemSelectionModel::NoUpdate;
    return QListView::selectionCommand(index, event);
}

ListBox::ListBox(bool sorted, QWidget* parent) : ChoiceView(parent), m_model(new ListBoxModel(sorted, this))
{
    setModel(m_model);
    setMouseTracking(true);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection&) {
                if (!selected.isEmpty())
                    Q_EMIT Click();
                Q_EMIT SelectionStateChanged();
            });
    // A refill replaces the entries and drops the selection without a selection signal.
    connect(m_model, &QAbstractItemModel::modelReset, this, &ListBox::SelectionStateChanged);
}

ListBox::~ListBox() = default;

void ListBox::ensureSorted() const
{
    m_model->publish();
}

void ListBox::Clear()
{
    const QSignalBlocker blocker(selectionModel());
    m_model->clear();
}

void ListBox::AddItem(const QString& text, qint64 itemData)
{
    const bool first = !m_model->pending();
    m_model->append(text, itemData);
    // The entries appear sorted at the next turn of the event loop at the latest.
    if (first)
        QTimer::singleShot(0, this, [this] { ensureSorted(); });
}

void ListBox::setItems(QStringList texts, QList<qint64> itemData)
{
    const QSignalBlocker blocker(selectionModel());
    m_model->replace(std::move(texts), std::move(itemData));
}

int ListBox::ListCount() const
{
    ensureSorted();
    return m_model->count();
}

QString ListBox::List(int index) const
{
    ensureSorted();
    return index >= 0 && index < m_model->count() ? m_model->textAt(index) : QString();
}

qint64 ListBox::ItemData(int index) const
{
    ensureSorted();
    return index >= 0 && index < m_model->count() ? m_model->dataAt(index) : -1;
}

int ListBox::ListIndex() const
{
    ensureSorted();
    const QModelIndexList rows = selectionModel()->selectedIndexes();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void ListBox::setListIndex(int index)
{
    ensureSorted();
    if (index < 0 || index >= m_model->count()) {
        selectionModel()->clearSelection();
        return;
    }
    const QModelIndex target = m_model->index(index);
    selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
    scrollTo(target);
}

QString ListBox::Text() const
{
    return List(ListIndex());
}

QStringList ListBox::allTexts() const
{
    ensureSorted();
    return m_model->texts();
}

QList<qint64> ListBox::allItemData() const
{
    ensureSorted();
    return m_model->data();
}

void ListBox::mousePressEvent(QMouseEvent* event)
{
    ensureSorted();
    Q_EMIT MouseDown(event->button(), event->globalPosition().toPoint());
    // A right-click does not change the selection.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QListView::mousePressEvent(event);
}

void ListBox::mouseMoveEvent(QMouseEvent* event)
{
    Q_EMIT MouseMove();
    QListView::mouseMoveEvent(event);
}

void ListBox::keyPressEvent(QKeyEvent* event)
{
    // With nothing selected, an arrow key selects the entry the focus stands on (the first one)
    // rather than moving past it.
    if ((event->key() == Qt::Key_Down || event->key() == Qt::Key_Up) && event->modifiers() == Qt::NoModifier &&
        ListIndex() < 0 && ListCount() > 0) {
        setListIndex(currentIndex().isValid() ? currentIndex().row() : 0);
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

void ListBox::paintEvent(QPaintEvent* event)
{
    ensureSorted();
    QListView::paintEvent(event);
}
