#include "app/ListBox.h"

#include <QAbstractListModel>
#include <QCollator>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QTimer>
#include <algorithm>
#include <vector>

namespace {

// Alphabetical without regard to letter case, accents beside their letters ("Éclair" by
// "eclair"). The plain C locale has no alphabet of its own, so it sorts as English.
QCollator makeCollator()
{
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

}  // namespace

class ListBoxModel : public QAbstractListModel {
public:
    struct Entry {
        QString text;
        qint64 data;
    };

    explicit ListBoxModel(bool sorted, QObject* parent) : QAbstractListModel(parent), m_sorted(sorted) {}

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : m_shown; }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole || index.row() < 0 || index.row() >= m_shown)
            return {};
        return m_entries[index.row()].text;
    }

    void clear()
    {
        beginResetModel();
        m_entries.clear();
        m_shown = 0;
        m_pending = false;
        endResetModel();
    }

    // Appends without telling the view; publish() sorts and tells it once.
    void append(const QString& text, qint64 data)
    {
        m_entries.push_back({text, data});
        m_pending = true;
    }

    void replace(std::vector<Entry> entries)
    {
        m_entries = std::move(entries);
        m_pending = true;
        publish();
    }

    bool pending() const { return m_pending; }

    void publish()
    {
        if (!m_pending)
            return;
        beginResetModel();
        if (m_sorted) {
            const QCollator collator = makeCollator();
            std::stable_sort(m_entries.begin(), m_entries.end(), [&collator](const Entry& a, const Entry& b) {
                return collator.compare(a.text, b.text) < 0;
            });
        }
        m_shown = int(m_entries.size());
        m_pending = false;
        endResetModel();
    }

    const Entry& at(int row) const { return m_entries[row]; }
    int count() const { return int(m_entries.size()); }

private:
    bool m_sorted;
    bool m_pending = false;
    int m_shown = 0;
    std::vector<Entry> m_entries;
};

ListBox::ListBox(bool sorted, QWidget* parent) : QListView(parent), m_model(new ListBoxModel(sorted, this))
{
    setModel(m_model);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setMouseTracking(true);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection&) {
                if (!selected.isEmpty())
                    Q_EMIT Click();
            });
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
    std::vector<ListBoxModel::Entry> entries;
    entries.reserve(texts.size());
    for (qsizetype i = 0; i < texts.size(); ++i)
        entries.push_back({std::move(texts[i]), i < itemData.size() ? itemData[i] : -1});
    const QSignalBlocker blocker(selectionModel());
    m_model->replace(std::move(entries));
}

int ListBox::ListCount() const
{
    ensureSorted();
    return m_model->count();
}

QString ListBox::List(int index) const
{
    ensureSorted();
    return index >= 0 && index < m_model->count() ? m_model->at(index).text : QString();
}

qint64 ListBox::ItemData(int index) const
{
    ensureSorted();
    return index >= 0 && index < m_model->count() ? m_model->at(index).data : -1;
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
    if ((event->key() == Qt::Key_Down || event->key() == Qt::Key_Up) && event->modifiers() == Qt::NoModifier
        && ListIndex() < 0 && ListCount() > 0) {
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
