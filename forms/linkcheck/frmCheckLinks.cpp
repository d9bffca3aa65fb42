#include "forms/linkcheck/frmCheckLinks.h"

#include "platform/MessageBox.h"
#include "platform/ShellOpen.h"
#include "windowkit/Controls.h"
#include "windowkit/Forms.h"
#include "windowkit/Lifecycle.h"
#include "windowkit/Look.h"
#include "windowkit/StaleLink.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

using linkcheck::Result;
using linkcheck::Verdict;

namespace {

const QString Title = QStringLiteral("Check Links");

QString number(qsizetype n)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(qlonglong(n));
}

// "1 site" / "12 sites"
QString counted(qsizetype n, const char* one, const char* many)
{
    return number(n) + QLatin1Char(' ') + QLatin1String(n == 1 ? one : many);
}

// The summary lists the good news first, then the problems in the order they are grouped.
constexpr Verdict SummaryOrder[] = {Verdict::Fine,        Verdict::Gone,    Verdict::Moved,
                                    Verdict::HomePage,    Verdict::Loop,    Verdict::ServerTrouble,
                                    Verdict::Unreachable, Verdict::Blocked, Verdict::NotChecked};

} // namespace

frmCheckLinks::frmCheckLinks()
{
    setObjectName(QStringLiteral("frmCheckLinks"));
    setWindowTitle(Title);
    Look::setBackground(this, Look::Background);
    const QFont font = Look::sansSerif(8.25, true);

    lblProgress = Controls::label(this, "lblProgress", QString(), Look::sansSerif(12, true));
    prgProgress = new QProgressBar(this);
    prgProgress->setObjectName(QStringLiteral("prgProgress"));
    prgProgress->setAccessibleName(QStringLiteral("Links checked"));
    prgProgress->setFont(font);
    lblSite = Controls::label(this, "lblSite", QString(), font);
    cmdCancel = Controls::button(this, "cmdCancel", QStringLiteral("Cancel"), font, true);

    tvwProblems = new QTreeWidget(this);
    tvwProblems->setObjectName(QStringLiteral("tvwProblems"));
    tvwProblems->setAccessibleName(QStringLiteral("Problems found"));
    tvwProblems->setFont(font);
    Look::setBackground(tvwProblems, Look::EntryYellow);
    tvwProblems->setColumnCount(4);
    tvwProblems->setHeaderLabels(
        {QStringLiteral("Name"), QStringLiteral("Address"), QStringLiteral("Verdict"), QStringLiteral("Detail")});
    tvwProblems->setUniformRowHeights(true);
    tvwProblems->setAllColumnsShowFocus(true);
    tvwProblems->setSelectionMode(QAbstractItemView::SingleSelection);
    tvwProblems->header()->resizeSection(0, twips(2400));
    tvwProblems->header()->resizeSection(1, twips(3600));
    tvwProblems->header()->resizeSection(2, twips(1800));

    cmdOpen = Controls::button(this, "cmdOpen", QStringLiteral("&Open in Browser"), font, true);
    cmdUseNewAddress = Controls::button(this, "cmdUseNewAddress", QStringLiteral("&Use New Address"), font, true);
    cmdDelete = Controls::button(this, "cmdDelete", QStringLiteral("&Delete"), font, true);
    lblSummary = Controls::label(this, "lblSummary", QString(), font);
    lblSummary->setWordWrap(true);

    auto* top = new QHBoxLayout;
    top->addWidget(prgProgress, 1);
    top->addWidget(cmdCancel);
    auto* actions = new QHBoxLayout;
    actions->addWidget(cmdOpen);
    actions->addWidget(cmdUseNewAddress);
    actions->addWidget(cmdDelete);
    actions->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblProgress);
    layout->addLayout(top);
    layout->addWidget(lblSite);
    layout->addWidget(tvwProblems, 1);
    layout->addLayout(actions);
    layout->addWidget(lblSummary);

    setTabOrder(tvwProblems, cmdOpen);
    setTabOrder(cmdOpen, cmdUseNewAddress);
    setTabOrder(cmdUseNewAddress, cmdDelete);
    setTabOrder(cmdDelete, cmdCancel);

    // Escape does what the Cancel (or Close) button does, as in any dialog.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, cmdCancel, &QPushButton::click);
    kit::onEvent(cmdCancel, &QPushButton::clicked, this, &frmCheckLinks::cmdCancel_Click);
    kit::onEvent(cmdOpen, &QPushButton::clicked, this, &frmCheckLinks::cmdOpen_Click);
    kit::onEvent(cmdUseNewAddress, &QPushButton::clicked, this, &frmCheckLinks::cmdUseNewAddress_Click);
    kit::onEvent(cmdDelete, &QPushButton::clicked, this, &frmCheckLinks::cmdDelete_Click);
    kit::onEvent(tvwProblems, &QTreeWidget::currentItemChanged, this, &frmCheckLinks::tvwProblems_CurrentChanged);
    // Enter on a problem opens it, as a double click does.
    kit::onEvent(tvwProblems, &QTreeWidget::itemActivated, this, &frmCheckLinks::cmdOpen_Click);

    // The labels follow the check a few times a second rather than at every answer.
    m_refresh = new QTimer(this);
    m_refresh->setInterval(100);
    kit::onEvent(m_refresh, &QTimer::timeout, this, &frmCheckLinks::showProgress);

    resize(twips(10800), twips(7200));
    showProgress();
    tvwProblems_CurrentChanged();
}

frmCheckLinks::~frmCheckLinks() = default;

void frmCheckLinks::askAndCheck()
{
    if (frmCheckLinks* open = Forms::find<frmCheckLinks>(); open && open->isChecking()) {
        Forms::showForm(open);
        return;
    }
    QList<Link> links = LinksStore::all();
    const linkcheck::LinkChecker::Reach reach = linkcheck::LinkChecker::reach(links);
    QString text = QStringLiteral("Checking your links contacts %1 over the network to ask about %2.")
                       .arg(counted(reach.sites, "site", "sites"), counted(reach.links, "link", "links"));
    if (const qsizetype other = links.size() - reach.links; other > 0)
        text += QLatin1Char(' ') +
                (other == 1
                     ? QStringLiteral("1 link that is not a web address is only listed.")
                     : QStringLiteral("%1 links that are not web addresses are only listed.").arg(number(other)));
    text += QStringLiteral(" Nothing is changed without asking you first.\r\rCheck the links now?");
    if (platform::MsgBox(text, platform::MsgStyle::YesNo + platform::MsgStyle::Question, Title) !=
        platform::MsgAnswer::Yes)
        return;
    if (frmCheckLinks* form = Forms::show<frmCheckLinks>())
        form->check(std::move(links));
}

void frmCheckLinks::check(QList<Link> links)
{
    if (m_checker) {
        m_checker->cancel();
        m_checker->deleteLater();
    }
    m_problems.clear();
    m_counts.fill(0);
    m_groups.fill(nullptr);
    tvwProblems->clear();
    m_site.clear();
    m_cancelled = false;
    cmdCancel->setText(QStringLiteral("Cancel"));

    auto* checker = new linkcheck::LinkChecker(std::move(links), settings, this);
    m_checker = checker;
    connect(checker, &linkcheck::LinkChecker::contacting, this, [this](const QString& site) { m_site = site; });
    connect(checker, &linkcheck::LinkChecker::judged, this,
            [this](const Result& result) { kit::guarded([&] { judged(result); }); });
    kit::onEvent(checker, &linkcheck::LinkChecker::finished, this, &frmCheckLinks::finished);
    m_refresh->start();
    tvwProblems->setFocus();
    checker->start();
    showProgress();
    tvwProblems_CurrentChanged();
}

bool frmCheckLinks::isChecking() const
{
    return m_checker && m_checker->isRunning();
}

void frmCheckLinks::judged(const Result& result)
{
    ++m_counts[size_t(result.verdict)];
    if (result.verdict == Verdict::Fine)
        return;
    m_problems.push_back(result);
    QTreeWidgetItem* group = groupFor(result.verdict);
    auto* row = new QTreeWidgetItem(
        group, {result.link.name, result.link.url, linkcheck::verdictText(result.verdict), result.detail});
    row->setData(0, Qt::UserRole, qlonglong(m_problems.size() - 1));
    // Columns cut long names and addresses: the tooltip holds them whole.
    for (int column = 0; column < 4; ++column)
        row->setToolTip(column, row->text(column));
    nameGroup(result.verdict);
}

void frmCheckLinks::finished()
{
    m_refresh->stop();
    cmdCancel->setText(QStringLiteral("Close"));
    showProgress();
    // Ready for the keyboard on the first problem, unless the user went to one already.
    if (!currentProblem() && tvwProblems->topLevelItemCount() > 0)
        tvwProblems->setCurrentItem(tvwProblems->topLevelItem(0)->child(0));
}

void frmCheckLinks::stop()
{
    if (!isChecking())
        return;
    m_checker->cancel();
    m_cancelled = true;
    m_refresh->stop();
    cmdCancel->setText(QStringLiteral("Close"));
    showProgress();
}

void frmCheckLinks::showProgress()
{
    const int done = m_checker ? m_checker->done() : 0;
    const int total = m_checker ? m_checker->total() : 0;
    lblProgress->setText(QStringLiteral("Checked %1 of %2").arg(number(done), counted(total, "link", "links")));
    prgProgress->setRange(0, std::max(total, 1));
    prgProgress->setValue(total == 0 && m_checker && !isChecking() ? 1 : done);
    if (isChecking())
        lblSite->setText(m_site.isEmpty() ? QStringLiteral("Starting...") : QStringLiteral("Checking ") + m_site);
    else if (m_checker)
        lblSite->setText(m_cancelled ? QStringLiteral("Cancelled: the links not yet checked are not listed.")
                                     : QStringLiteral("Done."));
    else
        lblSite->clear();

    QStringList counts;
    for (Verdict verdict : SummaryOrder) {
        if (const int n = m_counts[size_t(verdict)]; n > 0)
            counts << linkcheck::verdictText(verdict) + QStringLiteral(": ") + number(n);
    }
    lblSummary->setText(counts.join(QStringLiteral(", ")));
}

QTreeWidgetItem* frmCheckLinks::groupFor(Verdict verdict)
{
    QTreeWidgetItem*& group = m_groups[size_t(verdict)];
    if (group)
        return group;
    // Groups stand in the order of the verdicts, whichever is found first.
    int index = 0;
    for (size_t v = 0; v < size_t(verdict); ++v)
        index += m_groups[v] != nullptr;
    group = new QTreeWidgetItem;
    QFont bold = tvwProblems->font();
    bold.setBold(true);
    group->setFont(0, bold);
    tvwProblems->insertTopLevelItem(index, group);
    group->setFirstColumnSpanned(true);
    group->setExpanded(true);
    return group;
}

void frmCheckLinks::nameGroup(Verdict verdict)
{
    QTreeWidgetItem*& group = m_groups[size_t(verdict)];
    if (!group)
        return;
    if (group->childCount() == 0) {
        delete group;
        group = nullptr;
        return;
    }
    group->setText(0, QStringLiteral("%1 (%2)").arg(linkcheck::verdictText(verdict), number(group->childCount())));
}

const Result* frmCheckLinks::currentProblem() const
{
    const QTreeWidgetItem* item = tvwProblems->currentItem();
    if (!item || !item->parent())
        return nullptr;
    return &m_problems[size_t(item->data(0, Qt::UserRole).toLongLong())];
}

void frmCheckLinks::removeCurrentRow()
{
    const Result* problem = currentProblem();
    if (!problem)
        return;
    const Verdict verdict = problem->verdict;
    delete tvwProblems->currentItem();
    nameGroup(verdict);
    tvwProblems_CurrentChanged();
}

void frmCheckLinks::tvwProblems_CurrentChanged()
{
    const Result* problem = currentProblem();
    cmdOpen->setEnabled(problem);
    cmdUseNewAddress->setEnabled(problem && problem->verdict == Verdict::Moved);
    cmdDelete->setEnabled(problem);
}

void frmCheckLinks::cmdCancel_Click()
{
    if (isChecking())
        stop();
    else
        unload();
}

void frmCheckLinks::cmdOpen_Click()
{
    if (const Result* problem = currentProblem())
        platform::shellOpen(problem->link.url);
}

void frmCheckLinks::cmdUseNewAddress_Click()
{
    const Result* problem = currentProblem();
    if (!problem || problem->verdict != Verdict::Moved)
        return;
    // Only while the record still holds the link as it was checked, as in the edit window.
    if (!LinksStore::change(problem->link, problem->link.name, problem->offered.toString())) {
        StaleLink::sayNotSaved();
        LinksStore::reload();
    }
    removeCurrentRow();
}

void frmCheckLinks::cmdDelete_Click()
{
    const Result* problem = currentProblem();
    if (!problem)
        return;
    if (platform::MsgBox(QStringLiteral("Are you sure you want to delete this site link ?"),
                         platform::MsgStyle::YesNo, QStringLiteral("Warning")) != platform::MsgAnswer::Yes)
        return;
    // Only the link that was checked, never one that took over its identity meanwhile.
    if (!LinksStore::remove(problem->link)) {
        StaleLink::sayNothingDone();
        LinksStore::reload();
    }
    removeCurrentRow();
}

void frmCheckLinks::Form_Unload()
{
    stop();
}
