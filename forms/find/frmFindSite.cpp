#include "forms/find/frmFindSite.h"

#include "data/LinksDb.h"
#include "forms/find/MatchList.h"
#include "platform/ShellOpen.h"
#include "windowkit/Controls.h"
#include "windowkit/Lifecycle.h"
#include "windowkit/ListBox.h"
#include "windowkit/Look.h"
#include "windowkit/StaleLink.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// The window's size when it last closed, for the rest of the session.
QSize rememberedSize;

// The longest the window works on one search before it lets input and painting in again.
constexpr std::chrono::milliseconds Slice(30);

// Whether text is exactly the UTF-8 `utf8` (QAnyStringView::equal errs for some texts in Qt 6.4).
bool sameText(QStringView text, std::string_view utf8)
{
    size_t at = 0;
    const auto next = [&](char byte) { return at < utf8.size() && utf8[at++] == byte; };
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        bool same = true;
        if (c < 0x80) {
            same = next(char(c));
        } else if (c < 0x800) {
            same = next(char(0xC0 | (c >> 6))) && next(char(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            same = next(char(0xE0 | (c >> 12))) && next(char(0x80 | ((c >> 6) & 0x3F))) &&
                   next(char(0x80 | (c & 0x3F)));
        } else {
            same = next(char(0xF0 | (c >> 18))) && next(char(0x80 | ((c >> 12) & 0x3F))) &&
                   next(char(0x80 | ((c >> 6) & 0x3F))) && next(char(0x80 | (c & 0x3F)));
        }
        if (!same)
            return false;
    }
    return at == utf8.size();
}

} // namespace

frmFindSite::frmFindSite()
{
    setObjectName(QStringLiteral("frmFindSite"));
    setWindowTitle(QStringLiteral("Find Site Link"));
    Look::setBackground(this, Look::Background);

    Label1 = Controls::label(this, QStringLiteral("Label1"), QStringLiteral("Find :"), Look::sansSerif(12, true));
    txtFind = new QLineEdit(this);
    txtFind->setObjectName(QStringLiteral("txtFind"));
    txtFind->setAccessibleName(QStringLiteral("Find"));
    txtFind->setAccessibleDescription(QStringLiteral("Words of the site name or address"));
    txtFind->setFont(Look::sansSerif(10));
    Look::setBackground(txtFind, Look::EntryYellow);
    Label1->setBuddy(txtFind);

    m_model = new MatchModel(this);
    lstMatches = new MatchView(this);
    lstMatches->setObjectName(QStringLiteral("lstMatches"));
    lstMatches->setAccessibleName(QStringLiteral("Matches"));
    lstMatches->setFont(Look::sansSerif(8.25));
    Look::setBackground(lstMatches, Look::EntryYellow);
    lstMatches->setModel(m_model);

    lblCount = Controls::label(this, QStringLiteral("lblCount"), QString(), Look::sansSerif(10, true));
    lblCount->setAccessibleDescription(QStringLiteral("Number of matches"));
    cmdOpen = Controls::button(this, QStringLiteral("cmdOpen"), QStringLiteral("Open Link"),
                               Look::sansSerif(10, true), true);
    setDefaultButton(cmdOpen);
    cmdShow = Controls::button(this, QStringLiteral("cmdShow"), QStringLiteral("Show in List"),
                               Look::sansSerif(10, true), true);
    cmdClose = Controls::button(this, QStringLiteral("cmdClose"), QStringLiteral("Close"),
                                Look::sansSerif(10, true), true);
    setCancelButton(cmdClose);
    cmdOpen->setEnabled(false);
    cmdShow->setEnabled(false);

    auto* findRow = new QHBoxLayout;
    findRow->addWidget(Label1);
    findRow->addWidget(txtFind, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdOpen);
    buttons->addWidget(cmdShow);
    buttons->addStretch(1);
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(findRow);
    layout->addWidget(lstMatches, 1);
    layout->addWidget(lblCount);
    layout->addLayout(buttons);

    setTabOrder(txtFind, lstMatches);
    setTabOrder(lstMatches, cmdOpen);
    setTabOrder(cmdOpen, cmdShow);
    setTabOrder(cmdShow, cmdClose);
    txtFind->setFocus();
    txtFind->installEventFilter(this);

    m_slice = new QTimer(this);
    m_slice->setSingleShot(true);
    m_slice->setInterval(0);
    kit::onEvent(m_slice, &QTimer::timeout, this, &frmFindSite::runSlice);
    kit::onEvent(txtFind, &QLineEdit::textChanged, this, &frmFindSite::txtFind_Change);
    kit::onEvent(lstMatches->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                 &frmFindSite::selectionChanged);
    kit::onEvent(lstMatches, &QListView::doubleClicked, this, &frmFindSite::cmdOpen_Click);
    kit::onEvent(cmdOpen, &QPushButton::clicked, this, &frmFindSite::cmdOpen_Click);
    kit::onEvent(cmdShow, &QPushButton::clicked, this, &frmFindSite::cmdShow_Click);
    kit::onEvent(cmdClose, &QPushButton::clicked, this, &frmFindSite::cmdClose_Click);
    kit::onEvent(&LinksStore::instance(), &LinksStore::changed, this, &frmFindSite::linksChanged);

    setMinimumSize(twips(5400), twips(3600));
    resize(rememberedSize.isValid() ? rememberedSize : QSize(twips(7800), twips(5400)));
}

frmFindSite::~frmFindSite() = default;

void frmFindSite::Form_Load()
{
    m_db = LinksDb::open();
    m_loaded = true;
}

void frmFindSite::Form_Unload()
{
    rememberedSize = size();
}

void frmFindSite::setMainList(ListBox* list)
{
    m_mainList = list;
    if (m_loaded && !m_index)
        reread(std::nullopt);
}

void frmFindSite::showEvent(QShowEvent* event)
{
    // Shown without the main window's list (the main window hands it over before showing).
    if (m_loaded && !m_index)
        kit::guarded([this] { reread(std::nullopt); });
    Form::showEvent(event);
}

void frmFindSite::changeEvent(QEvent* event)
{
    // Coming back to the window is when another copy's writes are most likely to have happened.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && m_index) {
        kit::guarded([this] {
            if (fileChanged())
                reread(selectedId());
        });
    }
    Form::changeEvent(event);
}

std::optional<qint64> frmFindSite::selectedId() const
{
    const std::optional<Link> link = selectedLink();
    if (link)
        return link->id;
    return m_keep;
}

bool frmFindSite::fileChanged() const
{
    return LinksStore::fileVersion() != m_version;
}

void frmFindSite::linksChanged()
{
    if (m_index)
        reread(selectedId());
}

void frmFindSite::reread(std::optional<qint64> keep)
{
    // Asked before reading: a write that lands in between is caught by the next comparison.
    m_version = LinksStore::fileVersion();
    search::Index::Builder links;
    if (m_mainList)
        links.reserve(m_mainList->ListCount());
    LinksStore::forEach([&links](qint64 id, QByteArrayView name, QByteArrayView url) {
        links.add(id, {name.data(), size_t(name.size())}, {url.data(), size_t(url.size())});
    });
    const std::vector<int> order = listOrder(links);
    auto index = std::make_shared<const search::Index>(std::move(links).build(order));
    // Matches of the old links narrow nothing among the new ones.
    m_search.reset();
    m_shown.reset();
    m_index = std::move(index);
    startSearch(keep);
}

std::vector<int> frmFindSite::listOrder(const search::Index::Builder& links) const
{
    const int n = links.size();
    if (m_mainList && m_mainList->ListCount() == n && n > 0) {
        const QList<qint64> ids = m_mainList->allItemData();
        const QStringList names = m_mainList->allTexts();
        // Where each identity stands in the main list: a table when the identities lie close
        // together, as they do when a table is filled by this program; else a sorted list.
        const auto [low, high] = std::minmax_element(ids.begin(), ids.end());
        std::vector<int> rankAt;
        std::vector<std::pair<qint64, int>> byId;
        if (quint64(*high) - quint64(*low) < 4 * quint64(n)) {
            rankAt.assign(size_t(*high - *low + 1), -1);
            for (int k = 0; k < n; ++k)
                rankAt[size_t(ids[k] - *low)] = k;
        } else {
            byId.reserve(size_t(n));
            for (int k = 0; k < n; ++k)
                byId.emplace_back(ids[k], k);
            std::sort(byId.begin(), byId.end());
        }
        const auto rankOf = [&, low = *low, high = *high](qint64 id) {
            if (!rankAt.empty())
                return id < low || id > high ? -1 : rankAt[size_t(id - low)];
            const auto at = std::lower_bound(byId.begin(), byId.end(), std::pair<qint64, int>(id, -1));
            return at != byId.end() && at->first == id ? at->second : -1;
        };
        // The main list holds exactly these links when each of them stands in it once, with its
        // name. The links are walked as read, so only the main list is visited out of order.
        std::vector<int> order(static_cast<size_t>(n), -1);
        int placed = 0;
        for (; placed < n; ++placed) {
            const int rank = rankOf(links.id(placed));
            if (rank < 0 || order[size_t(rank)] >= 0 || !sameText(names[rank], links.name(placed)))
                break;
            order[size_t(rank)] = placed;
        }
        if (placed == n)
            return order;
    }
    QStringList names;
    names.reserve(n);
    for (int i = 0; i < n; ++i) {
        const std::string_view name = links.name(i);
        names.append(QString::fromUtf8(name.data(), qsizetype(name.size())));
    }
    return ListBox::listOrder(names);
}

void frmFindSite::txtFind_Change()
{
    if (!m_index)
        return;
    // A keystroke selects the first match; another copy's writes are read first.
    if (fileChanged())
        reread(std::nullopt);
    else
        startSearch(std::nullopt);
}

void frmFindSite::startSearch(std::optional<qint64> keep)
{
    m_slice->stop();
    search::Query query = search::parseQuery(txtFind->text());
    std::optional<std::vector<int>> candidates;
    if (m_shown && query.narrows(m_shown->query))
        candidates = m_shown->listed;
    m_search = std::make_unique<search::Search>(*m_index, std::move(query), std::move(candidates));
    m_keep = keep;
    runSlice();
}

void frmFindSite::runSlice()
{
    if (!m_search)
        return;
    if (m_search->run(Slice))
        finishSearch();
    else
        m_slice->start();
}

void frmFindSite::finishPending()
{
    m_slice->stop();
    while (m_search && !m_search->run(std::chrono::seconds(1))) {
    }
    if (m_search)
        finishSearch();
}

void frmFindSite::finishSearch()
{
    search::Matches matches = m_search->take();
    m_search.reset();
    m_model->show(m_index, std::move(matches.rows));
    m_shown = std::move(matches);
    const int count = m_model->rowCount();
    int row = m_keep ? m_model->rowOf(*m_keep) : -1;
    m_keep.reset();
    if (row < 0 && count > 0)
        row = 0;
    selectRow(row);
    lblCount->setText(QStringLiteral("%1 of %2 links").arg(count).arg(m_index->size()));
    selectionChanged();
}

void frmFindSite::selectRow(int row)
{
    if (row < 0) {
        lstMatches->selectionModel()->clearSelection();
        return;
    }
    const QModelIndex target = m_model->index(row);
    lstMatches->selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
    lstMatches->scrollTo(target);
}

void frmFindSite::moveSelection(int rows)
{
    const int count = m_model->rowCount();
    if (count == 0)
        return;
    const QModelIndexList selected = lstMatches->selectionModel()->selectedIndexes();
    const int from = selected.isEmpty() ? (rows > 0 ? -1 : count) : selected.first().row();
    selectRow(std::clamp(from + rows, 0, count - 1));
}

void frmFindSite::selectionChanged()
{
    const bool any = lstMatches->selectionModel()->hasSelection();
    cmdOpen->setEnabled(any);
    cmdShow->setEnabled(any);
}

std::optional<Link> frmFindSite::selectedLink() const
{
    const QModelIndexList selected = lstMatches->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return std::nullopt;
    return m_model->link(selected.first().row());
}

std::optional<Link> frmFindSite::selectedAsInFile()
{
    // The command acts on what the box asks for, not on a search still on its way.
    finishPending();
    const std::optional<Link> shown = selectedLink();
    if (!shown || !fileChanged())
        return shown;
    reread(shown->id);
    finishPending();
    if (selectedLink() != shown) {
        StaleLink::sayNothingDone();
        return std::nullopt;
    }
    return shown;
}

void frmFindSite::cmdOpen_Click()
{
    // As the main window's "Open Link": the address as stored, handed to the desktop.
    if (const std::optional<Link> link = selectedAsInFile())
        platform::shellOpen(link->url);
}

void frmFindSite::cmdShow_Click()
{
    if (const std::optional<Link> link = selectedAsInFile())
        Q_EMIT ShowInList(*link);
}

void frmFindSite::cmdClose_Click()
{
    unload();
}

bool frmFindSite::eventFilter(QObject* watched, QEvent* event)
{
    // Down and Up move through the matches while the typing goes on, as in a browser's address bar.
    if (watched == txtFind && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const int page =
            std::max(1, lstMatches->viewport()->height() / std::max(1, lstMatches->sizeHintForRow(0)));
        int move = 0;
        switch (key->key()) {
        case Qt::Key_Down:
            move = 1;
            break;
        case Qt::Key_Up:
            move = -1;
            break;
        case Qt::Key_PageDown:
            move = page;
            break;
        case Qt::Key_PageUp:
            move = -page;
            break;
        default:
            break;
        }
        if (move != 0 && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            kit::guarded([&] { moveSelection(move); });
            return true;
        }
    }
    return Form::eventFilter(watched, event);
}

