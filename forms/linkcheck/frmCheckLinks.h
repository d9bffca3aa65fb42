#pragma once

#include "data/LinksStore.h"
#include "linkcheck/LinkChecker.h"
#include "windowkit/Form.h"

#include <QPointer>
#include <array>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

// "Check Links": checks every link over the network while the user goes on working, shows how far
// it got, and lists the problems as they are found, grouped by verdict. Nothing is changed unless
// the user asks for it, one problem at a time: open it in the browser, use the address a
// permanent move leads to, or delete the link (after the same question as the main window asks).
// Closing the window stops the check.
class frmCheckLinks : public Form {
    Q_OBJECT

public:
    frmCheckLinks();
    ~frmCheckLinks() override;

    // The "Check Links..." command: says how many sites will be contacted and asks first; then
    // checks every link in this window. While a check runs, the command only brings it forward.
    static void askAndCheck();
    // Checks these links now, from a clean window.
    void check(QList<Link> links);
    bool isChecking() const;

    linkcheck::Settings settings; // tests shorten the time-out

    QLabel* lblProgress = nullptr; // "Checked 12 of 40 links"
    QProgressBar* prgProgress = nullptr;
    QLabel* lblSite = nullptr;        // the site being checked
    QPushButton* cmdCancel = nullptr; // "Cancel" while checking, then "Close"
    QTreeWidget* tvwProblems = nullptr;
    QPushButton* cmdOpen = nullptr;
    QPushButton* cmdUseNewAddress = nullptr;
    QPushButton* cmdDelete = nullptr;
    QLabel* lblSummary = nullptr; // how many links got each verdict

    // The problem the row under the cursor shows; nullptr when the cursor is on no problem.
    const linkcheck::Result* currentProblem() const;

    void cmdCancel_Click();
    void cmdOpen_Click();
    void cmdUseNewAddress_Click();
    void cmdDelete_Click();
    void tvwProblems_CurrentChanged();

protected:
    void Form_Unload() override;

private:
    QPointer<linkcheck::LinkChecker> m_checker;
    QTimer* m_refresh = nullptr;
    std::vector<linkcheck::Result> m_problems; // rows point into it by index
    std::array<int, linkcheck::VerdictCount> m_counts{};
    std::array<QTreeWidgetItem*, linkcheck::VerdictCount> m_groups{};
    QString m_site;
    bool m_cancelled = false;

    void judged(const linkcheck::Result& result);
    void finished();
    void stop();
    void showProgress();
    QTreeWidgetItem* groupFor(linkcheck::Verdict verdict);
    void removeCurrentRow();
    void nameGroup(linkcheck::Verdict verdict);
};
